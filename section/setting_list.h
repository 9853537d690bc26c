#pragma once

#include "model/session.h"
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

// One read-back button: runs a read plan of the receiver model, each query through the link's
// nested wait followed by the step's pause, and hands every value (the reply without prefix and
// terminator) to apply. Stops at the first missing or foreign reply and then shows "Read fail !"
// in fail_label, or nothing when fail_label is null. Holds state.reading for its whole run and
// disables the button meanwhile.
struct ReadBack
{
    QAbstractButton *button;
    std::vector<model::Step> plan;
    QLabel *fail_label;
    std::function<void(const model::Setting &, const QByteArray &)> apply;
};
void read_back(const HandlerContext &ctx, const ReadBack &read);
