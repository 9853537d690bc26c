#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>

#include <optional>
#include <span>

// The receiver's command vocabulary in one table: every command once, with its prefix, the list
// entries an operator chooses from and the argument word each one sends, and how a reply to its
// query is read back into an entry. The window, its tests and command-line tools all look
// commands up here, by name, by number or by prefix.
namespace protocol {

// One entry of a fixed list: the text shown, and the argument word its choice sends.
struct Choice
{
    const char *entry;
    const char *argument;
};

// What a command is for.
enum class Kind {
    List, // a setting chosen from a list
    Action, // a one-shot button that sends "Go"
    Key, // a front-panel key: prefix and terminator only
    Info, // read only: the reply is shown as text (or changes the input layout)
    Special, // carries its own argument format (projector port, display commands)
};

// How a choice is sent: waiting for the reply with the list disabled and "Send fail !" when
// none comes, waiting without examining the reply, or without waiting.
enum class Send { Wait, WaitQuiet, NoWait };

// Which argument a choice sends.
enum class Argument {
    Word, // the argument word of the chosen position in choices
    EntryText, // the entry text itself, surrounding spaces removed
    Position, // the position as a decimal number (option-list resolutions)
    ZeroOrEntry, // "0" for the first entry, otherwise the entry text (auto-off)
};

// How the value of a reply selects an entry.
enum class ReplyRead {
    None, // the reply selects nothing
    Word, // the position of the matching argument word
    Number, // the value read as a number is the position
    FiveSeconds, // the number of seconds divided by five, rounded down
    EntryOrZero, // "0" is the first entry, otherwise the entry with that text
};

// Entries 0, step, 2 * step ... up to last, as list texts.
struct NumberRange
{
    int last = -1;
    int step = 1;
};

struct Command
{
    const char *name; // stable lower-case name, e.g. "aspect"
    const char *prefix; // e.g. "WP_Aspect["
    int cmd_number; // the receiver command number 1 to 23, or 0
    int pic_number; // the picture command number 1 to 6, or 0
    Kind kind;
    Send send;
    Argument argument;
    ReplyRead reply;
    std::span<const Choice> choices; // fixed entries (empty for numbers or option-list files)
    NumberRange numbers; // numbered entries when numbers.last >= 0
    bool readable; // answers a query ("?")
};

// Every command, in table order.
std::span<const Command> commands();

// Lookups; null when there is no such command.
const Command *find_command(QByteArrayView name);
const Command *command_by_number(int cmd_number);
const Command *picture_by_number(int pic_number);

// The input list has two layouts: "Hdmi", "Vga" for the two-input transmitter, and
// "Hdmi1", "Hdmi2", "Vga" for the three-input one ("TX" in the identification reply).
std::span<const Choice> input_choices(bool single_hdmi);

// The choices of command, the input list in the layout given.
std::span<const Choice> choices_of(const Command &command, bool single_hdmi);

// The entries a fixed list shows: its choices or its numbers. Empty for lists filled from the
// option-list files.
QStringList fixed_entries(const Command &command, bool single_hdmi = true);

// The argument that choosing position (showing entry_text) sends; none when the position holds
// nothing to send. An entry text is sent as it stands, even when empty.
std::optional<QByteArray> choice_argument(
    const Command &command, int position, const QString &entry_text, bool single_hdmi = true);

// The list position that the value of a reply selects, or none when it names no entry. entries
// are the texts of the list (used by EntryOrZero only). The position is not checked against the
// list's size: a caller selects it only when the list has it.
std::optional<int> reply_position(const Command &command, const QByteArray &value, bool single_hdmi,
    const QStringList &entries = {});

} // namespace protocol
