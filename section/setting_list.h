#pragma once

#include "section/handler_context.h"

#include <QByteArray>

#include <functional>
#include <initializer_list>
#include <vector>

class QAbstractButton;
class QComboBox;
class QLabel;

namespace protocol {
struct Command;
}

// The change handler that every setting list shares: the list's command from the vocabulary
// decides the argument and whether the send waits. Nothing is sent while a read-back runs or
// when nothing is selected. A waiting send disables the list; Send::Wait shows "Send fail !" in
// fail_label when no complete reply comes, Send::WaitQuiet does not examine the reply.
void send_list_choice(const HandlerContext &ctx, const protocol::Command &command, QComboBox *combo,
    QLabel *fail_label);

// One read-back button: queries each command in turn, pausing pause_sec after each query, and
// hands every value (the reply without prefix and terminator) to apply. Stops at the first
// missing or foreign reply and then shows "Read fail !" in fail_label, or nothing when
// fail_label is null. Holds state.reading for its whole run and disables the button meanwhile.
struct ReadBack
{
    QAbstractButton *button;
    std::vector<const protocol::Command *> commands;
    double pause_sec;
    QLabel *fail_label;
    std::function<void(const protocol::Command &, const QByteArray &)> apply;
};
void read_back(const HandlerContext &ctx, const ReadBack &read);
