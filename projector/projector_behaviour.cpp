#include "projector/projector_behaviour.h"

#include "link/serial_link.h"
#include "protocol/protocol.h"
#include "protocol/vocabulary.h"
#include "section/apply_reply.h"
#include "section/combo_util.h"
#include "section/setting_list.h"
#include "section/window_state.h"
#include <QAbstractButton>
#include <QComboBox>
#include <QLabel>

namespace {

// Command numbers of the three settings, in read-back order.
constexpr int projsw_number = 21;
constexpr int auto_on_number = 22;
constexpr int auto_off_number = 23;

constexpr double read_pause_sec = 0.1;

} // namespace

ProjectorBehaviour::ProjectorBehaviour(
    const HandlerContext &ctx, const Widgets &widgets, QObject *parent)
    : QObject(parent)
    , ctx_(ctx)
    , w_(widgets)
{
    connect(w_.cbo_auto_on, &QComboBox::currentIndexChanged, this,
        &ProjectorBehaviour::cbo_auto_on_Click);
    connect(w_.cbo_auto_off, &QComboBox::currentIndexChanged, this,
        &ProjectorBehaviour::cbo_auto_off_Click);
    connect(w_.cbo_projsw, &QComboBox::currentIndexChanged, this,
        &ProjectorBehaviour::cbo_projsw_Click);
    connect(w_.cmd_read_proj, &QAbstractButton::clicked, this,
        &ProjectorBehaviour::cmd_read_proj_Click);
}

QComboBox *ProjectorBehaviour::list_of(int number) const
{
    switch (number) {
    case projsw_number:
        return w_.cbo_projsw;
    case auto_on_number:
        return w_.cbo_auto_on;
    case auto_off_number:
        return w_.cbo_auto_off;
    default:
        return nullptr;
    }
}

void ProjectorBehaviour::fill_lists()
{
    for (int number : { auto_on_number, auto_off_number, projsw_number })
        fill_combo(list_of(number), protocol::fixed_entries(*protocol::command_by_number(number)));
}

void ProjectorBehaviour::choose(int number)
{
    send_list_choice(
        ctx_, *protocol::command_by_number(number), list_of(number), w_.lab_proj_reply);
}

void ProjectorBehaviour::cbo_auto_on_Click()
{
    choose(auto_on_number);
}
void ProjectorBehaviour::cbo_auto_off_Click()
{
    choose(auto_off_number);
}
void ProjectorBehaviour::cbo_projsw_Click()
{
    choose(projsw_number);
}

void ProjectorBehaviour::cmd_read_proj_Click()
{
    const ReplyTargets targets { [this](int number) { return list_of(number); } };
    ReadBack read { w_.cmd_read_proj, {}, read_pause_sec, nullptr,
        [this, &targets](const protocol::Command &command, const QByteArray &value) {
            apply_reply(targets, ctx_.state, command.cmd_number, value);
        } };
    for (int number : { projsw_number, auto_on_number, auto_off_number })
        read.commands.push_back(protocol::command_by_number(number));
    read_back(ctx_, read);
}
