#include "model/job.h"

#include "link/trace.h"
#include "model/plans.h"
#include "protocol/vocabulary.h"

#include <QTimer>

namespace model {

namespace {

QString names_of(const QList<ProfileEntry> &entries)
{
    QStringList names;
    for (const ProfileEntry &entry : entries)
        names << QLatin1String(entry.setting->name);
    return names.isEmpty() ? QStringLiteral("none") : names.join(QStringLiteral(", "));
}

} // namespace

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
        QTimer::singleShot(0, this, [this] { finish(JobEnd::Done); });
        return;
    }
    session_.open([this](bool ok, const QString &why) {
        if (ok) {
            begin();
            return;
        }
        result_.errors << QStringLiteral("cannot open %1: %2")
                              .arg(session_.address(),
                                  context_.open_failure ? context_.open_failure(why) : why);
        finish(JobEnd::LineFailed);
    });
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
}

void ReceiverJob::record_sent(const RunResult &run)
{
    for (const StepResult &step : run.steps) {
        if (step.step.query || refused(step.outcome.status))
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
        const QString current = now && now->value ? *now->value : QStringLiteral("(no entry)");
        result_.changes << QStringLiteral("%1: %2 -> %3")
                               .arg(QLatin1String(entry.setting->name), current, entry.value);
        to_send_ << entry;
        before_ << std::pair { entry.setting, current };
    }
    if (request_.kind == Kind::Diff) {
        finish(result_.changes.isEmpty() ? JobEnd::Done : JobEnd::Differs);
        return;
    }
    // The input source must be an entry of the layout this receiver's transmitter has.
    for (const ProfileEntry &entry : std::as_const(to_send_)) {
        if (entry.setting->follows_input_layout) {
            const QStringList entries = list_entries(*entry.setting, lists_, single_hdmi_);
            if (!entries.contains(entry.value)) {
                result_.errors << QStringLiteral("input_source: %1 is not an input of this "
                                                 "receiver (%2); nothing was sent")
                                      .arg(entry.value, entries.join(QStringLiteral(", ")));
                finish(JobEnd::Failed);
                return;
            }
        }
    }
    if (request_.dry_run || to_send_.isEmpty()) {
        for (const Step &step : set_plan(to_send_, lists_)) {
            if (!step.query)
                result_.commands << trace_bytes(step.message);
        }
        finish(JobEnd::Done);
        return;
    }
    result_.changes.clear();
    run_plan(set_plan(to_send_, lists_), &ReceiverJob::sent);
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
    const QList<ProfileEntry> &entries
        = request_.kind == JobRequest::Kind::Apply ? to_send_ : request_.entries;
    // Each value is confirmed by the reply to its own message, or (sent without waiting) by the
    // read-back that follows it; the failing step, last of a run that did not end well, confirms
    // nothing.
    QList<ProfileEntry> confirmed, unconfirmed;
    QStringList wrong;
    qsizetype entry = 0;
    const std::size_t done
        = run.done() || run.steps.empty() ? run.steps.size() : run.steps.size() - 1;
    for (std::size_t i = 0; i < done && entry < entries.size(); ++i) {
        const StepResult &result = run.steps[i];
        if (!result.step.wait)
            continue;
        const ProfileEntry &value = entries.at(entry++);
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
                     .arg(QLatin1String(value.setting->name), value.value,
                         read.value ? *read.value : QStringLiteral("a value no entry names"));
    }
    if (run.done() && wrong.isEmpty()) {
        if (request_.kind != JobRequest::Kind::Apply) {
            finish(JobEnd::Done);
            return;
        }
        QList<const Setting *> wanted;
        for (const ProfileEntry &value : std::as_const(to_send_))
            wanted << value.setting;
        result_.values.clear();
        run_plan(read_plan(wanted), &ReceiverJob::verified);
        return;
    }
    if (!run.done())
        report_failure(run);
    result_.errors << wrong;
    unconfirmed << entries.mid(entry);
    result_.errors << QStringLiteral("sent and confirmed: %1; not confirmed: %2")
                          .arg(names_of(confirmed), names_of(unconfirmed));
    finish(line_gone(run.end) ? JobEnd::LineFailed : JobEnd::Failed);
}

void ReceiverJob::verified(const RunResult &run)
{
    if (!take_values(run)) {
        result_.errors << QStringLiteral(
            "every setting was sent (%1), but reading them back failed")
                              .arg(names_of(to_send_));
        finish(line_gone(run.end) ? JobEnd::LineFailed : JobEnd::Failed);
        return;
    }
    JobEnd end = JobEnd::Done;
    for (qsizetype i = 0; i < to_send_.size(); ++i) {
        const ProfileEntry &entry = to_send_.at(i);
        std::optional<QString> now;
        for (const JobResult::Value &value : std::as_const(result_.values)) {
            if (value.setting == entry.setting)
                now = value.value;
        }
        if (now && same_value(*entry.setting, *now, entry.value)) {
            result_.changes << QStringLiteral("%1: %2 -> %3")
                                   .arg(QLatin1String(entry.setting->name), before_.at(i).second,
                                       entry.value);
        } else {
            result_.errors << QStringLiteral("%1: sent %2, but the receiver reads back %3")
                                  .arg(QLatin1String(entry.setting->name), entry.value,
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
