#pragma once

#include "section/apply_reply.h"
#include "section/handler_context.h"

#include <QByteArray>
#include <QObject>

#include <vector>

class QAbstractButton;
class QComboBox;
class QLabel;

// Automatic display on/off and the ProjSW delay, sent as soon as chosen, and their read-back.
class ProjectorBehaviour : public QObject
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

    // Fills "On"/"Off" twice and the ProjSW times 0, 5, ... 300, none selected.
    void fill_lists();

    // Selection handlers; each does nothing while a read-back runs or when nothing is selected.
    // The two auto-display lists wait for the reply with the list disabled; ProjSW does not wait.
    // No failure is shown for a missing reply.
    void cbo_auto_on_Click();
    void cbo_auto_off_Click();
    void cbo_projsw_Click();

    // "Read": queries ProjSW, auto display on and auto display off in turn and selects what the
    // replies carry; stops quietly at the first missing or foreign reply.
    void cmd_read_proj_Click();

    // Shows a reply's value (without prefix and terminator) to setting's query in its list.
    void apply_reply(const model::Setting &setting, const QByteArray &value);

private:
    void choose(QComboBox *combo);

    HandlerContext ctx_;
    Widgets w_;
    // The three settings with their lists, in the order of the read-back.
    std::vector<SettingControl> controls_;
};
