// The receiver "Read" through the real window against the simulated receiver: wall time per
// read-back next to the floor that the timers impose, and CPU time as a share of the wall time,
// for the whole process (window and simulator thread) and for the window's thread alone.
// Prints figures, never pass/fail. Usage: bench_readback [read-backs, default 10]
// Runs under QT_QPA_PLATFORM=offscreen unless another platform is set.
#include "link/window_link.h"
#include "tests/support/window_fixture.h"

#include <QApplication>
#include <QElapsedTimer>

#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

constexpr int queries = 18; // the read-back asks every readable setting once
constexpr double read_pause_ms = 50; // after each query
constexpr double poll_ms = WindowLink::poll_interval_ms;

double cpu_seconds(int who)
{
    rusage usage {};
    getrusage(who, &usage);
    auto seconds = [](const timeval &t) { return double(t.tv_sec) + double(t.tv_usec) / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, atoi(argv[1])) : 10;

    WindowFixture fx;
    QString why;
    if (!fx.start(&why) || !fx.window->link().port_open()) {
        std::fprintf(stderr, "the window did not start on the simulator: %s\n", qPrintable(why));
        return 1;
    }

    std::vector<double> wall_ms, process_cpu, thread_cpu;
    for (int i = 0; i < runs; ++i) {
        fx.clear_sent();
        const double process0 = cpu_seconds(RUSAGE_SELF);
        const double thread0 = cpu_seconds(RUSAGE_THREAD);
        QElapsedTimer wall;
        wall.start();
        fx.ui->cmd_ctrl_read->click();
        const double ms = double(wall.nsecsElapsed()) / 1e6;
        const double process = cpu_seconds(RUSAGE_SELF) - process0;
        const double thread = cpu_seconds(RUSAGE_THREAD) - thread0;
        if (fx.sent().size() != queries || fx.ui->lab_ctrl_reply->isVisible()) {
            std::fprintf(stderr, "read-back %d failed: %lld queries sent\n", i,
                static_cast<long long>(fx.sent().size()));
            return 1;
        }
        wall_ms.push_back(ms);
        process_cpu.push_back(100.0 * process * 1000.0 / ms);
        thread_cpu.push_back(100.0 * thread * 1000.0 / ms);
    }

    // Each reply is taken only by the next 100 ms poll. The poll timer keeps running through the
    // 50 ms pause after each reply, so the next query's reply is there for the poll after it:
    // one poll period per query, the first waiting for 0 to 100 ms, plus the last pause.
    const double floor_ms = (queries - 1) * poll_ms + read_pause_ms;
    const double serial_ms = queries * (poll_ms + read_pause_ms);
    const double med = median(wall_ms);
    std::printf(
        "receiver read-back (%d queries) through the window, %d runs, QT_QPA_PLATFORM=%s:\n",
        queries, runs, qgetenv("QT_QPA_PLATFORM").constData());
    std::printf("  wall: median %.0f ms (min %.0f, max %.0f)\n", med,
        *std::min_element(wall_ms.begin(), wall_ms.end()),
        *std::max_element(wall_ms.begin(), wall_ms.end()));
    std::printf(
        "  floor of the timers: %.0f to %.0f ms (17 polls of %.0f ms after the first, whose "
        "phase is 0 to %.0f ms, plus the last %.0f ms pause); %.0f ms if every reply "
        "waited a full poll and then the pause\n",
        floor_ms, floor_ms + poll_ms, poll_ms, poll_ms, read_pause_ms, serial_ms);
    std::printf("  median over the floor: %+.0f ms (%.1f ms per query)\n", med - floor_ms,
        (med - floor_ms) / queries);
    std::printf("  CPU: process %.1f%% of wall time (window and simulator thread), window thread "
                "%.1f%% (medians)\n",
        median(process_cpu), median(thread_cpu));
    return 0;
}
