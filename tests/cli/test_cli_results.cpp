// What kz-orba-cli claims is what happened: a result that cannot be written fails the run and
// says where and why, a closed pipe ends it as it ends any pipe's writer, a stop signal ends it
// with what it did so far, and with --json every outcome, a refused run too, is one document.
// The tables of cases are written with plain string literals.
#undef QT_NO_CAST_FROM_ASCII

#include "sim/pty_sim.h"
#include "tests/support/deaf_listener.h"

#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <csignal>
#include <fcntl.h>
#include <spawn.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

namespace {

// A simulated receiver on a link in a folder of its own.
struct Receiver
{
    QTemporaryDir dir;
    PtySimulator sim { QByteArrayLiteral("TX") };
    QString path = dir.filePath(QStringLiteral("receiver"));

    bool start() { return sim.start(path); }
    QByteArray value(const char *prefix)
    {
        QByteArray v;
        sim.with_model([&](ReceiverModel &m) { v = m.value(prefix); });
        return v;
    }
};

QStringList cli_args(const QStringList &words)
{
    return QStringList { "--config-dir", KZ_DATA_DIR } + words;
}

struct Ended
{
    bool exited = false;
    int status = -1; // the exit status, or the signal that ended it
    QString err;
};

// Runs kz-orba-cli with its standard output on out (-1: closed) and standard error in a file;
// while it runs, during(pid) may act on it.
Ended spawn_cli(const QStringList &words, int out, const std::function<void(pid_t)> &during = {})
{
    QTemporaryDir dir;
    const QByteArray err_path = dir.filePath("stderr").toLocal8Bit();
    QList<QByteArray> storage { QByteArray(KZ_CLI_PATH) };
    for (const QString &word : cli_args(words))
        storage << word.toLocal8Bit();
    std::vector<char *> argv;
    for (QByteArray &arg : storage)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (out >= 0)
        posix_spawn_file_actions_adddup2(&actions, out, 1);
    else
        posix_spawn_file_actions_addclose(&actions, 1);
    posix_spawn_file_actions_addopen(
        &actions, 2, err_path.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    // The child starts with SIGPIPE at its default action, as from a shell.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t defaults;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF);
    pid_t pid = -1;
    Ended ended;
    if (posix_spawn(&pid, KZ_CLI_PATH, &actions, &attributes, argv.data(), environ) != 0)
        return ended;
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    if (out >= 0)
        ::close(out);
    if (during)
        during(pid);
    int wstatus = 0;
    ::waitpid(pid, &wstatus, 0);
    ended.exited = WIFEXITED(wstatus);
    ended.status = ended.exited ? WEXITSTATUS(wstatus) : WTERMSIG(wstatus);
    QFile file(QString::fromLocal8Bit(err_path));
    if (file.open(QIODevice::ReadOnly))
        ended.err = QString::fromUtf8(file.readAll());
    return ended;
}

// A tmpfs of 64 KiB filled up to pages_left pages. Unmounted when it goes.
struct NearlyFullDisk
{
    QTemporaryDir dir;
    bool mounted = false;

    explicit NearlyFullDisk(int pages_left)
    {
        mounted
            = ::mount("tmpfs", dir.path().toLocal8Bit().constData(), "tmpfs", 0, "size=64k") == 0;
        if (!mounted)
            return;
        QFile filler(dir.filePath("filler"));
        if (!filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
            return;
        const QByteArray page(4096, 'x');
        while (filler.write(page) == page.size()) { }
        filler.close();
        filler.resize(filler.size() - 4096 * pages_left);
    }
    ~NearlyFullDisk()
    {
        if (mounted)
            ::umount2(dir.path().toLocal8Bit().constData(), MNT_DETACH);
    }
};

QJsonObject parse_document(const QByteArray &out, QString *error)
{
    QJsonParseError parsed;
    const QJsonDocument document = QJsonDocument::fromJson(out, &parsed);
    if (parsed.error != QJsonParseError::NoError)
        *error = parsed.errorString() + " at " + QString::number(parsed.offset);
    return document.object();
}

// Whether the process handles signal itself yet (the SigCgt mask of /proc/PID/status): before
// kz-orba-cli has set its handlers, a stop signal ends it as it ends any program.
bool catches(qint64 pid, int signal)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return false;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("SigCgt:"))
            return (line.mid(7).trimmed().toULongLong(nullptr, 16) >> (signal - 1)) & 1;
    }
    return false;
}

