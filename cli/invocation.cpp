#include "cli/invocation.h"

#include "cli/grammar.h"
#include "cli/input_files.h"
#include "link/port_names.h"
#include "link/tcp_transport.h"
#include "link/trace.h"
#include "link/transport_factory.h"
#include "model/profile.h"
#include "model/suggest.h"

#include <QRegularExpression>

namespace cli {

using model::control_byte;
using model::did_you_mean;
using model::without_comment;

namespace {

// A word a person wrote, for a message: quoted, its control bytes shown.
QString shown_word(const QString &word)
{
    QString text = word;
    if (control_byte(text))
        text = trace_bytes(word.toUtf8());
    return QLatin1Char('"') + text + QLatin1Char('"');
}

// "30", "1.5", "30s", "500ms", "2m": milliseconds, from 100 to a day.
std::optional<int> interval_ms(const QString &text)
{
    QString number = text.trimmed();
    double scale = 1000.0;
    if (number.endsWith(QLatin1String("ms"))) {
        scale = 1.0;
        number.chop(2);
    } else if (number.endsWith(QLatin1Char('s'))) {
        number.chop(1);
    } else if (number.endsWith(QLatin1Char('m'))) {
        scale = 60000.0;
        number.chop(1);
    }
    bool ok = false;
    const double value = number.toDouble(&ok) * scale;
    if (!ok || !(value >= 100.0) || value > 86400000.0)
        return std::nullopt;
    return int(value);
}

QString unknown(const QString &what, const QString &word, const QStringList &candidates)
{
    return QStringLiteral("unknown %1 %2%3")
        .arg(what, shown_word(word), did_you_mean(word, candidates));
}

// Takes the option that words[*i] begins (and its value, from the same word or the next).
// False with the reason when it needs a value and has none.
bool take_option(const grammar::Option &option, const QStringList &words, qsizetype *i,
    QString *value, QString *error)
{
    const QString &word = words.at(*i);
    if (!option.value)
        return true;
    const QLatin1StringView name(option.name);
    if (word.startsWith(name + QLatin1Char('=')))
        *value = word.mid(name.size() + 1);
    else if (word.size() > 2 && !word.startsWith(QLatin1String("--")))
        *value = word.mid(2); // -pVALUE
    else if (*i + 1 < words.size())
        *value = words.at(++*i);
    if (value->isEmpty()) {
        *error = QStringLiteral("%1 needs a value (%2)").arg(name, QLatin1String(option.value));
        return false;
    }
    return true;
}

// Stores an option's value in the field its row of the grammar names.
bool store_option(
    const grammar::Option &option, const QString &value, Invocation *inv, QString *error)
{
    using grammar::Field;
    switch (option.field) {
    case Field::Port:
        if (inv->ports.isEmpty())
            inv->port = value;
        inv->ports << value;
        break;
    case Field::PortsFile:
        inv->ports_file = value;
        break;
    case Field::Jobs: {
        bool ok = false;
        inv->jobs = value.toInt(&ok);
        if (!ok || inv->jobs < 1) {
            *error = QStringLiteral("%1 takes a number from 1, not %2")
                         .arg(QLatin1String(option.name), shown_word(value));
            return false;
        }
        break;
    }
    case Field::ConfigDir:
        inv->config_dir = value;
        break;
    case Field::Trace:
        inv->trace = value;
        break;
    case Field::Json:
        inv->json = true;
        break;
    case Field::DryRun:
        inv->dry_run = true;
        break;
    case Field::Help:
        inv->help = true;
        break;
    case Field::Version:
        inv->version = true;
        break;
    case Field::Interval: {
        const std::optional<int> ms = interval_ms(value);
        if (!ms) {
            *error = QStringLiteral("%1 takes seconds (30, 1.5, 500ms, 2m) from 0.1 s to a day, "
                                    "not %2")
                         .arg(QLatin1String(option.name), shown_word(value));
            return false;
        }
        inv->interval_ms = *ms;
        break;
    }
    case Field::Listen:
        inv->listen = value;
        break;
    }
    return true;
}

// Checks the words of a command against its line of the grammar.
bool check_words(const grammar::Command &command, const QStringList &args, QString *error)
{
    const QString name = QLatin1String(command.name);
    const qsizetype n = args.size();
    if (command.max_words == 0 && n > 0) {
        *error = QStringLiteral("%1 takes no words, not %2").arg(name, shown_word(args.first()));
        return false;
    }
    if (n < command.min_words) {
        *error = QStringLiteral("%1 needs %2").arg(name, QLatin1String(command.words));
        return false;
    }
    if (command.max_words >= 0 && n > command.max_words) {
        *error = QStringLiteral("%1 takes %2, not %3 words")
                     .arg(name, QLatin1String(command.words))
                     .arg(n);
        return false;
    }
    const QStringList fixed = grammar::fixed_words(command.kind);
    if (command.kind == grammar::Kind::Command && n > 0 && !fixed.contains(args.first())) {
        *error = unknown(QStringLiteral("command"), args.first(), fixed);
        return false;
    }
    if (!fixed.isEmpty() && n > 0 && !fixed.contains(args.first())) {
        *error = QStringLiteral("%1 takes %2, not %3%4")
                     .arg(name, fixed.join(QStringLiteral(", ")), shown_word(args.first()),
                         did_you_mean(args.first(), fixed));
        return false;
    }
    return true;
}

} // namespace

bool parse_invocation(const QStringList &words, Invocation *inv, QString *error)
{
    *inv = Invocation {};
    const grammar::Command *command = nullptr;
    bool options_ended = false;
    for (qsizetype i = 0; i < words.size(); ++i) {
        const QString &word = words.at(i);
        if (!options_ended && word == QLatin1String("--")) {
            options_ended = true;
            continue;
        }
        if (options_ended || !word.startsWith(QLatin1Char('-')) || word.size() == 1) {
            if (command) {
                inv->args << word;
                continue;
            }
            command = grammar::find_command(word);
            if (!command) {
                *error = unknown(QStringLiteral("command"), word, grammar::command_names())
                    + QStringLiteral(" (kz-orba-cli help lists them)");
                return false;
            }
            inv->command = word;
            continue;
        }
        // An option: the whole program's before the command; after it, the command's own,
        // --json and --help.
        const grammar::Option *option = nullptr;
        if (command)
            option = grammar::find_option(command->options, word);
        if (!option) {
            option = grammar::find_option(grammar::options(), word);
            if (option && command && !option->after_command) {
                *error = QStringLiteral("%1 is an option of kz-orba-cli, not of %2: put it "
                                        "before the command (kz-orba-cli %1%3 %2 ...)")
                             .arg(QLatin1String(option->name), inv->command,
                                 option->value ? QLatin1Char(' ') + QLatin1String(option->value)
                                               : QString());
                return false;
            }
        }
        if (!option) {
            // An option of some command given before it, or a slip.
            QStringList known = grammar::option_words(grammar::options());
            if (command)
                known << grammar::option_words(command->options);
            QStringList owners;
            for (const grammar::Command &other : grammar::commands()) {
                if (&other != command && grammar::find_option(other.options, word))
                    owners << QLatin1String(other.name);
            }
            if (!owners.isEmpty()) {
                *error = QStringLiteral("%1 is an option of %2: put it after the command")
                             .arg(shown_word(word), owners.join(QStringLiteral(", ")));
                return false;
            }
            const QString bare = word.section(QLatin1Char('='), 0, 0);
            *error = unknown(QStringLiteral("option"), bare, known);
            return false;
        }
        QString value;
        if (!take_option(*option, words, &i, &value, error)
            || !store_option(*option, value, inv, error))
            return false;
        // Help and the version end the parse: what follows is not checked.
        if (option->field == grammar::Field::Help) {
            inv->help_topic = command ? inv->command : QString();
            return true;
        }
        if (option->field == grammar::Field::Version)
            return true;
    }
    if (!command) {
        *error = QStringLiteral("no command given (kz-orba-cli help lists them)");
        return false;
    }
    if (!check_words(*command, inv->args, error))
        return false;
    if (command->action == grammar::Action::Help) {
        inv->help = true;
        inv->help_topic = inv->args.value(0);
    }
    return true;
}

QString port_address(const QString &port)
{
    if (const std::optional<int> number = entry_number(port))
        return port_device(*number);
    return port;
}

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
                             .arg(model::printable(inv.ports_file))
                             .arg(i + 1)
                             .arg(*control);
                return false;
            }
            all << line;
        }
        if (all.isEmpty()) {
            *error = QStringLiteral("%1 names no port (only blank lines and comments)")
                         .arg(model::printable(inv.ports_file));
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

std::optional<QString> port_problem(const QString &port)
{
    if (is_network_address(port)) {
        QString why;
        if (check_address(port, &why))
            return std::nullopt;
        return QStringLiteral("%1: %2").arg(port, why);
    }
    static const QRegularExpression host_and_port(
        QStringLiteral("^([A-Za-z0-9.-]+|\\[[0-9A-Fa-f:.]+\\]):[0-9]{1,5}$"));
    if (host_and_port.match(port).hasMatch())
        return QStringLiteral("%1 looks like a gateway's address: write tcp://%1").arg(port);
    return std::nullopt;
}

} // namespace cli
