#pragma once

#include "section/list_section.h"

class QAbstractButton;
class QComboBox;
class QLabel;

// Automatic display on/off and the ProjSW delay, sent as soon as chosen, and their read-back.
// The two auto-display lists wait for the reply with the list disabled; ProjSW does not wait. No
// failure is shown for a missing reply.
class ProjectorBehaviour : public ListSection
{
    Q_OBJECT
public:
    // The widgets of the projector control frame that these handlers use.
    struct Widgets
    {
        QComboBox *cbo_auto_on, *cbo_auto_off, *cbo_projsw;
        QAbstractButton *cmd_read_proj;
        QLabel *lab_proj_reply;
    };

    ProjectorBehaviour(
        const HandlerContext &ctx, const Widgets &widgets, QObject *parent = nullptr);

    // "Read": queries ProjSW, auto display on and auto display off in turn and selects what the
    // replies carry; stops quietly at the first missing or foreign reply.
    void cmd_read_proj_Click();

private:
    Widgets w_;
};
