#include "cli/grammar.h"

#include "model/settings.h"

#include <QStringList>
#include <QTextStream>

#include <array>

namespace cli::grammar {

namespace {

const Option program_options[] = {
    { "--port", Field::Port, 'p', "PORT", Kind::Port,
        "COM1 .. COM9 (resolved as the window resolves them), a device\n"
        "path, tcp://HOST:PORT of a serial-to-Ethernet gateway in raw TCP\n"
        "mode or rfc2217://HOST:PORT of one that speaks RFC 2217; default\n"
        "COM1. Give it again for more receivers" },
    { "--ports-file", Field::PortsFile, 'f', "FILE", Kind::File,
        "the receivers' ports, one a line (blank lines and # comments\n"
        "skipped); with --port, both are used" },
    { "--jobs", Field::Jobs, 'j', "N", Kind::Number,
        "at most N receivers busy at a time (default: what the open-file\n"
        "limit allows, up to 1024)" },
    { "--config-dir", Field::ConfigDir, 'c', "DIR", Kind::Folder,
        "read auto_off.txt, input_prefer.txt and output_reso.txt from DIR" },
    { "--trace", Field::Trace, 't', "FILE", Kind::File,
        "append one line per transaction: time, port, bytes sent, bytes\n"
        "received, outcome, milliseconds (- for standard error)" },
    { "--json", Field::Json, 0, nullptr, Kind::None,
        "print one JSON object (its schema: docs/cli.md); before or\n"
        "after the command",
        true },
    { "--help", Field::Help, 'h', nullptr, Kind::None,
        "this text; after a command, that command's help", true },
    { "--version", Field::Version, 'V', nullptr, Kind::None, "the version" },
};

const Option apply_options[] = {
    { "--dry-run", Field::DryRun, 'n', nullptr, Kind::None, "only say what would change" },
};

const Option watch_options[] = {
    { "--interval", Field::Interval, 'i', "SECONDS", Kind::Number,
        "probe every SECONDS (default 30; 500ms and 2m are read too)" },
};

const Option serve_options[] = {
    { "--listen", Field::Listen, 'l', "HOST:PORT", Kind::Number,
        "where Prometheus reaches the exporter (default 127.0.0.1:9731)" },
};

// set, key, reset and vga-auto: they send without reading first, so a dry run needs no line.
const Option set_options[] = {
    { "--dry-run", Field::DryRun, 'n', nullptr, Kind::None,
        "open no line; print the messages it would send" },
};

const Command command_table[] = {
    { "ports", Action::Ports, "", Kind::None, 0, 0, {}, false, false,
        "the serial ports: COM1 .. COM9 and the others",
        "Lists COM1 .. COM9 with the device each opens and whether it exists, then every other\n"
        "serial port the system reports, then the folder the option-list files are read from." },
    { "read", Action::Read, "", Kind::None, 0, 0, {}, true, true,
        "every readable setting, one \"name = value\" line each",
        "Prints a profile: one \"name = value\" line for each setting, in the order the window\n"
        "reads them. A value no list entry names is a \"# name: why\" comment. When the read\n"
        "stops midway, what was read is followed by a \"# incomplete: why\" line.\n"
        "With several receivers, each profile is headed \"# PORT\"; one line per receiver and\n"
        "a summary go to standard error." },
    { "get", Action::Get, "NAME...", Kind::SettingName, 1, -1, {}, true, true,
        "the named settings only",
        "Prints the named settings as read prints them, in the order given.\n"
        "kz-orba-cli values NAME lists what a setting may be." },
    { "set", Action::Set, "NAME=VALUE...", Kind::Assignment, 1, -1, set_options, true, true,
        "send settings as choosing them in the window would",
        "Sends each setting exactly as choosing that entry in the window would, in the order\n"
        "given, and confirms it by the receiver's reply. A value the window sends without\n"
        "waiting (the picture values, overscan_h, overscan_v, auto_off, projsw_mode) is sent\n"
        "so too, then read back after the window's pause: it counts as set only when the\n"
        "read-back shows it; a receiver that does not answer leaves it unconfirmed (sent, it\n"
        "may have taken) and ends with status 1, sending nothing after it. Every value is\n"
        "checked first: an unknown name, a value no list offers or a name given twice ends\n"
        "with status 2 and nothing sent.\n"
        "With --dry-run the line is not opened: prints the messages it would send." },
    { "apply", Action::Apply, "FILE", Kind::File, 1, 1, apply_options, true, true,
        "send the settings of a profile that differ, then verify",
        "Reads the receiver, sends every writable setting of the profile FILE that differs,\n"
        "reads those back and checks them, and prints \"name: before -> after\" for each\n"
        "change. Read-only settings in the profile are left alone." },
    { "diff", Action::Diff, "FILE", Kind::File, 1, 1, {}, true, true,
        "each difference from a profile: \"name: receiver -> profile\"",
        "Reads the receiver and compares it with the profile FILE; sends no setting.\n"
        "Status 1 when the receiver differs." },
    { "key", Action::Key, "menu|minus|plus", Kind::Key, 1, 1, set_options, false, true,
        "press one front-panel key", "" },
    { "reset", Action::Reset, "", Kind::None, 0, 0, set_options, false, true, "reset the receiver",
        "" },
    { "vga-auto", Action::VgaAuto, "", Kind::None, 0, 0, set_options, false, true,
        "the VGA auto adjustment", "" },
    { "values", Action::Values, "[NAME]", Kind::SettingName, 0, 1, {}, false, false,
        "the values a setting may take, one a line",
        "Lists the values set and profiles accept for NAME, from the option-list files in\n"
        "use; nothing is sent. For the projector port and the display commands it says what\n"
        "they take instead. Without NAME, lists the setting names." },
    { "status", Action::Status, "", Kind::None, 0, 0, {}, true, true,
        "whether each receiver answers, and its input and display",
        "Probes each receiver once: the transmitter's identification, the receiver's firmware,\n"
        "the display and the input source. One line a receiver with its state and the round\n"
        "trip: answering; silent (the line opened, nothing came back); garbled (bytes that are\n"
        "no reply); busy (another program, such as the window, holds the line: it is left\n"
        "alone); unreachable (the line cannot be opened). Exit status: 0 when all answer, 1\n"
        "when one is silent or garbled, 3 when one is busy or unreachable.\n"
        "A ports file line may give a port a name: room-204 = tcp://10.0.4.21:4001." },
    { "watch", Action::Watch, "", Kind::None, 0, 0, watch_options, true, true,
        "probe every interval and print what changes, until stopped",
        "Probes each receiver as status does, every --interval, and prints a line with the\n"
        "time only when something changes: its first state, a receiver going silent or coming\n"
        "back, its input or display changing. With --json, one JSON object a line. Each line\n"
        "is opened only for its probe, so the window can use a receiver between two; a\n"
        "receiver that stays silent costs one reply wait a round. Ends on SIGINT, SIGTERM or\n"
        "SIGHUP." },
    { "serve", Action::Serve, "", Kind::None, 0, 0, serve_options, true, true,
        "a Prometheus exporter: GET /probe?target=NAME probes one receiver",
        "Serves Prometheus on --listen (the loopback unless told otherwise): GET\n"
        "/probe?target=NAME probes the receiver of that name or port from --ports-file and\n"
        "--port, and answers kz_orba_up, kz_orba_state, kz_orba_probe_duration_seconds,\n"
        "kz_orba_info, kz_orba_input and kz_orba_display_on; GET /metrics gives the\n"
        "exporter's own counters. Any other target is refused with 400 and nothing is\n"
        "opened. Scrapes of a line already being probed share that probe. Ends on SIGINT,\n"
        "SIGTERM or SIGHUP. The README shows the Prometheus configuration." },
    { "help", Action::Help, "[COMMAND]", Kind::Command, 0, 1, {}, false, false,
        "this text, or a command's own help", "" },
    { "completion", Action::Completion, "bash|zsh|fish", Kind::Shell, 1, 1, {}, false, false,
        "print a completion script for the shell",
        "Prints a script that completes commands, options, setting names and values (the\n"
        "values from the option-list files in use as you type). For example:\n"
        "  kz-orba-cli completion bash > ~/.local/share/bash-completion/completions/kz-orba-cli\n"
        "  kz-orba-cli completion zsh > ~/.zfunc/_kz-orba-cli\n"
        "  kz-orba-cli completion fish > ~/.config/fish/completions/kz-orba-cli.fish\n"
        "The package installs all three." },
};

constexpr int help_column = 26;

constexpr int line_width = 80;

// An entry of an option or command list: the words in the first column, the help beside them
// (below them when the words are too wide), its lines filled to the width of a terminal.
void write_entry(QTextStream &out, const QString &left, const QString &help)
{
    out << "  " << left;
    if (left.size() + 2 >= help_column - 1)
        out << '\n' << QString(help_column, QLatin1Char(' '));
    else
        out << QString(help_column - 2 - left.size(), QLatin1Char(' '));
    qsizetype used = help_column;
    bool first = true;
    for (const QString &word : help.simplified().split(QLatin1Char(' '))) {
        if (!first && used + 1 + word.size() > line_width) {
            out << '\n' << QString(help_column, QLatin1Char(' '));
            used = help_column;
            first = true;
        }
        if (!first) {
            out << ' ';
            ++used;
        }
        out << word;
        used += word.size();
        first = false;
    }
    out << '\n';
}

QString option_left(const Option &option)
{
    QString left = option.letter ? QStringLiteral("-%1, ").arg(QLatin1Char(option.letter))
                                 : QStringLiteral("    ");
    left += QLatin1String(option.name);
    if (option.value)
        left += QLatin1Char(' ') + QLatin1String(option.value);
    return left;
}

QString command_left(const Command &command)
{
    QString left = QLatin1String(command.name);
    if (*command.words)
        left += QLatin1Char(' ') + QLatin1String(command.words);
    for (const Option &option : command.options)
        left += QStringLiteral(" [%1]").arg(QLatin1String(option.name));
    return left;
}

} // namespace

std::span<const Option> options()
{
    return program_options;
}

std::span<const Command> commands()
{
    return command_table;
}

const Option *find_option(std::span<const Option> list, QStringView word)
{
    for (const Option &option : list) {
        const QLatin1StringView name(option.name);
        if (word == name || (option.value && word.startsWith(name + QLatin1Char('='))))
            return &option;
        if (option.letter && word.size() >= 2 && word.at(0) == QLatin1Char('-')
            && word.at(1) == QLatin1Char(option.letter) && (word.size() == 2 || option.value))
            return &option;
        // The window and the simulator take -v for their version too: the same here.
        if (option.field == Field::Version && word == QLatin1StringView("-v"))
            return &option;
    }
    return nullptr;
}

const Command *find_command(QStringView name)
{
    for (const Command &command : command_table) {
        if (name == QLatin1StringView(command.name))
            return &command;
    }
    return nullptr;
}

QStringList command_names()
{
    QStringList names;
    for (const Command &command : command_table)
        names << QLatin1String(command.name);
    return names;
}

QStringList option_words(std::span<const Option> list)
{
    QStringList words;
    for (const Option &option : list) {
        words << QLatin1String(option.name);
        if (option.letter)
            words << QStringLiteral("-%1").arg(QLatin1Char(option.letter));
    }
    return words;
}

QStringList fixed_words(Kind kind)
{
    switch (kind) {
    case Kind::Key:
        return { QStringLiteral("menu"), QStringLiteral("minus"), QStringLiteral("plus") };
    case Kind::Shell:
        return { QStringLiteral("bash"), QStringLiteral("zsh"), QStringLiteral("fish") };
    case Kind::Command:
        return command_names();
    default:
        return {};
    }
}

QString synopsis(const Command &command)
{
    return QStringLiteral("kz-orba-cli [OPTION]... %1").arg(command_left(command));
}

QString usage_text()
{
    QString text;
    QTextStream out(&text);
    out << "Usage: kz-orba-cli [OPTION]... COMMAND [WORD]...\n"
           "Reads, sets, copies and compares KZ-ORBA-320-RX video receivers over RS-232 or\n"
           "serial-to-Ethernet gateways, one or many at once.\n"
           "\n"
           "Options:\n";
    for (const Option &option : program_options)
        write_entry(out, option_left(option), QString::fromUtf8(option.help));
    out << "\nCommands:\n";
    for (const Command &command : command_table) {
        // A command's own options are told in its line.
        QString help = QString::fromUtf8(command.summary);
        for (const Option &option : command.options)
            help += QStringLiteral("; %1: %2")
                        .arg(option_left(option).trimmed(), QString::fromUtf8(option.help));
        write_entry(out, command_left(command), help);
    }
    out << "\n"
           "kz-orba-cli help COMMAND (or COMMAND --help) tells more about one command.\n"
           "read, get, set, apply and diff work on every receiver named (--port again,\n"
           "--ports-file) at once; one line per receiver and a summary then go to\n"
           "standard error.\n"
           "A profile is what read prints: \"name = value\" lines, # comments and blank lines.\n"
           "Options go before the command; -- ends them (for a file named with a leading -).\n"
           "\n"
           "Exit status:\n"
           "  0  done\n"
           "  1  a command failed, a read stopped midway, or (diff) the receiver differs\n"
           "  2  bad usage or a bad profile: nothing was sent\n"
           "  3  a port cannot be opened or its line was lost\n"
           "With several receivers, the worst of theirs.\n"
           "\n"
           "Examples:\n"
           "  kz-orba-cli --port /dev/ttyUSB0 read > room1.profile\n"
           "\n"
           "  kz-orba-cli --port tcp://10.0.0.5:4001 set brightness=60 aspect=\"16:9 TV\"\n"
           "\n"
           "  kz-orba-cli --ports-file rooms.txt apply --dry-run room1.profile\n";
    out.flush();
    return text;
}

QString command_help(const Command &command)
{
    QString text;
    QTextStream out(&text);
    QString summary = QString::fromUtf8(command.summary);
    summary[0] = summary.at(0).toUpper();
    out << "Usage: " << synopsis(command) << "\n" << summary << ".\n";
    if (*command.details)
        out << '\n' << command.details << '\n';
    if (!command.options.empty()) {
        out << "\nOptions:\n";
        for (const Option &option : command.options)
            write_entry(out, option_left(option), QString::fromUtf8(option.help));
    }
    // The names a command takes, so that its help is enough to use it.
    if (command.kind == Kind::SettingName || command.kind == Kind::Assignment) {
        QStringList names;
        for (const model::Setting &setting : model::settings()) {
            if (setting.writable || command.kind == Kind::SettingName)
                names << QLatin1String(setting.name);
        }
        out << '\n'
            << (command.kind == Kind::Assignment ? "The settings it can send" : "The settings")
            << " (kz-orba-cli values NAME lists a setting's values):\n";
        QString line;
        for (const QString &name : std::as_const(names)) {
            if (!line.isEmpty() && line.size() + 1 + name.size() > 76) {
                out << "  " << line << '\n';
                line.clear();
            }
            line += (line.isEmpty() ? QString() : QStringLiteral(" ")) + name;
        }
        out << "  " << line << '\n';
    }
    if (command.uses_receiver)
        out << "\nThe receivers are named before the command with --port or --ports-file "
               "(default COM1).\n";
    out << "kz-orba-cli --help lists every option and command.\n";
    out.flush();
    return text;
}

} // namespace cli::grammar
