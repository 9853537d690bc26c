#include "projector/projector_behaviour.h"

#include "link/serial_link.h"
#include "model/plans.h"
#include "protocol/protocol.h"
#include "protocol/vocabulary.h"
#include "section/combo_util.h"
#include "section/setting_list.h"
#include "section/window_state.h"
#include <QAbstractButton>
#include <QComboBox>
#include <QLabel>

ProjectorBehaviour::ProjectorBehaviour(
    const HandlerContext &ctx, const Widgets &widgets, QObject *parent)
    : QObject(parent)
    , ctx_(ctx)
    , w_(widgets)
{
    const struct
    {
        QComboBox *combo;
        const char *name;
    } lists[] = {
        { w_.cbo_projsw, "projsw_mode" },
        { w_.cbo_auto_on, "auto_display_on" },
        { w_.cbo_auto_off, "auto_display_off" },
    };
    for (const auto &list : lists)
        controls_.push_back({ model::find_setting(QLatin1String(list.name)), list.combo });

    connect(w_.cbo_auto_on, &QComboBox::currentIndexChanged, this,
        &ProjectorBehaviour::cbo_auto_on_Click);
    connect(w_.cbo_auto_off, &QComboBox::currentIndexChanged, this,
        &ProjectorBehaviour::cbo_auto_off_Click);
    connect(w_.cbo_projsw, &QComboBox::currentIndexChanged, this,
        &ProjectorBehaviour::cbo_projsw_Click);
    connect(w_.cmd_read_proj, &QAbstractButton::clicked, this,
        &ProjectorBehaviour::cmd_read_proj_Click);
}

void ProjectorBehaviour::fill_lists()
{
    for (QComboBox *combo : { w_.cbo_auto_on, w_.cbo_auto_off, w_.cbo_projsw }) {
        for (const SettingControl &control : controls_) {
            if (control.list == combo)
                fill_combo(combo, protocol::fixed_entries(*control.setting->command));
        }
    }
}

void ProjectorBehaviour::choose(QComboBox *combo)
{
    for (const SettingControl &control : controls_) {
        if (control.list == combo)
            send_list_choice(ctx_, *control.setting->command, combo, w_.lab_proj_reply);
    }
}

void ProjectorBehaviour::cbo_auto_on_Click()
{
    choose(w_.cbo_auto_on);
}
void ProjectorBehaviour::cbo_auto_off_Click()
{
    choose(w_.cbo_auto_off);
}
void ProjectorBehaviour::cbo_projsw_Click()
{
    choose(w_.cbo_projsw);
}

void ProjectorBehaviour::apply_reply(const model::Setting &setting, const QByteArray &value)
{
    ::apply_reply(controls_, ctx_.state, setting, value);
}

void ProjectorBehaviour::cmd_read_proj_Click()
{
    read_back(ctx_,
        { w_.cmd_read_proj, model::read_plan(model::ReadGroup::Behaviour), nullptr,
            [this](const model::Setting &setting, const QByteArray &value) {
                apply_reply(setting, value);
            } });
}
