#include "receiver/picture_controls.h"

#include "link/serial_link.h"
#include "model/plans.h"
#include "protocol/protocol.h"
#include "protocol/vocabulary.h"
#include "section/combo_util.h"
#include "section/handler_steps.h"
#include "section/setting_list.h"
#include <QAbstractButton>
#include <QComboBox>
#include <QLabel>

PictureControls::PictureControls(const HandlerContext &ctx, const Widgets &widgets, QObject *parent)
    : QObject(parent)
    , ctx_(ctx)
    , w_(widgets)
{
    const struct
    {
        QComboBox *combo;
        const char *name;
    } lists[] = {
        { w_.cbo_pic_bri, "brightness" },
        { w_.cbo_pic_con, "contrast" },
        { w_.cbo_pic_sat, "saturation" },
        { w_.cbo_pic_hue, "hue" },
        { w_.cbo_pic_sha, "sharpness" },
    };
    for (const auto &list : lists)
        controls_.push_back({ model::find_setting(QLatin1String(list.name)), list.combo });
    for (const SettingControl &control : controls_) {
        connect(control.list, &QComboBox::currentIndexChanged, this,
            [this, control] { choose(control); });
    }
    connect(w_.cmd_pic_read, &QAbstractButton::clicked, this, &PictureControls::cmd_pic_read_Click);
    connect(w_.cmd_pic_rst, &QAbstractButton::clicked, this, &PictureControls::cmd_pic_rst_Click);
}

void PictureControls::fill_lists()
{
    for (const SettingControl &control : controls_)
        fill_combo(control.list, protocol::fixed_entries(*control.setting->command));
}

void PictureControls::choose(const SettingControl &control)
{
    send_list_choice(ctx_, *control.setting->command, control.list, w_.lab_pic_reply);
}

void PictureControls::cmd_pic_read_Click()
{
    // The entry at position n reads n; a value outside 0 to 100 has no entry and leaves the list
    // as it was.
    read_back(ctx_,
        { w_.cmd_pic_read, model::read_plan(model::ReadGroup::Picture), w_.lab_pic_reply,
            [this](const model::Setting &setting, const QByteArray &value) {
                apply_reply(controls_, ctx_.state, setting, value);
            } });
}

void PictureControls::cmd_pic_rst_Click()
{
    handler_steps::press_action(ctx_, w_.cmd_pic_rst,
        protocol::setting_message(protocol::find_command("picture_reset")->prefix, "Go"),
        w_.lab_pic_reply);
}
