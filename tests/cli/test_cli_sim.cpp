// The real kz-orba-cli against simulated receivers: copying a receiver, the exit statuses, bad
// profiles, a silent receiver, a lost line and the trace; and the bytes and order of its commands
// next to what the real window sends for the same choices.
// The tables of cases are written with plain string literals.
#undef QT_NO_CAST_FROM_ASCII

#include "sim/pty_sim.h"
#include "tests/support/deaf_listener.h"
#include "tests/support/window_fixture.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>

#include <memory>
#include <mutex>

namespace {

struct CliRun
{
    int status = -1;
    QString out;
    QString err;
};

// Runs kz-orba-cli with the option lists of config_dir (the shipped ones unless given); the port
// is given in words.
CliRun run_cli(const QStringList &words, int timeout_ms = 30000,
    const QString &config_dir = QStringLiteral(KZ_DATA_DIR))
{
    QProcess process;
    QStringList args { QStringLiteral("--config-dir"), config_dir };
    args << words;
    process.start(QStringLiteral(KZ_CLI_PATH), args);
    CliRun run;
    if (!process.waitForFinished(timeout_ms)) {
        process.kill();
        process.waitForFinished();
        run.err = QStringLiteral("did not end");
        return run;
    }
    run.status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out = QString::fromUtf8(process.readAllStandardOutput());
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}

// A simulated receiver on a link in a folder of its own.
struct Receiver
{
    QTemporaryDir dir;
    PtySimulator sim;
    QString path;

    explicit Receiver(const QByteArray &identify = QByteArrayLiteral("TX"))
        : sim(identify)
        , path(dir.filePath(QStringLiteral("receiver")))
    { }
    bool start() { return sim.start(path); }
    CliRun cli(QStringList words)
    {
        words.prepend(path);
        words.prepend(QStringLiteral("--port"));
        return run_cli(words);
    }
    QByteArray value(const char *prefix)
    {
        QByteArray v;
        sim.with_model([&](ReceiverModel &m) { v = m.value(prefix); });
        return v;
    }
    void set(const char *prefix, const QByteArray &value)
    {
        sim.with_model([&](ReceiverModel &m) { QVERIFY(m.set_value(prefix, value)); });
    }
};

// The receivers' lines and the summary of a fleet run, without the reports ("kz-orba-cli: ...")
// that stand among them on stderr.
QStringList receiver_lines(const QString &err)
{
    QStringList lines;
    for (const QString &line : err.split('\n', Qt::SkipEmptyParts)) {
        if (!line.startsWith(QStringLiteral("kz-orba-cli: ")))
            lines << line;
    }
    return lines;
}

QString write_file(const QTemporaryDir &dir, const QString &name, const QString &text)
{
    const QString path = dir.filePath(name);
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write(text.toUtf8());
    return path;
}

// Every command that choosing these entries sends: (name, value) pairs in one set.
QStringList assignments(const QList<std::pair<QString, QString>> &pairs)
{
    QStringList words { QStringLiteral("set") };
    for (const auto &[name, value] : pairs)
        words << name + QLatin1Char('=') + value;
    return words;
}

// The one receiver of a --json document.
QJsonObject only_receiver(const QString &out)
{
    QJsonParseError error;
    const QJsonObject root = QJsonDocument::fromJson(out.toUtf8(), &error).object();
    if (error.error != QJsonParseError::NoError || root.value("schema") != QJsonValue(1))
        return {};
    const QJsonArray receivers = root.value("receivers").toArray();
    return receivers.size() == 1 ? receivers.first().toObject() : QJsonObject();
}

// A profile from --json settings, as a script writes one: numbers in decimal, arrays joined with
// ",", values no entry names left out.
QString profile_of(const QJsonObject &settings)
{
    QString text;
    for (auto it = settings.begin(); it != settings.end(); ++it) {
        QString value;
        if (it->isDouble())
            value = QString::number(it->toInt());
        else if (it->isString())
            value = it->toString();
        else if (it->isArray()) {
            QStringList parts;
            for (const QJsonValue part : it->toArray())
                parts << (part.isDouble() ? QString::number(part.toInt()) : part.toString());
            value = parts.join(',');
        } else
            continue;
        text += it.key() + " = " + value + "\n";
    }
    return text;
}

} // namespace

