// Start-up of the window to its first shown frame, and its resident memory then, next to the same
// form with no logic (its controls and captions only) and a bare QWidget window of the same size,
// each started the same way. Each start is a child process (this
// executable again, with --child), timed by the parent from launch to the child's report; the
// window starts on its own config folder and connects to a simulated receiver as it does at a
// site. Prints figures, never pass/fail. Usage: bench_startup [starts per kind, default 10]
// Runs under QT_QPA_PLATFORM=offscreen unless another platform is set.
#include "app/main_window.h"
#include "app/widget_prompts.h"
#include "build_info.h"
#include "sim/pty_sim.h"
#include "ui_frm_main.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QWindow>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

// VmRSS of this process in kB, from /proc/self/status.
long resident_kb()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    }
    return -1;
}

// Lets events run until the window is on screen (exposed), then reports.
int report_when_shown(QWidget &window)
{
    QElapsedTimer waited;
    waited.start();
    while (!(window.windowHandle() && window.windowHandle()->isExposed())) {
        if (waited.elapsed() > 10000) {
            std::fprintf(stderr, "the window was never exposed\n");
            return 1;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    QCoreApplication::processEvents();
    std::printf("shown %ld\n", resident_kb());
    std::fflush(stdout);
    return 0;
}

int child(const QString &kind, const QString &config_dir, int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setStyle(QStringLiteral("Fusion"));
    if (kind == QLatin1String("bare")) {
        QWidget window;
        window.resize(528, 466);
        window.show();
        return report_when_shown(window);
    }
    if (kind == QLatin1String("form")) {
        // The same form with no logic: every control and caption, no files, no link.
        QWidget window;
        Ui::frm_main form;
        form.setupUi(&window);
        window.resize(528, 466);
        window.show();
        return report_when_shown(window);
    }
    // As main() starts the window.
    WidgetPrompts prompts;
    MainWindow window(prompts, config_dir);
    prompts.set_parent(&window);
    QString error;
    if (!window.form_load(&error)) {
        std::fprintf(stderr, "the window cannot start: %s\n", qPrintable(error));
        return 1;
    }
    window.show();
    return report_when_shown(window);
}

struct Start
{
    double ms;
    long rss_kb;
};

bool start_once(const QString &kind, const QString &config_dir, Start *out)
{
    QProcess process;
    QElapsedTimer clock;
    clock.start();
    process.start(
        QCoreApplication::applicationFilePath(), { QStringLiteral("--child"), kind, config_dir });
    while (!process.canReadLine() && process.waitForReadyRead(20000)) { }
    const double ms = double(clock.nsecsElapsed()) / 1e6;
    const QByteArray line = process.readLine().trimmed();
    process.waitForFinished(20000);
    if (!line.startsWith("shown ")) {
        std::fprintf(stderr, "%s", process.readAllStandardError().constData());
        return false;
    }
    *out = { ms, line.mid(6).toLong() };
    return true;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

struct Summary
{
    double median_ms, min_ms, max_ms, median_rss_mb;
};

Summary summarise(const std::vector<Start> &starts)
{
    std::vector<double> ms, rss;
    for (const Start &s : starts) {
        ms.push_back(s.ms);
        rss.push_back(double(s.rss_kb) / 1024.0);
    }
    return { median(ms), *std::min_element(ms.begin(), ms.end()),
        *std::max_element(ms.begin(), ms.end()), median(rss) };
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc == 4 && QByteArray(argv[1]) == "--child")
        return child(QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]), argc, argv);

    QCoreApplication app(argc, argv);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    const int runs = argc > 1 ? std::max(1, atoi(argv[1])) : 10;

    // A config folder of its own: the shipped files, COM1 remembered and served by the simulator.
    QTemporaryDir dir;
    for (const char *name : build_info::data_files) {
        const QString file = QString::fromLatin1(name);
        if (!QFile::copy(QDir(QStringLiteral(KZ_DATA_DIR)).filePath(file), dir.filePath(file))) {
            std::fprintf(stderr, "cannot copy %s from %s\n", name, KZ_DATA_DIR);
            return 1;
        }
    }
    QFile settings(dir.filePath(QStringLiteral("KZ_ORBA_CTRL.ini")));
    if (!settings.open(QIODevice::WriteOnly) || settings.write("1\r\n0\r\n0\r\n\"\"\r\n1\r\n") < 0)
        return 1;
    settings.close();
    const QString link = dir.filePath(QStringLiteral("com1"));
    PtySimulator sim;
    QString why;
    if (!sim.start(link, &why)) {
        std::fprintf(stderr, "simulator: %s\n", qPrintable(why));
        return 1;
    }
    qputenv("KZ_ORBA_COM1", link.toLocal8Bit());

    // Alternate the kinds so that a disturbance of the machine hits both alike. The first start of
    // each kind warms the file cache and is not counted.
    std::vector<Start> window_starts, form_starts, bare_starts;
    for (int i = -1; i < runs; ++i) {
        for (const QString &kind :
            { QStringLiteral("window"), QStringLiteral("form"), QStringLiteral("bare") }) {
            Start s {};
            if (!start_once(kind, dir.path(), &s)) {
                std::fprintf(stderr, "the %s child did not report\n", qPrintable(kind));
                return 1;
            }
            if (i < 0)
                continue;
            (kind == QLatin1String("window")        ? window_starts
                    : kind == QLatin1String("form") ? form_starts
                                                    : bare_starts)
                .push_back(s);
        }
    }

    const Summary w = summarise(window_starts);
    const Summary f = summarise(form_starts);
    const Summary b = summarise(bare_starts);
    std::printf("start-up to the first shown window, %d starts each, QT_QPA_PLATFORM=%s:\n", runs,
        qgetenv("QT_QPA_PLATFORM").constData());
    std::printf("  kz-orba-ctrl window: median %6.1f ms (min %6.1f, max %6.1f), VmRSS %5.1f MB\n",
        w.median_ms, w.min_ms, w.max_ms, w.median_rss_mb);
    std::printf("  the form, no logic:  median %6.1f ms (min %6.1f, max %6.1f), VmRSS %5.1f MB\n",
        f.median_ms, f.min_ms, f.max_ms, f.median_rss_mb);
    std::printf("  bare QWidget:        median %6.1f ms (min %6.1f, max %6.1f), VmRSS %5.1f MB\n",
        b.median_ms, b.min_ms, b.max_ms, b.median_rss_mb);
    std::printf("  the window over the form: %.2fx time (%+.1f ms), %.2fx memory (%+.1f MB)\n",
        w.median_ms / f.median_ms, w.median_ms - f.median_ms, w.median_rss_mb / f.median_rss_mb,
        w.median_rss_mb - f.median_rss_mb);
    return 0;
}
