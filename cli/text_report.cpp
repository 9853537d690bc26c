#include "cli/text_report.h"

#include "cli/exit_status.h"
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
    for (const QString &line : result.changes)
        console.out << (request.dry_run ? QStringLiteral("would change ") : QString()) << line
                    << '\n';
    if ((request.kind == Kind::Set || request.kind == Kind::Send) && request.dry_run) {
        for (const QString &message : result.commands)
            console.out << "would send " << message << '\n';
    }
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
    if (json) {
        console.out << QString::fromUtf8(
            json_document({ receiver_object(outcome.port, request, result, lists) }));
    } else {
        print_result(console, request, result);
    }
    console.out.flush();
    for (const QString &line : result.errors)
        report(console, line);
    if (result.end == JobEnd::LineFailed) {
        if (const QString hint = open_hint(outcome.port); !hint.isEmpty())
            report(console, hint);
    }
    return exit_status(result.end);
}

} // namespace cli
