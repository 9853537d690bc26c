#include "model/probe.h"

#include "link/port_names.h"
#include "model/plans.h"
#include "model/settings.h"

namespace model {

QString state_word(ProbeState state)
{
    switch (state) {
    case ProbeState::Answering:
        return QStringLiteral("answering");
    case ProbeState::Garbled:
        return QStringLiteral("garbled");
    case ProbeState::Silent:
        return QStringLiteral("silent");
    case ProbeState::Busy:
        return QStringLiteral("busy");
    case ProbeState::Unreachable:
        return QStringLiteral("unreachable");
    }
    return {};
}

QList<const Setting *> probe_settings()
{
    QList<const Setting *> wanted;
    for (const char *name : { "transmitter", "rx_firmware", "display", "input_source" })
        wanted << find_setting(QLatin1String(name));
    return wanted;
}

std::vector<Step> probe_plan()
{
    return read_plan(probe_settings());
}

std::optional<QString> ProbeResult::value(const char *name) const
{
    for (const Value &read : values) {
        if (qstrcmp(read.setting->name, name) == 0)
            return read.value;
    }
    return std::nullopt;
}

ProbeState state_of_open(OpenFailure failure)
{
    return failure == OpenFailure::InUse ? ProbeState::Busy : ProbeState::Unreachable;
}

ProbeResult probe_result(const RunResult &run, bool network)
{
    ProbeResult result;
    bool single_hdmi = true;
    const OptionLists no_lists; // no probe setting is read from an option-list file
    for (const StepResult &step : run.steps) {
        if (!step.step.query || !step.outcome.replied()
            || !step.outcome.reply.startsWith(step.step.prefix))
            continue;
        const Setting &setting = *step.step.setting;
        const ReadValue read
            = read_value(setting, step.outcome.reply, step.outcome.bytes, single_hdmi, no_lists);
        if (read.foreign) {
            result.state = ProbeState::Garbled;
            result.detail = QStringLiteral("%1: sent %2, received %3: %4")
                                .arg(step.step.what, quoted_bytes(step.step.message),
                                    quoted_bytes(step.outcome.reply), read.problem);
            return result;
        }
        if (setting.sets_input_layout)
            single_hdmi = !(read.value && three_inputs(read.value->toLatin1()));
        result.values << ProbeResult::Value { &setting, read.value };
    }
    if (run.done() || run.steps.empty()) {
        result.state = ProbeState::Answering;
        return result;
    }
    const StepResult &last = run.steps.back();
    result.detail = step_report(last, run.end);
    switch (run.end) {
    case Outcome::Pending:
    case Outcome::Replied:
    case Outcome::Sent:
    case Outcome::Stopped: // a probe is never stopped
        break;
    case Outcome::Foreign:
        result.state = ProbeState::Garbled;
        break;
    case Outcome::NoReply:
    case Outcome::TooLong:
        // Bytes that never made a reply, or a reply longer than any reply, are garbled; a wait
        // with nothing at all is silence.
        result.state = run.end == Outcome::TooLong || !last.outcome.received.isEmpty()
                || last.outcome.discarded > 0 || !last.received.isEmpty()
            ? ProbeState::Garbled
            : ProbeState::Silent;
        break;
    case Outcome::LineLost:
    case Outcome::Busy:
    case Outcome::NotOpen:
    case Outcome::ShutDown:
        // A gateway that serves one client at a time takes a second connection and closes it at
        // once, before the first query is answered.
        result.state
            = network && run.steps.size() == 1 ? ProbeState::Busy : ProbeState::Unreachable;
        break;
    }
    return result;
}

ReceiverProbe::ReceiverProbe(const QString &port, const QString &address, TraceWriter *trace,
    std::unique_ptr<Transport> transport, QObject *parent)
    : QObject(parent)
    , session_(port, address, trace, std::move(transport))
{
    deadline_.setSingleShot(true);
    deadline_.setTimerType(Qt::PreciseTimer);
    connect(&deadline_, &QTimer::timeout, this, [this] {
        ProbeResult result;
        result.state = opened_ ? ProbeState::Silent : ProbeState::Unreachable;
        result.detail = opened_
            ? QStringLiteral("no complete answer within the probe's %1 ms").arg(clock_.elapsed())
            : QStringLiteral("the line did not open within the probe's %1 ms")
                  .arg(clock_.elapsed());
        finish(result);
    });
}

ReceiverProbe::~ReceiverProbe() = default;

void ReceiverProbe::start(int deadline_ms)
{
    clock_.start();
    if (deadline_ms > 0)
        deadline_.start(deadline_ms);
    const bool network = is_network_address(session_.address());
    session_.open([this, network](bool ok, const QString &why) {
        if (finished_)
            return;
        if (!ok) {
            ProbeResult result;
            result.state = state_of_open(session_.open_failure());
            result.detail = QStringLiteral("cannot open %1: %2").arg(session_.address(), why);
            finish(result);
            return;
        }
        opened_ = true;
        session_.run(probe_plan(), [this, network](const RunResult &run) {
            if (!finished_)
                finish(probe_result(run, network));
        });
    });
}

void ReceiverProbe::finish(ProbeResult result)
{
    if (finished_)
        return;
    finished_ = true;
    deadline_.stop();
    result.round_trip_ms = clock_.elapsed();
    result_ = std::move(result);
    // Closing ends a query still waiting; its outcome finds the probe finished.
    session_.close();
    Q_EMIT finished();
}

} // namespace model
