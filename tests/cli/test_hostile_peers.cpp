// kz-orba-cli against gateways gone bad, on loopback: floods of NUL, 0xFF and letters, a reply
// whose value is a megabyte, and one whose value holds line ends and an escape sequence. The tool
// ends with a failed status and a report that holds the first bytes and the count of the rest,
// never the flood itself; so does its trace. (How fast and how small it stays doing so is measured
// by bench_flood, not here.)
#include "tests/support/hostile_peer.h"

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

namespace {

// Far more than a report of the kept bytes takes, far less than a flood would give.
constexpr qsizetype report_bound = 32 * 1024;

} // namespace

class TestHostilePeers : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void hostile_peer_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("report");
        const int flood = int(HostilePeer::Mode::Flood);
        const int reply = int(HostilePeer::Mode::Reply);
        const QString no_reply
            = QStringLiteral("no complete reply within 302 ms (received only \"");
        QTest::newRow("NUL flood") << flood << QByteArray(1, '\0') << no_reply;
        QTest::newRow("0xFF flood") << flood << QByteArray(1, '\xff') << no_reply;
        QTest::newRow("letter flood") << flood << QByteArray("A") << no_reply;
        QTest::newRow("a value of a megabyte")
            << reply << QByteArray("WP_Aspect[" + QByteArray(1 << 20, 'x') + "]$\r")
            << QStringLiteral("received a reply longer than the 4096 bytes kept: \"WP_Aspect[xxx");
    }
    void hostile_peer()
    {
        QFETCH(int, mode);
        QFETCH(QByteArray, bytes);
        QFETCH(QString, report);
        HostilePeer peer(HostilePeer::Mode(mode), bytes);
        QVERIFY(peer.listening());
        QTemporaryDir dir;
        const QString trace = dir.filePath(QStringLiteral("trace.txt"));

        QProcess cli;
        cli.start(QStringLiteral(KZ_CLI_PATH),
            { QStringLiteral("--config-dir"), QStringLiteral(KZ_DATA_DIR), QStringLiteral("--port"),
                peer.address(), QStringLiteral("--trace"), trace, QStringLiteral("get"),
                QStringLiteral("aspect") });
        QVERIFY2(cli.waitForFinished(30000), "kz-orba-cli did not end");
        QCOMPARE(cli.exitStatus(), QProcess::NormalExit);
        QCOMPARE(cli.exitCode(), 1);
        const QByteArray out = cli.readAllStandardOutput();
        const QByteArray err = cli.readAllStandardError();
        // What was read (nothing) and one line that says the read is incomplete, bounded too.
        QVERIFY2(
            out.startsWith("# incomplete: ") && out.count('\n') == 1, out.left(300).constData());
        QVERIFY2(out.size() < report_bound, qPrintable(QString::number(out.size())));
        QVERIFY2(err.size() < report_bound, qPrintable(QString::number(err.size())));
        const QString text = QString::fromUtf8(err);
        QVERIFY2(text.contains(report), qPrintable(text.left(300)));
        // The kept part, then the count of the bytes that were read and dropped.
        static const QRegularExpression more(QStringLiteral("\"\u2026 [1-9][0-9]* more bytes"));
        QVERIFY2(text.contains(more), qPrintable(text.right(300)));

        QFile file(trace);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray lines = file.readAll();
        QVERIFY2(lines.size() < report_bound, qPrintable(QString::number(lines.size())));
        QCOMPARE(lines.count('\n'), 1);
        QVERIFY(QString::fromUtf8(lines).contains(QRegularExpression(
            QStringLiteral("\u2026 [1-9][0-9]* more bytes\t(no reply|too long)\t"))));
    }

    // A value holding line ends and an escape sequence cannot forge a setting line nor reach the
    // terminal: read's output is one comment line of printable text, and a profile saved from it
    // sets nothing.
    void forged_value_is_one_comment()
    {
        HostilePeer peer(
            HostilePeer::Mode::Reply, QByteArray("WP_Aspect[x\ndisplay = Off\n\x1b[2J# ]$\r"));
        QVERIFY(peer.listening());
        QProcess cli;
        cli.start(QStringLiteral(KZ_CLI_PATH),
            { QStringLiteral("--config-dir"), QStringLiteral(KZ_DATA_DIR), QStringLiteral("--port"),
                peer.address(), QStringLiteral("get"), QStringLiteral("aspect") });
        QVERIFY2(cli.waitForFinished(30000), "kz-orba-cli did not end");
        const QByteArray out = cli.readAllStandardOutput();
        QCOMPARE(out.count('\n'), 1);
        QVERIFY2(out.startsWith("# aspect: "), out.constData());
        for (const char c : out.chopped(1))
            QVERIFY2(static_cast<unsigned char>(c) >= 0x20 && c != 0x7F, out.constData());
        QVERIFY(out.contains("\\x0A") && out.contains("\\x1B"));
    }

    // More lines at once than the open-file limit serves: the receivers that cannot be opened say
    // why in words; without --jobs the tool keeps within the limit and every receiver is read.
    void descriptors_run_out_in_words()
    {
#ifdef KZ_SANITIZE
        QSKIP("the sanitizers open files of their own to check memory; with none left they "
              "report faults that are not there");
#endif
        constexpr int receivers = 40;
        QStringList listen;
        for (int i = 0; i < receivers; ++i)
            listen << QStringLiteral("--tcp") << QStringLiteral("127.0.0.1:0");
        QProcess sim;
        sim.start(QStringLiteral(KZ_SIM_PATH), listen);
        QStringList ports;
        static const QRegularExpression line(QStringLiteral("listening on (127\\.0\\.0\\.1:\\d+)"));
        QString printed;
        while (ports.size() < receivers && sim.waitForReadyRead(5000)) {
            printed += QString::fromLocal8Bit(sim.readAllStandardOutput());
            ports.clear();
            for (auto it = line.globalMatch(printed); it.hasNext();)
                ports << QStringLiteral("tcp://") + it.next().captured(1);
        }
        QCOMPARE(ports.size(), receivers);
        const auto run = [&](const QStringList &jobs) {
            QStringList args { QStringLiteral("-c"),
                QStringLiteral("ulimit -n 40 && ulimit -Hn 40 && exec \"$0\" \"$@\""),
                QStringLiteral(KZ_CLI_PATH), QStringLiteral("--config-dir"),
                QStringLiteral(KZ_DATA_DIR) };
            args << jobs;
            for (const QString &port : std::as_const(ports))
                args << QStringLiteral("--port") << port;
            args << QStringLiteral("get") << QStringLiteral("aspect");
            QProcess cli;
            cli.start(QStringLiteral("/bin/sh"), args);
            cli.waitForFinished(60000);
            return std::pair { cli.exitCode(),
                QString::fromUtf8(cli.readAllStandardOutput() + cli.readAllStandardError()) };
        };
        const auto [crowded, crowded_text]
            = run({ QStringLiteral("--jobs"), QString::number(receivers) });
        QVERIFY2(crowded == 3, qPrintable(crowded_text.left(3000)));
        QVERIFY2(crowded_text.contains(QStringLiteral(
                     "too many open files: 40 receivers need about 40 descriptors; raise "
                     "`ulimit -n` or lower `--jobs`")),
            qPrintable(crowded_text.left(2000)));
        const auto [fitted, fitted_text] = run({});
        QCOMPARE(fitted, 0);
        QVERIFY2(fitted_text.contains(QStringLiteral("40 receivers: 40 done")),
            qPrintable(fitted_text.right(500)));
        sim.kill();
        sim.waitForFinished();
    }
};

QTEST_GUILESS_MAIN(TestHostilePeers)
#include "test_hostile_peers.moc"
