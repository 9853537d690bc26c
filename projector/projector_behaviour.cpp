#include "projector/projector_behaviour.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QLabel>

ProjectorBehaviour::ProjectorBehaviour(
    const HandlerContext &ctx, const Widgets &widgets, QObject *parent)
    : ListSection(ctx,
        {
            { widgets.cbo_projsw, "projsw_mode" },
            { widgets.cbo_auto_on, "auto_display_on" },
            { widgets.cbo_auto_off, "auto_display_off" },
        },
        {}, widgets.lab_proj_reply, parent)
    , w_(widgets)
{
    connect(w_.cmd_read_proj, &QAbstractButton::clicked, this,
        &ProjectorBehaviour::cmd_read_proj_Click);
}

void ProjectorBehaviour::cmd_read_proj_Click()
{
    read_back(w_.cmd_read_proj, model::ReadGroup::Behaviour, nullptr);
}
