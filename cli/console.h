#pragma once

#include <QString>

class QTextStream;

namespace cli {
class Interrupts;
}

// Where kz-orba-cli writes: results to out, reports to err; progress is drawn on err when it is a
// terminal.
namespace cli {

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

// The stop signal that ended the run, or 0.
int stop_signal(const Console &console);

// "kz-orba-cli: text" on standard error.
void report(Console &console, const QString &text);

// The one-line progress indicator on a terminal; cleared when it goes.
class Progress
{
public:
    Progress(Console &console, const QString &what);
    ~Progress();
    Progress(const Progress &) = delete;
    Progress &operator=(const Progress &) = delete;

    // Draws the share done (0 to 1); nothing when err is not a terminal.
    void show(double share);
    void clear();

private:
    Console &console_;
    QString what_;
    bool shown_ = false;
};

} // namespace cli
