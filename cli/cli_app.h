#pragma once

#include "cli/invocation.h"

#include <QString>
#include <QStringList>

class QTextStream;

namespace cli {
class Interrupts;
}

// Running kz-orba-cli: a parsed command line, to its end and its exit status.
namespace cli {

// --help: every option and command.
QString usage_text();

// Where the tool writes: results to out, reports to err; progress is drawn on err when it is a
// terminal.
struct Console
{
    QTextStream &out;
    QTextStream &err;
    bool err_is_terminal = false;
    // The stop signals; none: a run is never stopped.
    Interrupts *interrupts = nullptr;
    // The last report written to err, for the JSON document of a refused run.
    QString last_report = {};
};

// Runs an invocation to its end (the event loop runs inside) and gives the exit status.
// default_config_dir is used when the invocation names none.
int run(const Invocation &invocation, Console &console, const QString &default_config_dir);

// The whole program: parses, runs, and gives the exit status.
int main_with(const QStringList &words, Console &console, const QString &default_config_dir);
// The same, giving what was parsed.
int main_with(const QStringList &words, Console &console, const QString &default_config_dir,
    Invocation *parsed);

} // namespace cli
