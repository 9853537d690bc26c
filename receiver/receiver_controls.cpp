#include "receiver/receiver_controls.h"

#include "link/serial_link.h"
#include "model/plans.h"
#include "protocol/protocol.h"
#include "protocol/vocabulary.h"
#include "section/combo_util.h"
#include "section/fail_indicator.h"
#include "section/focus_keeper.h"
#include "section/handler_steps.h"
#include "section/setting_list.h"
#include "section/window_state.h"
#include <QAbstractButton>
#include <QComboBox>
#include <QLabel>

namespace {

const protocol::Command &command(const char *name)
{
    const protocol::Command *found = protocol::find_command(name);
    Q_ASSERT(found);
    return *found;
}

const model::Setting &setting(const char *name)
{
    return model::setting_of(command(name));
}

} // namespace

ReceiverControls::ReceiverControls(
    const HandlerContext &ctx, const Widgets &widgets, QObject *parent)
    : QObject(parent)
    , ctx_(ctx)
    , w_(widgets)
{
    // Each list of the receiver frame with the command its choice sends.
    const struct
    {
        QComboBox *combo;
        const char *name;
    } lists[] = {
        { w_.cbo_input, "input_source" },
        { w_.cbo_aspect, "aspect" },
        { w_.cbo_display, "display" },
        { w_.cbo_disp_mode, "display_mode" },
        { w_.cbo_output, "output_resolution" },
        { w_.cbo_in_prefer, "input_resolution" },
        { w_.cbo_hdcp_in, "hdcp" },
        { w_.cbo_overscan_en, "overscan" },
        { w_.cbo_overscan_h, "overscan_h" },
        { w_.cbo_overscan_v, "overscan_v" },
        { w_.cbo_audio_en, "audio" },
        { w_.cbo_audio_hdmi, "audio_hdmi" },
        { w_.cbo_audio_lr, "audio_lr" },
        { w_.cbo_standby, "auto_off" },
        { w_.cbo_baudrate, "tx_baudrate" },
    };
    for (const auto &list : lists) {
        controls_.push_back({ &setting(list.name), list.combo });
        QComboBox *combo = list.combo;
        connect(combo, &QComboBox::currentIndexChanged, this, [this, combo] { choose(combo); });
    }
    controls_.push_back({ &setting("rx_firmware"), nullptr, w_.lab_fw_ver_rx });
    controls_.push_back({ &setting("tx_firmware"), nullptr, w_.lab_fw_ver_tx });

    connect(w_.cmd_sys_rst, &QAbstractButton::clicked, this, &ReceiverControls::cmd_sys_rst_Click);
    connect(
        w_.cmd_vga_auto, &QAbstractButton::clicked, this, &ReceiverControls::cmd_vga_auto_Click);
    connect(
        w_.cmd_ctrl_read, &QAbstractButton::clicked, this, &ReceiverControls::cmd_ctrl_read_Click);
    connect(w_.cmd_info, &QAbstractButton::clicked, this, &ReceiverControls::cmd_info_Click);
}

void ReceiverControls::fill_lists()
{
    // The option-list lists (auto-off, input and output resolution) are filled from files.
    for (const SettingControl &control : controls_) {
        if (control.list && control.setting->values == model::Values::Fixed)
            fill_combo(control.list, protocol::fixed_entries(*control.setting->command));
    }
}

void ReceiverControls::choose(QComboBox *combo)
{
    for (const SettingControl &control : controls_) {
        if (control.list == combo)
            send_list_choice(ctx_, *control.setting->command, combo, w_.lab_ctrl_reply);
    }
}

void ReceiverControls::apply_reply(const model::Setting &setting, const QByteArray &value)
{
    ::apply_reply(controls_, ctx_.state, setting, value);
}

void ReceiverControls::cmd_sys_rst_Click()
{
    handler_steps::press_action(ctx_, w_.cmd_sys_rst,
        protocol::setting_message(command("reset").prefix, "Go"), w_.lab_ctrl_reply);
}

void ReceiverControls::cmd_vga_auto_Click()
{
    handler_steps::press_action(ctx_, w_.cmd_vga_auto,
        protocol::setting_message(command("vga_auto").prefix, "Go"), w_.lab_ctrl_reply);
}

void ReceiverControls::cmd_ctrl_read_Click()
{
    read_back(ctx_,
        { w_.cmd_ctrl_read, model::read_plan(model::ReadGroup::Receiver), w_.lab_ctrl_reply,
            [this](const model::Setting &setting, const QByteArray &value) {
                apply_reply(setting, value);
            } });
}

void ReceiverControls::cmd_info_Click()
{
    w_.lab_fw_ver_rx->clear();
    w_.lab_fw_ver_tx->clear();
    const FocusKeeper disabled(w_.cmd_info);
    ctx_.link.show_pending_events();

    // Each reply is cut by length alone: its start is not compared with the prefix.
    const auto query = [this](const model::Step &step, QByteArray *value) {
        if (!ctx_.link.send_cmd(step.message)) {
            ctx_.fail.show_fail(w_.lab_ctrl_reply, handler_steps::send_fail_text());
            return false;
        }
        *value = protocol::cut_reply(ctx_.link.reply_text(), static_cast<int>(step.prefix.size()));
        return true;
    };

    // The receiver's version, the transmitter's, and the transmitter's baud rate only when the
    // transmitter answered. Selecting a new rate runs the list's handler, which sends it to the
    // receiver.
    const std::vector<model::Step> plan = model::device_info_plan();
    QByteArray value;
    if (query(plan[0], &value))
        apply_reply(*plan[0].setting, value);
    if (query(plan[1], &value)) {
        apply_reply(*plan[1].setting, value);
        if (query(plan[2], &value))
            apply_reply(*plan[2].setting, value);
    }
}