class TestCliSim : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void copy_a_receiver_end_to_end()
    {
        Receiver room1, room2;
        QVERIFY(room1.start());
        QVERIFY(room2.start());
        // Room 1 is set up; room 2 is in a different state.
        room1.set("WP_Aspect[", "4:3");
        room1.set("WP_Output[", "7");
        room1.set("WP_OverscanH[", "12");
        room1.set("WP_AutoOff[", "600");
        room1.set("WP_Input[", "Hdmi2");
        room1.set("WP_PictureHue[", "7");
        room1.set("WP_ProjSW[", "45");
        room1.set("WP_AutoDispOff[", "Off");
        room1.set("WP_DisplaySet[", "19200,7,E,2");
        room1.set("WP_DisplayOn[", QByteArray("\x00]$\rA", 5));
        room2.set("WP_Display[", "Off");

        const CliRun read = room1.cli({ QStringLiteral("read") });
        QCOMPARE(read.status, 0);
        QCOMPARE(read.err, QString()); // no progress when stderr is not a terminal
        QVERIFY(read.out.contains(QStringLiteral("aspect = 4:3 TV\n")));
        QVERIFY(read.out.contains(QStringLiteral("output_resolution = 1280x1024\n")));
        QVERIFY(read.out.contains(QStringLiteral("display_on_command = 00 5D 24 0D 41\n")));
        QTemporaryDir dir;
        const QString profile = write_file(dir, QStringLiteral("room1.profile"), read.out);

        const CliRun before = room2.cli({ QStringLiteral("diff"), profile });
        QCOMPARE(before.status, 1);
        QVERIFY(before.out.contains(QStringLiteral("aspect: Full -> 4:3 TV\n")));
        QVERIFY(before.out.contains(QStringLiteral("display: Off -> On\n")));

        room2.sim.clear_received();
        const CliRun apply = room2.cli({ QStringLiteral("apply"), profile });
        QCOMPARE(apply.status, 0);
        QVERIFY2(apply.err.isEmpty(), qPrintable(apply.err));
        QCOMPARE(apply.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts).size(), 11);
        QVERIFY(apply.out.contains(QStringLiteral("input_source: Hdmi1 -> Hdmi2\n")));
        // Only what differed was sent.
        const QList<QByteArray> sent = room2.sim.received();
        QVERIFY(sent.contains(QByteArray("WP_Display[On]$\r")));
        QVERIFY(!sent.contains(QByteArray("WP_AudioEn[On]$\r")));
        QVERIFY(sent.contains(QByteArray("WP_DisplayOn[5,\0]$\rA]$\r", 23)));

        const CliRun after = room2.cli({ QStringLiteral("diff"), profile });
        QCOMPARE(after.out, QString());
        QCOMPARE(after.status, 0);
        for (const char *prefix : { "WP_Aspect[", "WP_Output[", "WP_AutoOff[", "WP_Input[",
                 "WP_PictureHue[", "WP_ProjSW[", "WP_DisplaySet[", "WP_DisplayOn[", "WP_Display[" })
            QCOMPARE(room2.value(prefix), room1.value(prefix));
    }

    void apply_dry_run_sends_no_setting()
    {
        Receiver room;
        QVERIFY(room.start());
        QTemporaryDir dir;
        const QString profile = write_file(
            dir, QStringLiteral("p"), QStringLiteral("aspect = Keep Ratio\nhue = 9\n"));
        const CliRun run
            = room.cli({ QStringLiteral("apply"), profile, QStringLiteral("--dry-run") });
        QCOMPARE(run.status, 0);
        QCOMPARE(run.out,
            QStringLiteral("would change aspect: Full -> Keep Ratio\nwould change hue: 50 -> 9\n"));
        for (const QByteArray &message : room.sim.received())
            QVERIFY2(message.contains("[?]$"), message.constData());
    }

    // "commands" in --json: the messages that write, as they left (queries are not listed), with
    // bytes outside printable ASCII as \xHH; a dry run lists, without sending, what the real run
    // then sends.
    void json_commands_are_the_messages_sent_data()
    {
        QTest::addColumn<QStringList>("words");
        QTest::addColumn<int>("expected");
        const QString profile = QStringLiteral("@profile");
        QTest::newRow("apply") << QStringList { "apply", profile } << 3;
        QTest::newRow("set") << QStringList { "set", "display_on_command=50 57 52 0D", "hue=9" }
                             << 2;
        QTest::newRow("key") << QStringList { "key", "menu" } << 1;
        QTest::newRow("vga-auto") << QStringList { "vga-auto" } << 1;
    }

    void json_commands_are_the_messages_sent()
    {
        QFETCH(QStringList, words);
        QFETCH(int, expected);
        Receiver room;
        QVERIFY(room.start());
        QTemporaryDir dir;
        words.replaceInStrings(QStringLiteral("@profile"),
            write_file(dir, QStringLiteral("p"),
                QStringLiteral(
                    "aspect = Keep Ratio\nhue = 9\ndisplay_on_command = 50 57 52 0D\n")));
        const auto escaped = [](const QByteArray &bytes) {
            QString text;
            for (const char c : bytes) {
                const auto b = static_cast<unsigned char>(c);
                text += b >= 0x20 && b < 0x7F && b != '\\'
                    ? QString(QLatin1Char(c))
                    : QStringLiteral("\\x%1")
                          .arg(int(b), 2, 16, QLatin1Char('0'))
                          .toUpper()
                          .replace("\\X", "\\x");
            }
            return text;
        };
        const auto writes = [&] {
            QStringList out;
            for (const QByteArray &message : room.sim.received()) {
                if (!message.contains("[?]$"))
                    out << escaped(message);
            }
            return out;
        };

        const CliRun dry = room.cli(QStringList { "--json" } + words + QStringList { "--dry-run" });
        QCOMPARE(dry.status, 0);
        QCOMPARE(writes(), QStringList());
        const QJsonArray would = only_receiver(dry.out).value("commands").toArray();

        const CliRun run = room.cli(QStringList { "--json" } + words);
        QCOMPARE(run.status, 0);
        const QStringList sent = writes();
        QCOMPARE(sent.size(), expected);
        QCOMPARE(
            only_receiver(run.out).value("commands").toArray(), QJsonArray::fromStringList(sent));
        QCOMPARE(would, QJsonArray::fromStringList(sent));
        // The display command's own CR is in it, escaped, before the frame's.
        if (words.contains("hue=9") || words.first() == "apply")
            QVERIFY2(sent.join(' ').contains("PWR\\x0D]$\\x0D"), qPrintable(sent.join(' ')));
    }

    // set, key, reset and vga-auto with --dry-run open no line: a port nobody can open still
    // gives the messages, and a read (which needs the line) with the same port fails.
    void dry_runs_that_need_no_line()
    {
        QTemporaryDir dir;
        const QStringList port { "--port", dir.filePath(QStringLiteral("nobody")), "--json" };
        const CliRun set = run_cli(port + QStringList { "set", "aspect=Full", "--dry-run" });
        QCOMPARE(set.status, 0);
        QCOMPARE(only_receiver(set.out).value("commands").toArray(),
            QJsonArray({ QStringLiteral("WP_Aspect[Full]$\\x0D") }));
        const CliRun key = run_cli(port + QStringList { "key", "plus", "--dry-run" });
        QCOMPARE(key.status, 0);
        QCOMPARE(only_receiver(key.out).value("commands").toArray().size(), 1);
        QCOMPARE(run_cli(port + QStringList { "set", "aspect=Full" }).status, 3);
        const CliRun text = run_cli(QStringList {
            "--port", dir.filePath(QStringLiteral("nobody")), "set", "aspect=Full", "--dry-run" });
        QCOMPARE(text.out, QStringLiteral("would send WP_Aspect[Full]$\\x0D\n"));
    }

    void exit_statuses_data()
    {
        QTest::addColumn<QStringList>("words"); // after --port PATH
        QTest::addColumn<QString>("profile"); // written to PROFILE when not empty
        // 0 none, 1 silent, 2 silent aspect, 3 hang up on output, 4 wrong prefix, 5 no such port,
        // 6 silent hue once the aspect has been set, 7 a reply whose second half comes too late
        QTest::addColumn<int>("fault");
        QTest::addColumn<int>("status");
        QTest::addColumn<bool>("nothing_sent");
        QTest::addColumn<QString>("reported");

        QTest::newRow("done: a key")
            << QStringList { "key", "plus" } << "" << 0 << 0 << false << "";
        QTest::newRow("done: reset") << QStringList { "reset" } << "" << 0 << 0 << false << "";
        QTest::newRow("usage: unknown command")
            << QStringList { "rset" } << "" << 0 << 2 << true << "unknown command";
        QTest::newRow("usage: unknown setting in get")
            << QStringList { "get", "brightnes" } << "" << 0 << 2 << true << "unknown setting";
        QTest::newRow("usage: set value the list does not offer") << QStringList { "set", "hue=50",
            "aspect=16:9" } << "" << 0 << 2 << true << "aspect: \"16:9\" is not an entry";
        QTest::newRow("usage: set read-only")
            << QStringList { "set", "tx_firmware=V2" } << "" << 0 << 2 << true << "read only";
        QTest::newRow("bad profile: unknown name")
            << QStringList { "apply", "PROFILE" } << "aspect = Full\ncolour = red\n"
            << 0 << 2 << true << "line 2: unknown setting \"colour\"";
        QTest::newRow("bad profile: value")
            << QStringList { "diff", "PROFILE" } << "# c\nprojsw_mode = 31\n"
            << 0 << 2 << true << "line 2: projsw_mode";
        QTest::newRow("bad profile: missing file")
            << QStringList { "apply", "/nonexistent/room.profile" } << "" << 0 << 2 << true
            << "/nonexistent/room.profile";
        QTest::newRow("usage: set a name twice") << QStringList { "set", "hue=40",
            "hue=41" } << "" << 0 << 2 << true << "hue is given twice; nothing was sent";
        QTest::newRow("usage: control byte in a set value")
            << QStringList { "set", "hue=4\x1b[2J" } << "" << 0 << 2 << true
            << "holds the control byte \\x1B; nothing was sent";
        QTest::newRow("usage: control byte in a values name") << QStringList { "values",
            "asp\x1b[2J" } << "" << 0 << 2 << true << "a setting name holds the control byte \\x1B";
        QTest::newRow("usage: control byte in a get name") << QStringList { "get",
            "aspect\r" } << "" << 0 << 2 << true << "holds the control byte \\x0D";
        QTest::newRow("bad profile: name twice")
            << QStringList { "apply", "PROFILE" } << "hue = 3\naspect = Full\nhue = 4\n"
            << 0 << 2 << true << "line 3: hue is given twice";
        QTest::newRow("bad profile: NUL in a value")
            << QStringList { "apply", "PROFILE" }
            << QString::fromUtf8("hue = 3\naspect = Full\0x\n", 25) << 0 << 2 << true
            << "line 2: holds the control byte \\x00";
        QTest::newRow("bad profile: escape sequence in a value")
            << QStringList { "diff", "PROFILE" } << "aspect = \x1b]0;owned\x07Full\n"
            << 0 << 2 << true << "line 1: holds the control byte \\x1B";
        // Slips are answered with what was meant, and still nothing is sent.
        QTest::newRow("usage: misspelt setting")
            << QStringList { "get", "aspct" } << "" << 0 << 2 << true
            << "unknown setting \"aspct\" (did you mean \"aspect\"?); nothing was sent";
        QTest::newRow("usage: value in the wrong case") << QStringList { "set",
            "display=off" } << "" << 0 << 2 << true << "(did you mean \"Off\"?); nothing was sent";
        QTest::newRow("usage: value outside a range")
            << QStringList { "set", "hue=101" } << "" << 0 << 2 << true
            << "hue: \"101\" is not a whole number from 0 .. 100; nothing was sent";
        QTest::newRow("usage: read-only said once")
            << QStringList { "set", "transmitter=TX" } << "" << 0 << 2 << true
            << "transmitter: read only: read and get show it, set cannot change it";
        QTest::newRow("usage: key in the wrong case") << QStringList { "key", "Minus" } << "" << 0
                                                      << 2 << true << "(did you mean \"minus\"?)";
        QTest::newRow("usage: option after the command")
            << QStringList { "get", "aspect", "--trace", "t" } << "" << 0 << 2 << true
            << "--trace is an option of kz-orba-cli, not of get: put it before the command";
        QTest::newRow("usage: gateway without tcp://")
            << QStringList { "--port", "127.0.0.1:4001", "get", "aspect" } << "" << 0 << 2 << true
            << "127.0.0.1:4001 looks like a gateway's address: write tcp://127.0.0.1:4001";
        QTest::newRow("usage: IPv6 gateway without brackets")
            << QStringList { "--port", "tcp://::1:4001", "get", "aspect" } << "" << 0 << 2 << true
            << "an IPv6 address stands in brackets: tcp://[ADDRESS]:PORT";
        QTest::newRow("bad profile: a folder")
            << QStringList { "apply", "DIR" } << "" << 0 << 2 << true << "not a regular file";
        QTest::newRow("bad profile: a device") << QStringList { "apply", "/dev/zero" } << "" << 0
                                               << 2 << true << "/dev/zero: not a regular file";
        QTest::newRow("usage: trace is a dangling link") << QStringList { "--trace", "LINK",
            "read" } << "" << 0 << 2 << true << "symbolic link to nothing";
        QTest::newRow("usage: trace is a device") << QStringList { "--trace", "/dev/null", "read" }
                                                  << "" << 0 << 2 << true << "not a regular file";
        QTest::newRow("bad profile: empty")
            << QStringList { "apply", "PROFILE" } << "" << 0 << 2 << true
            << "profile: holds no setting (it is empty, or holds only comments and blank lines); "
               "nothing was sent";
        QTest::newRow("bad profile: comments and blank lines only")
            << QStringList { "diff", "PROFILE" } << "# room 1\n\n  # aspect = Full\n"
            << 0 << 2 << true << "holds no setting";
        QTest::newRow("bad profile: read-only settings only")
            << QStringList { "apply", "PROFILE" } << "transmitter = TX\n"
            << 0 << 2 << true << "holds only read-only settings";
        QTest::newRow("bad profile: not a profile, not quoted")
            << QStringList { "diff", "PROFILE" } << "root:$6$Secret:19000:0:99999:7:::\n"
            << 0 << 2 << true << "profile: line 1: not \"name = value\"; nothing was sent";
        QTest::newRow("bad profile: escape sequence in its name")
            << QStringList { "apply", "/nonexistent/\x1b[2Jroom" } << "" << 0 << 2 << true
            << "/nonexistent/\\x1B[2Jroom: no such file";
        QTest::newRow("bad profile: line end in its name")
            << QStringList { "diff", "/nonexistent/room\nhue = 3" } << "" << 0 << 2 << true
            << "/nonexistent/room\\x0Ahue = 3: no such file";
        QTest::newRow("usage: line end in the trace's name")
            << QStringList { "--trace", "DIR/t\nx/y", "get", "hue" } << "" << 0 << 2 << true
            << "t\\x0Ax/y";
        QTest::newRow("done: comment after a value")
            << QStringList { "diff", "PROFILE" } << "aspect = Full # as in room one\n# c\n"
            << 0 << 0 << false << "";
        QTest::newRow("failed: silent receiver")
            << QStringList { "read" } << "" << 1 << 1 << false
            << "transmitter: sent \"WP_IdentifyTx[?]$\\x0D\", no complete reply within 302 ms "
               "(nothing came back)";
        QTest::newRow("failed: set not confirmed")
            << QStringList { "set", "hue=3", "aspect=Full", "display=Off" } << "" << 2 << 1 << false
            << "sent and confirmed: hue; sent, not confirmed (it may have taken): aspect; not "
               "sent: display";
        QTest::newRow("failed: apply not confirmed")
            << QStringList { "apply", "PROFILE" } << "hue = 3\naspect = 4:3 TV\naudio = Off\n"
            << 6 << 1
            << false
            // hue is sent without waiting and read back: the read-back has no answer.
            << "hue: sent \"WP_PictureHue[?]$\\x0D\", no complete reply within 302 ms (nothing "
               "came back)\n"
               "kz-orba-cli: sent and confirmed: aspect, audio; sent, not confirmed (it may have "
               "taken): hue";
        QTest::newRow("failed: foreign reply")
            << QStringList { "get", "display" } << "" << 4 << 1 << false
            << "received \"WP_Input[On]$\\x0D\", which is not a reply to it";
        QTest::newRow("failed: reply cut short")
            << QStringList { "get", "aspect" } << "" << 7 << 1 << false
            << "no complete reply within 302 ms (received only \"WP_Aspe";
        QTest::newRow("failed: diff differs")
            << QStringList { "diff", "PROFILE" } << "display = Off\n"
            << 0 << 1 << false << "";
        QTest::newRow("line: lost during a read")
            << QStringList { "read" } << "" << 3 << 3 << false << "the line was lost";
        QTest::newRow("line: lost during apply")
            << QStringList { "apply", "PROFILE" } << "output_resolution = Auto\n"
            << 3 << 3 << false << "the line was lost";
        QTest::newRow("line: no such port")
            << QStringList { "read" } << "" << 5 << 3 << true << "cannot open";
    }
    void exit_statuses()
    {
        QFETCH(QStringList, words);
        QFETCH(QString, profile);
        QFETCH(int, fault);
        QFETCH(int, status);
        QFETCH(bool, nothing_sent);
        QFETCH(QString, reported);
        Receiver room;
        QVERIFY(room.start());
        room.set("WP_Output[", "3"); // so that a profile can make it send
        SimFaults faults;
        if (fault == 1)
            faults.silent << QByteArray();
        if (fault == 2)
            faults.silent << QByteArray("WP_Aspect[");
        if (fault == 3) {
            faults.hang_up = true;
            faults.hang_up_only = "WP_Output[";
        }
        if (fault == 4)
            faults.wrong_prefix = "WP_Input[";
        if (fault == 7) {
            // The second half of the reply comes well after the reply wait, so that a loaded
            // machine that runs the deadline late still finds only the first half.
            faults.delay_ms = 100;
            faults.split_gap_ms = 600;
        }
        room.sim.set_faults(faults);
        if (fault == 6) {
            PtySimulator *sim = &room.sim;
            room.sim.set_message_hook([sim](const QByteArray &message) {
                if (message.startsWith("WP_Aspect[4:3]")) {
                    SimFaults later;
                    later.silent << QByteArray("WP_PictureHue[");
                    sim->set_faults(later);
                }
            });
        }
        QTemporaryDir dir;
        const QString path = write_file(dir, QStringLiteral("profile"), profile);
        words.replaceInStrings(QStringLiteral("PROFILE"), path);
        words.replaceInStrings(QStringLiteral("DIR"), dir.path());
        QVERIFY(QFile::link(
            dir.filePath(QStringLiteral("gone")), dir.filePath(QStringLiteral("link"))));
        words.replaceInStrings(QStringLiteral("LINK"), dir.filePath(QStringLiteral("link")));
        words.prepend(fault == 5 ? dir.filePath(QStringLiteral("no-such-port")) : room.path);
        words.prepend(QStringLiteral("--port"));

        const CliRun run = run_cli(words);
        QCOMPARE(run.status, status);
        QVERIFY2(run.err.contains(reported), qPrintable(run.err));
        // Whatever the words held, no escape sequence reaches the terminal.
        QVERIFY2(!run.err.contains(QLatin1Char('\x1b')) && !run.out.contains(QLatin1Char('\x1b')),
            qPrintable(run.err));
        if (nothing_sent)
            QCOMPARE(room.sim.received(), QList<QByteArray>());
        else if (fault != 5)
            QVERIFY(!room.sim.received().isEmpty());
        // What a read prints is a whole profile, or its last line says that it is not.
        const bool reads
            = words.contains(QStringLiteral("read")) || words.contains(QStringLiteral("get"));
        const QStringList out_lines = run.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        const bool says_incomplete
            = !out_lines.isEmpty() && out_lines.last().startsWith(QStringLiteral("# incomplete"));
        if (reads && status != 2)
            QVERIFY2(says_incomplete == (status != 0), qPrintable(run.out));
    }

    // Values by reply: a number the receiver did not plainly report is shown as unread in every
    // form (a comment, null with a note), and diff does not take it for a value of the list.
    void garbled_numbers_are_unread_data()
    {
        QTest::addColumn<QByteArray>("reply");
        for (const char *reply :
            { "abc", "", "-", "7xyz", "12 ; display = Off", "0x20", "300abc", "1e1", "50.0" })
            QTest::addRow("\"%s\"", reply) << QByteArray(reply);
    }
    void garbled_numbers_are_unread()
    {
        QFETCH(QByteArray, reply);
        Receiver room;
        QVERIFY(room.start());
        room.set("WP_PictureHue[", reply);
        const QString note = QStringLiteral("the receiver reports \"%1\", which is not a number")
                                 .arg(QString::fromLatin1(reply));

        const CliRun text = room.cli({ "get", "hue", "aspect" });
        QCOMPARE(text.status, 0);
        QCOMPARE(text.out, "# hue: " + note + "\naspect = Full\n");

        const QJsonObject json = only_receiver(room.cli({ "--json", "get", "hue" }).out);
        QVERIFY(json.value("settings").toObject().contains("hue"));
        QVERIFY(json.value("settings").toObject().value("hue").isNull());
        QCOMPARE(json.value("notes").toObject().value("hue").toString(), note);

        QTemporaryDir dir;
        const QString profile = write_file(dir, "p", "hue = 50\naspect = Full\n");
        const CliRun diff = room.cli({ "diff", profile });
        QCOMPARE(diff.status, 1);
        QCOMPARE(diff.out, QStringLiteral("hue: (no entry) -> 50\n"));
        const QJsonObject differs = only_receiver(room.cli({ "--json", "diff", profile }).out);
        QCOMPARE(differs.value("result").toString(), QStringLiteral("differs"));
        QCOMPARE(differs.value("changes").toArray(),
            (QJsonArray { QJsonObject {
                { "setting", "hue" }, { "from", QJsonValue::Null }, { "to", 50 } } }));
    }

    // Partial changes: a setting sent and confirmed is a change; one sent whose confirmation did
    // not come may have taken and is listed apart; one never sent is neither. The profile sends
    // aspect, display, brightness and hue in this order; the fault strikes at brightness, once
    // display has been set.
    void partial_changes_are_reported_data()
    {
        QTest::addColumn<int>("fault"); // 0 dropped reply, 1 line lost, 2 foreign reply,
                                        // 3 read back as another value
        QTest::addColumn<int>("status");
        QTest::addColumn<QStringList>("changes");
        QTest::addColumn<QStringList>("unconfirmed");
        QTest::addColumn<QString>("reported");
        const QString first_two = "sent and confirmed: aspect, display; sent, not confirmed (it "
                                  "may have taken): brightness";
        QTest::newRow("dropped reply")
            << 0 << 1 << QStringList { "aspect", "display" } << QStringList { "brightness" }
            << first_two + "; not sent: hue";
        QTest::newRow("line lost after the send")
            << 1 << 3 << QStringList { "aspect", "display" } << QStringList { "brightness" }
            << first_two + "; not sent: hue";
        QTest::newRow("reply for another command")
            << 2 << 1 << QStringList { "aspect", "display" } << QStringList { "brightness" }
            << first_two + "; not sent: hue";
        QTest::newRow("read back as another value")
            << 3 << 1 << QStringList { "aspect", "display", "hue" } << QStringList { "brightness" }
            << "brightness: sent 9 without waiting, but the receiver reads back 8";
    }
    void partial_changes_are_reported()
    {
        QFETCH(int, fault);
        QFETCH(int, status);
        QFETCH(QStringList, changes);
        QFETCH(QStringList, unconfirmed);
        QFETCH(QString, reported);
        Receiver room;
        QVERIFY(room.start());
        PtySimulator *sim = &room.sim;
        sim->set_message_hook([sim, fault](const QByteArray &message) {
            if (message.startsWith("WP_Display[Off]")) {
                SimFaults later;
                if (fault == 0)
                    later.silent << QByteArray("WP_PictureBri[");
                if (fault == 1) {
                    later.hang_up = true;
                    later.hang_up_only = "WP_PictureBri[";
                }
                if (fault == 2) {
                    later.wrong_prefix = "WP_PictureCon[";
                    later.wrong_prefix_only = "WP_PictureBri[";
                }
                sim->set_faults(later);
            }
            if (fault == 3 && message.startsWith("WP_PictureBri[9]"))
                sim->with_model([](ReceiverModel &m) { m.set_value("WP_PictureBri[", "8"); });
        });
        QTemporaryDir dir;
        const QString profile
            = write_file(dir, "p", "hue = 3\nbrightness = 9\ndisplay = Off\naspect = 4:3 TV\n");
        const CliRun run = room.cli({ "--json", "apply", profile });
        sim->set_message_hook({});
        QCOMPARE(run.status, status);
        const QJsonObject receiver = only_receiver(run.out);
        QVERIFY2(!receiver.isEmpty(), qPrintable(run.out));
        const auto names = [&](const char *key) {
            QStringList list;
            for (const QJsonValue change : receiver.value(key).toArray())
                list << change.toObject().value("setting").toString();
            return list;
        };
        QCOMPARE(names("changes"), changes);
        QCOMPARE(names("unconfirmed"), unconfirmed);
        const QJsonObject brightness = receiver.value("unconfirmed").toArray().first().toObject();
        QCOMPARE(brightness.value("from"), QJsonValue(50));
        QCOMPARE(brightness.value("to"), QJsonValue(9));
        QVERIFY2(receiver.value("error").toString().contains(reported),
            qPrintable(receiver.value("error").toString()));
        // commands holds what left for the line: each change and the unconfirmed one (it left),
        // never a setting that was not sent; the read-back's queries are no commands.
        QStringList left;
        for (const QJsonValue command : receiver.value("commands").toArray())
            left << command.toString().section('[', 0, 0);
        QStringList expected { "WP_Aspect", "WP_Display", "WP_PictureBri" };
        if (fault == 3)
            expected << "WP_PictureHue";
        QCOMPARE(left, expected);
        // "May have taken" is no guess: the receiver carried the unconfirmed one out.
        QVERIFY(room.value("WP_PictureBri[") != "50");
        QCOMPARE(room.value("WP_Display["), QByteArray("Off"));
        if (fault != 3)
            QCOMPARE(room.value("WP_PictureHue["), QByteArray("50"));
    }

    void set_and_apply_say_what_they_did()
    {
        Receiver room;
        QVERIFY(room.start());
        const CliRun set = room.cli({ "set", "hue=40", "aspect=4:3 TV" });
        QCOMPARE(set.status, 0);
        QCOMPARE(set.out, QString());
        QCOMPARE(set.err, room.path + ": set 2: hue = 40; aspect = 4:3 TV\n");
        const QJsonObject json = only_receiver(room.cli({ "--json", "set", "hue=41" }).out);
        QCOMPARE(json.value("changes").toArray(),
            (QJsonArray { QJsonObject {
                { "setting", "hue" }, { "from", QJsonValue::Null }, { "to", 41 } } }));
        QCOMPARE(json.value("unconfirmed").toArray(), QJsonArray());

        QTemporaryDir dir;
        const QString profile = write_file(dir, "p", "hue = 41\n");
        const CliRun apply = room.cli({ "apply", profile });
        QCOMPARE(apply.status, 0);
        QCOMPARE(apply.out, QString());
        QCOMPARE(apply.err, room.path + ": already as the profile\n");
    }

    // An option-list entry holding a control byte is refused before anything is sent, naming the
    // file and the line, and never printed raw.
    void option_list_control_bytes_are_refused_data()
    {
        QTest::addColumn<QStringList>("words");
        QTest::newRow("values") << QStringList { "values", "output_resolution" };
        QTest::newRow("read") << QStringList { "--port", "PORT", "read" };
        QTest::newRow("set") << QStringList { "--port", "PORT", "set", "hue=3" };
    }
    void option_list_control_bytes_are_refused()
    {
        QFETCH(QStringList, words);
        Receiver room;
        QVERIFY(room.start());
        QTemporaryDir dir;
        for (const char *file : { "auto_off.txt", "input_prefer.txt" })
            QVERIFY(QFile::copy(QStringLiteral(KZ_DATA_DIR "/") + file, dir.filePath(file)));
        write_file(
            dir, "output_reso.txt", "Auto\r\n640x480\r\n\"800x600\ndisplay = Off\"\r\nEND\r\n");
        words.replaceInStrings("PORT", room.path);
        const CliRun run = run_cli(words, 30000, dir.path());
        QCOMPARE(run.status, 2);
        QCOMPARE(run.out, QString());
        QVERIFY2(run.err.contains(
                     "output_reso.txt: line 3: entry 3 holds a control character, which no list "
                     "can show: \"800x600\\ndisplay = Off\""),
            qPrintable(run.err));
        QCOMPARE(run.err.count('\n'), 1);
        QCOMPARE(room.sim.received(), QList<QByteArray>());
    }

    void read_json_is_one_object()
    {
        Receiver room(QByteArrayLiteral("RX"));
        QVERIFY(room.start());
        room.set("WP_Output[", "40"); // beyond the file: no entry
        room.set("WP_PictureHue[", "7");
        room.set("WP_DisplaySet[", "19200,7,E,2");
        const CliRun run = room.cli({ QStringLiteral("--json"), QStringLiteral("read") });
        QCOMPARE(run.status, 0);
        const QJsonObject receiver = only_receiver(run.out);
        QCOMPARE(receiver.value("port").toString(), room.path);
        QCOMPARE(receiver.value("status").toInt(-1), 0);
        QCOMPARE(receiver.value("result").toString(), QString("ok"));
        QVERIFY(receiver.value("error").isNull());
        const QJsonObject settings = receiver.value("settings").toObject();
        QCOMPARE(settings.size(), 29);
        QCOMPARE(settings.value("transmitter").toString(), QStringLiteral("RX"));
        QCOMPARE(settings.value("input_source").toString(), QStringLiteral("Hdmi"));
        QCOMPARE(settings.value("hue"), QJsonValue(7));
        QCOMPARE(settings.value("projector_port").toArray(), (QJsonArray { 19200, 7, "E", 2 }));
        QVERIFY(settings.value("output_resolution").isNull());
        QVERIFY(receiver.value("notes")
                    .toObject()
                    .value("output_resolution")
                    .toString()
                    .contains("\"40\""));
        // The same value is a comment in the text form, so that the output stays a profile.
        const CliRun text
            = room.cli({ QStringLiteral("get"), QStringLiteral("output_resolution") });
        QCOMPARE(text.out,
            QStringLiteral("# output_resolution: the receiver reports \"40\", which no entry of "
                           "the list names\n"));

        // The settings round-trip: written back as a profile they are what another receiver
        // takes to become the same.
        Receiver other(QByteArrayLiteral("RX")); // the same input layout
        QVERIFY(other.start());
        QTemporaryDir dir;
        const QString profile = write_file(dir, "p", profile_of(settings));
        const CliRun apply = other.cli({ "apply", profile, "--json" });
        QVERIFY2(apply.status == 0, qPrintable(apply.err));
        const QJsonObject applied = only_receiver(apply.out);
        QCOMPARE(applied.value("result").toString(), QString("ok"));
        bool hue_changed = false;
        for (const QJsonValue change : applied.value("changes").toArray()) {
            if (change.toObject().value("setting") == QJsonValue("hue")) {
                QCOMPARE(change.toObject().value("from"), QJsonValue(50));
                QCOMPARE(change.toObject().value("to"), QJsonValue(7));
                hue_changed = true;
            }
        }
        QVERIFY(hue_changed);
        QCOMPARE(other.value("WP_DisplaySet["), QByteArray("19200,7,E,2"));
        const QJsonObject again = only_receiver(other.cli({ "read", "--json" }).out);
        for (const QString &name : settings.keys()) {
            if (name != "transmitter" && name != "output_resolution" && !name.endsWith("firmware"))
                QCOMPARE(again.value("settings").toObject().value(name), settings.value(name));
        }
    }

    void trace_lines_record_each_transaction()
    {
        Receiver room;
        QVERIFY(room.start());
        QTemporaryDir dir;
        const QString trace = dir.filePath(QStringLiteral("trace.log"));
        QCOMPARE(room.cli({ QStringLiteral("--trace"), trace, QStringLiteral("get"),
                              QStringLiteral("aspect"), QStringLiteral("hue") })
                     .status,
            0);
        SimFaults silent;
        silent.silent << QByteArray("WP_Display[");
        room.sim.set_faults(silent);
        QCOMPARE(room.cli({ QStringLiteral("--trace"), trace, QStringLiteral("set"),
                              QStringLiteral("display=Off") })
                     .status,
            1);
        QFile file(trace);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QStringList lines
            = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 3); // appended: both runs
        const QRegularExpression shape(QStringLiteral(
            R"(^\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3}\t([^\t]+)\t([^\t]*)\t([^\t]*)\t([a-z ]+)\t(\d+) ms$)"));
        const QStringList sent
            = { "WP_Aspect[?]$\\x0D", "WP_PictureHue[?]$\\x0D", "WP_Display[Off]$\\x0D" };
        const QStringList received = { "WP_Aspect[Full]$\\x0D", "WP_PictureHue[50]$\\x0D", "" };
        const QStringList outcome = { "replied", "replied", "no reply" };
        for (int i = 0; i < 3; ++i) {
            const QRegularExpressionMatch m = shape.match(lines[i]);
            QVERIFY2(m.hasMatch(), qPrintable(lines[i]));
            QCOMPARE(m.captured(1), room.path);
            QCOMPARE(m.captured(2), sent[i]);
            QCOMPARE(m.captured(3), received[i]);
            QCOMPARE(m.captured(4), outcome[i]);
        }
        // The unanswered one waited the whole reply wait.
        QVERIFY(shape.match(lines[2]).captured(5).toInt() >= 300);
    }

    void pauses_are_kept()
    {
        Receiver room;
        QVERIFY(room.start());
        QTemporaryDir dir;
        const QString trace = dir.filePath(QStringLiteral("trace.log"));
        QCOMPARE(room.cli({ QStringLiteral("--trace"), trace, QStringLiteral("read") }).status, 0);
        QFile file(trace);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QList<QDateTime> starts;
        for (const QString &line :
            QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts))
            starts << QDateTime::fromString(
                line.section(QLatin1Char('\t'), 0, 0), QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz"));
        QCOMPARE(starts.size(), 29);
        // Lower bounds only: after each receiver query at least 50 ms pass before the next, after
        // each picture and projector query at least 100 ms.
        for (int i = 1; i < starts.size(); ++i) {
            const qint64 gap = starts[i - 1].msecsTo(starts[i]);
            const qint64 least = i <= 18 ? 50 : 100;
            QVERIFY2(gap >= least, qPrintable(QStringLiteral("query %1: %2 ms").arg(i).arg(gap)));
        }
    }

    void many_receivers_read_as_one_json_object()
    {
        Receiver a, b, silent;
        QVERIFY(a.start());
        QVERIFY(b.start());
        QVERIFY(silent.start());
        b.set("WP_Aspect[", "Keep");
        SimFaults faults;
        faults.silent << QByteArray();
        silent.sim.set_faults(faults);
        QTemporaryDir dir;
        const QString refused = dir.filePath("no-such-port");
        const CliRun run = run_cli({ "--port", a.path, "--port", b.path, "--port", silent.path,
            "--port", refused, "read", "--json" });
        QCOMPARE(run.status, 3);
        QJsonParseError error;
        const QJsonObject root = QJsonDocument::fromJson(run.out.toUtf8(), &error).object();
        QCOMPARE(error.error, QJsonParseError::NoError);
        QCOMPARE(root.value("schema"), QJsonValue(1));
        const QJsonArray receivers = root.value("receivers").toArray();
        QCOMPARE(receivers.size(), 4);
        const QStringList ports { a.path, b.path, silent.path, refused };
        for (int i = 0; i < 4; ++i) {
            const QJsonObject receiver = receivers.at(i).toObject();
            QCOMPARE(receiver.value("port").toString(), ports[i]);
            for (const char *key : { "status", "result", "error", "settings", "changes" })
                QVERIFY2(receiver.contains(key), key);
        }
        QCOMPARE(receivers[0].toObject().value("settings").toObject().value("aspect"),
            QJsonValue("Full"));
        QCOMPARE(receivers[1].toObject().value("settings").toObject().value("aspect"),
            QJsonValue("Keep Ratio"));
        QCOMPARE(receivers[1].toObject().value("settings").toObject().size(), 29);
        const QJsonObject quiet = receivers[2].toObject();
        QCOMPARE(quiet.value("status"), QJsonValue(1));
        QCOMPARE(quiet.value("result"), QJsonValue("failed"));
        QVERIFY(quiet.value("error").toString().startsWith("transmitter: sent"));
        const QJsonObject gone = receivers[3].toObject();
        QCOMPARE(gone.value("status"), QJsonValue(3));
        QCOMPARE(gone.value("result"), QJsonValue("line"));
        QVERIFY(gone.value("error").toString().contains("cannot open"));
        // One line per receiver and the summary, on stderr so that stdout stays JSON.
        QVERIFY(run.err.contains(a.path + ": read 29 settings\n"));
        QVERIFY(run.err.contains("4 receivers: 2 done, 1 failed, 1 unreachable or lost\n"));
    }

    void many_receivers_at_once_data()
    {
        QTest::addColumn<int>("jobs");
        QTest::newRow("all at once") << 16;
        QTest::newRow("one at a time") << 1;
    }
    void many_receivers_at_once()
    {
        QFETCH(int, jobs);
        std::vector<std::unique_ptr<Receiver>> rooms;
        for (int i = 0; i < 4; ++i) {
            rooms.push_back(std::make_unique<Receiver>());
            QVERIFY(rooms.back()->start());
        }
        // Room 2 stops answering picture hue once its aspect has been set.
        PtySimulator *sim = &rooms[1]->sim;
        sim->set_message_hook([sim](const QByteArray &message) {
            if (message.startsWith("WP_Aspect[4:3]")) {
                SimFaults faults;
                faults.silent << QByteArray("WP_PictureHue[");
                sim->set_faults(faults);
            }
        });
        QTemporaryDir dir;
        QString list = "# the rooms\n";
        for (const auto &room : rooms)
            list += room->path + "\n";
        list += dir.filePath("no-such-port") + "\n";
        const QString ports = write_file(dir, "ports", list);
        const QString profile = write_file(dir, "profile", "aspect = 4:3 TV\nhue = 20\n");
        const QString trace = dir.filePath("trace");

        const CliRun run = run_cli({ "--ports-file", ports, "--jobs", QString::number(jobs),
            "--trace", trace, "apply", profile });
        QCOMPARE(run.status, 3); // the worst: a port that cannot be opened
        // stdout is for results alone; the receivers' lines and the summary go to stderr.
        QCOMPARE(run.out, QString());
        const QStringList lines = receiver_lines(run.err);
        QCOMPARE(lines.size(), 6);
        QCOMPARE(lines[0], rooms[0]->path + ": changed 2: aspect: Full -> 4:3 TV; hue: 50 -> 20");
        QVERIFY(lines[1].startsWith(rooms[1]->path + ": failed: hue: sent"));
        QVERIFY(lines[4].startsWith(dir.filePath("no-such-port") + ": line: cannot open"));
        QCOMPARE(lines[5], "5 receivers: 3 done, 1 failed, 1 unreachable or lost");
        QVERIFY(run.err.contains(rooms[1]->path
            + ": sent and confirmed: aspect; sent, not confirmed (it may have taken): hue"));
        for (const auto &room : { rooms[0].get(), rooms[2].get(), rooms[3].get() })
            QCOMPARE(room->value("WP_PictureHue["), QByteArray("20"));

        // The trace shows whether the lines were busy at the same time: their transactions
        // interleave, or follow one receiver after the other.
        QFile file(trace);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QStringList order;
        for (const QString &line :
            QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts))
            order << line.section('\t', 1, 1);
        int switches = 0;
        for (qsizetype i = 1; i < order.size(); ++i)
            switches += order[i] != order[i - 1] ? 1 : 0;
        if (jobs == 1)
            QCOMPARE(switches, 3);
        else
            QVERIFY2(switches > 10, qPrintable(QString::number(switches)));
    }

    // Rooms behind gateways: two receivers on the simulator's TCP listeners, a gateway that
    // refuses and one that never answers, all in one run.
    void many_receivers_behind_gateways()
    {
        QProcess sim;
        sim.start(QStringLiteral(KZ_SIM_PATH), { "--tcp", "127.0.0.1:0", "--tcp", "127.0.0.1:0" });
        QStringList live;
        const QRegularExpression listening("listening on (127\\.0\\.0\\.1:\\d+)");
        QString said;
        while (live.size() < 2 && sim.waitForReadyRead(5000)) {
            said += QString::fromUtf8(sim.readAllStandardOutput());
            live.clear();
            for (auto it = listening.globalMatch(said); it.hasNext();)
                live << "tcp://" + it.next().captured(1);
        }
        QCOMPARE(live.size(), 2);
        DeafListener deaf;
        if (!deaf.deaf())
            QSKIP("this system answers connections beyond the listen queue");
        QTcpServer gone;
        QVERIFY(gone.listen(QHostAddress::LocalHost, 0));
        const QString refused = QStringLiteral("tcp://127.0.0.1:%1").arg(gone.serverPort());
        gone.close();

        QTemporaryDir dir;
        const QString profile = write_file(dir, "profile", "aspect = 4:3 TV\n");
        const CliRun run = run_cli({ "--port", live[0], "--port", deaf.address(), "--port", refused,
            "--port", live[1], "apply", profile });
        sim.terminate();
        sim.waitForFinished();
        QCOMPARE(run.status, 3);
        QCOMPARE(run.out, QString());
        const QStringList lines = receiver_lines(run.err);
        QCOMPARE(lines.size(), 5);
        QCOMPARE(lines[0], live[0] + ": changed 1: aspect: Full -> 4:3 TV");
        QVERIFY2(lines[1].startsWith(deaf.address() + ": line: cannot open")
                && lines[1].contains("within 3 s"),
            qPrintable(lines[1]));
        QVERIFY2(lines[2].startsWith(refused + ": line: cannot open")
                && lines[2].contains("refused", Qt::CaseInsensitive),
            qPrintable(lines[2]));
        QCOMPARE(lines[3], live[1] + ": changed 1: aspect: Full -> 4:3 TV");
        QCOMPARE(lines[4], "4 receivers: 2 done, 0 failed, 2 unreachable or lost");
    }

    void several_ports_only_where_it_makes_sense()
    {
        Receiver a, b;
        QVERIFY(a.start());
        QVERIFY(b.start());
        const CliRun run = run_cli({ "--port", a.path, "--port", b.path, "reset" });
        QCOMPARE(run.status, 2);
        QCOMPARE(a.sim.received(), QList<QByteArray>());
        QCOMPARE(b.sim.received(), QList<QByteArray>());
    }

    void set_sends_the_windows_bytes()
    {
        WindowFixture fx;
        START_WINDOW(fx);
        Ui::frm_main *ui = fx.ui;
        const struct
        {
            QComboBox *combo;
            int position;
            const char *name;
        } choices[] = {
            { ui->cbo_input, 1, "input_source" },
            { ui->cbo_aspect, 1, "aspect" },
            { ui->cbo_display, 1, "display" },
            { ui->cbo_disp_mode, 2, "display_mode" },
            { ui->cbo_output, 4, "output_resolution" },
            { ui->cbo_in_prefer, 2, "input_resolution" },
            { ui->cbo_hdcp_in, 1, "hdcp" },
            { ui->cbo_overscan_en, 0, "overscan" },
            { ui->cbo_overscan_h, 12, "overscan_h" },
            { ui->cbo_overscan_v, 50, "overscan_v" },
            { ui->cbo_audio_en, 1, "audio" },
            { ui->cbo_audio_hdmi, 1, "audio_hdmi" },
            { ui->cbo_audio_lr, 0, "audio_lr" },
            { ui->cbo_standby, 0, "auto_off" },
            { ui->cbo_baudrate, 0, "tx_baudrate" },
            { ui->cbo_pic_bri, 70, "brightness" },
            { ui->cbo_pic_con, 0, "contrast" },
            { ui->cbo_pic_sat, 100, "saturation" },
            { ui->cbo_pic_hue, 7, "hue" },
            { ui->cbo_pic_sha, 33, "sharpness" },
            { ui->cbo_auto_on, 1, "auto_display_on" },
            { ui->cbo_auto_off, 1, "auto_display_off" },
            { ui->cbo_projsw, 60, "projsw_mode" },
        };
        QList<std::pair<QString, QString>> pairs;
        for (const auto &choice : choices) {
            const int before = static_cast<int>(fx.sent().size());
            choice.combo->setCurrentIndex(choice.position);
            QVERIFY2(fx.sim.wait_for_received(before + 1, 2000), choice.name);
            pairs << std::pair { QString::fromLatin1(choice.name), choice.combo->currentText() };
        }
        // A second auto-off entry: the first sends 0 whatever it reads, the others their text.
        ui->cbo_standby->setCurrentIndex(3);
        QVERIFY(fx.sim.wait_for_received(static_cast<int>(std::size(choices)) + 1, 2000));
        pairs << std::pair { QStringLiteral("auto_off"), ui->cbo_standby->currentText() };
        const QList<QByteArray> window = fx.sent();
        QCOMPARE(window.size(), qsizetype(std::size(choices) + 1));

        fx.window->link().close_port();
        fx.clear_sent();
        // COM1 opens what it opens for the window (the fixture points KZ_ORBA_COM1 at the sim).
        // A name given twice is refused, so the second auto-off entry goes in a run of its own.
        QStringList words { QStringLiteral("--port"), QStringLiteral("COM1") };
        const auto second = pairs.takeLast();
        for (const auto &run :
            { run_cli(words + assignments(pairs)), run_cli(words + assignments({ second })) })
            QVERIFY2(run.status == 0, qPrintable(run.err));
        // The window's bytes, and after each value it sends without waiting the tool's read-back
        // that confirms it.
        const QList<QByteArray> no_wait { "WP_OverscanH[", "WP_OverscanV[", "WP_AutoOff[",
            "WP_PictureBri[", "WP_PictureCon[", "WP_PictureSat[", "WP_PictureHue[",
            "WP_PictureSha[", "WP_ProjSW[" };
        QList<QByteArray> expected;
        for (const QByteArray &message : window) {
            expected << message;
            for (const QByteArray &prefix : no_wait) {
                if (message.startsWith(prefix))
                    expected << prefix + "?]$\r";
            }
        }
        QCOMPARE(expected.size(), window.size() + 10);
        QCOMPARE(fx.sent(), expected);
    }

    // The actions and keys of the window and their kz-orba-cli commands send the same bytes.
    void window_actions_and_cli_commands_send_alike_data()
    {
        QTest::addColumn<int>("section"); // the window's open section: 1 receiver, 2 panel
        QTest::addColumn<QString>("button");
        QTest::addColumn<QStringList>("words");
        QTest::addColumn<QByteArray>("message");
        QTest::newRow("System Reset")
            << 1 << "cmd_sys_rst" << QStringList { "reset" } << QByteArray("WP_SystemRst[Go]$\r");
        QTest::newRow("VGA auto") << 1 << "cmd_vga_auto" << QStringList { "vga-auto" }
                                  << QByteArray("WP_VgaAuto[Go]$\r");
        QTest::newRow("key menu") << 2 << "cmd_btn_menu" << QStringList { "key", "menu" }
                                  << QByteArray("WP_KeyMenu[]$\r");
        QTest::newRow("key minus") << 2 << "cmd_btn_minus" << QStringList { "key", "minus" }
                                   << QByteArray("WP_KeyMinus[]$\r");
        QTest::newRow("key plus") << 2 << "cmd_btn_plus" << QStringList { "key", "plus" }
                                  << QByteArray("WP_KeyPlus[]$\r");
    }
    void window_actions_and_cli_commands_send_alike()
    {
        QFETCH(int, section);
        QFETCH(QString, button);
        QFETCH(QStringList, words);
        QFETCH(QByteArray, message);
        WindowFixture::Options options;
        options.open_section = section;
        WindowFixture fx(options);
        START_WINDOW(fx);
        fx.clear_sent();
        auto *pressed = fx.window->findChild<QAbstractButton *>(button);
        QVERIFY(pressed);
        pressed->click();
        QVERIFY(fx.sim.wait_for_received(1, 2000));
        const QList<QByteArray> window = fx.sent();
        QCOMPARE(window, QList<QByteArray> { message });

        fx.window->link().close_port();
        fx.clear_sent();
        const CliRun run
            = run_cli(QStringList { QStringLiteral("--port"), QStringLiteral("COM1") } + words);
        QCOMPARE(run.status, 0);
        QCOMPARE(fx.sent(), window);
    }

    // A value the window sends without waiting (a picture value) is sent so by kz-orba-cli too
    // and confirmed by reading it back after the window's pause: set succeeds when the read-back
    // shows it, and fails, naming it "not confirmed", when the receiver does not answer. Either
    // way the receiver has taken the value, and nothing after it is sent.
    void set_confirms_values_sent_without_waiting_data()
    {
        QTest::addColumn<bool>("silent");
        QTest::addColumn<int>("status");
        QTest::addColumn<QList<QByteArray>>("sent");
        QTest::addColumn<QString>("error");
        QTest::newRow("answers") << false << 0
                                 << QList<QByteArray> { "WP_PictureBri[70]$\r",
                                        "WP_PictureBri[?]$\r", "WP_Aspect[Full]$\r" }
                                 << QString();
        QTest::newRow("does not answer")
            << true << 1 << QList<QByteArray> { "WP_PictureBri[70]$\r", "WP_PictureBri[?]$\r" }
            << "sent and confirmed: none; sent, not confirmed (it may have taken): brightness; "
               "not sent: aspect";
    }
    void set_confirms_values_sent_without_waiting()
    {
        QFETCH(bool, silent);
        QFETCH(int, status);
        QFETCH(QList<QByteArray>, sent);
        QFETCH(QString, error);
        Receiver room;
        QVERIFY(room.start());
        room.set("WP_PictureBri[", "50");
        if (silent) {
            SimFaults faults;
            faults.silent << QByteArray("WP_PictureBri[");
            room.sim.set_faults(faults);
        }
        QTemporaryDir dir;
        const QString trace = dir.filePath("trace.log");
        const CliRun run = room.cli({ "--trace", trace, "set", "brightness=70", "aspect=Full" });
        QCOMPARE(run.status, status);
        QCOMPARE(room.sim.received(), sent);
        QCOMPARE(room.value("WP_PictureBri["), QByteArray("70"));
        if (error.isEmpty()) {
            QCOMPARE(run.err, room.path + ": set 2: brightness = 70; aspect = Full\n");
        } else {
            QVERIFY2(run.err.contains(error), qPrintable(run.err));
            QVERIFY2(run.err.contains("brightness: sent \"WP_PictureBri[?]$\\x0D\", no complete "
                                      "reply within 302 ms (nothing came back)"),
                qPrintable(run.err));
        }
        // The trace: the value sent without waiting, then, the picture Read's pause later (100
        // ms, ended after 101, on the tool's own clock), its read-back.
        QFile file(trace);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QStringList lines
            = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), sent.size());
        QVERIFY2(lines[0].contains("\tWP_PictureBri[70]$\\x0D\t\tsent\t"), qPrintable(lines[0]));
        QVERIFY2(lines[1].contains("\tWP_PictureBri[?]$\\x0D\t"), qPrintable(lines[1]));
        const auto started = [](const QString &line) {
            return QDateTime::fromString(line.left(23), "yyyy-MM-dd HH:mm:ss.zzz");
        };
        const qint64 gap = started(lines[0]).msecsTo(started(lines[1]));
        QVERIFY2(gap >= 101, qPrintable(QString::number(gap)));
    }

    void projector_settings_go_as_the_windows_send()
    {
        WindowFixture fx(projector_section(1));
        START_WINDOW(fx);
        fx.ui->cbo_proj_baudrate->setCurrentIndex(2);
        fx.ui->cbo_proj_databit->setCurrentIndex(2);
        fx.ui->cbo_proj_parity->setCurrentIndex(3);
        fx.ui->cbo_proj_stopbit->setCurrentIndex(1);
        fx.ui->txt_proj_disp_on_hex->setText(QStringLiteral("00 5D 24 0D 41 FF"));
        fx.ui->txt_proj_disp_off_hex->setText(QStringLiteral("5D 5D 24 0D"));
        fx.clear_sent();
        fx.ui->cmd_proj_send->click();
        const QList<QByteArray> window = fx.sent();
        QCOMPARE(window.size(), 3);

        fx.window->link().close_port();
        fx.clear_sent();
        const CliRun run = run_cli({ QStringLiteral("--port"), QStringLiteral("COM1"),
            QStringLiteral("set"), QStringLiteral("projector_port=19200,7,M,1.5"),
            QStringLiteral("display_on_command=00 5D 24 0D 41 FF"),
            QStringLiteral("display_off_command=5D 5D 24 0D") });
        QCOMPARE(run.status, 0);
        QCOMPARE(fx.sent(), window);
    }

    // Each Read of the window and its kz-orba-cli counterpart, one after the other against the
    // same simulated receiver: the same messages in the same order, and at least the window's
    // pause between each message and the next, on both sides. The pauses are written out here
    // (delay_sec(0.05) ends after 51 ms, delay_sec(0.1) after 101 ms) so that neither side can
    // drift from them. Lower bounds only: the window also waits for its receive poll.
    void window_reads_and_cli_gets_send_alike_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<QList<int>>("pauses"); // least ms from each message to the next
        QTest::newRow("receiver Read")
            << "cmd_ctrl_read"
            << QStringList { "transmitter", "aspect", "rx_firmware", "output_resolution",
                   "overscan", "overscan_h", "overscan_v", "audio", "audio_hdmi", "audio_lr",
                   "auto_off", "display_mode", "display", "input_source", "hdcp",
                   "input_resolution", "tx_firmware", "tx_baudrate" }
            << QList<int>(17, 51);
        QTest::newRow("picture Read")
            << "cmd_pic_read"
            << QStringList { "brightness", "contrast", "saturation", "hue", "sharpness" }
            << QList<int>(4, 101);
        QTest::newRow("projector control Read")
            << "cmd_read_proj"
            << QStringList { "projsw_mode", "auto_display_on", "auto_display_off" }
            << QList<int>(2, 101);
        QTest::newRow("projector settings Read")
            << "cmd_proj_read"
            << QStringList { "projector_port", "display_on_command", "display_off_command" }
            << QList<int>(2, 101);
    }
    void window_reads_and_cli_gets_send_alike()
    {
        QFETCH(QString, button);
        QFETCH(QStringList, names);
        QFETCH(QList<int>, pauses);
        WindowFixture fx(projector_section(1));
        START_WINDOW(fx);
        QElapsedTimer clock;
        clock.start();
        std::mutex lock;
        QList<qint64> times;
        fx.sim.set_message_hook([&](const QByteArray &) {
            const std::lock_guard<std::mutex> held(lock);
            times << clock.elapsed();
        });
        const auto taken = [&] {
            const std::lock_guard<std::mutex> held(lock);
            const QList<qint64> out = times;
            times.clear();
            return out;
        };
        const auto check_pauses = [&](const QList<qint64> &at, const char *side) {
            QCOMPARE(at.size(), pauses.size() + 1);
            for (qsizetype i = 0; i < pauses.size(); ++i) {
                const qint64 gap = at[i + 1] - at[i];
                QVERIFY2(gap >= pauses[i],
                    qPrintable(QStringLiteral("%1, after message %2: %3 ms, at least %4")
                                   .arg(QLatin1String(side))
                                   .arg(i + 1)
                                   .arg(gap)
                                   .arg(pauses[i])));
            }
        };

        fx.clear_sent();
        taken();
        auto *read = fx.window->findChild<QAbstractButton *>(button);
        QVERIFY(read);
        read->click();
        const QList<QByteArray> window = fx.sent();
        const QList<qint64> window_times = taken();
        QCOMPARE(window.size(), names.size());
        check_pauses(window_times, "window");

        fx.window->link().close_port();
        fx.clear_sent();
        taken();
        const CliRun run = run_cli(
            QStringList { QStringLiteral("--port"), QStringLiteral("COM1"), QStringLiteral("get") }
            + names);
        QCOMPARE(run.status, 0);
        QCOMPARE(fx.sent(), window);
        check_pauses(taken(), "kz-orba-cli");
        fx.sim.set_message_hook({});
    }

    void read_asks_what_the_windows_reads_ask()
    {
        WindowFixture fx(projector_section(1));
        START_WINDOW(fx);
        fx.clear_sent();
        fx.ui->cmd_ctrl_read->click();
        fx.ui->cmd_pic_read->click();
        fx.ui->cmd_read_proj->click();
        fx.ui->cmd_proj_read->click();
        const QList<QByteArray> window = fx.sent();
        QCOMPARE(window.size(), 29);

        fx.window->link().close_port();
        fx.clear_sent();
        const CliRun run
            = run_cli({ QStringLiteral("--port"), QStringLiteral("COM1"), QStringLiteral("read") });
        QCOMPARE(run.status, 0);
        QCOMPARE(fx.sent(), window);
        // And it shows what the window's lists show after their read.
        QVERIFY(run.out.contains(QStringLiteral("aspect = ") + fx.ui->cbo_aspect->currentText()));
        QVERIFY(run.out.contains(
            QStringLiteral("output_resolution = ") + fx.ui->cbo_output->currentText()));
        QVERIFY(
            run.out.contains(QStringLiteral("projsw_mode = ") + fx.ui->cbo_projsw->currentText()));
    }
};

QTEST_MAIN(TestCliSim)
#include "test_cli_sim.moc"
