#include "cli/completion.h"

#include "cli/grammar.h"
#include "link/port_names.h"
#include "model/settings.h"

#include <QStringList>

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

QString bash_script()
{
    QString s;
    s += QStringLiteral(
        "# bash completion for kz-orba-cli                          -*- shell-script -*-\n"
        "# Made by \"kz-orba-cli completion bash\" from the program's own grammar.\n"
        "\n"
        "# Files (-f) or folders (-d) that begin with the word under the cursor.\n"
        "_kz_orba_cli_files()\n"
        "{\n"
        "    local IFS=$'\\n'\n"
        "    compopt -o filenames 2>/dev/null\n"
        "    COMPREPLY=($(compgen \"$1\" -- \"$cur\"))\n"
        "}\n"
        "\n"
        "_kz_orba_cli()\n"
        "{\n"
        "    local cur prev words cword\n"
        "    if declare -F _init_completion >/dev/null; then\n"
        "        _init_completion -n =: || return\n"
        "    else\n"
        "        cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD - 1]}\n"
        "        words=(\"${COMP_WORDS[@]}\") cword=$COMP_CWORD\n"
        "    fi\n"
        "    # The command so far, and the option-list folder it names.\n"
        "    local command= config= ended= i word\n"
        "    for ((i = 1; i < cword; i++)); do\n"
        "        word=${words[i]}\n"
        "        if [[ -z $ended && $word == -- ]]; then\n"
        "            ended=1\n"
        "        elif [[ -n $command ]]; then\n"
        "            :\n"
        "        elif [[ -z $ended && $word == -?* ]]; then\n"
        "            case $word in\n"
        "                %1)\n"
        "                    ((i++))\n"
        "                    [[ $word == --config-dir || $word == -c ]] && config=${words[i]}\n"
        "                    ;;\n"
        "                --config-dir=*) config=${word#*=} ;;\n"
        "            esac\n"
        "        else\n"
        "            command=$word\n"
        "        fi\n"
        "    done\n"
        "    if [[ -z $command ]]; then\n"
        "        case $prev in\n"
        "            %2)\n"
        "                _kz_orba_cli_files -f\n"
        "                COMPREPLY=($(compgen -W '%3' -- \"$cur\") \"${COMPREPLY[@]}\")\n"
        "                return ;;\n"
        "            %4)\n"
        "                _kz_orba_cli_files -f\n"
        "                return ;;\n"
        "            %5)\n"
        "                _kz_orba_cli_files -d\n"
        "                return ;;\n"
        "            %6) return ;;\n"
        "        esac\n"
        "        if [[ -z $ended && $cur == -* ]]; then\n"
        "            COMPREPLY=($(compgen -W '%7' -- \"$cur\"))\n"
        "        else\n"
        "            COMPREPLY=($(compgen -W '%8' -- \"$cur\"))\n"
        "        fi\n"
        "        return\n"
        "    fi\n"
        "    if [[ -z $ended && $cur == -* ]]; then\n"
        "        case $command in\n")
             .arg(valued_options().join(QLatin1Char('|')),
                 options_of_kind(Kind::Port).join(QLatin1Char('|')), joined(com_entries()),
                 options_of_kind(Kind::File).join(QLatin1Char('|')),
                 options_of_kind(Kind::Folder).join(QLatin1Char('|')),
                 options_of_kind(Kind::Number).join(QLatin1Char('|')),
                 joined(grammar::option_words(grammar::options())),
                 joined(grammar::command_names()));
    for (const grammar::Command &command : grammar::commands())
        s += QStringLiteral("            %1) COMPREPLY=($(compgen -W '%2' -- \"$cur\")) ;;\n")
                 .arg(QLatin1String(command.name), joined(options_after(command)));
    s += QStringLiteral(
        "        esac\n"
        "        return\n"
        "    fi\n"
        "    case $command in\n"
        "        %1)\n"
        "            COMPREPLY=($(compgen -W '%2' -- \"$cur\")) ;;\n"
        "        %3)\n"
        "            if [[ $cur == *=* ]]; then\n"
        "                # The values of the setting, from the option-list files in use; each\n"
        "                # written as the shell needs it, and only what follows the last = or :\n"
        "                # (where the line's word begins for the shell) replaced.\n"
        "                local name=${cur%%=*} typed=${cur//\\\\/} value IFS=$'\\n'\n"
        "                local before=${cur%%\"${cur##*[=:]}\"}\n"
        "                local -a from=()\n"
        "                [[ -n $config ]] && from=(--config-dir \"$config\")\n"
        "                for value in $(\"${words[0]}\" \"${from[@]}\" values \"$name\" "
        "2>/dev/null); do\n"
        "                    [[ $name=$value == \"$typed\"* ]] || continue\n"
        "                    value=$(printf '%q' \"$name=$value\")\n"
        "                    COMPREPLY+=(\"${value#\"$before\"}\")\n"
        "                done\n"
        "            else\n"
        "                compopt -o nospace 2>/dev/null\n"
        "                COMPREPLY=($(compgen -S = -W '%5' -- \"$cur\"))\n"
        "            fi ;;\n"
        "        %4) _kz_orba_cli_files -f ;;\n")
             .arg(commands_taking(Kind::SettingName).join(QLatin1Char('|')),
                 joined(model::setting_names()),
                 commands_taking(Kind::Assignment).join(QLatin1Char('|')),
                 commands_taking(Kind::File).join(QLatin1Char('|')), joined(writable_names()));
    for (const Kind kind : { Kind::Key, Kind::Shell, Kind::Command }) {
        s += QStringLiteral("        %1) COMPREPLY=($(compgen -W '%2' -- \"$cur\")) ;;\n")
                 .arg(commands_taking(kind).join(QLatin1Char('|')),
                     joined(grammar::fixed_words(kind)));
    }
    s += QStringLiteral("    esac\n"
                        "} &&\n"
                        "    complete -F _kz_orba_cli kz-orba-cli\n");
    return s;
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

// One option as _arguments takes it; --port may be given again, the others once.
QString zsh_option(const grammar::Option &option)
{
    const QString name = QLatin1String(option.name);
    const QString letter
        = option.letter ? QStringLiteral("-%1").arg(QLatin1Char(option.letter)) : QString();
    const bool repeatable = name == QLatin1String("--port");
    QString spec = repeatable ? QStringLiteral("'*'")
        : letter.isEmpty()    ? QString()
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

QString zsh_script()
{
    QString s = QStringLiteral(
        "#compdef kz-orba-cli\n"
        "# zsh completion for kz-orba-cli, made by \"kz-orba-cli completion zsh\" from the\n"
        "# program's own grammar.\n"
        "\n"
        "_kz_orba_cli_ports() {\n"
        "  compadd -- %1\n"
        "  _files\n"
        "}\n"
        "\n"
        "_kz-orba-cli() {\n"
        "  local program=$words[1] curcontext=$curcontext state line ret=1\n"
        "  typeset -A opt_args\n"
        "  local -a commands settings writable\n"
        "  commands=(\n")
                    .arg(joined(com_entries()));
    for (const grammar::Command &command : grammar::commands())
        s += QStringLiteral("    '%1:%2'\n")
                 .arg(QLatin1String(command.name), zsh_text(QString::fromUtf8(command.summary)));
    s += QStringLiteral("  )\n  settings=(%1)\n  writable=(%2)\n  _arguments -C -s \\\n")
             .arg(joined(model::setting_names()), joined(writable_names()));
    for (const grammar::Option &option : grammar::options())
        s += QStringLiteral("    %1 \\\n").arg(zsh_option(option));
    s += QStringLiteral("    '1:command:->command' \\\n"
                        "    '*::word:->words' && ret=0\n"
                        "  case $state in\n"
                        "    command)\n"
                        "      _describe -t commands 'kz-orba-cli command' commands && ret=0 ;;\n"
                        "    words)\n"
                        "      if [[ $PREFIX == -* ]]; then\n"
                        "        case $words[1] in\n");
    for (const grammar::Command &command : grammar::commands())
        s += QStringLiteral("          %1) compadd -- %2 && ret=0 ;;\n")
                 .arg(QLatin1String(command.name), joined(options_after(command)));
    s += QStringLiteral(
        "        esac\n"
        "        return ret\n"
        "      fi\n"
        "      case $words[1] in\n"
        "        %1) compadd -a settings && ret=0 ;;\n"
        "        %2)\n"
        "          if compset -P '*='; then\n"
        "            # The values of the setting, from the option-list files in use.\n"
        "            local config=${opt_args[--config-dir]:-${opt_args[-c]}}\n"
        "            local -a values\n"
        "            values=(${(f)\"$($program ${config:+--config-dir \"$config\"} values "
        "\"${IPREFIX%%=}\" "
        "2>/dev/null)\"})\n"
        "            compadd -a values && ret=0\n"
        "          else\n"
        "            compadd -S = -a writable && ret=0\n"
        "          fi ;;\n"
        "        %3) _files && ret=0 ;;\n")
             .arg(commands_taking(Kind::SettingName).join(QLatin1Char('|')),
                 commands_taking(Kind::Assignment).join(QLatin1Char('|')),
                 commands_taking(Kind::File).join(QLatin1Char('|')));
    for (const Kind kind : { Kind::Key, Kind::Shell, Kind::Command }) {
        s += QStringLiteral("        %1) compadd -- %2 && ret=0 ;;\n")
                 .arg(commands_taking(kind).join(QLatin1Char('|')),
                     joined(grammar::fixed_words(kind)));
    }
    s += QStringLiteral("      esac ;;\n"
                        "  esac\n"
                        "  return ret\n"
                        "}\n"
                        "\n"
                        "if [[ $zsh_eval_context[-1] == loadautofunc ]]; then\n"
                        "  _kz-orba-cli \"$@\"\n"
                        "else\n"
                        "  compdef _kz-orba-cli kz-orba-cli\n"
                        "fi\n");
    return s;
}

// fish wants "'" and "\" escaped inside single quotes.
QString fish_text(const QString &text)
{
    QString out = text;
    out.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
    out.replace(QLatin1Char('\''), QStringLiteral("\\'"));
    return out;
}

QString fish_script()
{
    QString s = QStringLiteral(
        "# fish completion for kz-orba-cli, made by \"kz-orba-cli completion fish\" from the\n"
        "# program's own grammar.\n"
        "\n"
        "# The command on the line so far (nothing before it), and the option-list folder named.\n"
        "function __kz_orba_cli_scan\n"
        "    set -l words (commandline -opc)\n"
        "    set -e words[1]\n"
        "    set -l take ''\n"
        "    set -l config ''\n"
        "    for word in $words\n"
        "        if test -n \"$take\"\n"
        "            test \"$take\" = config; and set config $word\n"
        "            set take ''\n"
        "            continue\n"
        "        end\n"
        "        switch $word\n"
        "            case --config-dir -c\n"
        "                set take config\n"
        "            case %1\n"
        "                set take value\n"
        "            case '--config-dir=*'\n"
        "                set config (string replace -- --config-dir= '' $word)\n"
        "            case '-*'\n"
        "            case '*'\n"
        "                echo command $word\n"
        "                echo config $config\n"
        "                return 0\n"
        "        end\n"
        "    end\n"
        "    echo config $config\n"
        "end\n"
        "\n"
        "function __kz_orba_cli_command\n"
        "    string replace -rf '^command ' '' (__kz_orba_cli_scan)\n"
        "end\n"
        "\n"
        "function __kz_orba_cli_using\n"
        "    contains -- (__kz_orba_cli_command) $argv\n"
        "end\n"
        "\n"
        "# NAME=VALUE: the setting names, then, after the =, the values from the option-list\n"
        "# files in use.\n"
        "function __kz_orba_cli_assignments\n"
        "    set -l token (commandline -ct)\n"
        "    if not string match -q -- '*=*' $token\n"
        "        printf '%s=\\n' %2\n"
        "        return\n"
        "    end\n"
        "    set -l name (string split -m1 = -- $token)[1]\n"
        "    set -l config (string replace -rf '^config ' '' (__kz_orba_cli_scan))\n"
        "    set -l program (commandline -opc)[1]\n"
        "    set -l options\n"
        "    test -n \"$config\"; and set options --config-dir $config\n"
        "    for value in ($program $options values $name 2>/dev/null)\n"
        "        echo $name=$value\n"
        "    end\n"
        "end\n"
        "\n"
        "complete -c kz-orba-cli -f\n")
                    .arg(value_options_but_config().join(QLatin1Char(' ')),
                        joined(writable_names()));
    for (const grammar::Option &option : grammar::options()) {
        QString line = QStringLiteral("complete -c kz-orba-cli");
        if (!option.after_command)
            line += QStringLiteral(" -n 'not __kz_orba_cli_command'");
        line += QStringLiteral(" -l %1").arg(QString::fromLatin1(option.name).mid(2));
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
        s += line + QStringLiteral(" -d '%1'\n").arg(fish_text(one_line(option.help)));
    }
    for (const grammar::Command &command : grammar::commands()) {
        s += QStringLiteral(
            "complete -c kz-orba-cli -n 'not __kz_orba_cli_command' -a %1 -d '%2'\n")
                 .arg(QLatin1String(command.name), fish_text(QString::fromUtf8(command.summary)));
        for (const grammar::Option &option : command.options) {
            s += QStringLiteral(
                "complete -c kz-orba-cli -n '__kz_orba_cli_using %1' -l %2%3 -d '%4'\n")
                     .arg(QLatin1String(command.name), QString::fromLatin1(option.name).mid(2),
                         option.letter ? QStringLiteral(" -s %1").arg(QLatin1Char(option.letter))
                                       : QString(),
                         fish_text(one_line(option.help)));
        }
    }
    s += QStringLiteral("complete -c kz-orba-cli -n '__kz_orba_cli_using %1' -a '%2'\n")
             .arg(commands_taking(Kind::SettingName).join(QLatin1Char(' ')),
                 joined(model::setting_names()));
    s += QStringLiteral(
        "complete -c kz-orba-cli -n '__kz_orba_cli_using %1' -a '(__kz_orba_cli_assignments)'\n")
             .arg(commands_taking(Kind::Assignment).join(QLatin1Char(' ')));
    s += QStringLiteral("complete -c kz-orba-cli -n '__kz_orba_cli_using %1' -F\n")
             .arg(commands_taking(Kind::File).join(QLatin1Char(' ')));
    for (const Kind kind : { Kind::Key, Kind::Shell, Kind::Command }) {
        s += QStringLiteral("complete -c kz-orba-cli -n '__kz_orba_cli_using %1' -a '%2'\n")
                 .arg(commands_taking(kind).join(QLatin1Char(' ')),
                     joined(grammar::fixed_words(kind)));
    }
    return s;
}

} // namespace

QString completion_script(const QString &shell)
{
    if (shell == QLatin1String("bash"))
        return bash_script();
    if (shell == QLatin1String("zsh"))
        return zsh_script();
    if (shell == QLatin1String("fish"))
        return fish_script();
    return {};
}

} // namespace cli
