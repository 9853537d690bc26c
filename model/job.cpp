#include "model/job.h"

#include "link/trace.h"
#include "model/plans.h"
#include "protocol/vocabulary.h"

#include <QTimer>

namespace model {

namespace {

QString names_of(const QList<JobResult::Change> &changes)
{
    QStringList names;
    for (const JobResult::Change &change : changes)
        names << QLatin1String(change.setting->name);
    return names.isEmpty() ? QStringLiteral("none") : names.join(QStringLiteral(", "));
}

} // namespace

QString JobResult::Change::text() const
{
    return QStringLiteral("%1: %2 -> %3")
        .arg(QLatin1String(setting->name), from.value_or(QStringLiteral("(no entry)")), to);
}

ReceiverJob::ReceiverJob(const QString &port, const QString &address, const OptionLists &lists,
    TraceWriter *trace, JobRequest request, JobContext context,
    std::unique_ptr<Transport> transport, QObject *parent)
    : QObject(parent)
    , session_(port, address, trace, std::move(transport))
    , lists_(lists)
    , request_(std::move(request))
    , context_(std::move(context))
{
    connect(&session_, &ReceiverSession::step_done, this, [this](int index, int total) {
        const double share = (phase_ + double(index + 1) / std::max(1, total)) / phases_;
        Q_EMIT progress(std::min(1.0, share));
    });
}

ReceiverJob::~ReceiverJob() = default;

void ReceiverJob::run_plan(std::vector<Step> steps, void (ReceiverJob::*then)(const RunResult &))
{
    session_.run(std::move(steps), [this, then](const RunResult &run) {
        ++phase_;
        if (run.end == Outcome::Stopped)
            result_.stopped = true;
        (this->*then)(run);
    });
}

void ReceiverJob::start()
{
    if (request_.dry_run
        && (request_.kind == JobRequest::Kind::Set || request_.kind == JobRequest::Kind::Send)) {
        // Nothing to read first: the messages are known without the line.
        const std::vector<Step> steps = request_.kind == JobRequest::Kind::Send
            ? std::vector<Step> { request_.command }
            : set_plan(request_.entries, lists_);
        for (const Step &step : steps) {
            if (!step.query) // the read-backs that confirm a value are no command
                result_.commands << trace_bytes(step.message);
        }
        started_ = true;
        QTimer::singleShot(0, this, [this] {
            if (!finished_)
                finish(JobEnd::Done);
        });
        return;
    }
    started_ = true;
    opening_ = true;
    session_.open([this](bool ok, const QString &why) {
        opening_ = false;
        if (finished_)
            return;
        if (ok) {
            begin();
            return;
        }
        result_.errors << QStringLiteral("cannot open %1: %2")
                              .arg(session_.address(),
                                  context_.open_failure_words ? context_.open_failure_words(why)
                                                              : why);
        finish(JobEnd::LineFailed);
    });
}

void ReceiverJob::stop()
{
    if (finished_ || stopping_)
        return;
    stopping_ = true;
    if (!started_ || opening_) {
        result_.stopped = true;
        result_.errors << (started_ ? QStringLiteral("stopped while the line was being opened; "
                                                     "nothing was sent")
                                    : QStringLiteral("stopped before it began; nothing was sent"));
        finish(JobEnd::Failed);
        return;
    }
    session_.stop();
}

void ReceiverJob::begin()
{
    using Kind = JobRequest::Kind;
    switch (request_.kind) {
    case Kind::Read: {
        QList<const Setting *> all;
        for (const Setting &setting : settings())
            all << &setting;
        run_plan(read_plan(all), &ReceiverJob::read_done);
        return;
    }
    case Kind::Get:
        run_plan(read_plan(request_.names), &ReceiverJob::read_done);
        return;
    case Kind::Apply:
    case Kind::Diff: {
        phases_ = request_.kind == Kind::Apply && !request_.dry_run ? 3 : 1;
        QList<const Setting *> wanted;
        for (const ProfileEntry &entry : request_.entries) {
            if (entry.setting->writable)
                wanted << entry.setting;
        }
        run_plan(read_plan(wanted), &ReceiverJob::read_done);
        return;
    }
    case Kind::Set:
        for (const ProfileEntry &entry : std::as_const(request_.entries))
            to_send_ << JobResult::Change { entry.setting, std::nullopt, entry.value };
        run_plan(set_plan(request_.entries, lists_), &ReceiverJob::sent);
        return;
    case Kind::Send:
        run_plan({ request_.command }, &ReceiverJob::sent);
        return;
    }
}

bool ReceiverJob::take_values(const RunResult &run)
{
    for (const StepResult &step : run.steps) {
        if (!step.step.query || !step.outcome.replied()
            || !step.outcome.reply.startsWith(step.step.prefix))
            continue;
        const Setting &setting = *step.step.setting;
        const ReadValue read
            = read_value(setting, step.outcome.reply, step.outcome.bytes, single_hdmi_, lists_);
        if (read.foreign) {
            result_.errors << QStringLiteral("%1: sent %2, received %3: %4")
                                  .arg(step.step.what, quoted_bytes(step.step.message),
                                      quoted_bytes(step.outcome.reply), read.problem);
            return false;
        }
        if (setting.sets_input_layout)
            single_hdmi_ = !(read.value && three_inputs(read.value->toLatin1()));
        result_.values << JobResult::Value { &setting, read.value, read.problem };
    }
    if (!run.done()) {
        report_failure(run);
        return false;
    }
    return true;
}

void ReceiverJob::report_failure(const RunResult &run)
{
    if (!run.steps.empty())
        result_.errors << step_report(run.steps.back(), run.end);
    else if (run.end == Outcome::Stopped)
        result_.errors << QStringLiteral("stopped before anything was sent");
}

void ReceiverJob::record_sent(const RunResult &run)
{
    for (const StepResult &step : run.steps) {
        if (step.step.query || !went_out(step.outcome.status))
            continue;
        result_.commands << trace_bytes(step.step.message);
    }
}

void ReceiverJob::read_done(const RunResult &run)
{
    if (!take_values(run)) {
        finish(line_gone(run.end) ? JobEnd::LineFailed : JobEnd::Failed);
        return;
    }
    using Kind = JobRequest::Kind;
    if (request_.kind == Kind::Read) {
        finish(JobEnd::Done);
        return;
    }
    if (request_.kind == Kind::Get) {
        // In the order asked; the identification read only for the input layout is left out.
        QList<JobResult::Value> asked;
        for (const Setting *setting : request_.names) {
            for (const JobResult::Value &value : result_.values) {
                if (value.setting == setting)
                    asked << value;
            }
        }
        result_.values = asked;
        finish(JobEnd::Done);
        return;
    }

    // Apply and Diff: compare the profile with what the receiver holds.
    for (const ProfileEntry &entry : request_.entries) {
        if (!entry.setting->writable)
            continue;
        const JobResult::Value *now = nullptr;
        for (const JobResult::Value &value : result_.values) {
            if (value.setting == entry.setting)
                now = &value;
        }
        if (now && now->value && same_value(*entry.setting, *now->value, entry.value))
            continue;
        to_send_ << JobResult::Change { entry.setting, now ? now->value : std::optional<QString>(),
            entry.value };
    }
    if (request_.kind == Kind::Diff) {
        result_.changes = to_send_;
        finish(result_.changes.isEmpty() ? JobEnd::Done : JobEnd::Differs);
        return;
    }
    // The input source must be an entry of the layout this receiver's transmitter has.
    for (const JobResult::Change &change : std::as_const(to_send_)) {
        if (change.setting->follows_input_layout) {
            const QStringList entries = list_entries(*change.setting, lists_, single_hdmi_);
            if (!entries.contains(change.to)) {
                result_.errors << QStringLiteral("input_source: %1 is not an input of this "
                                                 "receiver (%2); nothing was sent")
                                      .arg(change.to, entries.join(QStringLiteral(", ")));
                finish(JobEnd::Failed);
                return;
            }
        }
    }
    QList<ProfileEntry> entries;
    for (const JobResult::Change &change : std::as_const(to_send_))
        entries << ProfileEntry { change.setting, change.to };
    if (request_.dry_run || to_send_.isEmpty()) {
        // With --dry-run, what would change and the messages that would change it.
        result_.changes = to_send_;
        for (const Step &step : set_plan(entries, lists_)) {
            if (!step.query)
                result_.commands << trace_bytes(step.message);
        }
        finish(JobEnd::Done);
        return;
    }
    run_plan(set_plan(entries, lists_), &ReceiverJob::sent);
}

void ReceiverJob::sent(const RunResult &run)
{
    record_sent(run);
    if (request_.kind == JobRequest::Kind::Send) {
        if (!run.done())
            report_failure(run);
        finish(run.done()            ? JobEnd::Done
                : line_gone(run.end) ? JobEnd::LineFailed
                                     : JobEnd::Failed);
        return;
    }
    // Each value is confirmed by the reply to its own message, or (sent without waiting) by the
    // read-back that follows it. The failing step, last of a run that did not end well, confirms
    // nothing: its value is unconfirmed when its message went out, and every value after it was
    // never sent, so it is neither a change nor unconfirmed. A stopped run ended between steps.
    QList<JobResult::Change> confirmed, unconfirmed;
    QStringList wrong;
    const bool whole = run.done() || run.end == Outcome::Stopped;
    qsizetype entry = 0;
    bool entry_sent = false; // a message of to_send_[entry] went out
    for (std::size_t i = 0; i < run.steps.size() && entry < to_send_.size(); ++i) {
        const StepResult &result = run.steps[i];
        if (!result.step.query && went_out(result.outcome.status))
            entry_sent = true;
        if (!result.step.wait || (!whole && i + 1 == run.steps.size()))
            continue;
        const JobResult::Change &value = to_send_.at(entry++);
        entry_sent = false;
        if (!result.step.expect) {
            confirmed << value;
            continue;
        }
        const ReadValue read = read_value(
            *result.step.setting, result.outcome.reply, result.outcome.bytes, single_hdmi_, lists_);
        if (read.value && same_value(*value.setting, *read.value, *result.step.expect)) {
            confirmed << value;
            continue;
        }
        unconfirmed << value;
        wrong << QStringLiteral("%1: sent %2 without waiting, but the receiver reads back %3")
                     .arg(QLatin1String(value.setting->name), value.to,
                         read.value ? *read.value : QStringLiteral("a value no entry names"));
    }
    if (entry_sent && entry < to_send_.size())
        unconfirmed << to_send_.at(entry++);
    const QList<JobResult::Change> not_sent = to_send_.mid(entry);
    if (run.done() && wrong.isEmpty()) {
        if (request_.kind != JobRequest::Kind::Apply) {
            result_.changes = confirmed;
            finish(JobEnd::Done);
            return;
        }
        QList<const Setting *> wanted;
        for (const JobResult::Change &change : std::as_const(to_send_))
            wanted << change.setting;
        result_.values.clear();
        run_plan(read_plan(wanted), &ReceiverJob::verified);
        return;
    }
    if (!run.done())
        report_failure(run);
    result_.errors << wrong;
    result_.changes = confirmed;
    result_.unconfirmed = unconfirmed;
    QString report = QStringLiteral("sent and confirmed: %1").arg(names_of(confirmed));
    if (!unconfirmed.isEmpty())
        report += QStringLiteral("; sent, not confirmed (it may have taken): %1")
                      .arg(names_of(unconfirmed));
    if (!not_sent.isEmpty())
        report += QStringLiteral("; not sent: %1").arg(names_of(not_sent));
    result_.errors << report;
    finish(line_gone(run.end) ? JobEnd::LineFailed : JobEnd::Failed);
}

void ReceiverJob::verified(const RunResult &run)
{
    if (!take_values(run)) {
        // Every setting was confirmed as it was sent: each is a change, though unchecked.
        result_.changes = to_send_;
        result_.errors << QStringLiteral(
            "every setting was sent and confirmed (%1), but reading them back %2")
                              .arg(names_of(to_send_),
                                  run.end == Outcome::Stopped ? QStringLiteral("was stopped")
                                                              : QStringLiteral("failed"));
        finish(line_gone(run.end) ? JobEnd::LineFailed : JobEnd::Failed);
        return;
    }
    JobEnd end = JobEnd::Done;
    for (const JobResult::Change &change : std::as_const(to_send_)) {
        std::optional<QString> now;
        for (const JobResult::Value &value : std::as_const(result_.values)) {
            if (value.setting == change.setting)
                now = value.value;
        }
        if (now && same_value(*change.setting, *now, change.to)) {
            result_.changes << change;
        } else {
            result_.unconfirmed << change;
            result_.errors << QStringLiteral("%1: sent %2, but the receiver reads back %3")
                                  .arg(QLatin1String(change.setting->name), change.to,
                                      now ? *now : QStringLiteral("a value no entry names"));
            end = JobEnd::Failed;
        }
    }
    finish(end);
}

void ReceiverJob::finish(JobEnd end)
{
    if (finished_)
        return;
    session_.close();
    result_.end = end;
    finished_ = true;
    Q_EMIT finished();
}

} // namespace model
