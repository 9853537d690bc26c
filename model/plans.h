#pragma once

#include "model/profile.h"
#include "model/session.h"
#include "model/settings.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

#include <optional>

#include <vector>

// The plans both front ends run: which messages go out, in which order, with which pauses.
// kz-orba-cli runs them on a ReceiverSession; the window runs the same steps through its
// nested waits.
namespace model {

// The queries of a read of the given settings, in the order and with the pauses of the window's
// read-backs; the identification is asked first when the input source is read, because it
// decides the input list's layout.
std::vector<Step> read_plan(const QList<const Setting *> &wanted);
// One read-back of the window: every setting of the group.
std::vector<Step> read_plan(ReadGroup group);

// The window's "Get": the receiver's and the transmitter's firmware versions, then the
// transmitter's baud rate, one after another without a pause.
std::vector<Step> device_info_plan();

// A one-shot command of the receiver, sent the same way from the window and kz-orba-cli: an
// action ("reset", "vga_auto", "picture_reset") sends "Go", a front-panel key ("key_menu") its
// prefix and terminator alone. None when the vocabulary has no action or key of that name.
std::optional<Step> command_step(QByteArrayView name);

// One message to send for a setting.
struct Sending
{
    const Setting *setting;
    QByteArray message;
};
// The messages in the order given, with the window's pause before a display command that
// follows another step of the projector command settings.
std::vector<Step> send_plan(const QList<Sending> &sendings);
// The commands that choosing each value sends, in the order given, paused as send_plan does.
// A value that the window sends without waiting (Send::NoWait: the picture values, which a
// receiver may take without answering) is sent the same way, then, after its read-back's pause,
// read back: that query, whose step carries the value sent in `expect`, confirms it. Every other
// value is confirmed by the reply to its own message.
std::vector<Step> set_plan(const QList<ProfileEntry> &entries, const OptionLists &lists);

// The bytes in quotes, as the trace writes them; "… N more bytes" after them when the link dropped
// N more.
QString quoted_bytes(const QByteArray &bytes, qint64 discarded = 0);

// A step's report: the setting, the bytes sent and what came back, e.g.
// "aspect: sent WP_Aspect[?]$\x0D, no reply within 302 ms".
QString step_report(const StepResult &step, Outcome end);

} // namespace model
