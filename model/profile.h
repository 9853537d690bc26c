#pragma once

#include "model/settings.h"

#include <QList>
#include <QString>

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
// "name = value", names no setting, names one twice, or holds a value its list does not offer.
bool parse_profile(const QString &text, const OptionLists &lists, Profile *profile, QString *error);

// One "NAME=VALUE" argument of `set`, checked the same way; read-only names are refused.
bool parse_assignment(
    const QString &argument, const OptionLists &lists, ProfileEntry *entry, QString *error);

} // namespace model
