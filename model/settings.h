#pragma once

#include "protocol/byte_buffer.h"
#include "protocol/vocabulary.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <array>
#include <optional>
#include <span>

// The settings of a receiver, each once, keyed by its command of the vocabulary: the name people
// write, how its values are listed, the read-back it belongs to and the pause after its query,
// whether it can be written, and how its reply is read. The window and kz-orba-cli both take
// their reads, sends and pauses from here, so that both send exactly the same bytes.
namespace model {

// The window's read-back a setting belongs to; it decides the pause after each query.
enum class ReadGroup {
    Receiver, // the receiver frame's "Read"
    Picture, // the picture frame's "Read"
    Behaviour, // the projector controls' "Read"
    Transfer, // the projector command settings' "Read": the pause comes between its queries
};

// The window's pause after each query of a read-back (Transfer: between two of its steps), in
// seconds as its delay_sec takes them.
double read_pause_sec(ReadGroup group);

// The lists filled from option-list files, one file each.
enum class OptionList { AutoOff, InputPrefer, OutputReso };
inline constexpr std::array<OptionList, 3> option_lists
    = { OptionList::AutoOff, OptionList::InputPrefer, OptionList::OutputReso };
// The file name of an option list ("auto_off.txt"), spelled here alone.
const char *option_list_file(OptionList list);

// How a chosen value is sent: waiting for the reply (the list disabled, "Send fail !" when none
// comes), waiting without examining the reply, or without waiting (the picture values). The
// vocabulary gives each command its discipline; the faces read it here.
using Send = protocol::Send;

// How a setting's values are listed and read.
enum class Values {
    Fixed, // entries of the vocabulary: words, or numbers such as 0 to 100
    FromFile, // the entries of an option-list file
    Text, // read only: the reply's text as it stands (identification, firmware versions)
    PortSettings, // "baud,data,parity,stop" from the projector port lists
    HexBytes, // raw bytes, written as hex text (the display commands)
};

struct Setting
{
    const char *name;
    const protocol::Command *command;
    Values values;
    ReadGroup group;
    bool writable;
    OptionList file = OptionList::AutoOff; // Values::FromFile: which file
    // The identification: its reply decides the input list's layout ("TX": three inputs).
    bool sets_input_layout = false;
    // The input source: its entries depend on the layout.
    bool follows_input_layout = false;
    int max_bytes = 0; // Values::HexBytes: the longest command whose message fits the buffer

    // The window's pause after this setting's query, in seconds.
    double pause_sec() const { return read_pause_sec(group); }
    // How choosing a value of this setting is sent.
    Send send() const { return command->send; }
    // The prefix that begins its messages and its replies.
    QByteArray prefix() const { return command->prefix; }
};

// Every setting, in the order of a whole read: the receiver's read-back, the picture values, the
// projector behaviour, then the projector port and the two display commands.
std::span<const Setting> settings();
const Setting *find_setting(const QString &name);
// The names of every setting, in the order of a whole read.
QStringList setting_names();
const Setting &setting_of(const protocol::Command &command);
// The settings of one read-back, in its order.
QList<const Setting *> settings_of(ReadGroup group);

// Whether an identification reply's value names the three-input transmitter.
bool three_inputs(const QByteArray &identification);

// The entries of the three lists that come from option-list files.
struct OptionLists
{
    std::array<QStringList, option_lists.size()> entries;

    const QStringList &of(OptionList list) const { return entries[static_cast<std::size_t>(list)]; }
    QStringList &of(OptionList list) { return entries[static_cast<std::size_t>(list)]; }
};

// Reads the three option-list files from dir. False with a report naming the file.
bool read_option_lists(const QString &dir, OptionLists *lists, QString *error);

// The entries of the list a setting is chosen from, in the window's order, for the input layout
// given. Empty for values that are not list entries.
QStringList list_entries(const Setting &setting, const OptionLists &lists, bool single_hdmi);

// The entries a setting's value may be, as the window shows them; for the input source the
// entries of both layouts. Empty for values that are not list entries (projector port, display
// commands, read-only settings).
QStringList offered_values(const Setting &setting, const OptionLists &lists);

// Checks a value a person wrote for a writable setting. None when it is fine; otherwise why not,
// for the report.
std::optional<QString> value_problem(
    const Setting &setting, const QString &value, const OptionLists &lists);

// The message that choosing value sends, as the window sends it; value has passed value_problem.
// For the input source the entry's own word is sent, which both layouts share.
QByteArray value_message(const Setting &setting, const QString &value, const OptionLists &lists);

// The message that choosing the entry at position of the setting's list (showing entry) sends, as
// the window sends it, for the input layout given; none when the position holds nothing to send.
std::optional<QByteArray> choice_message(
    const Setting &setting, int position, const QString &entry, bool single_hdmi);

// The message that sends the raw bytes of a display command; none when the message would not fit
// the receiver's buffer.
std::optional<QByteArray> command_message(const Setting &setting, const QByteArray &bytes);
// Whether a display command of byte_count bytes can be sent: at most setting.max_bytes.
bool command_fits(const Setting &setting, qsizetype byte_count);

// The query a read-back sends for the setting.
QByteArray read_message(const Setting &setting);

// What a reply to a setting's query shows, read as the window reads it: the value as a person
// writes it, or none with the reason when the reply is foreign or names no entry.
struct ReadValue
{
    std::optional<QString> value;
    QString problem; // when value is none
    bool foreign = false; // the reply is not for this setting (no prefix, no comma, bad count)
};
// reply is the whole reply, terminator included; bytes its raw bytes (the display commands are
// taken from there, so that bytes of every value arrive unchanged).
ReadValue read_value(const Setting &setting, const QByteArray &reply, const ByteBuffer &bytes,
    bool single_hdmi, const OptionLists &lists);

// The list position a reply's value (without prefix and terminator) selects among entries, or
// none when it names no entry; the position is not checked against the list's size.
std::optional<int> reply_position(
    const Setting &setting, const QByteArray &value, bool single_hdmi, const QStringList &entries);

// Two values of a setting name the same thing (the hex text of a display command is compared by
// its bytes, so "50 57" and "50 57 " are one).
bool same_value(const Setting &setting, const QString &a, const QString &b);

} // namespace model
