#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// The receivers that status, watch and the exporter look at: each a port, and optionally a name
// given to it in the ports file ("room-204 = tcp://10.0.4.21:4001"), under which it is shown and
// which the exporter's targets may use.
namespace cli {

struct Target
{
    QString name; // the name given to the port, or the port itself
    QString port; // as written: COM1 .. COM9, a device path or tcp://HOST:PORT
};

// Reads a ports file's text: one port a line, or NAME = PORT; blank lines and # comments
// skipped. A name is letters, digits, '-', '_' and '.', and names one port only. False with
// the reason (naming the line) for a line that is neither, or a name given twice.
bool parse_targets(const QString &text, QList<Target> *targets, QString *error);

// The ports as targets named by themselves, after those of a ports file, each port once.
QList<Target> with_ports(QList<Target> targets, const QStringList &ports);

// The target a request names: by its name, or by its port as the ports file writes it. Null when
// it names none of them.
const Target *find_target(const QList<Target> &targets, const QString &word);

} // namespace cli
