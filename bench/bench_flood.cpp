// A line that pours bytes faster than a real one while the window runs the receiver "Read": the
// window thread's CPU share during the flood, the process's peak memory, how late a "Disconnect"
// (or the window's close) pressed meanwhile takes effect, and how long the Read then takes to end.
// A Read that meets noise ends at once, so the Read is pressed again until the action has been
// taken. Prints figures, never pass/fail.
// Usage: bench_flood [seconds before the action, default 1] [give up after seconds, default 60]
//                    [filler bytes between two replies, default 4096; 0 for no replies at all]
//                    [filler byte: x, nul or ff, default x] [line: pty or tcp, default pty]
//                    [action: disconnect or close, default disconnect; or cli]
// With "cli", kz-orba-cli reads the whole receiver from the flooding gateway instead (tcp only):
// its wall time, CPU time, peak memory and the size of what it printed.
// Runs under QT_QPA_PLATFORM=offscreen unless another platform is set.
#include "tests/support/flood_line.h"
#include "tests/support/hostile_peer.h"
#include "tests/support/window_fixture.h"

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTimer>

#include <pthread.h>
#include <sys/resource.h>
#include <time.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <thread>

namespace {

double thread_cpu_seconds()
{
    rusage usage {};
    getrusage(RUSAGE_THREAD, &usage);
    auto seconds = [](const timeval &t) { return double(t.tv_sec) + double(t.tv_usec) / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

double peak_mb()
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_maxrss) / 1024.0;
}

// kz-orba-cli's read against a gateway that floods: its figures, from the system's account of it.
int bench_cli(const QByteArray &pattern, const char *fill_name, int filler)
{
    HostilePeer gateway(HostilePeer::Mode::Flood, pattern);
    if (!gateway.listening()) {
        std::fprintf(stderr, "no loopback listener for the flood\n");
        return 1;
    }
    QProcess cli;
    QElapsedTimer clock;
    clock.start();
    cli.start(QStringLiteral(KZ_CLI_EXE),
        { QStringLiteral("--port"), gateway.address(), QStringLiteral("read") });
    if (!cli.waitForFinished(120000)) {
        std::printf("gave up: kz-orba-cli did not end within 120 s\n");
        cli.kill();
        cli.waitForFinished();
        return 2;
    }
    const qint64 wall_ms = clock.elapsed();
    const qsizetype printed
        = cli.readAllStandardOutput().size() + cli.readAllStandardError().size();
    rusage usage {};
    getrusage(RUSAGE_CHILDREN, &usage);
    auto seconds = [](const timeval &t) { return double(t.tv_sec) + double(t.tv_usec) / 1e6; };
    const double cpu = seconds(usage.ru_utime) + seconds(usage.ru_stime);
    std::printf("kz-orba-cli read, TCP flood of '%s' filler (%d bytes between replies): status %d "
                "in %lld ms, CPU %.2f s, peak memory %.1f MB, %lld bytes printed; %lld bytes "
                "poured\n",
        fill_name, filler, cli.exitCode(), static_cast<long long>(wall_ms), cpu,
        double(usage.ru_maxrss) / 1024.0, static_cast<long long>(printed), gateway.written());
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    app.setQuitOnLastWindowClosed(false);
    const double before_action_s = argc > 1 ? std::max(0.1, atof(argv[1])) : 1.0;
    const int give_up_s = argc > 2 ? std::max(1, atoi(argv[2])) : 60;
    const int filler = argc > 3 ? std::max(0, atoi(argv[3])) : 4096;
    const char *fill_name = argc > 4 ? argv[4] : "x";
    const bool over_tcp = argc > 5 && std::strcmp(argv[5], "tcp") == 0;
    const bool close_window = argc > 6 && std::strcmp(argv[6], "close") == 0;
    const char fill = std::strcmp(fill_name, "nul") == 0 ? '\0'
        : std::strcmp(fill_name, "ff") == 0              ? '\xff'
                                                         : 'x';

    // Replies with filler between them (every poll completes one and then takes much more), or
    // filler alone.
    const QByteArray pattern = filler > 0
        ? QByteArrayLiteral("WP_Aspect[16:9]$\r") + QByteArray(filler, fill)
        : QByteArray(4096, fill);

    if (argc > 6 && std::strcmp(argv[6], "cli") == 0)
        return bench_cli(pattern, fill_name, filler);

    WindowFixture::Options options;
    options.start_sim = false;
    WindowFixture fx(options);
    FloodLine flood;
    std::unique_ptr<HostilePeer> gateway;
    if (over_tcp) {
        gateway = std::make_unique<HostilePeer>(HostilePeer::Mode::Flood, pattern);
        if (!gateway->listening()) {
            std::fprintf(stderr, "no loopback listener for the flood\n");
            return 1;
        }
        qputenv("KZ_ORBA_COM1", gateway->address().toLocal8Bit());
    } else if (!flood.open(fx.path(QStringLiteral("com1")))) {
        std::fprintf(stderr, "no pseudo-terminal for the flood\n");
        return 1;
    }
    QString why;
    if (!fx.start(&why)) {
        std::fprintf(stderr, "the window did not start: %s\n", qPrintable(why));
        return 1;
    }
    if (!fx.window->link().port_open()) {
        std::fprintf(stderr, "the window did not open the flooding line\n");
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
        std::printf("gave up: the window did not act and end the Read within %d s; window thread "
                    "CPU %.1f%% meanwhile\n",
            give_up_s, 100.0 * cpu / give_up_s);
        std::fflush(stdout);
        std::_Exit(2);
    }).detach();

