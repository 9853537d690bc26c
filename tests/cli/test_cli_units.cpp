// The command-line tool's pieces without a line: its command line (help, slips and spellings),
// the ports it is given, the input files it reads and the exporter's probe deadline.
// The tables of cases are written with plain string literals.
#undef QT_NO_CAST_FROM_ASCII

#include "cli/cli_app.h"
#include "cli/exporter.h"
#include "cli/input_files.h"

#include <QTemporaryDir>
#include <QTest>

using namespace cli;

class TestCliUnits : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // The probe's deadline from Prometheus's scrape timeout: a tenth of it (at most half a
    // second) is left for the answer to travel back, and at least a tenth of a second is probed;
    // a header that is no positive number sets none.
    void probe_deadline_data()
    {
        QTest::addColumn<QByteArray>("header");
        QTest::addColumn<int>("deadline_ms");
        QTest::newRow("0.6 s") << QByteArray("0.6") << 540;
        QTest::newRow("10 s, the default") << QByteArray("10") << 9500;
        QTest::newRow("a tenth capped at half a second") << QByteArray("60") << 59500;
        QTest::newRow("spaces around") << QByteArray(" 2 ") << 1800;
        QTest::newRow("too short to probe") << QByteArray("0.05") << 100;
        QTest::newRow("beyond an hour") << QByteArray("1e9") << 3600 * 1000 - 500;
        QTest::newRow("none") << QByteArray() << 0;
        QTest::newRow("zero") << QByteArray("0") << 0;
        QTest::newRow("negative") << QByteArray("-1") << 0;
        QTest::newRow("not a number") << QByteArray("abc") << 0;
        QTest::newRow("infinite") << QByteArray("inf") << 0;
        QTest::newRow("nan") << QByteArray("nan") << 0;
    }
    void probe_deadline()
    {
        QFETCH(QByteArray, header);
        QFETCH(int, deadline_ms);
        QCOMPARE(probe_deadline_ms(header), deadline_ms);
    }

    void command_line_data()
    {
        QTest::addColumn<QStringList>("words");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<QString>("port");
        QTest::addColumn<QString>("command");
        QTest::addColumn<QStringList>("args");
        const QString com1 = QStringLiteral("COM1");
        QTest::newRow("read on the default port")
            << QStringList { "read" } << true << com1 << "read" << QStringList {};
        QTest::newRow("port before the command")
            << QStringList { "--port", "COM3", "get", "aspect", "hue" } << true << "COM3"
            << "get" << QStringList { "aspect", "hue" };
        QTest::newRow("option=value form")
            << QStringList { "--port=/dev/ttyUSB0", "reset" } << true << "/dev/ttyUSB0"
            << "reset" << QStringList {};
        QTest::newRow("apply with dry run")
            << QStringList { "apply", "room.profile", "--dry-run" } << true << com1 << "apply"
            << QStringList { "room.profile" };
        QTest::newRow("set keeps its values whole")
            << QStringList { "set", "aspect=16:9 TV" } << true << com1 << "set"
            << QStringList { "aspect=16:9 TV" };
        QTest::newRow("no command") << QStringList { "--port", "COM2" } << false << ""
                                    << "" << QStringList {};
        QTest::newRow("unknown command") << QStringList { "fetch" } << false << ""
                                         << "" << QStringList {};
        QTest::newRow("port without value") << QStringList { "--port" } << false << ""
                                            << "" << QStringList {};
        QTest::newRow("unknown option") << QStringList { "--baud", "9600", "read" } << false << ""
                                        << "" << QStringList {};
        QTest::newRow("read takes no names") << QStringList { "read", "aspect" } << false << ""
                                             << "" << QStringList {};
        QTest::newRow("json after any command") << QStringList { "get", "aspect", "--json" } << true
                                                << com1 << "get" << QStringList { "aspect" };
        QTest::newRow("json before the command") << QStringList { "--json", "set", "hue=3" } << true
                                                 << com1 << "set" << QStringList { "hue=3" };
        QTest::newRow("apply needs its file") << QStringList { "apply" } << false << ""
                                              << "" << QStringList {};
        QTest::newRow("get needs a name") << QStringList { "get" } << false << ""
                                          << "" << QStringList {};
        QTest::newRow("key names a key") << QStringList { "key", "enter" } << false << ""
                                         << "" << QStringList {};
        QTest::newRow("jobs must be a number")
            << QStringList { "--jobs", "x", "read" } << false << ""
            << "" << QStringList {};
        QTest::newRow("jobs from one") << QStringList { "--jobs", "0", "read" } << false << ""
                                       << "" << QStringList {};
        QTest::newRow("first of several ports")
            << QStringList { "--port", "COM2", "--port", "COM3", "--jobs", "4", "read" } << true
            << "COM2"
            << "read" << QStringList {};
        QTest::newRow("key menu") << QStringList { "key", "menu" } << true << com1 << "key"
                                  << QStringList { "menu" };
    }

    void command_line()
    {
        QFETCH(QStringList, words);
        QFETCH(bool, ok);
        Invocation inv;
        QString why;
        QCOMPARE(parse_invocation(words, &inv, &why), ok);
        if (!ok) {
            QVERIFY(!why.isEmpty());
            return;
        }
        QTEST(inv.port, "port");
        QTEST(inv.command, "command");
        QTEST(inv.args, "args");
    }

    // Help where people look, and each slip answered with what to do.
    void command_line_answers_data()
    {
        QTest::addColumn<QStringList>("words");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<QString>("said"); // the help topic when ok, else part of the reason
        QTest::newRow("-h") << QStringList { "-h" } << true << "";
        QTest::newRow("help") << QStringList { "help" } << true << "";
        QTest::newRow("help COMMAND") << QStringList { "help", "apply" } << true << "apply";
        QTest::newRow("COMMAND --help, words missing")
            << QStringList { "apply", "--help" } << true << "apply";
        QTest::newRow("COMMAND -h")
            << QStringList { "--port", "COM2", "set", "-h" } << true << "set";
        QTest::newRow("help of no command") << QStringList { "help", "aply" } << false
                                            << "unknown command \"aply\" (did you mean \"apply\"?)";
        QTest::newRow("misspelt command") << QStringList { "rset" } << false
                                          << "unknown command \"rset\" (did you mean \"reset\"?)";
        QTest::newRow("command in capitals")
            << QStringList { "READ" } << false << "(did you mean \"read\"?)";
        QTest::newRow("misspelt option") << QStringList { "--prot", "COM2", "read" } << false
                                         << "unknown option \"--prot\" (did you mean \"--port\"?)";
        QTest::newRow("misspelt option with its value") << QStringList { "--config-dri=/tmp",
            "read" } << false << "unknown option \"--config-dri\" (did you mean \"--config-dir\"?)";
        QTest::newRow("the program's option after the command")
            << QStringList { "get", "aspect", "--trace", "t" } << false
            << "--trace is an option of kz-orba-cli, not of get: put it before the command "
               "(kz-orba-cli --trace FILE get ...)";
        QTest::newRow("a command's option before it")
            << QStringList { "--dry-run", "apply", "f" } << false
            << "\"--dry-run\" is an option of set, apply, key, reset, vga-auto: put it after the "
               "command";
        QTest::newRow("dry run on diff") << QStringList { "diff", "f", "--dry-run" } << false
                                         << "\"--dry-run\" is an option of set, apply, key";
        QTest::newRow("key in capitals")
            << QStringList { "key", "Minus" } << false
            << "key takes menu, minus, plus, not \"Minus\" (did you mean \"minus\"?)";
        QTest::newRow("words where none are taken")
            << QStringList { "read", "aspect" } << false << "read takes no words, not \"aspect\"";
        QTest::newRow("a control byte shown, not printed")
            << QStringList { "re\x1b[2Jad" } << false << "unknown command \"re\\x1B[2Jad\"";
        QTest::newRow("no such shell") << QStringList { "completion", "tcsh" } << false
                                       << "completion takes bash, zsh, fish, not \"tcsh\"";
        QTest::newRow("option without its value") << QStringList { "read", "--json", "--port" }
                                                  << false << "--port is an option of kz-orba-cli";
        QTest::newRow("trailing option without value")
            << QStringList { "--trace" } << false << "--trace needs a value (FILE)";
    }

    void command_line_answers()
    {
        QFETCH(QStringList, words);
        QFETCH(bool, ok);
        QFETCH(QString, said);
        Invocation inv;
        QString why;
        QCOMPARE(parse_invocation(words, &inv, &why), ok);
        if (ok) {
            QVERIFY(inv.help);
            QCOMPARE(inv.help_topic, said);
        } else {
            QVERIFY2(why.contains(said), qPrintable(why));
        }
    }

    // Short options, --, and options in either spelling reach the same fields.
    void command_line_spellings_data()
    {
        QTest::addColumn<QStringList>("words");
        QTest::addColumn<QStringList>("ports");
        QTest::addColumn<QString>("config_dir");
        QTest::addColumn<int>("jobs");
        QTest::addColumn<bool>("dry_run");
        QTest::addColumn<QStringList>("args");
        QTest::newRow("short options")
            << QStringList { "-p", "COM2", "-pCOM3", "-c", "/d", "-j4", "-t", "t", "apply", "-n",
                   "f" }
            << QStringList { "COM2", "COM3" } << "/d" << 4 << true << QStringList { "f" };
        QTest::newRow("long options with =")
            << QStringList { "--port=COM2", "--config-dir=/d", "--jobs=4", "apply", "--dry-run",
                   "f" }
            << QStringList { "COM2" } << "/d" << 4 << true << QStringList { "f" };
        QTest::newRow("-- before a file with a leading dash")
            << QStringList { "-p", "COM2", "apply", "--", "--dry-run" } << QStringList { "COM2" }
            << "" << 0 << false << QStringList { "--dry-run" };
        QTest::newRow("-- before the command")
            << QStringList { "--", "get", "-x" } << QStringList {} << "" << 0 << false
            << QStringList { "-x" };
    }

    void command_line_spellings()
    {
        QFETCH(QStringList, words);
        Invocation inv;
        QString why;
        QVERIFY2(parse_invocation(words, &inv, &why), qPrintable(why));
        QTEST(inv.ports, "ports");
        QTEST(inv.config_dir, "config_dir");
        QTEST(inv.jobs, "jobs");
        QTEST(inv.dry_run, "dry_run");
        QTEST(inv.args, "args");
    }

    void com_ports_resolve_like_the_window()
    {
        qputenv("KZ_ORBA_COM4", "/tmp/somewhere/receiver");
        QCOMPARE(port_address(QStringLiteral("COM4")), QStringLiteral("/tmp/somewhere/receiver"));
        QCOMPARE(port_address(QStringLiteral("com4")), QStringLiteral("/tmp/somewhere/receiver"));
        qunsetenv("KZ_ORBA_COM4");
        QCOMPARE(port_address(QStringLiteral("/dev/ttyUSB7")), QStringLiteral("/dev/ttyUSB7"));
        // COM10 is no entry of the window's list: a name like any other.
        QCOMPARE(port_address(QStringLiteral("COM10")), QStringLiteral("COM10"));
    }

    void receivers_from_options_and_file()
    {
        QTemporaryDir dir;
        QFile file(dir.filePath(QStringLiteral("ports")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("# rack 1\n/dev/ttyUSB0\n\n  COM2  \r\n/dev/ttyUSB0\ntcp://10.0.0.7:4001\n");
        file.close();
        Invocation inv;
        QString why;
        QVERIFY(parse_invocation(
            { "--port", "COM2", "--ports-file", file.fileName(), "read" }, &inv, &why));
        QStringList ports;
        QVERIFY(receiver_ports(inv, &ports, &why));
        QCOMPARE(ports, (QStringList { "COM2", "/dev/ttyUSB0", "tcp://10.0.0.7:4001" }));
        QVERIFY(parse_invocation({ "read" }, &inv, &why));
        QVERIFY(receiver_ports(inv, &ports, &why));
        QCOMPARE(ports, QStringList { "COM1" });
        QVERIFY(parse_invocation({ "--ports-file", dir.filePath("none"), "read" }, &inv, &why));
        QVERIFY(!receiver_ports(inv, &ports, &why));
    }

    // A ports file that could send to a receiver nobody named is refused as a whole.
    void doubtful_ports_files_data()
    {
        QTest::addColumn<QByteArray>("contents");
        QTest::addColumn<QStringList>("ports"); // empty: refused
        QTest::addColumn<QString>("reason");
        QTest::newRow("comments only")
            << QByteArray("# rack 1\n\n   # spare\n") << QStringList() << "names no port";
        QTest::newRow("empty") << QByteArray() << QStringList() << "names no port";
        QTest::newRow("NUL inside a line") << QByteArray("/tmp/r\0x\n/tmp/r\n", 12) << QStringList()
                                           << "line 1: holds the control byte \\x00";
        QTest::newRow("escape on line 2") << QByteArray("/tmp/a\n/tmp/\x1b[2Jb\n") << QStringList()
                                          << "line 2: holds the control byte \\x1B";
        QTest::newRow("comment after a port")
            << QByteArray("/tmp/room1 # room one\n/tmp/room2\t# two\ntcp://h:1#x\n")
            << QStringList { "/tmp/room1", "/tmp/room2", "tcp://h:1#x" } << "";
    }

    void doubtful_ports_files()
    {
        QFETCH(QByteArray, contents);
        QFETCH(QStringList, ports);
        QFETCH(QString, reason);
        QTemporaryDir dir;
        QFile file(dir.filePath(QStringLiteral("ports")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(contents);
        file.close();
        Invocation inv;
        QString why;
        QVERIFY(parse_invocation({ "--ports-file", file.fileName(), "read" }, &inv, &why));
        QStringList got;
        QCOMPARE(receiver_ports(inv, &got, &why), !ports.isEmpty());
        if (ports.isEmpty())
            QVERIFY2(why.contains(reason), qPrintable(why));
        else
            QCOMPARE(got, ports);
    }

    void input_files_are_regular_and_bounded()
    {
        QString text, why;
        QVERIFY(!read_input_file(QStringLiteral("/dev/zero"), &text, &why));
        QVERIFY(why.contains(QStringLiteral("not a regular file")));
        QTemporaryDir dir;
        QVERIFY(!read_input_file(dir.path(), &text, &why));
        QFile big(dir.filePath(QStringLiteral("big")));
        QVERIFY(big.open(QIODevice::WriteOnly));
        QVERIFY(big.resize(max_input_file + 1));
        big.close();
        QVERIFY(!read_input_file(big.fileName(), &text, &why));
        QVERIFY2(why.contains(QStringLiteral("longer than")), qPrintable(why));
    }
};

QTEST_GUILESS_MAIN(TestCliUnits)
#include "test_cli_units.moc"
