#pragma once

#include <QString>
#include <QStringList>
#include <QStringView>

#include <span>

// The grammar of kz-orba-cli, one table: every option and command with its words and its help.
// The parser, --help, `help COMMAND`, the "did you mean" hints, the shell completions and (through
// --help) the manual page are all drawn from it.
namespace cli::grammar {

// What an option's value or a command's words are, for checking and for completion.
enum class Kind {
    None, // a switch, or a command that takes no words
    Port, // COM1 .. COM9, a device path or tcp://HOST:PORT
    File, // a file to read or write
    Folder,
    Number,
    SettingName,
    Assignment, // NAME=VALUE
    Key, // menu, minus, plus
    Shell, // bash, zsh, fish
    Command, // a command's name (help's topic)
};

// What an option sets in the parsed command line (the invocation); the parser stores by this,
// never by the option's name.
enum class Field {
    Port, // appended to the receivers named
    PortsFile,
    Jobs, // a number from 1
    ConfigDir,
    Trace,
    Json,
    Help, // ends the parse: help on the command before it, or on the program
    Version, // ends the parse
    DryRun,
};

struct Option
{
    const char *name; // "--port"
    Field field;
    char letter; // 'p' for -p; 0 when there is none
    const char *value; // "PORT"; nullptr for a switch
    Kind kind;
    const char *help; // lines joined with '\n'
    // The whole program's options stand before the command; --json and --help also after it.
    bool after_command = false;
};

// What a command does; the program picks its behaviour by this, never by the command's name.
enum class Action {
    Ports,
    Read,
    Get,
    Set,
    Apply,
    Diff,
    Key,
    Reset,
    VgaAuto,
    Values,
    Help,
    Completion
};

struct Command
{
    const char *name;
    Action action;
    const char *words; // "NAME=VALUE..." as help shows them; "" for none
    Kind kind;
    int min_words;
    int max_words; // -1: any number
    std::span<const Option> options; // its own options, after the command
    bool many_receivers; // runs on every named receiver at once
    bool uses_receiver; // opens a line; ports, values, help and completion do not
    const char *summary; // one line
    const char *details; // what `help COMMAND` adds, lines joined with '\n'; may be ""
};

std::span<const Option> options();
std::span<const Command> commands();

// "--port", "--port=X", "-p" and "-pX" name --port; nullptr for no option of the list.
const Option *find_option(std::span<const Option> list, QStringView word);
const Command *find_command(QStringView name);

QStringList command_names();
// "--port" and "-p" of every option in list.
QStringList option_words(std::span<const Option> list);
// The words of a Key or Shell command.
QStringList fixed_words(Kind kind);

// "kz-orba-cli [OPTION]... apply FILE [--dry-run]"
QString synopsis(const Command &command);
// --help: every option and command, the files, the exit status and examples.
QString usage_text();
// `help COMMAND` and `COMMAND --help`.
QString command_help(const Command &command);

} // namespace cli::grammar
