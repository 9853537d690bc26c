#include "cli/cli_app.h"

#include "cli/completion.h"
#include "cli/fleet.h"
#include "cli/grammar.h"
#include "cli/input_files.h"
#include "cli/interrupts.h"
#include "cli/json_output.h"
#include "link/port_names.h"
#include "link/trace.h"
#include "model/job.h"
#include "model/profile.h"
#include "model/settings.h"
#include "model/suggest.h"
#include "protocol/protocol.h"
#include "protocol/vocabulary.h"

#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QTextStream>

namespace cli {

// The receiver model: settings, profiles, plans and jobs.
using namespace model;

namespace {

const char program[] = "kz-orba-cli";

void report(Console &console, const QString &text)
{
    console.err << program << ": " << text << '\n';
    console.err.flush();
    console.last_report = text;
}

// Starts a fleet or a job and runs the event loop until it has finished; a stop signal stops it
// (nothing more is sent, and it finishes with what it did).
template <typename Task> void run_to_end(Task &task, Console &console)
{
    QEventLoop loop;
    QObject::connect(&task, &Task::finished, &loop, &QEventLoop::quit);
    if (console.interrupts)
        QObject::connect(
            console.interrupts, &Interrupts::interrupted, &task, [&task] { task.stop(); });
    task.start();
    if (console.interrupts && console.interrupts->caught())
        task.stop();
    if (!task.is_finished())
        loop.exec();
}

// The signal that stopped the run, or 0.
int stop_signal(Console &console)
{
    return console.interrupts ? console.interrupts->caught() : 0;
}

// A job's result as reported: a job the stop signal ended has the run's status, 128 + signal.
JobResult as_reported(const JobResult &result, int signal)
{
    JobResult shown = result;
    if (shown.stopped && signal > 0)
        shown.status = 128 + signal;
    return shown;
}

// The one-line progress indicator on a terminal.
class Progress
{
public:
    Progress(Console &console, const QString &what)
        : console_(console)
        , what_(what)
    { }
    ~Progress() { clear(); }
    void show(double share)
    {
        if (!console_.err_is_terminal)
            return;
        const int percent = static_cast<int>(share * 100.0 + 0.5);
        const int filled = percent / 5;
        console_.err << '\r' << what_ << " [" << QString(filled, QLatin1Char('#'))
                     << QString(20 - filled, QLatin1Char('.')) << "] " << percent << "%";
        console_.err.flush();
        shown_ = true;
    }
    void clear()
    {
        if (!shown_)
            return;
        console_.err << "\r\x1b[K";
        console_.err.flush();
        shown_ = false;
    }

private:
    Console &console_;
    QString what_;
    bool shown_ = false;
};

int list_ports(Console &console, bool json)
{
    const QList<ReportedPort> reported = reported_ports();
    QStringList com_devices;
    for (int n = 1; n <= 9; ++n)
        com_devices << resolve_port(n, reported).device;
    if (json) {
        // Each entry and each other port as a receiver object: its device in "settings".
        QList<QJsonObject> receivers;
        const auto entry = [&](const QString &port, const QString &device, bool usb) {
            JobRequest request;
            QJsonObject object = receiver_object(port, request, JobResult {}, OptionLists {});
            QJsonObject settings;
            settings.insert(QStringLiteral("device"), device);
            settings.insert(QStringLiteral("present"), port_present(device, reported));
            settings.insert(QStringLiteral("usb"), usb);
            object.insert(QStringLiteral("settings"), settings);
            receivers << object;
        };
        for (int n = 1; n <= 9; ++n) {
            const QString &device = com_devices.at(n - 1);
            const bool usb = std::any_of(reported.begin(), reported.end(),
                [&](const ReportedPort &port) { return port.device == device && port.usb; });
            entry(QStringLiteral("COM%1").arg(n), device, usb);
        }
        for (const ReportedPort &port : reported) {
            if (!com_devices.contains(port.device))
                entry(port.device, port.device, port.usb);
        }
        console.out << QString::fromUtf8(json_document(receivers));
        console.out.flush();
        return status_done;
    }
    for (const QString &line : port_table(reported))
        console.out << line << '\n';
    QStringList others;
    for (const ReportedPort &port : reported) {
        if (!com_devices.contains(port.device))
            others << port.device + (port.usb ? QStringLiteral("  usb") : QString());
    }
    console.out << "other serial ports:" << (others.isEmpty() ? " none" : "") << '\n';
    for (const QString &line : std::as_const(others))
        console.out << "  " << line << '\n';
    return status_done;
}

// What a job found, as text on stdout: the values read (a profile), or the changes and
// differences. A read that stopped midway says so in a last comment line, so that what was read
// cannot pass for a whole profile.
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
        if (result.status != status_done && result.values.isEmpty())
            console.out << "# incomplete: " << result.errors.value(0) << '\n';
        else if (result.status != status_done)
            console.out << "# incomplete after " << result.values.size()
                        << " settings: " << result.errors.value(0) << '\n';
    }
    if (request.kind != Kind::Apply && request.kind != Kind::Diff)
        return;
    for (const JobResult::Change &change : result.changes)
        console.out << (request.dry_run ? QStringLiteral("would change ") : QString())
                    << change.text() << '\n';
    for (const JobResult::Change &change : result.unconfirmed)
        console.out << "may have changed " << change.text() << '\n';
}

