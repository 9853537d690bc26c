#include "model/profile.h"

#include "model/suggest.h"

#include <algorithm>

namespace model {

namespace {

// "name = value" or "name=value": the name and value with surrounding spaces removed.
bool split_line(const QString &line, QString *name, QString *value)
{
    const qsizetype eq = line.indexOf(QLatin1Char('='));
    if (eq < 0)
        return false;
    *name = line.left(eq).trimmed();
    *value = line.mid(eq + 1).trimmed();
    return !name->isEmpty();
}

bool check(const QString &name, const QString &value, const OptionLists &lists,
    bool allow_read_only, ProfileEntry *entry, QString *why)
{
    const Setting *setting = find_setting(name);
    if (!setting) {
        *why = QStringLiteral("unknown setting \"%1\"%2")
                   .arg(name, did_you_mean(name, setting_names()));
        return false;
    }
    entry->setting = setting;
    entry->value = value;
    if (!setting->writable && allow_read_only)
        return true;
    if (const std::optional<QString> problem = value_problem(*setting, value, lists)) {
        *why = QStringLiteral("%1: %2").arg(name, *problem);
        return false;
    }
    return true;
}

} // namespace

QList<ProfileEntry> Profile::writable_in_read_order() const
{
    QList<ProfileEntry> out;
    for (const Setting &setting : settings()) {
        for (const ProfileEntry &entry : entries) {
            if (entry.setting == &setting && setting.writable)
                out << entry;
        }
    }
    return out;
}

bool parse_profile(const QString &text, const OptionLists &lists, Profile *profile, QString *error)
{
    Profile parsed;
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const int number = static_cast<int>(i + 1);
        QString line = lines.at(i);
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
        const QString trimmed = without_comment(line);
        if (trimmed.isEmpty())
            continue;
        QString name, value, why;
        ProfileEntry entry;
        if (const std::optional<QString> control = control_byte(trimmed)) {
            why = QStringLiteral("holds the control byte %1").arg(*control);
        } else if (!split_line(trimmed, &name, &value)) {
            why = QStringLiteral("not \"name = value\": %1").arg(trimmed);
        } else if (std::any_of(
                       parsed.entries.begin(), parsed.entries.end(), [&](const ProfileEntry &e) {
                           return name == QLatin1String(e.setting->name);
                       })) {
            why = QStringLiteral("%1 is given twice").arg(name);
        } else if (check(name, value, lists, true, &entry, &why)) {
            entry.line = number;
            parsed.entries << entry;
            continue;
        }
        if (error)
            *error = QStringLiteral("line %1: %2").arg(number).arg(why);
        return false;
    }
    *profile = parsed;
    return true;
}

bool parse_assignment(
    const QString &argument, const OptionLists &lists, ProfileEntry *entry, QString *error)
{
    QString name, value, why;
    if (const std::optional<QString> control = control_byte(argument))
        why = QStringLiteral("an argument holds the control byte %1").arg(*control);
    else if (!split_line(argument, &name, &value))
        why = QStringLiteral("not NAME=VALUE: %1").arg(argument);
    else if (check(name, value, lists, false, entry, &why))
        return true;
    if (error)
        *error = why;
    return false;
}

std::optional<QString> control_byte(const QString &text)
{
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if ((u < 0x20 && u != u'\t') || u == 0x7F)
            return QStringLiteral("\\x%1")
                .arg(int(u), 2, 16, QLatin1Char('0'))
                .toUpper()
                .replace(QStringLiteral("\\X"), QStringLiteral("\\x"));
    }
    return std::nullopt;
}

QString without_comment(const QString &line)
{
    for (qsizetype i = 0; i < line.size(); ++i) {
        if (line.at(i) == QLatin1Char('#')
            && (i == 0 || line.at(i - 1) == QLatin1Char(' ')
                || line.at(i - 1) == QLatin1Char('\t')))
            return line.left(i).trimmed();
    }
    return line.trimmed();
}

} // namespace model
