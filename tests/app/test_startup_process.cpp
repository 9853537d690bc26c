// The window's executable as a user starts it, on damaged files and without a display: every
// start-up error ends the process with status 1 and a short report on stderr, and nothing waits
// for a click, a writer or the end of a huge file. --list-ports works without any display.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <sys/resource.h>
#include <sys/stat.h>

using namespace Qt::StringLiterals;

namespace {

const char *const data_files[] = { "KZ_ORBA_CTRL.ini", "auto_off.txt", "input_prefer.txt",
    "output_reso.txt", "ball_red.gif", "ball_gray.bmp" };

// Liveness only: a start-up that waits for ever is killed after this and fails the test.
constexpr int give_up_ms = 30000;

struct Run
{
    bool finished = false;
    int status = -1;
    QByteArray out;
    QByteArray err;
};

Run run(const QStringList &arguments, const QProcessEnvironment &environment)
{
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(QStringLiteral(KZ_CTRL_EXE), arguments);
    Run r;
    r.finished = process.waitForStarted() && process.waitForFinished(give_up_ms);
    if (!r.finished) {
        process.kill();
        process.waitForFinished();
    }
    r.status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    r.out = process.readAllStandardOutput();
    r.err = process.readAllStandardError();
    return r;
}

QProcessEnvironment offscreen()
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(u"QT_QPA_PLATFORM"_s, u"offscreen"_s);
    return environment;
}

// The largest resident size of any child process so far, in bytes.
qint64 peak_child_rss()
{
    rusage usage {};
    getrusage(RUSAGE_CHILDREN, &usage);
    return qint64(usage.ru_maxrss) * 1024;
}

} // namespace

class TestStartupProcess : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir dir_;

    QString path(const QString &name) const { return dir_.filePath(name); }

    void write(const QString &name, const QByteArray &bytes)
    {
        QFile::remove(path(name));
        QFile file(path(name));
        QVERIFY(file.open(QIODevice::WriteOnly));
        QCOMPARE(file.write(bytes), bytes.size());
    }

    // A file of size bytes starting with head and zero bytes after it, sparse where the file
    // system allows, so that half a gigabyte costs no disk.
    void write_sparse(const QString &name, const QByteArray &head, qint64 size)
    {
        write(name, head);
        QVERIFY(QFile::resize(path(name), size));
    }

