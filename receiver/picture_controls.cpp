#include "receiver/picture_controls.h"

#include "section/combo_util.h"
#include "section/fail_indicator.h"
#include "section/window_state.h"
#include "link/serial_link.h"
#include "protocol/protocol.h"
#include "protocol/reply_values.h"
#include "section/handler_steps.h"
#include "section/setting_list.h"
#include "protocol/vocabulary.h"
#include "ui_frm_main.h"

namespace {

// Picture numbers 1 to 5 are the values; 6 is the reset.
constexpr int picture_values = 5;
constexpr int picture_reset = 6;

} // namespace

PictureControls::PictureControls(const HandlerContext &ctx, QObject *parent)
    : QObject(parent)
    , ctx_(ctx)
{
    Ui::frm_main *ui = ctx_.ui;
    for (int number = 1; number <= picture_values; ++number) {
        connect(list_of(number), &QComboBox::currentIndexChanged, this,
            [this, number] { choose(number); });
    }
    connect(
        ui->cmd_pic_read, &QAbstractButton::clicked, this, &PictureControls::cmd_pic_read_Click);
    connect(ui->cmd_pic_rst, &QAbstractButton::clicked, this, &PictureControls::cmd_pic_rst_Click);
}

void PictureControls::fill_lists()
{
    for (int number = 1; number <= picture_values; ++number)
        fill_combo(list_of(number), protocol::fixed_entries(*protocol::picture_by_number(number)));
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

void PictureControls::choose(int number)
{
    send_list_choice(ctx_, *protocol::picture_by_number(number), list_of(number), ctx_.ui->lab_pic_reply);
}

void PictureControls::cbo_pic_bri_Click() { choose(1); }
void PictureControls::cbo_pic_con_Click() { choose(2); }
void PictureControls::cbo_pic_sat_Click() { choose(3); }
void PictureControls::cbo_pic_hue_Click() { choose(4); }
void PictureControls::cbo_pic_sha_Click() { choose(5); }

void PictureControls::cmd_pic_read_Click()
{
    ReadBack read{ ctx_.ui->cmd_pic_read, {}, 0.1, ctx_.ui->lab_pic_reply,
        [this](const protocol::Command &command, const QByteArray &value) {
            // The entry at position n reads n; a value outside 0 to 100 has no entry and leaves
            // the list as it was.
            select_position(list_of(command.pic_number),
                *protocol::reply_position(command, value, ctx_.state.single_hdmi));
        } };
    for (int number = 1; number <= picture_values; ++number)
        read.commands.push_back(protocol::picture_by_number(number));
    read_back(ctx_, read);
}

void PictureControls::cmd_pic_rst_Click()
{
    handler_steps::press_action(ctx_, ctx_.ui->cmd_pic_rst,
        protocol::setting_message(protocol::pic_prefix(picture_reset), "Go"),
        ctx_.ui->lab_pic_reply);
}
