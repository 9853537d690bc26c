#pragma once

#include <QObject>
#include <QString>

class QSocketNotifier;

// What kz-orba-cli asks of the operating system beyond Qt: the stop signals as an event, and
// ending as a pipe's writer ends when its reader has gone. The system's calls stand in
// interrupts.cpp alone, behind Q_OS_UNIX.
namespace cli {

// Turns SIGINT, SIGTERM and SIGHUP into interrupted() on the event thread, so that a run can stop
// sending and report what it did. Only the first is caught: from then on the three have their
// default action again, so a second one ends the process at once. A signal the process was
// started with ignored (nohup, a background job) stays ignored. One at a time. Where the system
// has no such signals (Windows) nothing is caught, and Ctrl+C ends the process as it always did.
class Interrupts : public QObject
{
    Q_OBJECT
public:
    explicit Interrupts(QObject *parent = nullptr);
    ~Interrupts() override;
    Interrupts(const Interrupts &) = delete;
    Interrupts &operator=(const Interrupts &) = delete;

    // The signal caught so far, or 0; also one that came while no event loop ran.
    int caught();

Q_SIGNALS:
    void interrupted(int signal);

private:
    void take();

    int caught_ = 0;
    QSocketNotifier *notifier_ = nullptr;
};

// "SIGINT", "SIGTERM", "SIGHUP", or "signal N".
QString signal_name(int signal);

// When the standard descriptor fd is closed, puts the null device in its place, so that no file
// the process opens later takes its number and receives its output, and gives the system's
// reason; otherwise gives nothing.
QString claim_if_closed(int fd);

// Whether the failed write just made failed because the reading end of a pipe has gone; call it
// before anything else that may change the system's error number.
bool reader_gone();

// Ends the process as a pipe's writer is ended when its reader has gone (by SIGPIPE, whatever
// the process had made of it), so that the shell sees its usual status and nothing more is
// written. Where there is no SIGPIPE, exits with status 1.
[[noreturn]] void end_as_broken_pipe();

} // namespace cli
