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

// A character as \xHH.
QString escaped(char16_t u)
{
    return QStringLiteral("\\x")
        + QString::number(u, 16).toUpper().rightJustified(2, QLatin1Char('0'));
}

// The longest name quoted back in a report: far longer than any setting's.
constexpr qsizetype quoted_name_chars = 40;

// Whether text could be a setting's name: a short run of letters, digits and underscores. Any
// other text is not quoted back, so that a file given by mistake (a password file) is not
// printed line by line in the reports.
bool name_like(const QString &text)
{
    return !text.isEmpty() && text.size() <= quoted_name_chars
        && std::all_of(text.begin(), text.end(), [](QChar c) {
               return c == QLatin1Char('_') || (c.unicode() < 0x80 && c.isLetterOrNumber());
           });
}

bool check(const QString &name, const QString &value, const OptionLists &lists,
    bool allow_read_only, ProfileEntry *entry, QString *why)
{
    const Setting *setting = find_setting(name);
    if (!setting) {
        *why = name_like(name) ? QStringLiteral("unknown setting \"%1\"%2")
                                     .arg(name, did_you_mean(name, setting_names()))
                               : QStringLiteral("no setting is named so");
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
            // The line is not quoted: it may come from any file given by mistake.
            why = QStringLiteral("not \"name = value\"");
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
    // An empty file, or one being rewritten as it is read, must not pass for "nothing to do".
    if (parsed.entries.isEmpty()) {
        if (error)
            *error = QStringLiteral("holds no setting (it is empty, or holds only comments and "
                                    "blank lines)");
        return false;
    }
    if (parsed.writable_in_read_order().isEmpty()) {
        if (error)
            *error = QStringLiteral("holds only read-only settings, which apply and diff leave "
                                    "alone");
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

QString printable(const QString &text)
{
    QString shown;
    shown.reserve(text.size());
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (u < 0x20 || u == 0x7F || (u >= 0x80 && u <= 0x9F))
            shown += escaped(u);
        else
            shown += c;
    }
    return shown;
}

std::optional<QString> control_byte(const QString &text)
{
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if ((u < 0x20 && u != u'\t') || u == 0x7F)
            return escaped(u);
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
