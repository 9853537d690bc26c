#include "receiver/picture_controls.h"

#include "link/serial_link.h"
#include "protocol/protocol.h"
#include "protocol/reply_values.h"
#include "protocol/vocabulary.h"
#include "section/combo_util.h"
#include "section/fail_indicator.h"
#include "section/handler_steps.h"
#include "section/setting_list.h"
#include "section/window_state.h"
#include <QAbstractButton>
#include <QComboBox>
#include <QLabel>

namespace {

// Picture numbers 1 to 5 are the values; 6 is the reset.
constexpr int picture_values = 5;
constexpr int picture_reset = 6;

} // namespace

PictureControls::PictureControls(const HandlerContext &ctx, const Widgets &widgets, QObject *parent)
    : QObject(parent)
    , ctx_(ctx)
    , w_(widgets)
{
    for (int number = 1; number <= picture_values; ++number) {
        connect(list_of(number), &QComboBox::currentIndexChanged, this,
            [this, number] { choose(number); });
    }
    connect(w_.cmd_pic_read, &QAbstractButton::clicked, this, &PictureControls::cmd_pic_read_Click);
    connect(w_.cmd_pic_rst, &QAbstractButton::clicked, this, &PictureControls::cmd_pic_rst_Click);
}

void PictureControls::fill_lists()
{
    for (int number = 1; number <= picture_values; ++number)
        fill_combo(list_of(number), protocol::fixed_entries(*protocol::picture_by_number(number)));
}

QComboBox *PictureControls::list_of(int number) const
{
    switch (number) {
    case 1:
        return w_.cbo_pic_bri;
    case 2:
        return w_.cbo_pic_con;
    case 3:
        return w_.cbo_pic_sat;
    case 4:
        return w_.cbo_pic_hue;
    case 5:
        return w_.cbo_pic_sha;
    default:
        return nullptr;
    }
}

void PictureControls::choose(int number)
{
    send_list_choice(ctx_, *protocol::picture_by_number(number), list_of(number), w_.lab_pic_reply);
}

void PictureControls::cbo_pic_bri_Click()
{
    choose(1);
}
void PictureControls::cbo_pic_con_Click()
{
    choose(2);
}
void PictureControls::cbo_pic_sat_Click()
{
    choose(3);
}
void PictureControls::cbo_pic_hue_Click()
{
    choose(4);
}
void PictureControls::cbo_pic_sha_Click()
{
    choose(5);
}

void PictureControls::cmd_pic_read_Click()
{
    ReadBack read { w_.cmd_pic_read, {}, 0.1, w_.lab_pic_reply,
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
    handler_steps::press_action(ctx_, w_.cmd_pic_rst,
        protocol::setting_message(protocol::pic_prefix(picture_reset), "Go"), w_.lab_pic_reply);
}
