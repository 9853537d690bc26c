#include "receiver/picture_controls.h"

#include "section/focus_keeper.h"
#include "section/combo_util.h"
#include "section/fail_indicator.h"
#include "section/window_state.h"
#include "link/serial_link.h"
#include "protocol/protocol.h"
#include "protocol/reply_values.h"
#include "section/handler_steps.h"
#include "ui_frm_main.h"

namespace {

constexpr int picture_max = 100;
// Picture numbers 1 to 5 are the values; 6 is the reset.
constexpr int picture_values = 5;
constexpr int picture_reset = 6;

} // namespace

PictureControls::PictureControls(const HandlerContext &ctx, QObject *parent)
    : QObject(parent)
    , ctx_(ctx)
{
    Ui::frm_main *ui = ctx_.ui;
    connect(ui->cbo_pic_bri, &QComboBox::currentIndexChanged, this,
        &PictureControls::cbo_pic_bri_Click);
    connect(ui->cbo_pic_con, &QComboBox::currentIndexChanged, this,
        &PictureControls::cbo_pic_con_Click);
    connect(ui->cbo_pic_sat, &QComboBox::currentIndexChanged, this,
        &PictureControls::cbo_pic_sat_Click);
    connect(ui->cbo_pic_hue, &QComboBox::currentIndexChanged, this,
        &PictureControls::cbo_pic_hue_Click);
    connect(ui->cbo_pic_sha, &QComboBox::currentIndexChanged, this,
        &PictureControls::cbo_pic_sha_Click);
    connect(
        ui->cmd_pic_read, &QAbstractButton::clicked, this, &PictureControls::cmd_pic_read_Click);
    connect(ui->cmd_pic_rst, &QAbstractButton::clicked, this, &PictureControls::cmd_pic_rst_Click);
}

void PictureControls::fill_lists()
{
    const QStringList values = number_entries(0, picture_max);
    for (int number = 1; number <= picture_values; ++number)
        fill_combo(list_of(number), values);
}

QComboBox *PictureControls::list_of(int number) const
{
    Ui::frm_main *ui = ctx_.ui;
    switch (number) {
    case 1:
        return ui->cbo_pic_bri;
    case 2:
        return ui->cbo_pic_con;
    case 3:
        return ui->cbo_pic_sat;
    case 4:
        return ui->cbo_pic_hue;
    case 5:
        return ui->cbo_pic_sha;
    default:
        return nullptr;
    }
}

void PictureControls::send_value(const QComboBox *combo, const char *prefix)
{
    if (ctx_.state.reading || combo->currentIndex() < 0)
        return;
    ctx_.link.send_cmd_nowait(
        protocol::setting_message(prefix, handler_steps::entry_argument(combo->currentText())));
}

void PictureControls::cbo_pic_bri_Click()
{
    send_value(ctx_.ui->cbo_pic_bri, "WP_PictureBri[");
}

void PictureControls::cbo_pic_con_Click()
{
    send_value(ctx_.ui->cbo_pic_con, "WP_PictureCon[");
}

void PictureControls::cbo_pic_sat_Click()
{
    send_value(ctx_.ui->cbo_pic_sat, "WP_PictureSat[");
}

void PictureControls::cbo_pic_hue_Click()
{
    send_value(ctx_.ui->cbo_pic_hue, "WP_PictureHue[");
}

void PictureControls::cbo_pic_sha_Click()
{
    send_value(ctx_.ui->cbo_pic_sha, "WP_PictureSha[");
}

void PictureControls::cmd_pic_read_Click()
{
    Ui::frm_main *ui = ctx_.ui;
    const handler_steps::ReadingGuard guard(ctx_.state);
    const FocusKeeper disabled(ui->cmd_pic_read);
    bool ok = true;
    for (int number = 1; number <= picture_values; ++number) {
        const QByteArray prefix = protocol::pic_prefix(number);
        const bool replied = ctx_.link.send_cmd(protocol::query_message(prefix));
        // Kept before the pause, which may let another transaction through.
        QByteArray value = ctx_.link.reply_text();
        ctx_.link.delay_sec(0.1);
        if (!replied || !protocol::strip_reply(value, prefix)) {
            ok = false;
            break;
        }
        // The entry at position n reads n; a value outside 0 to 100 has no entry and leaves
        // the list as it was.
        select_position(list_of(number), protocol::reply_number(value));
    }
    if (!ok)
        ctx_.fail.show_fail(ui->lab_pic_reply, handler_steps::read_fail_text());
}

void PictureControls::cmd_pic_rst_Click()
{
    handler_steps::press_action(ctx_, ctx_.ui->cmd_pic_rst,
        protocol::setting_message(protocol::pic_prefix(picture_reset), "Go"),
        ctx_.ui->lab_pic_reply);
}