// Called from the simulator's hook, so the reply to the message on the line waits: the signal
// goes to kz-orba-cli, and the hook returns once its handler has taken it (the handler queues the
// stop, then gives the stop signals their default action back). However loaded the machine, the
// stop is then seen while that message is on the line, and the reply still comes well within
// the reply wait, as no delay of the simulator's own is added to it.
void signal_and_hold_reply(qint64 pid, int signal)
{
    ::kill(pid_t(pid), signal);
    QElapsedTimer taken;
    taken.start();
    while (catches(pid, signal) && taken.elapsed() < 5000)
        QThread::msleep(1);
}

} // namespace

class TestCliResults : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Write failures by destination: each says where and why and fails the run.
    void write_failures_data()
    {
        // /dev/full; a full disk, or one with a page left; stdout closed
        QTest::addColumn<QString>("destination"); // full, disk0, disk1, closed
        QTest::addColumn<QStringList>("words"); // PORT: the receiver
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("reported");
        const QString full = "standard output: No space left on device";
        const QString closed = "standard output: Bad file descriptor";
        const QStringList commands[] = { { "--port", "PORT", "read" },
            { "--port", "PORT", "--json", "read" }, { "--port", "PORT", "get", "hue" },
            { "--port", "PORT", "apply", "--dry-run", "PROFILE" }, { "values", "aspect" },
            { "values" }, { "ports" }, { "--json", "ports" }, { "--help" }, { "help", "set" },
            { "completion", "bash" }, { "--version" } };
        for (const QStringList &words : commands) {
            QTest::addRow("/dev/full: %s", qPrintable(words.join(' ')))
                << "full" << words << 1 << full;
            QTest::addRow("closed stdout: %s", qPrintable(words.join(' ')))
                << "closed" << words << 1 << closed;
        }
        QTest::newRow("/dev/full: a refused run's JSON")
            << "full" << QStringList { "--json", "get", "aspct" } << 2 << full;
        QTest::newRow("full disk: read into a profile")
            << "disk0" << QStringList { "--port", "PORT", "read" } << 1 << full;
        QStringList fleet;
        for (int i = 0; i < 10; ++i)
            fleet << "--port"
                  << "PORT";
        QTest::newRow("full disk: a fleet's read cut mid-line")
            << "disk1" << fleet + QStringList { "read" } << 1 << full;
    }
    void write_failures()
    {
        QFETCH(QString, destination);
        QFETCH(QStringList, words);
        QFETCH(int, status);
        QFETCH(QString, reported);
        std::vector<std::unique_ptr<Receiver>> rooms;
        for (QString &word : words) {
            if (word == "PORT") {
                rooms.push_back(std::make_unique<Receiver>());
                QVERIFY(rooms.back()->start());
                word = rooms.back()->path;
            }
        }
        QTemporaryDir dir;
        QFile profile(dir.filePath("p"));
        QVERIFY(profile.open(QIODevice::WriteOnly));
        profile.write("hue = 3\n");
        profile.close();
        words.replaceInStrings("PROFILE", profile.fileName());
        NearlyFullDisk disk(destination == "disk1" ? 1 : 0);
        int out = -1;
        if (destination == "full")
            out = ::open("/dev/full", O_WRONLY | O_CLOEXEC);
        if (destination.startsWith("disk")) {
            if (!disk.mounted)
                QSKIP("no tmpfs can be mounted here (not root?)");
            out = ::open(disk.dir.filePath("room.profile").toLocal8Bit().constData(),
                O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        }
        QVERIFY(destination == "closed" || out >= 0);
        const Ended ended = spawn_cli(words, out);
        QVERIFY2(ended.exited, qPrintable(ended.err));
        QCOMPARE(ended.status, status);
        QVERIFY2(ended.err.contains(reported), qPrintable(ended.err));
        if (destination.startsWith("disk")) {
            // What did fit stays, and the report says that the rest is lost.
            QFile written(disk.dir.filePath("room.profile"));
            QVERIFY(written.open(QIODevice::ReadOnly));
            QCOMPARE(written.size(), destination == "disk1" ? 4096 : 0);
            QVERIFY(ended.err.contains("what it should hold is lost"));
        }
    }

    // A reader gone from the pipe: the run ends as a pipe's writer ends (SIGPIPE), whether the
    // reader left before the first byte or after the first line; nothing more is claimed.
    void closed_pipe_data()
    {
        QTest::addColumn<int>("receivers");
        QTest::addColumn<bool>("first_line"); // the reader takes the first line, then leaves
        QTest::newRow("one receiver, reader gone before") << 1 << false;
        QTest::newRow("a fleet, reader gone before") << 3 << false;
        QTest::newRow("a fleet read | head -1") << 8 << true;
    }
    void closed_pipe()
    {
        QFETCH(int, receivers);
        QFETCH(bool, first_line);
        std::vector<std::unique_ptr<Receiver>> rooms;
        QStringList words;
        for (int i = 0; i < receivers; ++i) {
            rooms.push_back(std::make_unique<Receiver>());
            QVERIFY(rooms.back()->start());
            words << "--port" << rooms.back()->path;
        }
        words << "read";
        int fds[2];
        QCOMPARE(::pipe2(fds, O_CLOEXEC), 0);
        // The least a pipe holds, so that the output does not fit while the reader is away.
        ::fcntl(fds[1], F_SETPIPE_SZ, 4096);
        if (!first_line)
            ::close(fds[0]);
        QString line;
        const Ended ended = spawn_cli(words, fds[1], [&](pid_t) {
            if (!first_line)
                return;
            char c = 0;
            while (::read(fds[0], &c, 1) == 1 && c != '\n')
                line += QLatin1Char(c);
            ::close(fds[0]);
        });
        QVERIFY2(!ended.exited, qPrintable(ended.err));
        QCOMPARE(ended.status, SIGPIPE);
        if (first_line)
            QCOMPARE(line, "# " + rooms.front()->path);
        QVERIFY2(!ended.err.contains("receivers:") && !ended.err.contains("done"),
            qPrintable(ended.err));
    }

    // Stop signals by signal and moment: nothing more is sent, the transaction on the line ends
    // and is traced, what was done is printed, and the status is 128 + the signal.
    void stop_signals_data()
    {
        QTest::addColumn<int>("signal");
        QTest::addColumn<QString>("moment");
        for (const int signal : { SIGINT, SIGTERM, SIGHUP }) {
            const char *name = signal == SIGINT ? "SIGINT"
                : signal == SIGTERM             ? "SIGTERM"
                                                : "SIGHUP";
            for (const char *moment : { "read", "apply", "apply unconfirmed", "fleet read" })
                QTest::addRow("%s during %s", name, moment) << signal << QString(moment);
        }
        QTest::newRow("SIGTERM while a gateway is opened") << int(SIGTERM) << "opening";
    }
    void stop_signals()
    {
        QFETCH(int, signal);
        QFETCH(QString, moment);
        std::vector<std::unique_ptr<Receiver>> rooms;
        const int count = moment == "fleet read" ? 4 : 1;
        for (int i = 0; i < count; ++i) {
            rooms.push_back(std::make_unique<Receiver>());
            QVERIFY(rooms.back()->start());
        }
        QTemporaryDir dir;
        const QString trace = dir.filePath("trace");
        QFile profile(dir.filePath("p"));
        QVERIFY(profile.open(QIODevice::WriteOnly));
        profile.write("aspect = 4:3 TV\ndisplay = Off\nbrightness = 9\nhue = 3\n");
        profile.close();
        DeafListener deaf;
        if (moment == "opening" && !deaf.deaf())
            QSKIP("this system answers connections beyond the listen queue");

        QProcess cli;
        QStringList words { "--trace", trace };
        if (moment == "opening")
            words << "--port" << deaf.address();
        for (const auto &room : rooms)
            words << "--port" << room->path;
        if (moment == "fleet read")
            words << "--jobs"
                  << "1";
        words << (moment.startsWith("apply") ? QStringList { "apply", profile.fileName() }
                                             : QStringList { "read" });
        // The signal comes while the nth message that begins so is on the line: in a read, the
        // hue's query; in an apply, the read-back that confirms the brightness sent without
        // waiting (the second brightness query, after the one that read the receiver first), or
        // when it stays unconfirmed, the brightness itself; in the fleet, the third receiver's
        // first query.
        const QByteArray at = moment == "read" ? "WP_PictureHue[?]"
            : moment == "fleet read"           ? "WP_IdentifyTx[?]"
            : moment == "apply"                ? "WP_PictureBri[?]"
                                               : "WP_PictureBri[9]";
        std::atomic<int> seen = 0;
        const int nth = moment == "fleet read" ? 3 : moment == "apply" ? 2 : 1;
        for (const auto &room : rooms) {
            PtySimulator *sim = &room->sim;
            sim->set_message_hook(
                [&, sim, unconfirmed = moment == "apply unconfirmed"](const QByteArray &message) {
                    if (unconfirmed && message.startsWith("WP_Display[Off]")) {
                        SimFaults silent;
                        silent.silent << QByteArray("WP_PictureBri[");
                        sim->set_faults(silent);
                    }
                    if (message.startsWith(at) && ++seen == nth)
                        signal_and_hold_reply(cli.processId(), signal);
                });
        }
        QElapsedTimer clock;
        clock.start();
        cli.start(KZ_CLI_PATH, cli_args(words));
        QVERIFY(cli.waitForStarted());
        if (moment == "opening") {
            // Once it handles the signal, the gateway's open follows at once; the gateway never
            // answers, so the open is still running 300 ms later, however loaded the machine.
            QVERIFY(QTest::qWaitFor([&] { return catches(cli.processId(), signal); }, 10000));
            QTest::qWait(300);
            clock.restart(); // the stop, not the start, must end the open before its deadline
            ::kill(cli.processId(), signal);
        }
        QVERIFY(cli.waitForFinished(20000));
        for (const auto &room : rooms)
            room->sim.set_message_hook({});
        QCOMPARE(cli.exitStatus(), QProcess::NormalExit);
        QCOMPARE(cli.exitCode(), 128 + signal);
        const QString out = QString::fromUtf8(cli.readAllStandardOutput());
        const QString err = QString::fromUtf8(cli.readAllStandardError());

        // Every message the receivers took has its whole line in the trace, the last one too.
        QFile file(trace);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray traced = file.readAll();
        int received = 0;
        for (const auto &room : rooms)
            received += int(room->sim.received().size());
        QCOMPARE(int(traced.count('\n')), received);
        QVERIFY(traced.isEmpty() || traced.endsWith('\n'));

        if (moment == "read") {
            // What was read, then the line that says the read is not whole.
            QVERIFY2(
                out.contains("aspect = Full\n") && out.contains("\nhue = 50\n"), qPrintable(out));
            QVERIFY2(out.endsWith("# incomplete after 22 settings: stopped after hue: nothing "
                                  "more was sent\n"),
                qPrintable(out));
            QVERIFY(!out.contains("sharpness"));
        } else if (moment == "apply") {
            QCOMPARE(out, "aspect: Full -> 4:3 TV\ndisplay: On -> Off\nbrightness: 50 -> 9\n");
            QVERIFY2(err.contains("sent and confirmed: aspect, display, brightness; not sent: hue"),
                qPrintable(err));
            QCOMPARE(rooms[0]->value("WP_PictureHue["), QByteArray("50"));
        } else if (moment == "apply unconfirmed") {
            QCOMPARE(out,
                "aspect: Full -> 4:3 TV\ndisplay: On -> Off\nmay have changed brightness: 50 -> "
                "9\n");
            QVERIFY2(err.contains("sent and confirmed: aspect, display; sent, not confirmed (it "
                                  "may have taken): brightness; not sent: hue"),
                qPrintable(err));
        } else if (moment == "fleet read") {
            // The two receivers read whole, the third as far as it went, the fourth not begun.
            QCOMPARE(out.count("transmitter = TX\n"), 3);
            QCOMPARE(out.count("tx_firmware = "), 2);
            QVERIFY2(err.contains(rooms[3]->path + ": stopped: stopped before it began"),
                qPrintable(err));
            QVERIFY2(err.contains(QStringLiteral("4 receivers: 2 done, 0 failed, 0 unreachable "
                                                 "or lost, 2 stopped by %1")
                                      .arg(signal == SIGINT       ? "SIGINT"
                                              : signal == SIGTERM ? "SIGTERM"
                                                                  : "SIGHUP")),
                qPrintable(err));
        } else {
            QVERIFY2(err.contains("stopped while the line was being opened"), qPrintable(err));
            QVERIFY2(clock.elapsed() < 2500, qPrintable(QString::number(clock.elapsed())));
        }
        QVERIFY2(err.contains("stopped by SIG"), qPrintable(err));
    }

    // The stopped run in JSON: the receiver's result is "interrupted", its status the run's.
    void stop_signal_in_json()
    {
        Receiver room;
        QVERIFY(room.start());
        QProcess cli;
        room.sim.set_message_hook([&](const QByteArray &message) {
            if (message.startsWith("WP_Display[Off]"))
                signal_and_hold_reply(cli.processId(), SIGINT);
        });
        QTemporaryDir dir;
        QFile profile(dir.filePath("p"));
        QVERIFY(profile.open(QIODevice::WriteOnly));
        profile.write("aspect = 4:3 TV\ndisplay = Off\nhue = 3\n");
        profile.close();
        cli.start(
            KZ_CLI_PATH, cli_args({ "--port", room.path, "--json", "apply", profile.fileName() }));
        QVERIFY(cli.waitForFinished(20000));
        room.sim.set_message_hook({});
        QCOMPARE(cli.exitCode(), 130);
        QString error;
        const QJsonObject root = parse_document(cli.readAllStandardOutput(), &error);
        QVERIFY2(error.isEmpty(), qPrintable(error));
        const QJsonObject receiver = root.value("receivers").toArray().first().toObject();
        QCOMPARE(receiver.value("result").toString(), "interrupted");
        QCOMPARE(receiver.value("status").toInt(), 130);
        QCOMPARE(receiver.value("changes").toArray().size(), 2);
        QCOMPARE(receiver.value("unconfirmed").toArray().size(), 0);
    }

    // A second signal ends the run at once, by that signal.
    void second_signal_ends_at_once()
    {
        Receiver room;
        QVERIFY(room.start());
        SimFaults silent;
        silent.silent << QByteArray("WP_Aspect[");
        room.sim.set_faults(silent);
        QProcess cli;
        room.sim.set_message_hook([&](const QByteArray &message) {
            if (message.startsWith("WP_Aspect[")) {
                ::kill(cli.processId(), SIGINT);
                QThread::msleep(50);
                ::kill(cli.processId(), SIGTERM);
            }
        });
        cli.start(KZ_CLI_PATH, cli_args({ "--port", room.path, "get", "aspect" }));
        QVERIFY(cli.waitForFinished(20000));
        room.sim.set_message_hook({});
        QCOMPARE(cli.exitStatus(), QProcess::CrashExit);
        QCOMPARE(cli.readAllStandardOutput(), QByteArray());
    }

    // With --json every refused run is one document with result "usage", and nothing else.
    void usage_errors_in_json_data()
    {
        QTest::addColumn<QStringList>("words");
        QTest::addColumn<QString>("error");
        QTest::newRow("misspelt setting")
            << QStringList { "--json", "get", "aspct" } << "unknown setting \"aspct\"";
        QTest::newRow("value outside a range")
            << QStringList { "set", "hue=101", "--json" } << "\"101\" is not a whole number";
        QTest::newRow("missing profile") << QStringList { "--json", "apply", "/nonexistent/p" }
                                         << "/nonexistent/p: no such file";
        QTest::newRow("unknown command") << QStringList { "--json", "rset" } << "unknown command";
        QTest::newRow("one-receiver command on two") << QStringList { "--json", "--port", "a",
            "--port", "b", "reset" } << "reset works on one receiver";
        QTest::newRow("option after the command") << QStringList { "--json", "get", "hue",
            "--trace", "t" } << "put it before the command";
    }
    void usage_errors_in_json()
    {
        QFETCH(QStringList, words);
        QFETCH(QString, error);
        QProcess cli;
        cli.start(KZ_CLI_PATH, cli_args(words));
        QVERIFY(cli.waitForFinished(20000));
        QCOMPARE(cli.exitCode(), 2);
        QString why;
        const QJsonObject root = parse_document(cli.readAllStandardOutput(), &why);
        QVERIFY2(why.isEmpty(), qPrintable(why));
        QCOMPARE(root.value("schema").toInt(), 1);
        const QJsonArray receivers = root.value("receivers").toArray();
        QVERIFY(!receivers.isEmpty());
        for (const QJsonValue value : receivers) {
            const QJsonObject receiver = value.toObject();
            QCOMPARE(receiver.value("result").toString(), "usage");
            QCOMPARE(receiver.value("status").toInt(), 2);
            QVERIFY2(receiver.value("error").toString().contains(error),
                qPrintable(receiver.value("error").toString()));
        }
    }

    void ports_json_is_the_document_alone()
    {
        QProcess cli;
        cli.start(KZ_CLI_PATH, cli_args({ "--json", "ports" }));
        QVERIFY(cli.waitForFinished(20000));
        QCOMPARE(cli.exitCode(), 0);
        QString why;
        const QJsonObject root = parse_document(cli.readAllStandardOutput(), &why);
        QVERIFY2(why.isEmpty(), qPrintable(why));
        QCOMPARE(root.value("receivers").toArray().size() >= 9, true);
    }

    // The names are where a newcomer looks: `help set` and `values` alone.
    void setting_names_are_listed()
    {
        QProcess help;
        help.start(KZ_CLI_PATH, cli_args({ "help", "set" }));
        QVERIFY(help.waitForFinished(20000));
        const QString text = QString::fromUtf8(help.readAllStandardOutput());
        QVERIFY2(text.contains("aspect") && text.contains("display_off_command")
                && !text.contains("rx_firmware"),
            qPrintable(text));
        QProcess values;
        values.start(KZ_CLI_PATH, cli_args({ "values" }));
        QVERIFY(values.waitForFinished(20000));
        QCOMPARE(values.exitCode(), 0);
        const QStringList names
            = QString::fromUtf8(values.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
        QCOMPARE(names.size(), 29);
        QCOMPARE(names.first(), "transmitter");
        QVERIFY(names.contains("hue"));
    }
};

QTEST_MAIN(TestCliResults)
#include "test_cli_results.moc"
