// A line that pours bytes faster than a real one while the window runs the receiver "Read":
// the window thread's CPU share during the flood, how late a "Disconnect" pressed meanwhile takes
// effect, and how long the Read then takes to end. A Read that meets noise ends at once, so the
// Read is pressed again until Disconnect has been. Prints figures, never pass/fail.
// Usage: bench_flood [seconds before Disconnect, default 1] [give up after seconds, default 60]
//                    [filler bytes between two replies in the flood, default 4096]
// Runs under QT_QPA_PLATFORM=offscreen unless another platform is set.
#include "tests/support/flood_line.h"
#include "tests/support/window_fixture.h"

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <pthread.h>
#include <sys/resource.h>
#include <time.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

namespace {

double thread_cpu_seconds()
{
    rusage usage {};
    getrusage(RUSAGE_THREAD, &usage);
    auto seconds = [](const timeval &t) { return double(t.tv_sec) + double(t.tv_usec) / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const double before_disconnect_s = argc > 1 ? std::max(0.1, atof(argv[1])) : 1.0;
    const int give_up_s = argc > 2 ? std::max(1, atoi(argv[2])) : 60;
    const int filler = argc > 3 ? std::max(0, atoi(argv[3])) : 4096;

    WindowFixture::Options options;
    options.start_sim = false;
    WindowFixture fx(options);
    FloodLine flood;
    if (!flood.open(fx.path(QStringLiteral("com1")))) {
        std::fprintf(stderr, "no pseudo-terminal for the flood\n");
        return 1;
    }
    QString why;
    if (!fx.start(&why)) {
        std::fprintf(stderr, "the window did not start: %s\n", qPrintable(why));
        return 1;
    }

    // A stuck window never comes back to report: give up from another thread, with the window
    // thread's CPU time as its clock tells it.
    clockid_t window_clock {};
    pthread_getcpuclockid(pthread_self(), &window_clock);
    std::thread([give_up_s, window_clock] {
        timespec t0 {};
        clock_gettime(window_clock, &t0);
        std::this_thread::sleep_for(std::chrono::seconds(give_up_s));
        timespec t1 {};
        clock_gettime(window_clock, &t1);
        const double cpu = double(t1.tv_sec - t0.tv_sec) + double(t1.tv_nsec - t0.tv_nsec) / 1e9;
        std::printf("gave up: the window did not act on Disconnect and end the Read within %d s; "
                    "window thread CPU %.1f%% meanwhile\n",
            give_up_s, 100.0 * cpu / give_up_s);
        std::fflush(stdout);
        std::_Exit(2);
    }).detach();

    // Replies with filler between them: every poll completes one and then takes much more.
    flood.pour(QByteArrayLiteral("WP_Aspect[16:9]$\r") + QByteArray(filler, 'x'));
    QElapsedTimer clock;
    clock.start();
    double cpu_at_disconnect = 0;
    qint64 disconnect_due_ms = 0;
    qint64 disconnect_acted_ms = -1;
    QTimer::singleShot(int(before_disconnect_s * 1000), fx.window.get(), [&] {
        cpu_at_disconnect = thread_cpu_seconds();
        disconnect_acted_ms = clock.elapsed();
        fx.ui->cmd_conn_1->click();
    });
    disconnect_due_ms = qint64(before_disconnect_s * 1000);
    const double cpu0 = thread_cpu_seconds();
    // A Read that meets noise ends early: Read again until Disconnect has been pressed.
    int reads = 0;
    while (disconnect_acted_ms < 0) {
        fx.ui->cmd_ctrl_read->click(); // returns when the Read has ended
        ++reads;
    }
    const qint64 read_ended_ms = clock.elapsed();
    const long long poured = flood.written();
    flood.close();

    const double flood_cpu
        = cpu_at_disconnect > 0 ? cpu_at_disconnect - cpu0 : thread_cpu_seconds() - cpu0;
    std::printf("bytes poured: %lld (%.1f MB/s)\n", poured,
        double(poured) / 1e6 / (read_ended_ms / 1000.0));
    const double until_disconnect_s
        = (disconnect_acted_ms >= 0 ? disconnect_acted_ms : read_ended_ms) / 1000.0;
    std::printf("window thread CPU until Disconnect acted: %.1f%% of %.2f s\n",
        100.0 * flood_cpu / until_disconnect_s, until_disconnect_s);
    std::printf("Disconnect acted %lld ms after it was due; port %s\n",
        static_cast<long long>(disconnect_acted_ms - disconnect_due_ms),
        fx.window->link().port_open() ? "still open" : "closed");
    std::printf("the last of %d Reads ended %lld ms after Disconnect was due\n", reads,
        static_cast<long long>(read_ended_ms - disconnect_due_ms));
    return 0;
}
