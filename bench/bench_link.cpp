// Waiting transactions against the simulated receiver: wall time per transaction and the CPU
// time this process spends, as a share of the wall time. Usage: bench_link [count]
#include "link/window_link.h"
#include "sim/pty_sim.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <sys/resource.h>

#include <cstdio>

namespace {

double cpu_seconds()
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    auto seconds = [](const timeval &t) { return double(t.tv_sec) + double(t.tv_usec) / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

struct Figures
{
    double wall_ms_per_call;
    double cpu_percent;
    int ok;
};

template <typename Run> Figures measure(int count, Run run)
{
    QElapsedTimer wall;
    const double cpu0 = cpu_seconds();
    wall.start();
    int ok = 0;
    for (int i = 0; i < count; ++i)
        ok += run() ? 1 : 0;
    const double wall_s = double(wall.nsecsElapsed()) / 1e9;
    return { wall_s * 1000.0 / count, 100.0 * (cpu_seconds() - cpu0) / wall_s, ok };
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const int count = argc > 1 ? std::max(1, atoi(argv[1])) : 50;

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("com1"));
    PtySimulator sim;
    if (!sim.start(path))
        return 1;
    qputenv("KZ_ORBA_COM1", path.toLocal8Bit());
    WindowLink link;
    link.set_port_no(1);
    link.set_comm();
    if (!link.port_open())
        return 1;

    // The simulator answers at once; the 100 ms receive poll sets the pace.
    const Figures answered = measure(count, [&] { return link.send_cmd("WP_Aspect[?]$\r"); });
    std::printf("answered transactions: %d of %d, %.1f ms each, CPU %.1f%% of wall time\n",
        answered.ok, count, answered.wall_ms_per_call, answered.cpu_percent);

    SimFaults silent;
    silent.silent = { QByteArray() };
    sim.set_faults(silent);
    const int unanswered_count = std::max(1, count / 5);
    const Figures unanswered
        = measure(unanswered_count, [&] { return link.send_cmd("WP_Aspect[?]$\r"); });
    std::printf("unanswered transactions: %d, %.1f ms each (the full reply wait), CPU %.1f%% of "
                "wall time\n",
        unanswered_count, unanswered.wall_ms_per_call, unanswered.cpu_percent);

    const Figures delays = measure(20, [&] {
        link.delay_sec(0.05);
        return true;
    });
    std::printf("delay_sec(0.05): %.1f ms each, CPU %.1f%% of wall time\n", delays.wall_ms_per_call,
        delays.cpu_percent);
    return 0;
}
