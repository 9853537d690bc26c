#include "cli/fleet_report.h"

#include "cli/exit_status.h"
#include "cli/json_output.h"
#include "cli/text_report.h"

#include <QTextStream>

#include <algorithm>

namespace cli {

using namespace model;

QString receiver_line(const QString &port, const JobRequest &request, const JobResult &result)
{
    const bool dry_run = request.dry_run;
    using Kind = JobRequest::Kind;
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
            .arg(result.changes.join(QStringLiteral("; ")));
    case Kind::Diff:
        if (result.changes.isEmpty())
            return QStringLiteral("%1: same").arg(port);
        return QStringLiteral("%1: differs: %2")
            .arg(port, result.changes.join(QStringLiteral("; ")));
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
    if (json) {
        QList<QJsonObject> receivers;
        for (const ReceiverOutcome &outcome : outcomes)
            receivers << receiver_object(outcome.port, request, outcome.result, lists);
        console.out << QString::fromUtf8(json_document(receivers));
    } else if (reads) {
        for (const ReceiverOutcome &outcome : outcomes) {
            console.out << "# " << outcome.port << '\n';
            print_result(console, request, outcome.result);
            console.out << '\n';
        }
    }
    console.out.flush();
    int done = 0, differ = 0, failed = 0, unreachable = 0;
    int worst = status_done;
    for (const ReceiverOutcome &outcome : outcomes) {
        const JobResult &result = outcome.result;
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
    lines << ", " << failed << " failed, " << unreachable << " unreachable or lost\n";
    lines.flush();
    return worst;
}

} // namespace cli
