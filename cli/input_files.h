#pragma once

#include <QString>

#include <optional>

// The files and words kz-orba-cli takes from people and scripts, checked before anything is sent:
// regular files only (a pipe, a device or a folder is refused by name without being opened, so
// nothing waits for a writer or reads without end), read with a bound, and no control bytes.
namespace cli {

// No profile or ports file comes near this; a longer one is refused.
constexpr qint64 max_input_file = 1024 * 1024;

// Reads a profile or ports file. False with the reason, naming the file, when it is not a regular
// file, is longer than max_input_file or cannot be read.
bool read_input_file(const QString &path, QString *text, QString *error);

// Whether a trace may be written at path: a regular file or none yet (a dangling symbolic link,
// a pipe, a device or a folder is refused). False with the reason.
bool trace_path_usable(const QString &path, QString *error);

// The first control byte (below 0x20 other than a tab, or 0x7F) in text, written \xHH; none
// when there is none.
std::optional<QString> control_byte(const QString &text);

// A line of a profile or ports file without its comment: "#" at the start or after a space or
// tab begins one. The rest is trimmed.
QString without_comment(const QString &line);

} // namespace cli