// "a: x -> y; b: ..." for the fleet's lines.
QString change_texts(const QList<JobResult::Change> &changes)
{
    QStringList texts;
    for (const JobResult::Change &change : changes)
        texts << change.text();
    return texts.join(QStringLiteral("; "));
}

// One receiver's line in the fleet's report: its port, how it ended, and what changed or differs.
QString receiver_line(const QString &port, const JobRequest &request, const JobResult &result)
{
    const JobRequest::Kind kind = request.kind;
    const bool dry_run = request.dry_run;
    using Kind = JobRequest::Kind;
    if (result.stopped)
        return QStringLiteral("%1: stopped: %2").arg(port, result.errors.value(0));
    if (result.status == status_line)
        return QStringLiteral("%1: line: %2").arg(port, result.errors.value(0));
    if (result.status == status_failed && !(kind == Kind::Diff && result.errors.isEmpty()))
        return QStringLiteral("%1: failed: %2").arg(port, result.errors.value(0));
    switch (kind) {
    case Kind::Read:
        return QStringLiteral("%1: read %2 settings").arg(port).arg(result.values.size());
    case Kind::Get:
        return QStringLiteral("%1: got %2 settings").arg(port).arg(result.values.size());
    case Kind::Set: {
        QStringList set;
        for (const JobResult::Change &change : result.changes)
            set << QStringLiteral("%1 = %2").arg(QLatin1String(change.setting->name), change.to);
        return QStringLiteral("%1: set %2: %3")
            .arg(port)
            .arg(set.size())
            .arg(set.join(QStringLiteral("; ")));
    }
    case Kind::Send:
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

// What to add when a port could not be opened and its name suggests why.
QString open_hint(const QString &port)
{
    static const QRegularExpression com(
        QStringLiteral("^COM([0-9]+)$"), QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = com.match(port);
    if (match.hasMatch() && (match.captured(1).toInt() < 1 || match.captured(1).toInt() > 9))
        return QStringLiteral("only COM1 .. COM9 name the window's entries; give any other port "
                              "by its device path (kz-orba-cli ports lists them)");
    return {};
}

int run_fleet(const Invocation &inv, const QStringList &ports, const JobRequest &request,
    const OptionLists &lists, TraceWriter *trace, Console &console)
{
    Fleet fleet(ports, inv.jobs, [&](const QString &port) {
        return std::make_unique<ReceiverJob>(port, port_address(port), lists, trace, request);
    });
    Progress progress(console, inv.command);
    QObject::connect(&fleet, &Fleet::receiver_done, &fleet,
        [&](int, int done) { progress.show(double(done) / double(ports.size())); });
    run_to_end(fleet, console);
    const int signal = stop_signal(console);
    progress.clear();

    const bool reads
        = request.kind == JobRequest::Kind::Read || request.kind == JobRequest::Kind::Get;
    // stdout holds the results alone (the profiles, or the JSON object); the receivers' lines
    // and the summary go to stderr.
    QTextStream &lines = console.err;
    if (inv.json) {
        QList<QJsonObject> receivers;
        for (const auto &job : fleet.jobs())
            receivers << receiver_object(
                job->port(), request, as_reported(job->result(), signal), lists);
        console.out << QString::fromUtf8(json_document(receivers));
    } else if (reads) {
        for (const auto &job : fleet.jobs()) {
            console.out << "# " << job->port() << '\n';
            print_result(console, request, job->result());
            console.out << '\n';
        }
    }
    console.out.flush();
    int counts[4] = { 0, 0, 0, 0 }; // done, differs/failed, -, line
    int differ = 0;
    int stopped = 0;
    for (const auto &job : fleet.jobs()) {
        const JobResult &result = job->result();
        if (result.stopped) {
            ++stopped;
            lines << receiver_line(job->port(), request, result) << '\n';
            continue;
        }
        // The first report stands in the receiver's line; the rest (which settings were sent)
        // go to stderr.
        for (qsizetype i = 1; i < result.errors.size(); ++i)
            report(console, QStringLiteral("%1: %2").arg(job->port(), result.errors.at(i)));
        if (result.status == status_line) {
            if (const QString hint = open_hint(job->port()); !hint.isEmpty())
                report(console, QStringLiteral("%1: %2").arg(job->port(), hint));
        }
        lines << receiver_line(job->port(), request, result) << '\n';
        if (request.kind == JobRequest::Kind::Diff && result.status == status_failed
            && result.errors.isEmpty())
            ++differ;
        else
            ++counts[std::clamp(result.status, 0, 3)];
    }
    lines << ports.size() << " receivers: " << counts[status_done] << " done";
    if (request.kind == JobRequest::Kind::Diff)
        lines << ", " << differ << " differ";
    lines << ", " << counts[status_failed] << " failed, " << counts[status_line]
          << " unreachable or lost";
    if (signal > 0)
        lines << ", " << stopped << " stopped by " << signal_name(signal);
    lines << '\n';
    lines.flush();
    return signal > 0 ? 128 + signal : fleet.worst_status();
}

} // namespace

QString usage_text()
{
    return grammar::usage_text();
}

namespace {

// The setting a name on the command line names; none with the reason (a control byte, which is
// not printed raw, or an unknown name with the nearest one) when it names none.
const Setting *named_setting(const QString &name, QString *why)
{
    if (const std::optional<QString> control = control_byte(name)) {
        *why = QStringLiteral("a setting name holds the control byte %1").arg(*control);
        return nullptr;
    }
    const Setting *setting = find_setting(name);
    if (!setting)
        *why = QStringLiteral("unknown setting \"%1\"%2")
                   .arg(name, did_you_mean(name, setting_names()));
    return setting;
}

// The job a command asks of each receiver, from its words; false (reported) when a word is
// doubtful, before anything is sent.
bool make_request(const Invocation &inv, grammar::Action action, const OptionLists &lists,
    JobRequest *request, Console &console)
{
    using grammar::Action;
    const auto refuse = [&](const QString &why) {
        report(console, QStringLiteral("%1; nothing was sent").arg(why));
        return false;
    };
    switch (action) {
    case Action::Read:
        request->kind = JobRequest::Kind::Read;
        return true;
    case Action::Get:
        request->kind = JobRequest::Kind::Get;
        for (const QString &name : inv.args) {
            QString why;
            const Setting *setting = named_setting(name, &why);
            if (!setting)
                return refuse(why);
            if (!request->names.contains(setting))
                request->names << setting;
        }
        return true;
    case Action::Set:
        request->kind = JobRequest::Kind::Set;
        for (const QString &argument : inv.args) {
            ProfileEntry entry;
            QString why;
            if (!parse_assignment(argument, lists, &entry, &why))
                return refuse(why);
            for (const ProfileEntry &earlier : std::as_const(request->entries)) {
                if (earlier.setting == entry.setting)
                    return refuse(QStringLiteral("%1 is given twice")
                                      .arg(QLatin1String(entry.setting->name)));
            }
            request->entries << entry;
        }
        return true;
    case Action::Apply:
    case Action::Diff: {
        request->kind = action == Action::Apply ? JobRequest::Kind::Apply : JobRequest::Kind::Diff;
        request->dry_run = inv.dry_run;
        QString text, why;
        Profile profile;
        if (!read_input_file(inv.args.first(), &text, &why))
            return refuse(why);
        if (!parse_profile(text, lists, &profile, &why))
            return refuse(QStringLiteral("%1: %2").arg(printable(inv.args.first()), why));
        request->entries = profile.writable_in_read_order();
        return true;
    }
    case Action::Key:
    case Action::Reset:
    case Action::VgaAuto: {
        request->kind = JobRequest::Kind::Send;
        const QString key = inv.args.value(0);
        const QByteArray name = action == Action::Reset ? "reset"
            : action == Action::VgaAuto                 ? "vga_auto"
                                                        : "key_" + key.toLatin1();
        const protocol::Command *command = protocol::find_command(name.constData());
        Step &step = request->command;
        step.what = action == Action::Key ? QStringLiteral("key %1").arg(key) : inv.command;
        step.prefix = command->prefix;
        step.message = command->kind == protocol::Kind::Key
            ? protocol::key_message(step.prefix)
            : protocol::setting_message(step.prefix, "Go");
        return true;
    }
    case Action::Ports:
    case Action::Values:
    case Action::Help:
    case Action::Completion:
        break;
    }
    return false;
}

// `values NAME`: what a setting may be, one a line; `values`: the settings' names.
int list_values(const Invocation &inv, const OptionLists &lists, Console &console)
{
    if (inv.args.isEmpty()) {
        for (const QString &name : setting_names())
            console.out << name << '\n';
        console.out.flush();
        return status_done;
    }
    const QString &name = inv.args.first();
    QString why;
    const Setting *setting = named_setting(name, &why);
    if (!setting) {
        report(console, why);
        return status_usage;
    }
    if (!setting->writable) {
        report(console, QStringLiteral("%1 is read only: read and get show it").arg(name));
        return status_done;
    }
    // The projector port and the display commands take a form, not an entry of a list.
    if (setting->values == Values::PortSettings) {
        report(console,
            QStringLiteral("%1 takes baud,data,parity,stop from the projector port lists, "
                           "e.g. 9600,8,N,1")
                .arg(name));
        return status_done;
    }
    if (setting->values == Values::HexBytes) {
        report(console,
            QStringLiteral("%1 takes hex text such as \"50 57 52 0D\", at most %2 bytes")
                .arg(name)
                .arg(setting->max_bytes));
        return status_done;
    }
    const QStringList values = offered_values(*setting, lists);
    for (const QString &value : values)
        console.out << value << '\n';
    console.out.flush();
    return status_done;
}

int run_one(const Invocation &inv, const QString &port, const JobRequest &request,
    const OptionLists &lists, TraceWriter *trace, Console &console)
{
    ReceiverJob job(port, port_address(port), lists, trace, request);
    // The two that take a few seconds.
    const bool shows_progress
        = request.kind == JobRequest::Kind::Read || request.kind == JobRequest::Kind::Apply;
    Progress progress(console, QStringLiteral("%1 %2").arg(inv.command, port));
    if (shows_progress)
        QObject::connect(
            &job, &ReceiverJob::progress, &job, [&](double share) { progress.show(share); });
    run_to_end(job, console);
    const int signal = stop_signal(console);
    progress.clear();

    const JobResult result = as_reported(job.result(), signal);
    if (inv.json) {
        console.out << QString::fromUtf8(
            json_document({ receiver_object(port, request, result, lists) }));
    } else {
        print_result(console, request, result);
        // What was done, as the fleet's line says it, where stdout shows nothing of it.
        using Kind = JobRequest::Kind;
        const bool shown = request.kind == Kind::Read || request.kind == Kind::Get
            || request.kind == Kind::Diff
            || (request.kind == Kind::Apply && !result.changes.isEmpty());
        if (result.status == status_done && !shown)
            console.err << receiver_line(port, request, result) << '\n';
    }
    console.out.flush();
    for (const QString &line : result.errors)
        report(console, line);
    if (result.status == status_line) {
        if (const QString hint = open_hint(port); !hint.isEmpty())
            report(console, hint);
    }
    if (signal > 0) {
        report(console, QStringLiteral("stopped by %1").arg(signal_name(signal)));
        return 128 + signal;
    }
    return result.status;
}

} // namespace

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

    QStringList ports;
    QString ports_why;
    if (!receiver_ports(inv, &ports, &ports_why)) {
        report(console, QStringLiteral("%1; nothing was sent").arg(ports_why));
        return status_usage;
    }
    if (ports.size() > 1 && !command.many_receivers) {
        report(
            console, QStringLiteral("%1 works on one receiver; nothing was sent").arg(inv.command));
        return status_usage;
    }
    for (const QString &port : std::as_const(ports)) {
        if (const std::optional<QString> problem = port_problem(port)) {
            report(console, QStringLiteral("%1; nothing was sent").arg(*problem));
            return status_usage;
        }
    }

    JobRequest request;
    if (!make_request(inv, command.action, lists, &request, console))
        return status_usage;

    TraceWriter trace;
    if (!inv.trace.isEmpty()) {
        QString why;
        const bool opened = inv.trace == QLatin1String("-")
            ? trace.open_descriptor(2, &why)
            : trace_path_usable(inv.trace, &why) && trace.open(inv.trace, &why);
        if (!opened) {
            report(console,
                QStringLiteral("cannot open the trace file %1: %2").arg(printable(inv.trace), why));
            return status_usage;
        }
    }

    const int status = ports.size() > 1
        ? run_fleet(inv, ports, request, lists, trace.is_open() ? &trace : nullptr, console)
        : run_one(inv, ports.first(), request, lists, trace.is_open() ? &trace : nullptr, console);
    if (!trace.failure().isEmpty()) {
        report(console,
            QStringLiteral("the trace %1 could not be written: %2; it holds the lines before")
                .arg(printable(inv.trace), trace.failure()));
        return std::max(status, int(status_failed));
    }
    return status;
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
        console.out << program << ' ' << QCoreApplication::applicationVersion() << '\n';
        console.out.flush();
        return status_done;
    }
    return run(inv, console, default_config_dir);
}

} // namespace cli