    if (!over_tcp)
        flood.pour(pattern);
    QElapsedTimer clock;
    clock.start();
    double cpu_at_action = 0;
    const qint64 action_due_ms = qint64(before_action_s * 1000);
    qint64 action_started_ms = -1;
    qint64 action_done_ms = -1;
    QTimer::singleShot(int(action_due_ms), fx.window.get(), [&] {
        cpu_at_action = thread_cpu_seconds();
        action_started_ms = clock.elapsed();
        if (close_window)
            fx.window->close();
        else
            fx.ui->cmd_conn_1->click();
        action_done_ms = clock.elapsed();
    });
    const double cpu0 = thread_cpu_seconds();
    // A Read that meets noise ends early: Read again until the action has been taken.
    int reads = 0;
    while (action_started_ms < 0) {
        if (close_window && !fx.window->isVisible())
            break;
        fx.ui->cmd_ctrl_read->click(); // returns when the Read has ended
        ++reads;
    }
    const qint64 read_ended_ms = clock.elapsed();
    const long long poured = over_tcp ? gateway->written() : flood.written();
    flood.close();
    gateway.reset();

    const double flood_cpu = cpu_at_action > 0 ? cpu_at_action - cpu0 : thread_cpu_seconds() - cpu0;
    const char *action = close_window ? "close" : "Disconnect";
    std::printf("%s flood of '%s' filler (%d bytes between replies): %lld bytes poured "
                "(%.1f MB/s)\n",
        over_tcp ? "TCP" : "pty", fill_name, filler, poured,
        double(poured) / 1e6 / (read_ended_ms / 1000.0));
    const double until_action_s
        = (action_started_ms >= 0 ? action_started_ms : read_ended_ms) / 1000.0;
    std::printf("window thread CPU until %s acted: %.1f%% of %.2f s; peak memory %.1f MB\n", action,
        100.0 * flood_cpu / until_action_s, until_action_s, peak_mb());
    std::printf("%s acted %lld ms after it was due and took %lld ms; port %s, window %s\n", action,
        static_cast<long long>(action_started_ms - action_due_ms),
        static_cast<long long>(action_done_ms - action_started_ms),
        fx.window->link().port_open() ? "still open" : "closed",
        fx.window->isVisible() ? "shown" : "closed");
    std::printf("the last of %d Reads ended %lld ms after %s was due\n", reads,
        static_cast<long long>(read_ended_ms - action_due_ms), action);
    return 0;
}
