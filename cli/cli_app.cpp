#include "cli/cli_app.h"

#include "cli/fleet.h"
#include "cli/input_files.h"
#include "cli/job.h"
#include "cli/json_output.h"
#include "cli/profile.h"
#include "cli/settings.h"
#include "link/port_names.h"
#include "link/trace.h"
#include "protocol/protocol.h"
#include "protocol/vocabulary.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QTextStream>

namespace cli {

namespace {

const char program[] = "kz-orba-cli";

// Options of the whole program, each taking a value.
const QStringList global_options = { QStringLiteral("--port"), QStringLiteral("--config-dir"),
    QStringLiteral("--trace"), QStringLiteral("--ports-file"), QStringLiteral("--jobs") };

const QStringList commands_known = { QStringLiteral("ports"), QStringLiteral("read"),
    QStringLiteral("get"), QStringLiteral("set"), QStringLiteral("apply"), QStringLiteral("diff"),
    QStringLiteral("key"), QStringLiteral("reset"), QStringLiteral("vga-auto") };

void report(Console &console, const QString &text)
{
    console.err << program << ": " << text << '\n';
    console.err.flush();
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

void print_values(Console &console, const JobResult &result)
{
    for (const JobResult::Value &value : result.values) {
        if (value.value)
            console.out << value.setting->name << " = " << *value.value << '\n';
        else
            console.out << "# " << value.setting->name << ": " << value.problem << '\n';
    }
}

// One receiver's line in the fleet's report: its port, how it ended, and what changed or differs.
QString receiver_line(const QString &port, JobRequest::Kind kind, const JobResult &result)
{
    using Kind = JobRequest::Kind;
    if (result.status == status_line)
        return QStringLiteral("%1: line: %2").arg(port, result.errors.value(0));
    if (result.status == status_failed && !(kind == Kind::Diff && result.errors.isEmpty()))
        return QStringLiteral("%1: failed: %2").arg(port, result.errors.value(0));
    switch (kind) {
    case Kind::Read:
    case Kind::Get:
        return QStringLiteral("%1: read %2 settings").arg(port).arg(result.values.size());
    case Kind::Set:
    case Kind::Send:
        return QStringLiteral("%1: sent").arg(port);
    case Kind::Apply:
        if (result.changes.isEmpty())
            return QStringLiteral("%1: already as the profile").arg(port);
        return QStringLiteral("%1: %2 %3: %4")
            .arg(port, QStringLiteral("changed"))
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

int run_fleet(const Invocation &inv, const QStringList &ports, const JobRequest &request,
    const OptionLists &lists, TraceWriter *trace, Console &console)
{
    Fleet fleet(ports, inv.jobs, [&](const QString &port) {
        return std::make_unique<ReceiverJob>(port, port_address(port), lists, trace, request);
    });
    Progress progress(console, inv.command);
    QObject::connect(&fleet, &Fleet::receiver_done, &fleet,
        [&](int, int done) { progress.show(double(done) / double(ports.size())); });
    QEventLoop loop;
    QObject::connect(&fleet, &Fleet::finished, &loop, &QEventLoop::quit);
    fleet.start();
    if (!fleet.is_finished())
        loop.exec();
    progress.clear();

    const bool reads
        = request.kind == JobRequest::Kind::Read || request.kind == JobRequest::Kind::Get;
    // With --json the object alone goes to stdout; the receivers' lines go to stderr.
    QTextStream &lines = inv.json ? console.err : console.out;
    if (inv.json) {
        QList<QJsonObject> receivers;
        for (const auto &job : fleet.jobs())
            receivers << receiver_object(job->port(), request, job->result(), lists);
        console.out << QString::fromUtf8(json_document(receivers));
    } else if (reads) {
        for (const auto &job : fleet.jobs()) {
            console.out << "# " << job->port() << '\n';
            print_values(console, job->result());
            console.out << '\n';
        }
    }
    console.out.flush();
    int counts[4] = { 0, 0, 0, 0 }; // done, differs/failed, -, line
    int differ = 0;
    for (const auto &job : fleet.jobs()) {
        const JobResult &result = job->result();
        // The first report stands in the receiver's line; the rest (which settings were sent)
        // go to stderr.
        for (qsizetype i = 1; i < result.errors.size(); ++i)
            report(console, QStringLiteral("%1: %2").arg(job->port(), result.errors.at(i)));
        lines << receiver_line(job->port(), request.kind, result) << '\n';
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
          << " unreachable or lost\n";
    lines.flush();
    return fleet.worst_status();
}

} // namespace

bool receiver_ports(const Invocation &inv, QStringList *ports, QString *error)
{
    QStringList all;
    for (const QString &port : inv.ports) {
        if (const std::optional<QString> control = control_byte(port)) {
            *error = QStringLiteral("--port holds the control byte %1").arg(*control);
            return false;
        }
        all << port;
    }
    if (!inv.ports_file.isEmpty()) {
        QString text;
        if (!read_input_file(inv.ports_file, &text, error))
            return false;
        const QStringList lines = text.split(QLatin1Char('\n'));
        for (qsizetype i = 0; i < lines.size(); ++i) {
            const QString line = without_comment(lines.at(i));
            if (line.isEmpty())
                continue;
            if (const std::optional<QString> control = control_byte(line)) {
                *error = QStringLiteral("%1: line %2: holds the control byte %3")
                             .arg(inv.ports_file)
                             .arg(i + 1)
                             .arg(*control);
                return false;
            }
            all << line;
        }
        if (all.isEmpty()) {
            *error = QStringLiteral("%1 names no port (only blank lines and comments)")
                         .arg(inv.ports_file);
            return false;
        }
    }
    ports->clear();
    for (const QString &port : std::as_const(all)) {
        if (!ports->contains(port))
            *ports << port;
    }
    if (ports->isEmpty())
        *ports << inv.port;
    return true;
}

QString usage_text()
{
    return QStringLiteral(
        "Usage: kz-orba-cli [--port PORT]... [--ports-file FILE] [--jobs N] [--config-dir DIR]\n"
        "                   [--trace FILE] COMMAND [ARGS]\n"
        "  PORT        COM1 .. COM9 (resolved as the window resolves them) or a device path;\n"
        "              default COM1. Several ports (--port again, --ports-file with one port\n"
        "              a line) run read, get, set, apply and diff on every receiver at once,\n"
        "              at most N busy at a time (default 16), and end with one line per\n"
        "              receiver and a summary; the exit status is the worst of them\n"
        "  DIR         where auto_off.txt, input_prefer.txt and output_reso.txt are; default the\n"
        "              executable's folder\n"
        "  FILE        append one line per transaction: time, port, bytes sent, bytes received,\n"
        "              outcome, milliseconds\n"
        "Commands:\n"
        "  ports                    COM1..COM9 with the device each opens and whether it exists,\n"
        "                           then every other serial port the system reports\n"
        "  read [--json]            every readable setting, one \"name = value\" line each (or "
        "one\n"
        "                           JSON object)\n"
        "  get NAME...              the named settings only\n"
        "  set NAME=VALUE...        send each setting exactly as choosing that entry in the "
        "window\n"
        "                           would\n"
        "  apply FILE [--dry-run]   read the receiver, send every setting of the profile that\n"
        "                           differs, read back and verify; print what changed\n"
        "  diff FILE                print \"name: receiver-value -> profile-value\" for each\n"
        "                           difference\n"
        "  key menu|minus|plus      one front-panel key\n"
        "  reset | vga-auto         the two one-shot actions\n"
        "A profile is what read prints: \"name = value\" lines, # comments and blank lines.\n"
        "Exit status: 0 done; 1 a command failed or (diff) the receiver differs; 2 bad usage or\n"
        "bad profile (nothing sent); 3 the port cannot be opened or the line was lost.\n");
}

bool parse_invocation(const QStringList &words, Invocation *inv, QString *error)
{
    *inv = Invocation {};
    for (qsizetype i = 0; i < words.size(); ++i) {
        const QString &word = words.at(i);
        if (inv->command.isEmpty()) {
            if (word == QLatin1String("-h") || word == QLatin1String("--help")) {
                inv->help = true;
                return true;
            }
            if (word == QLatin1String("--json")) {
                inv->json = true;
                continue;
            }
            if (word == QLatin1String("--version")) {
                inv->version = true;
                return true;
            }
            QString option = word, value;
            bool has_value = false;
            const qsizetype eq = word.indexOf(QLatin1Char('='));
            if (word.startsWith(QLatin1String("--")) && eq > 0) {
                option = word.left(eq);
                value = word.mid(eq + 1);
                has_value = true;
            }
            if (global_options.contains(option)) {
                if (!has_value) {
                    if (i + 1 >= words.size()) {
                        *error = QStringLiteral("%1 needs a value").arg(option);
                        return false;
                    }
                    value = words.at(++i);
                }
                if (value.isEmpty()) {
                    *error = QStringLiteral("%1 needs a value").arg(option);
                    return false;
                }
                if (option == QLatin1String("--port")) {
                    if (inv->ports.isEmpty())
                        inv->port = value;
                    inv->ports << value;
                } else if (option == QLatin1String("--ports-file")) {
                    inv->ports_file = value;
                } else if (option == QLatin1String("--jobs")) {
                    bool ok = false;
                    inv->jobs = value.toInt(&ok);
                    if (!ok || inv->jobs < 1) {
                        *error = QStringLiteral("--jobs takes a number from 1, not %1").arg(value);
                        return false;
                    }
                } else if (option == QLatin1String("--config-dir")) {
                    inv->config_dir = value;
                } else {
                    inv->trace = value;
                }
                continue;
            }
            if (word.startsWith(QLatin1Char('-'))) {
                *error = QStringLiteral("unknown option %1").arg(word);
                return false;
            }
            if (!commands_known.contains(word)) {
                *error = QStringLiteral("unknown command %1").arg(word);
                return false;
            }
            inv->command = word;
            continue;
        }
        if (word == QLatin1String("--json"))
            inv->json = true;
        else if (word == QLatin1String("--dry-run") && inv->command == QLatin1String("apply"))
            inv->dry_run = true;
        else if (word.startsWith(QLatin1String("--")))
            *error = QStringLiteral("%1 takes no option %2").arg(inv->command, word);
        else
            inv->args << word;
        if (!error->isEmpty())
            return false;
    }
    if (inv->command.isEmpty()) {
        *error = QStringLiteral("no command given");
        return false;
    }
    const QString &c = inv->command;
    const qsizetype n = inv->args.size();
    const bool none = c == QLatin1String("ports") || c == QLatin1String("read")
        || c == QLatin1String("reset") || c == QLatin1String("vga-auto");
    const bool one
        = c == QLatin1String("apply") || c == QLatin1String("diff") || c == QLatin1String("key");
    if (none && n != 0)
        *error = QStringLiteral("%1 takes no arguments").arg(c);
    else if (one && n != 1)
        *error = QStringLiteral("%1 takes one argument").arg(c);
    else if (!none && !one && n == 0)
        *error = QStringLiteral("%1 needs at least one argument").arg(c);
    else if (c == QLatin1String("key")
        && !QStringList { QStringLiteral("menu"), QStringLiteral("minus"), QStringLiteral("plus") }
                .contains(inv->args.first()))
        *error = QStringLiteral("key is menu, minus or plus, not %1").arg(inv->args.first());
    return error->isEmpty();
}

QString port_address(const QString &port)
{
    static const QRegularExpression com(QStringLiteral("^[Cc][Oo][Mm]([1-9])$"));
    const QRegularExpressionMatch match = com.match(port);
    if (match.hasMatch())
        return port_device(match.captured(1).toInt());
    return port;
}

namespace {
int run_one(const Invocation &inv, const QString &port, const JobRequest &request,
    const OptionLists &lists, TraceWriter *trace, Console &console);
} // namespace

int run(const Invocation &inv, Console &console, const QString &default_config_dir)
{
    if (inv.command == QLatin1String("ports"))
        return list_ports(console, inv.json);
    QStringList ports;
    QString ports_why;
    if (!receiver_ports(inv, &ports, &ports_why)) {
        report(console, QStringLiteral("%1; nothing was sent").arg(ports_why));
        return status_usage;
    }
    const QStringList many_commands = { QStringLiteral("read"), QStringLiteral("get"),
        QStringLiteral("set"), QStringLiteral("apply"), QStringLiteral("diff") };
    if (ports.size() > 1 && !many_commands.contains(inv.command)) {
        report(
            console, QStringLiteral("%1 works on one receiver; nothing was sent").arg(inv.command));
        return status_usage;
    }

    JobRequest request;
    OptionLists lists;
    const QString &c = inv.command;
    const bool uses_names = c == QLatin1String("read") || c == QLatin1String("get")
        || c == QLatin1String("set") || c == QLatin1String("apply") || c == QLatin1String("diff");
    if (uses_names) {
        QString why;
        const QString dir = inv.config_dir.isEmpty() ? default_config_dir : inv.config_dir;
        if (!read_option_lists(dir, &lists, &why)) {
            report(console, QStringLiteral("the option-list files cannot be read: %1").arg(why));
            return status_usage;
        }
    }

    if (c == QLatin1String("read")) {
        request.kind = JobRequest::Kind::Read;
    } else if (c == QLatin1String("get")) {
        request.kind = JobRequest::Kind::Get;
        for (const QString &name : inv.args) {
            if (const std::optional<QString> control = control_byte(name)) {
                report(console,
                    QStringLiteral("a setting name holds the control byte %1; nothing was sent")
                        .arg(*control));
                return status_usage;
            }
            const Setting *setting = find_setting(name);
            if (!setting) {
                report(console, QStringLiteral("unknown setting \"%1\"").arg(name));
                return status_usage;
            }
            if (!request.names.contains(setting))
                request.names << setting;
        }
    } else if (c == QLatin1String("set")) {
        request.kind = JobRequest::Kind::Set;
        for (const QString &argument : inv.args) {
            ProfileEntry entry;
            QString why;
            if (!parse_assignment(argument, lists, &entry, &why)) {
                report(console, QStringLiteral("%1; nothing was sent").arg(why));
                return status_usage;
            }
            for (const ProfileEntry &earlier : std::as_const(request.entries)) {
                if (earlier.setting == entry.setting) {
                    report(console,
                        QStringLiteral("%1 is given twice; nothing was sent")
                            .arg(QLatin1String(entry.setting->name)));
                    return status_usage;
                }
            }
            request.entries << entry;
        }
    } else if (c == QLatin1String("apply") || c == QLatin1String("diff")) {
        request.kind
            = c == QLatin1String("apply") ? JobRequest::Kind::Apply : JobRequest::Kind::Diff;
        request.dry_run = inv.dry_run;
        QString text, why;
        Profile profile;
        if (!read_input_file(inv.args.first(), &text, &why)) {
            report(console, QStringLiteral("%1; nothing was sent").arg(why));
            return status_usage;
        }
        if (!parse_profile(text, lists, &profile, &why)) {
            report(console, QStringLiteral("%1: %2; nothing was sent").arg(inv.args.first(), why));
            return status_usage;
        }
        request.entries = profile.writable_in_read_order();
    } else {
        request.kind = JobRequest::Kind::Send;
        Step &step = request.command;
        const char *name = c == QLatin1String("reset")   ? "reset"
            : c == QLatin1String("vga-auto")             ? "vga_auto"
            : inv.args.first() == QLatin1String("menu")  ? "key_menu"
            : inv.args.first() == QLatin1String("minus") ? "key_minus"
                                                         : "key_plus";
        const protocol::Command *command = protocol::find_command(name);
        step.what = c == QLatin1String("key") ? QStringLiteral("key %1").arg(inv.args.first()) : c;
        step.prefix = command->prefix;
        step.message = command->kind == protocol::Kind::Key
            ? protocol::key_message(step.prefix)
            : protocol::setting_message(step.prefix, "Go");
    }

    TraceWriter trace;
    if (!inv.trace.isEmpty()) {
        QString why;
        const bool opened = inv.trace == QLatin1String("-")
            ? trace.open_descriptor(2, &why)
            : trace_path_usable(inv.trace, &why) && trace.open(inv.trace, &why);
        if (!opened) {
            report(
                console, QStringLiteral("cannot open the trace file %1: %2").arg(inv.trace, why));
            return status_usage;
        }
    }

    const int status = ports.size() > 1
        ? run_fleet(inv, ports, request, lists, trace.is_open() ? &trace : nullptr, console)
        : run_one(inv, ports.first(), request, lists, trace.is_open() ? &trace : nullptr, console);
    if (!trace.failure().isEmpty()) {
        report(console,
            QStringLiteral("the trace %1 could not be written: %2; it holds the lines before")
                .arg(inv.trace, trace.failure()));
        return std::max(status, int(status_failed));
    }
    return status;
}

namespace {

int run_one(const Invocation &inv, const QString &port, const JobRequest &request,
    const OptionLists &lists, TraceWriter *trace, Console &console)
{
    const QString &c = inv.command;
    ReceiverJob job(port, port_address(port), lists, trace, request);
    const bool shows_progress = c == QLatin1String("read") || c == QLatin1String("apply");
    Progress progress(console, QStringLiteral("%1 %2").arg(c, port));
    if (shows_progress)
        QObject::connect(
            &job, &ReceiverJob::progress, &job, [&](double share) { progress.show(share); });
    QEventLoop loop;
    QObject::connect(&job, &ReceiverJob::finished, &loop, &QEventLoop::quit);
    job.start();
    if (!job.is_finished())
        loop.exec();
    progress.clear();

    const JobResult &result = job.result();
    if (inv.json) {
        console.out << QString::fromUtf8(
            json_document({ receiver_object(port, request, result, lists) }));
    } else {
        if (request.kind == JobRequest::Kind::Read || request.kind == JobRequest::Kind::Get)
            print_values(console, result);
        for (const QString &line : result.changes)
            console.out << line << '\n';
    }
    console.out.flush();
    for (const QString &line : result.errors)
        report(console, line);
    return result.status;
}

} // namespace

int main_with(const QStringList &words, Console &console, const QString &default_config_dir)
{
    Invocation inv;
    QString why;
    if (!parse_invocation(words, &inv, &why)) {
        report(console, why);
        console.err << usage_text();
        console.err.flush();
        return status_usage;
    }
    if (inv.help) {
        console.out << usage_text();
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
