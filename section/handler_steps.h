#pragma once

#include "section/handler_context.h"

#include <QByteArray>
#include <QString>

class QAbstractButton;
class QLabel;
class QWidget;

// The steps that the receiver-section handlers share: a waiting send with its control disabled,
// a one-shot action button, and the read-back guard.
namespace handler_steps {

// "Send fail !", the text of a failed setting or action.
QString send_fail_text();
// "Read fail !", the text of a failed read-back.
QString read_fail_text();

// Disables control for the time of one waiting send of message; shows "Send fail !" in
// fail_label when no complete reply arrives. Returns this send's own outcome.
bool send_disabled(
    const HandlerContext &ctx, QWidget *control, const QByteArray &message, QLabel *fail_label);

// An action button: disabled, drawn disabled, then the waiting send as above.
void press_action(const HandlerContext &ctx, QAbstractButton *button, const QByteArray &message,
    QLabel *fail_label);

// Holds state.reading True for the life of a read-back and then gives it back the value it had.
// A read-back started inside another one's pause (the picture Read during the receiver Read)
// therefore does not end the outer one's guard.
class ReadingGuard
{
public:
    explicit ReadingGuard(WindowState &state);
    ~ReadingGuard();
    ReadingGuard(const ReadingGuard &) = delete;
    ReadingGuard &operator=(const ReadingGuard &) = delete;

private:
    WindowState &state_;
    bool was_reading_;
};

} // namespace handler_steps
