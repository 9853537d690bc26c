#pragma once

#include "model/settings.h"

#include <QList>
#include <QString>

#include <optional>

// A profile: "name = value" lines as `read` prints them, "#" comments and blank lines allowed,
// any subset of the settings. Read-only settings may stand in it (a profile is a read's output)
// and are left alone by apply and diff.
namespace model {

struct ProfileEntry
{
    const Setting *setting = nullptr;
    QString value;
    int line = 0; // 1-based; 0 for an argument of `set`
};

struct Profile
{
    QList<ProfileEntry> entries; // in the order of the file, each name once

    // The writable entries, in the order a whole read takes them.
    QList<ProfileEntry> writable_in_read_order() const;
};

// Parses the text of a profile. False with the first problem ("line 4: ...") when a line is not
// "name = value", names no setting, names one twice, or holds a value its list does not offer;
// also when it holds no setting at all, or only read-only ones. A line that is not
// "name = value" is not quoted in the problem, nor a name that does not look like one.
bool parse_profile(const QString &text, const OptionLists &lists, Profile *profile, QString *error);

// One "NAME=VALUE" argument of `set`, checked the same way; read-only names are refused.
bool parse_assignment(
    const QString &argument, const OptionLists &lists, ProfileEntry *entry, QString *error);

// The first control byte (below 0x20 other than a tab, or 0x7F) in text, written \xHH; none
// when there is none.
std::optional<QString> control_byte(const QString &text);

// text for a report: every control character (below 0x20, 0x7F, 0x80 to 0x9F) written \xHH, so
// that a name holding a line end or an escape sequence cannot break the report's line nor reach
// a terminal raw.
QString printable(const QString &text);

// A line of a profile or ports file without its comment: "#" at the start or after a space or
// tab begins one. The rest is trimmed.
QString without_comment(const QString &line);

} // namespace model
