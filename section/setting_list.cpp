#include "section/setting_list.h"

#include "link/serial_link.h"
#include "protocol/protocol.h"
#include "protocol/vocabulary.h"
#include "section/fail_indicator.h"
#include "section/focus_keeper.h"
#include "section/handler_steps.h"
#include "section/window_state.h"

#include <QAbstractButton>
#include <QComboBox>

void send_list_choice(const HandlerContext &ctx, const protocol::Command &command, QComboBox *combo,
    QLabel *fail_label)
{
    if (ctx.state.reading)
        return;
    const int position = combo->currentIndex();
    const std::optional<QByteArray> argument
        = protocol::choice_argument(command, position, combo->currentText(), ctx.state.single_hdmi);
    if (!argument)
        return;
    const QByteArray message = protocol::setting_message(command.prefix, *argument);
    switch (command.send) {
    case protocol::Send::Wait:
        handler_steps::send_disabled(ctx, combo, message, fail_label);
        return;
    case protocol::Send::WaitQuiet: {
        // The list cannot be changed while its command is on the way; the reply is not examined.
        const FocusKeeper disabled(combo);
        (void)ctx.link.send_cmd(message);
        return;
    }
    case protocol::Send::NoWait:
        ctx.link.send_cmd_nowait(message);
        return;
    }
}

void read_back(const HandlerContext &ctx, const ReadBack &read)
{
    // A read-back started inside another one's pause leaves that one's guard standing.
    const handler_steps::ReadingGuard guard(ctx.state);
    const FocusKeeper disabled(read.button);
    bool ok = true;
    for (const model::Step &step : read.plan) {
        const bool replied = ctx.link.send_cmd(step.message);
        // Taken before the pause: a transaction let through during the pause (Get, System
        // Reset) leaves its own reply in the link.
        QByteArray value = ctx.link.reply_text();
        ctx.link.delay_sec(step.pause_after_sec);
        if (!replied || !protocol::strip_reply(value, step.prefix)) {
            ok = false;
            break;
        }
        read.apply(*step.setting, value);
    }
    if (!ok && read.fail_label)
        ctx.fail.show_fail(read.fail_label, handler_steps::read_fail_text());
}
