#include "cli/targets.h"

#include "model/profile.h"

#include <QRegularExpression>

namespace cli {

bool parse_targets(const QString &text, QList<Target> *targets, QString *error)
{
    static const QRegularExpression name_pattern(QStringLiteral("^[A-Za-z0-9._-]+$"));
    QList<Target> result;
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QString line = model::without_comment(lines.at(i)).trimmed();
        if (line.isEmpty())
            continue;
        Target target;
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (equals < 0) {
            target.name = target.port = line;
        } else {
            target.name = line.left(equals).trimmed();
            target.port = line.mid(equals + 1).trimmed();
            if (!name_pattern.match(target.name).hasMatch() || target.port.isEmpty()) {
                *error = QStringLiteral("line %1: expected PORT or NAME = PORT (a name of letters, "
                                        "digits, '-', '_' and '.')")
                             .arg(i + 1);
                return false;
            }
        }
        const auto earlier = std::find_if(result.cbegin(), result.cend(),
            [&](const Target &known) { return known.name == target.name; });
        if (earlier == result.cend()) {
            result << target;
        } else if (earlier->port != target.port) {
            // The same line twice counts once; one name for two ports is a mistake.
            *error = QStringLiteral("line %1: the name %2 is given to %3 already")
                         .arg(i + 1)
                         .arg(target.name, earlier->port);
            return false;
        }
    }
    *targets = result;
    return true;
}

QList<Target> with_ports(QList<Target> targets, const QStringList &ports)
{
    for (const QString &port : ports) {
        const bool known = std::any_of(targets.begin(), targets.end(),
            [&](const Target &target) { return target.port == port; });
        if (!known)
            targets << Target { port, port };
    }
    return targets;
}

const Target *find_target(const QList<Target> &targets, const QString &word)
{
    for (const Target &target : targets) {
        if (target.name == word)
            return &target;
    }
    for (const Target &target : targets) {
        if (target.port == word)
            return &target;
    }
    return nullptr;
}

} // namespace cli
