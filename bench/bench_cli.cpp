// kz-orba-cli's `read` of the whole receiver next to the window's Read buttons, against the same
// simulated receiver: wall time of each (median of several runs), their ratio, and the CLI's peak
// resident memory. Prints figures, never pass/fail.
// Usage: bench_cli [runs, default 5]
// The window's three Read buttons are the receiver's, the picture frame's and the projector
// controls'; the CLI's read also asks the projector port and both display commands (the
// projector command settings' Read), so the window's four Reads are shown as well.
#include "link/window_link.h"
#include "tests/support/window_fixture.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// The peak resident size of a running process, in kB, from /proc (0 once it has gone). Taken from
// the process itself: the rusage of a child also counts the copy of this program it was forked
// from before it ran the CLI.
qint64 peak_kb(qint64 pid)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong();
    }
    return 0;
}

double ms_since(const QElapsedTimer &timer)
{
    return double(timer.nsecsElapsed()) / 1e6;
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, atoi(argv[1])) : 5;

    WindowFixture fx(projector_section(1));
    QString why;
    if (!fx.start(&why) || !fx.window->link().port_open()) {
        std::fprintf(stderr, "the window did not start on the simulator: %s\n", qPrintable(why));
        return 1;
    }
    Ui::frm_main *ui = fx.ui;

    std::vector<double> three_ms, four_ms;
    for (int i = 0; i < runs; ++i) {
        fx.clear_sent();
        QElapsedTimer wall;
        wall.start();
        ui->cmd_ctrl_read->click();
        ui->cmd_pic_read->click();
        ui->cmd_read_proj->click();
        const double three = ms_since(wall);
        ui->cmd_proj_read->click();
        const double four = ms_since(wall);
        if (fx.sent().size() != 29) {
            std::fprintf(stderr, "window run %d: %lld queries sent\n", i,
                static_cast<long long>(fx.sent().size()));
            return 1;
        }
        three_ms.push_back(three);
        four_ms.push_back(four);
    }

    // The CLI on the same receiver: the window lets go of the line first.
    fx.window->link().close_port();
    const QString cli_path
        = QCoreApplication::applicationDirPath() + QStringLiteral("/kz-orba-cli");
    std::vector<double> cli_ms;
    qint64 peak = 0;
    for (int i = 0; i < runs; ++i) {
        fx.clear_sent();
        QProcess process;
        QElapsedTimer wall;
        wall.start();
        process.start(cli_path,
            { QStringLiteral("--config-dir"), fx.dir(), QStringLiteral("--port"),
                QStringLiteral("COM1"), QStringLiteral("read") });
        if (!process.waitForStarted(5000)) {
            std::fprintf(stderr, "cli run %d did not start\n", i);
            return 1;
        }
        const qint64 pid = process.processId();
        QElapsedTimer limit;
        limit.start();
        while (!process.waitForFinished(5) && limit.elapsed() < 30000)
            peak = std::max(peak, peak_kb(pid));
        if (process.state() != QProcess::NotRunning || process.exitCode() != 0
            || fx.sent().size() != 29) {
            std::fprintf(
                stderr, "cli run %d failed: %s\n", i, process.readAllStandardError().constData());
            return 1;
        }
        cli_ms.push_back(ms_since(wall));
    }
    const double peak_mb = double(peak) / 1024.0;

    const double cli = median(cli_ms), three = median(three_ms), four = median(four_ms);
    std::printf(
        "whole-receiver read against the simulated receiver, %d runs each (medians):\n", runs);
    std::printf("  window, three Read buttons (receiver, picture, projector controls; 26 "
                "queries): %.0f ms\n",
        three);
    std::printf(
        "  window, with the projector settings' Read too (29 queries):           %.0f ms\n", four);
    std::printf("  kz-orba-cli read (29 queries, process start to exit):                 %.0f ms "
                "(min %.0f, max %.0f)\n",
        cli, *std::min_element(cli_ms.begin(), cli_ms.end()),
        *std::max_element(cli_ms.begin(), cli_ms.end()));
    std::printf("  ratio cli / three Reads: %.2f (goal <= 0.6); cli / four Reads: %.2f\n",
        cli / three, cli / four);
    std::printf(
        "  kz-orba-cli peak resident memory (VmHWM, largest run): %.1f MB (goal <= 15 MB)\n",
        peak_mb);
    return 0;
}
