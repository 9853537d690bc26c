#include "section/handler_steps.h"

#include "link/window_link.h"
#include "section/fail_indicator.h"
#include "section/focus_keeper.h"
#include "section/window_state.h"

#include <QAbstractButton>
#include <QLabel>
#include <QPointer>

namespace handler_steps {

QString send_fail_text()
{
    return QStringLiteral("Send fail !");
}

QString read_fail_text()
{
    return QStringLiteral("Read fail !");
}

bool send_disabled(
    const HandlerContext &ctx, QWidget *control, const QByteArray &message, QLabel *fail_label)
{
    // The wait lets window events run; a control that goes away meanwhile is not touched again.
    const FocusKeeper disabled(control);
    const bool ok = ctx.link.send_cmd(message);
    if (!ok)
        ctx.fail.show_fail(fail_label, send_fail_text());
    return ok;
}

void press_action(const HandlerContext &ctx, QAbstractButton *button, const QByteArray &message,
    QLabel *fail_label)
{
    const QPointer<QAbstractButton> guarded(button);
    const FocusKeeper disabled(button);
    ctx.link.show_pending_events();
    if (!guarded)
        return;
    send_disabled(ctx, button, message, fail_label);
}

ReadingGuard::ReadingGuard(WindowState &state)
    : state_(state)
    , was_reading_(state.reading)
{
    state_.reading = true;
}

ReadingGuard::~ReadingGuard()
{
    state_.reading = was_reading_;
}

} // namespace handler_steps
