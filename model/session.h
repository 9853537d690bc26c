#pragma once

#include "link/link_core.h"
#include "link/link_outcome.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

class TraceWriter;

namespace model {

struct Setting;

// One step of a plan: a message to send and wait for, with the pauses the window makes around it.
struct Step
{
    QString what; // the setting's name, or "key menu", for reports
    QByteArray prefix; // a reply must begin with it
    QByteArray message;
    // The window's pauses, in seconds as its delay_sec takes them; 0 for none.
    double pause_before_sec = 0;
    double pause_after_sec = 0;
    const Setting *setting = nullptr; // the setting queried or sent, if any
    bool query = false; // a query, whose value is read, rather than a command
    // False for a message sent without waiting (Send::NoWait): the step is done once it is
    // written, and whatever comes back is dropped.
    bool wait = true;
    // A query that confirms a value sent without waiting: the value its reply must show.
    std::optional<QString> expect;

    // The same pauses on a millisecond clock, as the window's delay_sec ends them.
    int pause_before_ms() const;
    int pause_after_ms() const;

    // The value of a reply to this step, without prefix and terminator; none when the reply
    // begins with something else than the prefix.
    std::optional<QByteArray> reply_value(const QByteArray &reply) const;
    // The same cut by length alone, for replies whose start is trusted (the device information):
    // never fails, a reply too short for the cut gives what is left.
    QByteArray cut_value(const QByteArray &reply) const;
};

struct StepResult
{
    Step step;
    LinkOutcome outcome;
    QByteArray received; // every byte that came back during the step, a reply or not
};

struct RunResult
{
    // Replied when every step went through; otherwise the outcome of the step that ended the
    // run: NoReply or TooLong, Foreign (a reply with another prefix), LineLost, or a refusal
    // (NotOpen when the line went away before the step); Stopped when stop() ended it between
    // two steps.
    Outcome end = Outcome::Replied;
    bool done() const { return end == Outcome::Replied; }
    std::vector<StepResult> steps; // every step that ran, the failing one last
};

// One receiver's line driven by events alone, for any front end that serves many receivers at
// once (kz-orba-cli, the monitoring): it opens the line and runs plans of steps on a LinkCore in
// prompt timing, so that a reply ends its transaction as soon
// as it is complete while the pauses between commands stay those of the window. Nothing here
// blocks or runs a nested event loop, so many sessions can share one thread.
class ReceiverSession : public QObject
{
    Q_OBJECT
public:
    // port names the line in reports and the trace ("COM1", "/dev/ttyUSB0"); address is what is
    // opened. trace may be null.
    ReceiverSession(const QString &port, const QString &address, TraceWriter *trace,
        std::unique_ptr<Transport> transport = nullptr, QObject *parent = nullptr);
    ~ReceiverSession() override;

    const QString &port() const { return port_; }
    const QString &address() const { return address_; }

    // Opens the line without waiting, so that a gateway that does not answer holds up no other
    // session on the thread; done follows from the event loop with true, or false and the
    // system's reason.
    void open(std::function<void(bool ok, const QString &error)> done);
    void close();
    // The kind of the last open's failure.
    OpenFailure open_failure() const { return core_.open_failure(); }

    // Runs the steps in order and calls done once, from the event loop, when the last has
    // replied or one has failed. One plan at a time.
    void run(std::vector<Step> steps, std::function<void(const RunResult &)> done);

    // Sends nothing more. A step whose message is on the line runs to its end (its reply, or
    // the reply wait), so that its outcome is known and traced; the plan then ends, with Stopped
    // when that step replied. A plan in a pause ends at once, and so does any plan run later.
    void stop();
    bool stopping() const { return stopping_; }

    // Milliseconds a waiting step may take before it counts as unanswered.
    static constexpr int reply_wait_ms = LinkCore::reply_wait_ms;

Q_SIGNALS:
    // A step has replied: index of the step in the plan (from 0) and the plan's length.
    void step_done(int index, int total);

private:
    void next();
    void send_current();
    void finished(const LinkOutcome &outcome);
    // The current step is done (replied, or sent without waiting): on to the next after its pause.
    void step_replied();
    void end(Outcome how);

    QString port_;
    QString address_;
    TraceWriter *trace_;
    LinkCore core_;
    QTimer pause_;
    QByteArray last_received_; // of the transaction that ended last
    std::vector<Step> steps_;
    std::size_t index_ = 0;
    bool after_pause_ = false; // the pause running is the one after steps_[index_ - 1]
    RunResult result_;
    std::function<void(const RunResult &)> done_;
    bool running_ = false;
    bool stopping_ = false;
};

} // namespace model
