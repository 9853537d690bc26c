#include "receiver/picture_controls.h"

#include "section/handler_steps.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QLabel>

PictureControls::PictureControls(const HandlerContext &ctx, const Widgets &widgets, QObject *parent)
    : ListSection(ctx,
        {
            { widgets.cbo_pic_bri, "brightness" },
            { widgets.cbo_pic_con, "contrast" },
            { widgets.cbo_pic_sat, "saturation" },
            { widgets.cbo_pic_hue, "hue" },
            { widgets.cbo_pic_sha, "sharpness" },
        },
        {}, widgets.lab_pic_reply, parent)
    , w_(widgets)
{
    connect(w_.cmd_pic_read, &QAbstractButton::clicked, this, &PictureControls::cmd_pic_read_Click);
    connect(w_.cmd_pic_rst, &QAbstractButton::clicked, this, &PictureControls::cmd_pic_rst_Click);
}

void PictureControls::cmd_pic_read_Click()
{
    // The entry at position n reads n; a value outside 0 to 100 has no entry and leaves the list
    // as it was.
    read_back(w_.cmd_pic_read, model::ReadGroup::Picture, w_.lab_pic_reply);
}

void PictureControls::cmd_pic_rst_Click()
{
    handler_steps::press_action(
        ctx_, w_.cmd_pic_rst, model::command_step("picture_reset")->message, w_.lab_pic_reply);
}
