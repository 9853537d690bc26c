#include "cli/completion.h"

#include "cli/grammar.h"
#include "link/port_names.h"
#include "model/settings.h"

#include <QFile>
#include <QHash>
#include <QList>
#include <QRegularExpression>
#include <QStringList>

#include <utility>

namespace cli {

namespace {

using grammar::Kind;

// Words joined by spaces, for a shell's word list.
QString joined(const QStringList &words)
{
    return words.join(QLatin1Char(' '));
}

QStringList com_entries()
{
    QStringList entries;
    for (int n = 1; n <= port_count; ++n)
        entries << port_name(n);
    return entries;
}

// The names of the commands whose words are of kind.
QStringList commands_taking(Kind kind)
{
    QStringList names;
    for (const grammar::Command &command : grammar::commands()) {
        if (command.kind == kind)
            names << QLatin1String(command.name);
    }
    return names;
}

// The settings that set and profiles may change.
QStringList writable_names()
{
    QStringList names;
    for (const model::Setting &setting : model::settings()) {
        if (setting.writable)
            names << QLatin1String(setting.name);
    }
    return names;
}

// An option's help on one line, for a shell's description.
QString one_line(const char *help)
{
    return QString::fromUtf8(help).replace(QLatin1Char('\n'), QLatin1Char(' '));
}

// Every spelling ("--port", "-p") of the program's options that keep takes.
template <typename Keep> QStringList spellings(Keep keep)
{
    QStringList words;
    for (const grammar::Option &option : grammar::options()) {
        if (keep(option))
            words << grammar::option_words({ &option, 1 });
    }
    return words;
}

// The options that take a value.
QStringList valued_options()
{
    return spellings([](const grammar::Option &option) { return option.value != nullptr; });
}

// The options that take a value, but for the folder, which the completions read on their own.
QStringList value_options_but_config()
{
    return spellings([](const grammar::Option &option) {
        return option.value != nullptr && option.kind != Kind::Folder;
    });
}

QStringList options_of_kind(Kind kind)
{
    return spellings([kind](const grammar::Option &option) { return option.kind == kind; });
}

// The options a command takes after it: its own, --json and --help.
QStringList options_after(const grammar::Command &command)
{
    return grammar::option_words(command.options)
        + spellings([](const grammar::Option &option) { return option.after_command; });
}

// The template of a script, from the program's resources.
QString script_template(const QString &file)
{
    QFile in(QStringLiteral(":/completion/") + file);
    if (!in.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(in.readAll());
}

// The values a script template's @name@ placeholders take: one text for the whole script, or,
// for a placeholder of a table (a command, an option), one text per row, so that a line holding
// it is written once for each row.
struct Fill
{
    QHash<QString, QString> once;
    QList<QList<QHash<QString, QString>>> tables;
};

const QRegularExpression &placeholder()
{
    static const QRegularExpression pattern(QStringLiteral("@([a-z_]+)@"));
    return pattern;
}

QString replaced(const QString &line, const QHash<QString, QString> &row, const Fill &fill)
{
    QString out;
    qsizetype from = 0;
    auto it = placeholder().globalMatch(line);
    while (it.hasNext()) {
        const QRegularExpressionMatch match = it.next();
        const QString name = match.captured(1);
        out += line.mid(from, match.capturedStart() - from);
        if (row.contains(name))
            out += row.value(name);
        else if (fill.once.contains(name))
            out += fill.once.value(name);
        else
            out += match.captured(); // unknown: left for the tests to find
        from = match.capturedEnd();
    }
    return out + line.mid(from);
}

// The template with its placeholders filled; a line naming a table's placeholder repeated for
// each of the table's rows.
QString filled(const QString &text, const Fill &fill)
{
    QString out;
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (qsizetype n = 0; n < lines.size(); ++n) {
        const QString &line = lines.at(n);
        const QList<QHash<QString, QString>> *table = nullptr;
        auto it = placeholder().globalMatch(line);
        while (it.hasNext() && !table) {
            const QString name = it.next().captured(1);
            for (const auto &rows : fill.tables) {
                if (!rows.isEmpty() && rows.first().contains(name))
                    table = &rows;
            }
        }
        const QString end = n + 1 < lines.size() ? QStringLiteral("\n") : QString();
        if (!table) {
            out += replaced(line, {}, fill) + end;
            continue;
        }
        for (const QHash<QString, QString> &row : *table)
            out += replaced(line, row, fill) + end;
    }
    return out;
}

// zsh wants ":" and "]" escaped in descriptions, and "'" closed around.
QString zsh_text(const QString &text)
{
    QString out = text;
    out.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
    out.replace(QLatin1Char(':'), QStringLiteral("\\:"));
    out.replace(QLatin1Char('['), QStringLiteral("\\["));
    out.replace(QLatin1Char(']'), QStringLiteral("\\]"));
    out.replace(QLatin1Char('\''), QStringLiteral("'\\''"));
    return out;
}

QString zsh_action(Kind kind)
{
    switch (kind) {
    case Kind::Port:
        return QStringLiteral("_kz_orba_cli_ports");
    case Kind::File:
        return QStringLiteral("_files");
    case Kind::Folder:
        return QStringLiteral("_files -/");
    default:
        return QStringLiteral(" ");
    }
}

// One option as _arguments takes it; one that may be repeated any number of times, the others
// once.
QString zsh_option(const grammar::Option &option)
{
    const QString name = QLatin1String(option.name);
    const QString letter
        = option.letter ? QStringLiteral("-%1").arg(QLatin1Char(option.letter)) : QString();
    QString spec = grammar::may_repeat(option.field) ? QStringLiteral("'*'")
        : letter.isEmpty()                           ? QString()
                           : QStringLiteral("'(%1 %2)'").arg(letter, name);
    if (letter.isEmpty())
        spec += QStringLiteral("'%1%2").arg(name, option.value ? QStringLiteral("=") : QString());
    else if (option.value)
        spec += QStringLiteral("{%1+,%2=}'").arg(letter, name);
    else
        spec += QStringLiteral("{%1,%2}'").arg(letter, name);
    spec += QStringLiteral("[%1]").arg(zsh_text(one_line(option.help)));
    if (option.value)
        spec += QStringLiteral(":%1:%2").arg(
            QString::fromLatin1(option.value).toLower(), zsh_action(option.kind));
    return spec + QLatin1Char('\'');
}

// fish wants "'" and "\" escaped inside single quotes.
QString fish_text(const QString &text)
{
    QString out = text;
    out.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
    out.replace(QLatin1Char('\''), QStringLiteral("\\'"));
    return out;
}

// An option's arguments to fish's complete: its names, what its value is, its help.
QString fish_option(const grammar::Option &option, bool own)
{
    QString line;
    if (!option.after_command && !own)
        line += QStringLiteral("-n 'not __kz_orba_cli_command' ");
    line += QStringLiteral("-l %1").arg(QString::fromLatin1(option.name).mid(2));
    if (option.letter)
        line += QStringLiteral(" -s %1").arg(QLatin1Char(option.letter));
    switch (option.kind) {
    case Kind::Port:
        line += QStringLiteral(" -x -a '%1 (__fish_complete_path)'").arg(joined(com_entries()));
        break;
    case Kind::File:
        line += QStringLiteral(" -r -F");
        break;
    case Kind::Folder:
        line += QStringLiteral(" -x -a '(__fish_complete_directories)'");
        break;
    case Kind::Number:
        line += QStringLiteral(" -x");
        break;
    default:
        break;
    }
    return line + QStringLiteral(" -d '%1'").arg(fish_text(one_line(option.help)));
}

// The option the option-list folder is given with.
const grammar::Option &config_option()
{
    for (const grammar::Option &option : grammar::options()) {
        if (option.field == grammar::Field::ConfigDir)
            return option;
    }
    Q_UNREACHABLE();
}

// Everything the three templates take, each list written as the shell's word list ("a b"), as a
// case pattern ("a|b") or, for fish's switch, as its words.
Fill grammar_fill()
{
    const QLatin1Char bar('|');
    const grammar::Option &config = config_option();
    const QString config_long = QLatin1String(config.name);
    const QString config_short = QStringLiteral("-%1").arg(QLatin1Char(config.letter));
    Fill fill;
    fill.once = {
        { QStringLiteral("com_entries"), joined(com_entries()) },
        { QStringLiteral("config_long"), config_long },
        { QStringLiteral("config_short"), config_short },
        { QStringLiteral("config_options"), config_long + bar + config_short },
        { QStringLiteral("config_options_fish"), config_long + QLatin1Char(' ') + config_short },
        { QStringLiteral("valued_options"), valued_options().join(bar) },
        { QStringLiteral("valued_options_fish"), joined(value_options_but_config()) },
        { QStringLiteral("port_options"), options_of_kind(Kind::Port).join(bar) },
        { QStringLiteral("file_options"), options_of_kind(Kind::File).join(bar) },
        { QStringLiteral("folder_options"), options_of_kind(Kind::Folder).join(bar) },
        { QStringLiteral("number_options"), options_of_kind(Kind::Number).join(bar) },
        { QStringLiteral("program_options"), joined(grammar::option_words(grammar::options())) },
        { QStringLiteral("commands"), joined(grammar::command_names()) },
        { QStringLiteral("setting_names"), joined(model::setting_names()) },
        { QStringLiteral("writable_names"), joined(writable_names()) },
    };
    const std::pair<const char *, Kind> command_kinds[] = {
        { "setting_name_commands", Kind::SettingName },
        { "assignment_commands", Kind::Assignment },
        { "file_commands", Kind::File },
    };
    for (const auto &[name, kind] : command_kinds) {
        fill.once.insert(QLatin1String(name), commands_taking(kind).join(bar));
        fill.once.insert(
            QLatin1String(name) + QStringLiteral("_fish"), joined(commands_taking(kind)));
    }

    QList<QHash<QString, QString>> commands, options, own, fixed;
    for (const grammar::Command &command : grammar::commands()) {
        const QString name = QLatin1String(command.name);
        const QString summary = QString::fromUtf8(command.summary);
        commands.append({ { QStringLiteral("command"), name },
            { QStringLiteral("command_options"), joined(options_after(command)) },
            { QStringLiteral("zsh_summary"), zsh_text(summary) },
            { QStringLiteral("fish_summary"), fish_text(summary) } });
        for (const grammar::Option &option : command.options) {
            own.append({ { QStringLiteral("own_command"), name },
                { QStringLiteral("fish_own_option"), fish_option(option, true) } });
        }
    }
    for (const grammar::Option &option : grammar::options()) {
        options.append({ { QStringLiteral("zsh_option"), zsh_option(option) },
            { QStringLiteral("fish_option"), fish_option(option, false) } });
    }
    for (const Kind kind : { Kind::Key, Kind::Shell, Kind::Command }) {
        fixed.append({ { QStringLiteral("fixed_commands"), commands_taking(kind).join(bar) },
            { QStringLiteral("fixed_commands_fish"), joined(commands_taking(kind)) },
            { QStringLiteral("fixed_words"), joined(grammar::fixed_words(kind)) } });
    }
    fill.tables = { commands, options, own, fixed };
    return fill;
}

} // namespace

QString completion_script(const QString &shell)
{
    QString file;
    if (shell == QLatin1String("bash"))
        file = QStringLiteral("kz-orba-cli.bash.in");
    else if (shell == QLatin1String("zsh"))
        file = QStringLiteral("_kz-orba-cli.zsh.in");
    else if (shell == QLatin1String("fish"))
        file = QStringLiteral("kz-orba-cli.fish.in");
    else
        return {};
    return filled(script_template(file), grammar_fill());
}

} // namespace cli
