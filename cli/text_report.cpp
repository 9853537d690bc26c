#include "cli/text_report.h"

#include "cli/exit_status.h"
#include "cli/fleet_report.h"
#include "cli/interrupts.h"
#include "cli/json_output.h"
#include "link/port_names.h"

#include <QTextStream>

namespace cli {

using namespace model;

void print_result(Console &console, const JobRequest &request, const JobResult &result)
{
    using Kind = JobRequest::Kind;
    if (request.kind == Kind::Read || request.kind == Kind::Get) {
        for (const JobResult::Value &value : result.values) {
            if (value.value)
                console.out << value.setting->name << " = " << *value.value << '\n';
            else
                console.out << "# " << value.setting->name << ": " << value.problem << '\n';
        }
        if (result.end != JobEnd::Done && result.values.isEmpty())
            console.out << "# incomplete: " << result.errors.value(0) << '\n';
        else if (result.end != JobEnd::Done)
            console.out << "# incomplete after " << result.values.size()
                        << " settings: " << result.errors.value(0) << '\n';
    }
    if ((request.kind == Kind::Set || request.kind == Kind::Send) && request.dry_run) {
        for (const QString &message : result.commands)
            console.out << "would send " << message << '\n';
    }
    if (request.kind != Kind::Apply && request.kind != Kind::Diff)
        return;
    for (const JobResult::Change &change : result.changes)
        console.out << (request.dry_run ? QStringLiteral("would change ") : QString())
                    << change.text() << '\n';
    for (const JobResult::Change &change : result.unconfirmed)
        console.out << "may have changed " << change.text() << '\n';
}

QString open_hint(const QString &port)
{
    if (entry_like(port) && !entry_number(port))
        return QStringLiteral("only COM1 .. COM9 name the window's entries; give any other port "
                              "by its device path (kz-orba-cli ports lists them)");
    return {};
}

int report_receiver(Console &console, const JobRequest &request, const ReceiverOutcome &outcome,
    const OptionLists &lists, bool json)
{
    const JobResult &result = outcome.result;
    const int signal = stop_signal(console);
    if (json) {
        console.out << QString::fromUtf8(
            json_document({ receiver_object(outcome.port, request, result, lists, signal) }));
    } else {
        print_result(console, request, result);
        // What was done, as the fleet's line says it, where stdout shows nothing of it.
        using Kind = JobRequest::Kind;
        const bool shown = request.kind == Kind::Read || request.kind == Kind::Get
            || request.kind == Kind::Diff
            || (request.kind == Kind::Apply && !result.changes.isEmpty())
            || (request.dry_run && (request.kind == Kind::Set || request.kind == Kind::Send));
        if (result.end == JobEnd::Done && !shown)
            console.err << receiver_line(outcome.port, request, result) << '\n';
    }
    console.out.flush();
    for (const QString &line : result.errors)
        report(console, line);
    if (result.end == JobEnd::LineFailed) {
        if (const QString hint = open_hint(outcome.port); !hint.isEmpty())
            report(console, hint);
    }
    if (signal > 0) {
        report(console, QStringLiteral("stopped by %1").arg(signal_name(signal)));
        return 128 + signal;
    }
    return exit_status(result.end);
}

} // namespace cli
