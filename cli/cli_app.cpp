#include "cli/cli_app.h"

#include "cli/completion.h"
#include "cli/exit_status.h"
#include "cli/fleet_report.h"
#include "cli/grammar.h"
#include "cli/json_output.h"
#include "cli/monitor.h"
#include "cli/port_list.h"
#include "cli/receiver_run.h"
#include "cli/requests.h"
#include "cli/text_report.h"
#include "cli/value_list.h"
#include "link/trace.h"
#include "model/job.h"
#include "model/settings.h"

#include <QCoreApplication>
#include <QDir>
#include <QTextStream>

namespace cli {

using namespace model;

namespace {

// The receivers an invocation names, checked; false (reported) when one cannot be what its
// writer meant, before anything is sent.
bool checked_ports(
    const Invocation &inv, const grammar::Command &command, QStringList *ports, Console &console)
{
    QString why;
    if (!receiver_ports(inv, ports, &why)) {
        report(console, QStringLiteral("%1; nothing was sent").arg(why));
        return false;
    }
    if (ports->size() > 1 && !command.many_receivers) {
        report(
            console, QStringLiteral("%1 works on one receiver; nothing was sent").arg(inv.command));
        return false;
    }
    for (const QString &port : std::as_const(*ports)) {
        if (const std::optional<QString> problem = port_problem(port)) {
            report(console, QStringLiteral("%1; nothing was sent").arg(*problem));
            return false;
        }
    }
    return true;
}

// A command that works on receivers: its request is built, run on each receiver named and
// reported.
int run_on_receivers(const Invocation &inv, const grammar::Command &command,
    const OptionLists &lists, Console &console)
{
    QStringList ports;
    if (!checked_ports(inv, command, &ports, console))
        return status_usage;

    JobRequest request;
    QString why;
    if (!build_request(inv, command.action, lists, &request, &why)) {
        report(console, QStringLiteral("%1; nothing was sent").arg(why));
        return status_usage;
    }

    TraceWriter trace;
    if (!inv.trace.isEmpty() && !open_trace(inv.trace, &trace, &why)) {
        report(console,
            QStringLiteral("cannot open the trace file %1: %2").arg(printable(inv.trace), why));
        return status_usage;
    }

    RunOptions options;
    options.what = inv.command;
    options.jobs = inv.jobs;
    options.lists = &lists;
    options.trace = trace.is_open() ? &trace : nullptr;
    const QList<ReceiverOutcome> outcomes = run_request(ports, request, options, console);
    const int status = ports.size() > 1
        ? report_fleet(console, request, outcomes, lists, inv.json)
        : report_receiver(console, request, outcomes.first(), lists, inv.json);
    if (!trace.failure().isEmpty()) {
        report(console,
            QStringLiteral("the trace %1 could not be written: %2; it holds the lines before")
                .arg(printable(inv.trace), trace.failure()));
        return std::max(status, int(status_failed));
    }
    return status;
}

} // namespace

QString usage_text()
{
    return grammar::usage_text();
}

int run(const Invocation &inv, Console &console, const QString &default_config_dir)
{
    using grammar::Action;
    const grammar::Command *found = grammar::find_command(inv.command);
    if (!found) {
        report(console, QStringLiteral("unknown command \"%1\"").arg(inv.command));
        return status_usage;
    }
    const grammar::Command &command = *found;
    switch (command.action) {
    case Action::Ports:
        return list_ports(console, inv.json);
    case Action::Completion:
        console.out << completion_script(inv.args.first());
        console.out.flush();
        return status_done;
    case Action::Help:
        console.out << usage_text();
        console.out.flush();
        return status_done;
    case Action::Status:
    case Action::Watch:
    case Action::Serve:
        // The probes read no option-list file.
        return run_monitor(inv, command.action, console);
    default:
        break;
    }

    OptionLists lists;
    if (command.action != Action::Key && command.action != Action::Reset
        && command.action != Action::VgaAuto) {
        QString why;
        const QString dir = inv.config_dir.isEmpty() ? default_config_dir : inv.config_dir;
        if (!read_option_lists(dir, &lists, &why)) {
            report(console,
                QStringLiteral("the option-list files cannot be read: %1 (looked in %2; "
                               "--config-dir DIR reads them from another folder)")
                    .arg(printable(why), printable(QDir::toNativeSeparators(dir))));
            return status_usage;
        }
    }
    if (command.action == Action::Values)
        return list_values(inv, lists, console);
    return run_on_receivers(inv, command, lists, console);
}

int main_with(const QStringList &words, Console &console, const QString &default_config_dir)
{
    Invocation inv;
    const int status = main_with(words, console, default_config_dir, &inv);
    // With --json a refused run is a document too, and stdout holds nothing else.
    if (status == status_usage && (inv.json || words.contains(QLatin1String("--json")))) {
        console.out << QString::fromUtf8(usage_document(
            inv.ports.isEmpty() ? QStringList { inv.port } : inv.ports, console.last_report));
        console.out.flush();
    }
    return status;
}

int main_with(const QStringList &words, Console &console, const QString &default_config_dir,
    Invocation *parsed)
{
    Invocation &inv = *parsed;
    QString why;
    if (!parse_invocation(words, &inv, &why)) {
        report(console, why);
        const grammar::Command *command = grammar::find_command(inv.command);
        if (command && command->action == grammar::Action::Help)
            command = nullptr;
        if (command)
            console.err << "Usage: " << grammar::synopsis(*command) << '\n';
        console.err << "kz-orba-cli help" << (command ? QLatin1Char(' ') + inv.command : QString())
                    << " tells more.\n";
        console.err.flush();
        return status_usage;
    }
    if (inv.help) {
        const grammar::Command *topic = grammar::find_command(inv.help_topic);
        console.out << (topic ? grammar::command_help(*topic) : usage_text());
        console.out.flush();
        return status_done;
    }
    if (inv.version) {
        console.out << "kz-orba-cli " << QCoreApplication::applicationVersion() << '\n';
        console.out.flush();
        return status_done;
    }
    return run(inv, console, default_config_dir);
}

} // namespace cli
