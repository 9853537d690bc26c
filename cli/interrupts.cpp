#include "cli/interrupts.h"

#include <QSocketNotifier>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <iterator>

#ifdef Q_OS_UNIX
#include <csignal>
#include <fcntl.h>
#include <unistd.h>
#endif

namespace cli {

#ifdef Q_OS_UNIX

namespace {

constexpr int stop_signals[] = { SIGINT, SIGTERM, SIGHUP };

// The pipe the handler writes the signal's number into; the event loop reads it.
int wake[2] = { -1, -1 };
struct sigaction before[std::size(stop_signals)];
bool installed[std::size(stop_signals)] = {};

extern "C" void on_stop_signal(int number)
{
    const int saved = errno;
    // The stop is in the pipe before a second signal would end the program: whoever sees the
    // handler gone knows the event loop will see the stop.
    const unsigned char byte = static_cast<unsigned char>(number);
    [[maybe_unused]] const ssize_t written = ::write(wake[1], &byte, 1);
    for (const int each : stop_signals)
        ::signal(each, SIG_DFL);
    errno = saved;
}

bool make_wake_pipe()
{
    if (::pipe(wake) != 0)
        return false;
    for (const int fd : wake) {
        ::fcntl(fd, F_SETFD, FD_CLOEXEC);
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
    }
    return true;
}

} // namespace

Interrupts::Interrupts(QObject *parent)
    : QObject(parent)
{
    if (!make_wake_pipe())
        return;
    notifier_ = new QSocketNotifier(wake[0], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &Interrupts::take);
    struct sigaction action = {};
    action.sa_handler = on_stop_signal;
    sigemptyset(&action.sa_mask);
    for (const int each : stop_signals)
        sigaddset(&action.sa_mask, each);
    action.sa_flags = SA_RESTART;
    for (std::size_t i = 0; i < std::size(stop_signals); ++i) {
        if (::sigaction(stop_signals[i], nullptr, &before[i]) != 0
            || before[i].sa_handler == SIG_IGN)
            continue;
        installed[i] = ::sigaction(stop_signals[i], &action, nullptr) == 0;
    }
}

Interrupts::~Interrupts()
{
    for (std::size_t i = 0; i < std::size(stop_signals); ++i) {
        if (installed[i])
            ::sigaction(stop_signals[i], &before[i], nullptr);
        installed[i] = false;
    }
    delete notifier_;
    for (int &fd : wake) {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
    }
}

void Interrupts::take()
{
    unsigned char byte = 0;
    bool first = false;
    while (wake[0] >= 0 && ::read(wake[0], &byte, 1) == 1) {
        if (caught_ == 0) {
            caught_ = byte;
            first = true;
        }
    }
    if (first)
        Q_EMIT interrupted(caught_);
}

int Interrupts::caught()
{
    take();
    return caught_;
}

QString signal_name(int signal)
{
    switch (signal) {
    case SIGINT:
        return QStringLiteral("SIGINT");
    case SIGTERM:
        return QStringLiteral("SIGTERM");
    case SIGHUP:
        return QStringLiteral("SIGHUP");
    default:
        return QStringLiteral("signal %1").arg(signal);
    }
}

bool reader_gone()
{
    return errno == EPIPE;
}

QString claim_if_closed(int fd)
{
    if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF)
        return {};
    const QString why = QString::fromLocal8Bit(std::strerror(EBADF));
    const int null = ::open("/dev/null", O_RDWR | O_CLOEXEC);
    if (null >= 0 && null != fd) {
        ::dup2(null, fd);
        ::close(null);
    }
    return why;
}

void end_as_broken_pipe()
{
    ::signal(SIGPIPE, SIG_DFL);
    sigset_t pipe_only;
    sigemptyset(&pipe_only);
    sigaddset(&pipe_only, SIGPIPE);
    ::sigprocmask(SIG_UNBLOCK, &pipe_only, nullptr);
    ::raise(SIGPIPE);
    ::_exit(128 + SIGPIPE);
}

#else

Interrupts::Interrupts(QObject *parent)
    : QObject(parent)
{ }

Interrupts::~Interrupts() = default;

void Interrupts::take()
{ }

int Interrupts::caught()
{
    return caught_;
}

QString signal_name(int signal)
{
    return QStringLiteral("signal %1").arg(signal);
}

bool reader_gone()
{
    return false;
}

QString claim_if_closed(int)
{
    return {};
}

void end_as_broken_pipe()
{
    std::_Exit(1);
}

#endif

} // namespace cli