private Q_SLOTS:
    void init()
    {
        QVERIFY(dir_.isValid());
        QDir(dir_.path()).removeRecursively();
        QVERIFY(QDir().mkpath(dir_.path()));
        for (const char *name : data_files) {
            const QString file = QString::fromLatin1(name);
            QVERIFY(QFile::copy(QDir(QStringLiteral(KZ_DATA_DIR)).filePath(file), path(file)));
            QFile::setPermissions(
                path(file), QFile::permissions(path(file)) | QFileDevice::WriteOwner);
        }
        // No port: a start-up that gets through must not depend on the machine's serial ports.
        write(u"KZ_ORBA_CTRL.ini"_s, "0\r\n0\r\n0\r\n\"\"\r\n1\r\n");
    }

    void bad_files_end_start_up_at_once_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("damage"); // fifo, folder, sparse, or the file's new content
        QTest::addColumn<QByteArray>("head"); // for sparse: the bytes before the zero bytes
        QTest::addColumn<QString>("report");

        const QByteArray path_head = "0\r\n0\r\n0\r\n\"";
        QTest::newRow("settings file is a named pipe")
            << "KZ_ORBA_CTRL.ini"
            << "fifo" << QByteArray()
            << "KZ_ORBA_CTRL.ini: is not a regular file (a named pipe, socket or device)";
        QTest::newRow("option list is a named pipe")
            << "input_prefer.txt"
            << "fifo" << QByteArray()
            << "input_prefer.txt: is not a regular file (a named pipe, socket or device)";
        QTest::newRow("ball picture is a named pipe")
            << "ball_red.gif"
            << "fifo" << QByteArray() << "ball_red.gif: the picture cannot be loaded";
        QTest::newRow("settings file is a folder")
            << "KZ_ORBA_CTRL.ini"
            << "folder" << QByteArray() << "KZ_ORBA_CTRL.ini: is a folder, not a file";
        QTest::newRow("settings file of 500 MB of zero bytes")
            << "KZ_ORBA_CTRL.ini"
            << "sparse" << QByteArray()
            << "KZ_ORBA_CTRL.ini: field 1 is too long to be a number: \"\\x00\\x00";
        QTest::newRow("settings file with a 500 MB path")
            << "KZ_ORBA_CTRL.ini"
            << "sparse" << path_head << "KZ_ORBA_CTRL.ini: field 4 is too long: \"\\x00\\x00";
        QTest::newRow("projector file of 10 MB of zero bytes")
            << "proj.ini" << QString(10 * 1024 * 1024, QChar(0)) << QByteArray()
            << "proj.ini: field 1 is too long to be a number: \"\\x00\\x00";
        QTest::newRow("projector file with a 500 MB parity field")
            << "proj.ini"
            << "sparse" << QByteArray("9600\r\n8\r\n\"")
            << "proj.ini: field 3 is too long: \"\\x00\\x00";
    }
    void bad_files_end_start_up_at_once()
    {
        QFETCH(QString, file);
        QFETCH(QString, damage);
        QFETCH(QByteArray, head);
        QFETCH(QString, report);

        if (file == u"proj.ini"_s)
            write(u"KZ_ORBA_CTRL.ini"_s,
                "0\r\n0\r\n0\r\n\"" + QFile::encodeName(path(file)) + "\"\r\n1\r\n");
        QFile::remove(path(file));
        if (damage == u"fifo"_s)
            QCOMPARE(mkfifo(QFile::encodeName(path(file)).constData(), 0600), 0);
        else if (damage == u"folder"_s)
            QVERIFY(QDir().mkdir(path(file)));
        else if (damage == u"sparse"_s)
            write_sparse(file, head, 500LL * 1024 * 1024);
        else
            write(file, damage.toLatin1());

        const Run r = run({ u"--config-dir"_s, dir_.path() }, offscreen());
        QVERIFY2(r.finished, "start-up did not end");
        QCOMPARE(r.status, 1);
        const QString err = QString::fromLocal8Bit(r.err);
        QVERIFY2(err.contains(u"The window cannot start:\n"_s), qPrintable(err));
        QVERIFY2(err.contains(path(file) + report.mid(report.indexOf(u':'))), qPrintable(err));
        // A bad field is quoted, never copied whole.
        QVERIFY2(r.err.size() < 400 + path(file).size(), qPrintable(err.left(1000)));
        // Nothing read the file whole: the process stayed far below the size of the file.
        QVERIFY2(
            peak_child_rss() < 200LL * 1024 * 1024, qPrintable(QString::number(peak_child_rss())));
    }

    void list_ports_needs_no_display()
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (const char *name : { "DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM" })
            environment.remove(QString::fromLatin1(name));
        for (int n = 1; n <= 9; ++n)
            environment.remove(u"KZ_ORBA_COM%1"_s.arg(n));
        environment.insert(u"KZ_ORBA_COM2"_s, path(u"auto_off.txt"_s));
        environment.insert(u"KZ_ORBA_COM3"_s, path(u"no-such-device"_s));

        const Run r = run({ u"--list-ports"_s }, environment);
        QVERIFY(r.finished);
        QCOMPARE(r.status, 0);
        const QStringList lines = QString::fromLocal8Bit(r.out).split(u'\n', Qt::SkipEmptyParts);
        // The nine ports, then the folder in use: the build tree holds the settings file.
        QCOMPARE(lines.size(), 10);
        QCOMPARE(lines.at(9),
            u"files: %1 (the executable's folder)"_s.arg(
                QFileInfo(QStringLiteral(KZ_CTRL_EXE)).absolutePath()));
        for (int n = 1; n <= 9; ++n)
            QVERIFY2(lines.at(n - 1).startsWith(u"COM%1:  "_s.arg(n)), qPrintable(lines.at(n - 1)));
        QVERIFY2(
            lines.at(1).contains(path(u"auto_off.txt"_s)) && lines.at(1).contains(u" present "_s),
            qPrintable(lines.at(1)));
        QVERIFY2(
            lines.at(2).contains(path(u"no-such-device"_s)) && lines.at(2).contains(u" missing "_s),
            qPrintable(lines.at(2)));
        QVERIFY2(r.err.isEmpty(), r.err.constData());

        // Nor does the help that names the option.
        const Run help = run({ u"--help"_s }, environment);
        QVERIFY(help.finished);
        QCOMPARE(help.status, 0);
        QVERIFY2(help.out.contains("--list-ports"), help.out.constData());
        // The way to a gateway or the simulator is named where a user looks first.
        QVERIFY2(help.out.contains("KZ_ORBA_COM1 .. KZ_ORBA_COM9")
                && help.out.contains("tcp://HOST:PORT"),
            help.out.constData());
        QVERIFY2(help.out.contains("files: "
                     + QFileInfo(QStringLiteral(KZ_CTRL_EXE)).absolutePath().toLocal8Bit()),
            help.out.constData());
        const Run given = run({ u"--help"_s, u"--config-dir"_s, dir_.path() }, environment);
        QVERIFY2(given.out.contains(
                     "files: " + dir_.path().toLocal8Bit() + " (given with --config-dir)"),
            given.out.constData());
    }

    // Without a usable display: one line naming what is missing and where to turn, status 1.
    void no_display_is_one_line_data()
    {
        QTest::addColumn<QString>("platform");
        QTest::addColumn<QString>("display");
        QTest::addColumn<QString>("says");
        QTest::newRow("nothing set")
            << QString() << QString() << u"neither DISPLAY nor WAYLAND_DISPLAY is set"_s;
        QTest::newRow("unreachable X display")
            << QString() << u":97"_s << u"the display DISPLAY=:97 cannot be reached"_s;
        QTest::newRow("missing platform plugin")
            << u"no-such-plugin"_s << QString()
            << u"the platform plugin \"no-such-plugin\" (QT_QPA_PLATFORM) cannot be started"_s;
    }

    void no_display_is_one_line()
    {
        QFETCH(QString, platform);
        QFETCH(QString, display);
        QFETCH(QString, says);
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (const char *name : { "DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM" })
            environment.remove(QString::fromLatin1(name));
        if (!platform.isEmpty())
            environment.insert(u"QT_QPA_PLATFORM"_s, platform);
        if (!display.isEmpty())
            environment.insert(u"DISPLAY"_s, display);
        const Run r = run({ u"--config-dir"_s, dir_.path() }, environment);
        QVERIFY(r.finished);
        QCOMPARE(r.status, 1);
        QCOMPARE(QString::fromLocal8Bit(r.err),
            u"kz-orba-ctrl: no usable display: %1; kz-orba-cli works without one\n"_s.arg(says));
    }
};

QTEST_GUILESS_MAIN(TestStartupProcess)
#include "test_startup_process.moc"
