#include "model/session.h"

#include "link/trace.h"
#include "model/settings.h"
#include "protocol/protocol.h"

#include <array>
#include <memory>

namespace model {

int Step::pause_before_ms() const
{
    return pause_before_sec > 0 ? static_cast<int>(::pause_ms(pause_before_sec)) : 0;
}

int Step::pause_after_ms() const
{
    return pause_after_sec > 0 ? static_cast<int>(::pause_ms(pause_after_sec)) : 0;
}

std::optional<QByteArray> Step::reply_value(const QByteArray &reply) const
{
    QByteArray value = reply;
    if (!protocol::strip_reply(value, prefix))
        return std::nullopt;
    return value;
}

QByteArray Step::cut_value(const QByteArray &reply) const
{
    return protocol::cut_reply(reply, static_cast<int>(prefix.size()));
}

ReceiverSession::ReceiverSession(const QString &port, const QString &address, TraceWriter *trace,
    std::unique_ptr<Transport> transport, QObject *parent)
    : QObject(parent)
    , port_(port)
    , address_(address)
    , trace_(trace)
    , core_(LinkCore::Timing::Prompt, std::move(transport))
{
    pause_.setSingleShot(true);
    pause_.setTimerType(Qt::PreciseTimer);
    connect(&pause_, &QTimer::timeout, this, &ReceiverSession::next);
    connect(&core_, &LinkCore::finished, this, &ReceiverSession::finished);
    connect(&core_, &LinkCore::line_lost, this, [this] {
        // Lost between two steps (during a pause): the next step is the one that finds no line.
        if (running_ && !core_.busy()) {
            if (index_ < steps_.size()) {
                LinkOutcome outcome;
                outcome.status = Outcome::NotOpen;
                result_.steps.push_back({ steps_[index_], outcome, {} });
            }
            end(Outcome::LineLost);
        }
    });
    connect(&core_, &LinkCore::traced, this, [this](const TraceRecord &record) {
        last_received_ = record.received;
        if (trace_)
            trace_->write(port_, record);
    });
    connect(&core_, &LinkCore::noted, this, [this](const QString &text) {
        if (trace_)
            trace_->write_line(trace_note_line(port_, QDateTime::currentDateTime(), text));
    });
}

ReceiverSession::~ReceiverSession() = default;

void ReceiverSession::open(std::function<void(bool ok, const QString &error)> done)
{
    // Whichever comes first answers, once.
    auto answered = std::make_shared<std::array<QMetaObject::Connection, 2>>();
    const auto answer = [this, answered, done](bool ok) {
        for (const QMetaObject::Connection &connection : *answered)
            disconnect(connection);
        done(ok, ok ? QString() : core_.open_error());
    };
    (*answered)[0] = connect(&core_, &LinkCore::opened, this, [answer] { answer(true); });
    (*answered)[1] = connect(&core_, &LinkCore::open_failed, this, [answer] { answer(false); });
    core_.open_async(address_);
}

void ReceiverSession::close()
{
    core_.close();
}

void ReceiverSession::run(std::vector<Step> steps, std::function<void(const RunResult &)> done)
{
    steps_ = std::move(steps);
    done_ = std::move(done);
    result_ = {};
    index_ = 0;
    after_pause_ = false;
    running_ = true;
    // From the event loop, so that done never runs inside run().
    QTimer::singleShot(0, this, &ReceiverSession::next);
}

void ReceiverSession::stop()
{
    stopping_ = true;
    // In a pause, or before the first step: nothing is on the line.
    if (running_ && !core_.busy())
        end(Outcome::Stopped);
}

void ReceiverSession::next()
{
    if (!running_)
        return;
    if (stopping_) {
        end(Outcome::Stopped);
        return;
    }
    if (index_ >= steps_.size()) {
        end(Outcome::Replied);
        return;
    }
    const Step &step = steps_[index_];
    if (!after_pause_ && step.pause_before_ms() > 0) {
        after_pause_ = true;
        pause_.start(step.pause_before_ms());
        return;
    }
    after_pause_ = false;
    send_current();
}

void ReceiverSession::send_current()
{
    const Step &step = steps_[index_];
    const Outcome status = step.wait ? core_.start(step.message) : core_.send_nowait(step.message);
    if (status == Outcome::Pending)
        return;
    if (status == Outcome::Sent) {
        LinkOutcome outcome;
        outcome.status = status;
        result_.steps.push_back({ step, outcome, {} });
        step_replied();
        return;
    }
    // Refused: the line is not open (it was lost before this step), or busy, which a plan that
    // runs one step at a time never meets.
    LinkOutcome outcome;
    outcome.status = status;
    result_.steps.push_back({ steps_[index_], outcome, {} });
    end(status);
}

void ReceiverSession::finished(const LinkOutcome &outcome)
{
    if (!running_)
        return;
    const Step &step = steps_[index_];
    result_.steps.push_back({ step, outcome, last_received_ });
    if (!outcome.replied()) {
        end(outcome.status);
        return;
    }
    if (!outcome.reply.startsWith(step.prefix)) {
        end(Outcome::Foreign);
        return;
    }
    step_replied();
}

void ReceiverSession::step_replied()
{
    const int pause_after = steps_[index_].pause_after_ms();
    ++index_;
    Q_EMIT step_done(static_cast<int>(index_) - 1, static_cast<int>(steps_.size()));
    // The pause after the last step would hold nothing back.
    if (index_ >= steps_.size())
        end(Outcome::Replied);
    else if (stopping_)
        end(Outcome::Stopped);
    else
        // A timer even without a pause: the event loop takes timers after the events of
        // descriptors, so a stop that came with this reply is seen before the next step goes.
        pause_.start(pause_after);
}

void ReceiverSession::end(Outcome how)
{
    if (!running_)
        return;
    running_ = false;
    pause_.stop();
    result_.end = how;
    auto done = std::move(done_);
    done_ = nullptr;
    const RunResult result = std::move(result_);
    result_ = {};
    if (done)
        done(result);
}

} // namespace model
