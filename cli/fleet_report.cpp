#include "cli/fleet_report.h"

#include "cli/exit_status.h"
#include "cli/interrupts.h"
#include "cli/json_output.h"
#include "cli/text_report.h"

#include <QTextStream>

#include <algorithm>

namespace cli {

using namespace model;

namespace {

// "a: x -> y; b: ..." for the receivers' lines.
QString change_texts(const QList<JobResult::Change> &changes)
{
    QStringList texts;
    for (const JobResult::Change &change : changes)
        texts << change.text();
    return texts.join(QStringLiteral("; "));
}

} // namespace

QString receiver_line(const QString &port, const JobRequest &request, const JobResult &result)
{
    const bool dry_run = request.dry_run;
    using Kind = JobRequest::Kind;
    if (result.stopped)
        return QStringLiteral("%1: stopped: %2").arg(port, result.errors.value(0));
    if (result.end == JobEnd::LineFailed)
        return QStringLiteral("%1: line: %2").arg(port, result.errors.value(0));
    if (result.end == JobEnd::Failed)
        return QStringLiteral("%1: failed: %2").arg(port, result.errors.value(0));
    switch (request.kind) {
    case Kind::Read:
        return QStringLiteral("%1: read %2 settings").arg(port).arg(result.values.size());
    case Kind::Get:
        return QStringLiteral("%1: got %2 settings").arg(port).arg(result.values.size());
    case Kind::Set:
        if (!dry_run) {
            QStringList set;
            for (const JobResult::Change &change : result.changes)
                set << QStringLiteral("%1 = %2").arg(
                    QLatin1String(change.setting->name), change.to);
            return QStringLiteral("%1: set %2: %3")
                .arg(port)
                .arg(set.size())
                .arg(set.join(QStringLiteral("; ")));
        }
        [[fallthrough]];
    case Kind::Send:
        if (dry_run)
            return QStringLiteral("%1: would send %2").arg(port).arg(result.commands.size());
        return QStringLiteral("%1: sent").arg(port);
    case Kind::Apply:
        if (result.changes.isEmpty())
            return QStringLiteral("%1: already as the profile").arg(port);
        return QStringLiteral("%1: %2 %3: %4")
            .arg(port, dry_run ? QStringLiteral("would change") : QStringLiteral("changed"))
            .arg(result.changes.size())
            .arg(change_texts(result.changes));
    case Kind::Diff:
        if (result.changes.isEmpty())
            return QStringLiteral("%1: same").arg(port);
        return QStringLiteral("%1: differs: %2").arg(port, change_texts(result.changes));
    }
    return port;
}

int report_fleet(Console &console, const JobRequest &request,
    const QList<ReceiverOutcome> &outcomes, const OptionLists &lists, bool json)
{
    const bool reads
        = request.kind == JobRequest::Kind::Read || request.kind == JobRequest::Kind::Get;
    // stdout holds the results alone (the profiles, or the JSON object); the receivers' lines
    // and the summary go to stderr.
    QTextStream &lines = console.err;
    const int signal = stop_signal(console);
    if (json) {
        QList<QJsonObject> receivers;
        for (const ReceiverOutcome &outcome : outcomes)
            receivers << receiver_object(outcome.port, request, outcome.result, lists, signal);
        console.out << QString::fromUtf8(json_document(receivers));
    } else if (reads) {
        for (const ReceiverOutcome &outcome : outcomes) {
            console.out << "# " << outcome.port << '\n';
            print_result(console, request, outcome.result);
            console.out << '\n';
        }
    }
    console.out.flush();
    int done = 0, differ = 0, failed = 0, unreachable = 0, stopped = 0;
    int worst = status_done;
    for (const ReceiverOutcome &outcome : outcomes) {
        const JobResult &result = outcome.result;
        if (result.stopped) {
            ++stopped;
            lines << receiver_line(outcome.port, request, result) << '\n';
            continue;
        }
        // The first report stands in the receiver's line; the rest (which settings were sent)
        // go to stderr.
        for (qsizetype i = 1; i < result.errors.size(); ++i)
            report(console, QStringLiteral("%1: %2").arg(outcome.port, result.errors.at(i)));
        if (result.end == JobEnd::LineFailed) {
            if (const QString hint = open_hint(outcome.port); !hint.isEmpty())
                report(console, QStringLiteral("%1: %2").arg(outcome.port, hint));
        }
        lines << receiver_line(outcome.port, request, result) << '\n';
        switch (result.end) {
        case JobEnd::Done:
            ++done;
            break;
        case JobEnd::Differs:
            ++differ;
            break;
        case JobEnd::Failed:
            ++failed;
            break;
        case JobEnd::LineFailed:
            ++unreachable;
            break;
        }
        worst = std::max(worst, int(exit_status(result.end)));
    }
    lines << outcomes.size() << " receivers: " << done << " done";
    if (request.kind == JobRequest::Kind::Diff)
        lines << ", " << differ << " differ";
    lines << ", " << failed << " failed, " << unreachable << " unreachable or lost";
    if (signal > 0)
        lines << ", " << stopped << " stopped by " << signal_name(signal);
    lines << '\n';
    lines.flush();
    return signal > 0 ? 128 + signal : worst;
}

} // namespace cli
