#include "cli/console.h"

#include "cli/interrupts.h"

#include <QTextStream>

namespace cli {

int stop_signal(const Console &console)
{
    return console.interrupts ? console.interrupts->caught() : 0;
}

void report(Console &console, const QString &text)
{
    console.err << "kz-orba-cli: " << text << '\n';
    console.err.flush();
    console.last_report = text;
}

Progress::Progress(Console &console, const QString &what)
    : console_(console)
    , what_(what)
{ }

Progress::~Progress()
{
    clear();
}

void Progress::show(double share)
{
    if (!console_.err_is_terminal)
        return;
    const int percent = static_cast<int>(share * 100.0 + 0.5);
    const int filled = percent / 5;
    console_.err << '\r' << what_ << " [" << QString(filled, QLatin1Char('#'))
                 << QString(20 - filled, QLatin1Char('.')) << "] " << percent << "%";
    console_.err.flush();
    shown_ = true;
}

void Progress::clear()
{
    if (!shown_)
        return;
    console_.err << "\r\x1b[K";
    console_.err.flush();
    shown_ = false;
}

} // namespace cli
