#pragma once

#include "protocol/byte_buffer.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>
#include <span>

namespace protocol {
struct Command;
}

// The settings of a receiver by the names the command-line tool uses, with the values people
// write: the list entries as the window shows them. Each name is a command of the vocabulary;
// what choosing an entry sends and how a reply reads back come from there, so that the tool sends
// exactly the bytes the window sends.
namespace model {

// The window's read-back a setting belongs to; it decides the pause after each query.
enum class ReadGroup {
    Receiver, // the receiver frame's "Read": 50 ms after each query
    Picture, // the picture frame's "Read": 100 ms after each query
    Behaviour, // the projector controls' "Read": 100 ms after each query
    Transfer, // the projector command settings' "Read": 100 ms between its three queries
};

struct Setting
{
    const char *name;
    const protocol::Command *command;
    ReadGroup group;
    bool writable;
};

// Every setting, in the order of a whole read: the receiver's read-back, the picture values, the
// projector behaviour, then the projector port and the two display commands.
std::span<const Setting> settings();
const Setting *find_setting(const QString &name);

// The entries of the three lists that come from option-list files.
struct OptionLists
{
    QStringList auto_off; // auto_off.txt
    QStringList input_prefer; // input_prefer.txt
    QStringList output_reso; // output_reso.txt
};

// Reads the three option-list files from dir. False with a report naming the file.
bool read_option_lists(const QString &dir, OptionLists *lists, QString *error);

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
QByteArray setting_message(const Setting &setting, const QString &value, const OptionLists &lists);

// The query a read-back sends for the setting.
QByteArray query_message(const Setting &setting);

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

// Two values of a setting name the same thing (the hex text of a display command is compared by
// its bytes, so "50 57" and "50 57 " are one).
bool same_value(const Setting &setting, const QString &a, const QString &b);

} // namespace model
