#pragma once

#include <QString>
#include <QStringList>

#include <optional>

// What a kz-orba-cli command line asks for: parsed in one place, against the grammar's table,
// and the receivers it names.
namespace cli {

struct Invocation
{
    QString port = QStringLiteral("COM1"); // the first --port, or COM1
    QStringList ports; // every --port, in order
    QString ports_file; // --ports-file: one port per line
    int jobs = 0; // --jobs: receivers busy at once; 0: as many as the descriptors allow
    QString config_dir; // empty: beside the executable
    QString trace; // empty: no trace
    QString command; // a command of the grammar
    QStringList args; // the command's words, options removed
    bool json = false; // --json
    bool dry_run = false; // apply --dry-run
    int interval_ms = 30000; // watch --interval
    QString listen = QStringLiteral("127.0.0.1:9731"); // serve --listen
    bool help = false; // --help, -h, `help`, or a command's --help
    QString help_topic; // the command whose help is asked for; empty: the whole program's
    bool version = false;
};

// Parses the words after the program's name. False with the reason for bad usage.
bool parse_invocation(const QStringList &words, Invocation *invocation, QString *error);

// What --port names: COM1 to COM9 (any case) open the device the window opens for that entry;
// anything else is opened as it stands (a device path).
QString port_address(const QString &port);

// The receivers an invocation names: every --port, then the lines of --ports-file (blank lines
// and "#" comments skipped), each once; COM1 when none is named. False with the reason when the
// file cannot be read.
bool receiver_ports(const Invocation &invocation, QStringList *ports, QString *error);

// A port that cannot be what its writer meant: a gateway's address without tcp://, or a tcp://
// address that does not parse. None when it may be opened.
std::optional<QString> port_problem(const QString &port);

} // namespace cli
