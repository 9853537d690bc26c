#include "cli/stop_signal.h"

#include <csignal>

namespace cli {

namespace {

volatile std::sig_atomic_t stop_signal = 0;

extern "C" void on_stop(int signal)
{
    stop_signal = signal;
}

} // namespace

StopSignal::StopSignal(QObject *parent)
    : QObject(parent)
{
    stop_signal = 0;
    std::signal(SIGINT, on_stop);
    std::signal(SIGTERM, on_stop);
    // A handler may do no more than set a flag; the event loop looks at it often enough that a
    // stop is taken within a tenth of a second.
    check_.setInterval(100);
    connect(&check_, &QTimer::timeout, this, [this] {
        if (stop_signal != 0) {
            check_.stop();
            Q_EMIT requested(int(stop_signal));
        }
    });
    check_.start();
}

StopSignal::~StopSignal()
{
    std::signal(SIGINT, SIG_DFL);
    std::signal(SIGTERM, SIG_DFL);
}

int StopSignal::received()
{
    return int(stop_signal);
}

} // namespace cli
