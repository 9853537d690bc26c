#include "section/apply_reply.h"

#include "protocol/reply_values.h"
#include "protocol/vocabulary.h"
#include "section/combo_util.h"
#include "section/window_state.h"
#include "ui_frm_main.h"

namespace {

QComboBox *list_of(Ui::frm_main *ui, int number)
{
    switch (number) {
    case 2:
        return ui->cbo_aspect;
    case 5:
        return ui->cbo_output;
    case 6:
        return ui->cbo_overscan_en;
    case 7:
        return ui->cbo_overscan_h;
    case 8:
        return ui->cbo_overscan_v;
    case 9:
        return ui->cbo_audio_en;
    case 10:
        return ui->cbo_audio_hdmi;
    case 11:
        return ui->cbo_audio_lr;
    case 13:
        return ui->cbo_standby;
    case 14:
        return ui->cbo_disp_mode;
    case 15:
        return ui->cbo_display;
    case 16:
        return ui->cbo_input;
    case 17:
        return ui->cbo_hdcp_in;
    case 18:
        return ui->cbo_in_prefer;
    case 20:
        return ui->cbo_baudrate;
    case 21:
        return ui->cbo_projsw;
    case 22:
        return ui->cbo_auto_on;
    case 23:
        return ui->cbo_auto_off;
    default:
        return nullptr;
    }
}

QStringList entries_of(const QComboBox *combo)
{
    QStringList entries;
    for (int i = 0; i < combo->count(); ++i)
        entries << combo->itemText(i);
    return entries;
}

} // namespace

void apply_reply(
    const ReplyTargets &targets, WindowState &state, int number, const QByteArray &value)
{
    switch (number) {
    case 1: {
        state.ui_ready = false;
        state.single_hdmi = value != "TX";
        if (targets.input)
            fill_combo(targets.input,
                protocol::fixed_entries(
                    *protocol::find_command("input_source"), state.single_hdmi));
        state.ui_ready = true;
        return;
    }
    case 4:
        if (targets.fw_rx)
            targets.fw_rx->setText(QString::fromLatin1(value));
        return;
    case 19:
        if (targets.fw_tx)
            targets.fw_tx->setText(QString::fromLatin1(value));
        return;
    default:
        break;
    }
    QComboBox *combo = targets.list_of ? targets.list_of(number) : nullptr;
    if (!combo)
        return;
    const QStringList entries = number == 13 ? entries_of(combo) : QStringList();
    if (const auto position = protocol::reply_position(number, value, state.single_hdmi, entries))
        select_position(combo, *position);
}

void apply_reply(Ui::frm_main *ui, WindowState &state, int number, const QByteArray &value)
{
    const ReplyTargets targets { [ui](int n) { return list_of(ui, n); }, ui->cbo_input,
        ui->lab_fw_ver_rx, ui->lab_fw_ver_tx };
    apply_reply(targets, state, number, value);
}
