// The command-line tool's pieces without a line: its command line, the names and values of the
// settings and the bytes each sends, how replies read back, profiles, the read plan and the
// trace lines. Expected bytes are written out here rather than taken from the vocabulary, so
// that a change there shows.
// The tables of cases are written with plain string literals.
#undef QT_NO_CAST_FROM_ASCII

#include "cli/cli_app.h"
#include "cli/input_files.h"
#include "link/trace.h"
#include "model/job.h"
#include "model/profile.h"
#include "model/settings.h"
#include "model/suggest.h"
#include "protocol/vocabulary.h"
#include "tests/support/resource_limit.h"

#include <QTemporaryDir>
#include <QTest>

using namespace cli;
using namespace model;

namespace {

OptionLists data_lists()
{
    OptionLists lists;
    QString why;
    if (!read_option_lists(QStringLiteral(KZ_DATA_DIR), &lists, &why))
        qFatal("%s", qPrintable(why));
    return lists;
}

ByteBuffer buffer_of(const QByteArray &bytes)
{
    ByteBuffer buf;
    for (const char c : bytes)
        buf.append(static_cast<std::uint8_t>(c));
    return buf;
}

} // namespace

class TestCliUnits : public QObject
{
    Q_OBJECT

private Q_SLOTS:
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

    void nearest_word_data()
    {
        QTest::addColumn<QString>("word");
        QTest::addColumn<QStringList>("candidates");
        QTest::addColumn<QString>("nearest"); // empty: none
        const QStringList names = setting_names();
        QTest::newRow("one letter left out") << "aspct" << names << "aspect";
        QTest::newRow("two letters swapped") << "aspcet" << names << "aspect";
        QTest::newRow("letter case alone") << "HUE" << names << "hue";
        QTest::newRow("case wins over distance") << "off" << QStringList { "Of", "Off" } << "Off";
        QTest::newRow("too far") << "colour" << names << "";
        QTest::newRow("short words allow one edit") << "hx" << names << "";
        QTest::newRow("a tie names none") << "cat" << QStringList { "bat", "hat" } << "";
        QTest::newRow("a value with a space")
            << "16:9 tv" << QStringList { "Full", "16:9 TV", "16:10 TV" } << "16:9 TV";
        QTest::newRow("nothing typed") << "" << names << "";
    }
    void nearest_word()
    {
        QFETCH(QString, word);
        QFETCH(QStringList, candidates);
        QFETCH(QString, nearest);
        QCOMPARE(model::nearest_word(word, candidates).value_or(QString()), nearest);
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

    // A trace that cannot take a line (a full disk: here a file-size limit) says so; a device is
    // no trace file at all.
    void trace_write_failure_is_kept()
    {
        QTemporaryDir dir;
        TraceWriter trace;
        QVERIFY(trace.open(dir.filePath(QStringLiteral("trace.log"))));
        QCOMPARE(trace.failure(), QString());
        {
            const ResourceLimit limit(RLIMIT_FSIZE, 0);
            trace.write_line(QStringLiteral("first"));
        }
        QVERIFY(!trace.failure().isEmpty());
        TraceWriter device;
        QString why;
        QVERIFY(!device.open(QStringLiteral("/dev/full"), &why));
        QVERIFY2(why.contains(QStringLiteral("not a regular file")), qPrintable(why));
    }

    void message_of_each_value_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QByteArray>("message");
        QTest::newRow("aspect word") << "aspect"
                                     << "16:9 TV" << QByteArray("WP_Aspect[16:9]$\r");
        QTest::newRow("aspect keep") << "aspect"
                                     << "Keep Ratio" << QByteArray("WP_Aspect[Keep]$\r");
        QTest::newRow("display off") << "display"
                                     << "Off" << QByteArray("WP_Display[Off]$\r");
        QTest::newRow("display mode") << "display_mode"
                                      << "AV SW" << QByteArray("WP_DisplayMode[AVSW]$\r");
        QTest::newRow("hdcp") << "hdcp"
                              << "Noncompliant" << QByteArray("WP_HdcpInput[NotHDCP]$\r");
        QTest::newRow("output by position") << "output_resolution"
                                            << "1280x720" << QByteArray("WP_Output[4]$\r");
        QTest::newRow("input resolution by position")
            << "input_resolution"
            << "1280x720" << QByteArray("WP_InputPrefer[3]$\r");
        QTest::newRow("auto-off first entry is 0") << "auto_off"
                                                   << "Off" << QByteArray("WP_AutoOff[0]$\r");
        QTest::newRow("auto-off seconds") << "auto_off"
                                          << "600" << QByteArray("WP_AutoOff[600]$\r");
        QTest::newRow("overscan enable") << "overscan"
                                         << "Yes" << QByteArray("WP_OverscanEn[Yes]$\r");
        QTest::newRow("overscan h") << "overscan_h"
                                    << "50" << QByteArray("WP_OverscanH[50]$\r");
        QTest::newRow("audio lr") << "audio_lr"
                                  << "Off" << QByteArray("WP_AudioLR[Off]$\r");
        QTest::newRow("two-input hdmi") << "input_source"
                                        << "Hdmi" << QByteArray("WP_Input[Hdmi]$\r");
        QTest::newRow("three-input hdmi2") << "input_source"
                                           << "Hdmi2" << QByteArray("WP_Input[Hdmi2]$\r");
        QTest::newRow("tx baud") << "tx_baudrate"
                                 << "9600" << QByteArray("WP_BaudrateTx[9600]$\r");
        QTest::newRow("brightness") << "brightness"
                                    << "0" << QByteArray("WP_PictureBri[0]$\r");
        QTest::newRow("sharpness") << "sharpness"
                                   << "100" << QByteArray("WP_PictureSha[100]$\r");
        QTest::newRow("projsw") << "projsw_mode"
                                << "300" << QByteArray("WP_ProjSW[300]$\r");
        QTest::newRow("auto display off") << "auto_display_off"
                                          << "Off" << QByteArray("WP_AutoDispOff[Off]$\r");
        QTest::newRow("projector port")
            << "projector_port"
            << "19200,7,E,1.5" << QByteArray("WP_DisplaySet[19200,7,E,1.5]$\r");
        QTest::newRow("display on raw bytes")
            << "display_on_command"
            << "50 57 52 0D" << QByteArray("WP_DisplayOn[4,PWR\r]$\r");
        QTest::newRow("display off carries the terminator bytes")
            << "display_off_command"
            << "00 5d 24 0d 1 2 3 4 5 6"
            << QByteArray("WP_DisplayOff[10,\0]$\r\x01\x02\x03\x04\x05\x06]$\r", 30);
    }
    void message_of_each_value()
    {
        QFETCH(QString, name);
        QFETCH(QString, value);
        const OptionLists lists = data_lists();
        const Setting *setting = find_setting(name);
        QVERIFY(setting);
        QCOMPARE(value_problem(*setting, value, lists), std::nullopt);
        QTEST(value_message(*setting, value, lists), "message");
    }

    void values_refused_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("value");
        QTest::newRow("argument word is no entry") << "aspect"
                                                   << "16:9";
        QTest::newRow("case counts") << "display"
                                     << "off";
        QTest::newRow("overscan beyond 50") << "overscan_h"
                                            << "51";
        QTest::newRow("picture beyond 100") << "hue"
                                            << "101";
        QTest::newRow("projsw between steps") << "projsw_mode"
                                              << "32";
        QTest::newRow("output not in the file") << "output_resolution"
                                                << "1280x720p60";
        QTest::newRow("auto-off not in the file") << "auto_off"
                                                  << "61";
        QTest::newRow("port baud not offered") << "projector_port"
                                               << "4800,8,N,1";
        QTest::newRow("port parity word") << "projector_port"
                                          << "9600,8,NONE,1";
        QTest::newRow("port short") << "projector_port"
                                    << "9600,8,N";
        QTest::newRow("display not hex") << "display_on_command"
                                         << "PWR ON";
        QTest::newRow("display empty") << "display_off_command"
                                       << "";
        QTest::newRow("display on too long")
            << "display_on_command" << QString(QStringLiteral("41 ")).repeated(57);
        QTest::newRow("display off too long")
            << "display_off_command" << QString(QStringLiteral("41 ")).repeated(56);
        QTest::newRow("read only") << "rx_firmware"
                                   << "V1.05";
    }
    void values_refused()
    {
        QFETCH(QString, name);
        QFETCH(QString, value);
        const Setting *setting = find_setting(name);
        QVERIFY(setting);
        QVERIFY(value_problem(*setting, value, data_lists()).has_value());
    }

    void longest_display_commands_fit()
    {
        const OptionLists lists = data_lists();
        const QString on = QString(QStringLiteral("41 ")).repeated(56);
        const QString off = QString(QStringLiteral("41 ")).repeated(55);
        QCOMPARE(value_problem(*find_setting(QStringLiteral("display_on_command")), on, lists),
            std::nullopt);
        QCOMPARE(value_problem(*find_setting(QStringLiteral("display_off_command")), off, lists),
            std::nullopt);
        QCOMPARE(
            value_message(*find_setting(QStringLiteral("display_on_command")), on, lists).size(),
            75);
    }

    void replies_read_back_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<bool>("single_hdmi");
        QTest::addColumn<QString>("value"); // empty: no entry
        QTest::addColumn<bool>("foreign");
        QTest::newRow("aspect word to entry")
            << "aspect" << QByteArray("WP_Aspect[16:10]$\r") << true << "16:10 TV" << false;
        QTest::newRow("entry text is no word")
            << "aspect" << QByteArray("WP_Aspect[16:10 TV]$\r") << true << "" << false;
        QTest::newRow("another prefix")
            << "aspect" << QByteArray("WP_Input[Vga]$\r") << true << "" << true;
        QTest::newRow("noise before the prefix")
            << "display" << QByteArray("xxWP_Display[On]$\r") << true << "" << true;
        QTest::newRow("three-input layout")
            << "input_source" << QByteArray("WP_Input[Hdmi2]$\r") << false << "Hdmi2" << false;
        QTest::newRow("hdmi1 on a two-input receiver")
            << "input_source" << QByteArray("WP_Input[Hdmi1]$\r") << true << "" << false;
        QTest::newRow("output position to file entry")
            << "output_resolution" << QByteArray("WP_Output[07]$\r") << true << "1280x1024"
            << false;
        QTest::newRow("output beyond the file")
            << "output_resolution" << QByteArray("WP_Output[40]$\r") << true << "" << false;
        QTest::newRow("auto-off zero is the first entry")
            << "auto_off" << QByteArray("WP_AutoOff[0]$\r") << true << "Off" << false;
        QTest::newRow("auto-off by text")
            << "auto_off" << QByteArray("WP_AutoOff[900]$\r") << true << "900" << false;
        QTest::newRow("projsw seconds between two entries")
            << "projsw_mode" << QByteArray("WP_ProjSW[47]$\r") << true << "" << false;
        QTest::newRow("projsw seconds of an entry")
            << "projsw_mode" << QByteArray("WP_ProjSW[045]$\r") << true << "45" << false;
        QTest::newRow("picture number")
            << "hue" << QByteArray("WP_PictureHue[07]$\r") << true << "7" << false;
        QTest::newRow("firmware as it stands")
            << "rx_firmware" << QByteArray("WP_Info[V1.05 beta]$\r") << true << "V1.05 beta"
            << false;
        QTest::newRow("firmware line end escaped")
            << "tx_firmware" << QByteArray("WP_InfoTx[V2\n]$\r") << true << "V2\\x0A" << false;
        QTest::newRow("projector port")
            << "projector_port" << QByteArray("WP_DisplaySet[19200,7,E,2]$\r") << true
            << "19200,7,E,2" << false;
        QTest::newRow("projector port not in the lists")
            << "projector_port" << QByteArray("WP_DisplaySet[4800,8,N,1]$\r") << true << ""
            << false;
        QTest::newRow("projector port without comma")
            << "projector_port" << QByteArray("WP_DisplaySet[9600]$\r") << true << "" << true;
        QTest::newRow("display command bytes")
            << "display_on_command" << QByteArray("WP_DisplayOn[3,\x01]$]$\r") << true << "01 5D 24"
            << false;
        QTest::newRow("display command empty")
            << "display_off_command" << QByteArray("WP_DisplayOff[0,]$\r") << true << "" << false;
    }
    // The tool shows a number only when the receiver plainly reported one of the list's: the
    // window's reading from the leading digits (where "abc" is 0 and "7xyz" is 7) would turn a
    // garbled reply into a value that a profile then copies to other rooms.
    void numbers_read_strictly_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("value"); // between the prefix and the terminator
        QTest::addColumn<QString>("shown"); // the value, or a piece of the note when unread
        QTest::addColumn<bool>("read");
        const QString not_a_number = "which is not a number";
        const QString no_entry = "which no entry of the list names";
        const struct
        {
            const char *value;
            const char *note;
        } garbled[] = { { "abc", R"("abc")" }, { "", R"("")" }, { "-", R"("-")" },
            { "7xyz", R"("7xyz")" }, { "12 ; display = Off", R"("12 ; display = Off")" },
            { "0x20", R"("0x20")" }, { "300abc", R"("300abc")" }, { "1e1", R"("1e1")" },
            { " 45", R"(" 45")" }, { "45 ", R"("45 ")" }, { "+5", R"("+5")" }, { "-0", R"("-0")" },
            { "12.0", R"("12.0")" }, { "4\r5", R"("4\x0D5")" } };
        for (const char *name : { "hue", "overscan_h", "output_resolution", "projsw_mode" }) {
            for (const auto &reply : garbled)
                QTest::addRow("%s %s", name, reply.value)
                    << name << QByteArray(reply.value) << QString(reply.note) + ", " + not_a_number
                    << false;
        }
        QTest::newRow("hue plain") << "hue" << QByteArray("7") << "7" << true;
        QTest::newRow("hue padded") << "hue" << QByteArray("007") << "7" << true;
        QTest::newRow("hue zero") << "hue" << QByteArray("0") << "0" << true;
        QTest::newRow("hue last") << "hue" << QByteArray("100") << "100" << true;
        QTest::newRow("hue beyond the list") << "hue" << QByteArray("101") << no_entry << false;
        QTest::newRow("hue beyond int") << "hue" << QByteArray("99999999999") << no_entry << false;
        QTest::newRow("overscan beyond the list")
            << "overscan_v" << QByteArray("51") << no_entry << false;
        QTest::newRow("output position")
            << "output_resolution" << QByteArray("7") << "1280x1024" << true;
        QTest::newRow("projsw between entries")
            << "projsw_mode" << QByteArray("32") << R"("32", )" + no_entry << false;
        QTest::newRow("projsw entry") << "projsw_mode" << QByteArray("300") << "300" << true;
        QTest::newRow("port: baud with letters") << "projector_port" << QByteArray("9600abc,8,N,1")
                                                 << "not in the projector port lists" << false;
        QTest::newRow("port: stop bits with more")
            << "projector_port" << QByteArray("9600,8,N,1 ; hue = 0")
            << "not in the projector port lists" << false;
        QTest::newRow("port: data bits with more") << "projector_port" << QByteArray("9600,8x,N,1")
                                                   << "not in the projector port lists" << false;
        QTest::newRow("port plain")
            << "projector_port" << QByteArray("9600,8,N,1.5") << "9600,8,N,1.5" << true;
        QTest::newRow("display count with letters")
            << "display_on_command" << QByteArray("2x,AB") << R"(byte count "2x", )" + not_a_number
            << false;
        QTest::newRow("display count with a space")
            << "display_on_command" << QByteArray(" 2,AB") << R"(byte count " 2", )" + not_a_number
            << false;
        QTest::newRow("display count plain")
            << "display_on_command" << QByteArray("2,AB") << "41 42" << true;
    }
    void numbers_read_strictly()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, value);
        QFETCH(QString, shown);
        QFETCH(bool, read);
        const Setting &setting = *find_setting(name);
        const QByteArray reply = QByteArray(setting.command->prefix) + value + "]$\r";
        const ReadValue got = read_value(setting, reply, buffer_of(reply), true, data_lists());
        QVERIFY(!got.foreign);
        if (read) {
            QCOMPARE(got.value, std::optional<QString>(shown));
        } else {
            QVERIFY2(!got.value, qPrintable(got.value.value_or(QString())));
            QVERIFY2(got.problem.contains(shown), qPrintable(got.problem));
        }
    }

    // A reply value can never forge output: whatever the receiver sends, read's text is one
    // "name = value" line or one "# name: ..." comment, holding no control byte, and a long value
    // is cut with its length.
    void hostile_values_stay_on_their_line_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("value");
        QTest::newRow("list value with line ends")
            << "aspect" << QByteArray("x\ndisplay = Off\n# ");
        QTest::newRow("list value with an escape sequence")
            << "aspect" << QByteArray("\x1b]0;owned\x07\x1b[2J");
        QTest::newRow("port settings with a line end")
            << "projector_port" << QByteArray("9600,8,N,1\nhue = 0");
        QTest::newRow("megabyte text") << "transmitter" << QByteArray(1 << 20, 'A');
        QTest::newRow("text with a carriage return") << "rx_firmware" << QByteArray("V1\rhue = 0");
    }
    void hostile_values_stay_on_their_line()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, value);
        const Setting &setting = *find_setting(name);
        const QByteArray reply = QByteArray(setting.command->prefix) + value + "]$\r";
        const ReadValue read = read_value(setting, reply, buffer_of(reply), false, data_lists());
        const QString shown = read.value ? *read.value : read.problem;
        QVERIFY(!shown.isEmpty());
        for (const QChar c : shown)
            QVERIFY2(c.unicode() >= 0x20 && c.unicode() != 0x7F, qPrintable(shown.left(200)));
        QVERIFY2(shown.size() < 400, qPrintable(QString::number(shown.size())));
        if (value.size() > 64)
            QVERIFY(shown.contains(QString::number(value.size())));
        // As a profile, the printed line gives no setting but its own.
        const QString line = read.value
            ? name + QStringLiteral(" = ") + shown
            : QStringLiteral("# ") + name + QStringLiteral(": ") + shown;
        Profile profile;
        QString why;
        if (parse_profile(line + QLatin1Char('\n'), data_lists(), &profile, &why)) {
            for (const ProfileEntry &entry : profile.entries)
                QCOMPARE(QLatin1String(entry.setting->name), name);
        }
    }

    void replies_read_back()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, reply);
        QFETCH(bool, single_hdmi);
        QFETCH(QString, value);
        QFETCH(bool, foreign);
        const ReadValue read
            = read_value(*find_setting(name), reply, buffer_of(reply), single_hdmi, data_lists());
        QCOMPARE(read.foreign, foreign);
        if (value.isEmpty()) {
            QVERIFY(!read.value);
            QVERIFY(!read.problem.isEmpty());
        } else {
            QCOMPARE(read.value, std::optional<QString>(value));
        }
    }

    void profile_is_read_output()
    {
        const QString text = QStringLiteral("# room 1\n"
                                            "transmitter = TX\n"
                                            "\n"
                                            "aspect = 16:9 TV\r\n"
                                            "  hue=7  \n"
                                            "display_on_command = 50 57 52 0D\n"
                                            "input_source = Hdmi2\n");
        Profile profile;
        QString why;
        QVERIFY2(parse_profile(text, data_lists(), &profile, &why), qPrintable(why));
        QCOMPARE(profile.entries.size(), 5);
        QCOMPARE(profile.entries.at(2).value, QStringLiteral("7"));
        QCOMPARE(profile.entries.at(2).line, 5);
        // Read-only names are known but are not sent; the rest in the order of a whole read.
        QStringList order;
        for (const ProfileEntry &entry : profile.writable_in_read_order())
            order << QLatin1String(entry.setting->name);
        QCOMPARE(order, (QStringList { "aspect", "input_source", "hue", "display_on_command" }));
    }

    void bad_profiles_name_their_line_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("reported");
        QTest::newRow("unknown name") << "aspect = Full\nbrightnes = 50\n"
                                      << "line 2:";
        QTest::newRow("value not offered") << "# x\n\naspect = 16:9\n"
                                           << "line 3:";
        QTest::newRow("not name = value") << "aspect Full\n"
                                          << "line 1:";
        QTest::newRow("twice") << "hue = 1\nhue = 2\n"
                               << "line 2:";
        QTest::newRow("empty name") << "= 5\n"
                                    << "line 1:";
        // An empty file (or one caught while it is rewritten) is no "nothing to do".
        QTest::newRow("empty") << ""
                               << "holds no setting";
        QTest::newRow("blank lines") << "\n  \r\n\t\n"
                                     << "holds no setting";
        QTest::newRow("comments only") << "# room 1\n  # aspect = Full\n"
                                       << "holds no setting";
        QTest::newRow("read-only settings only") << "transmitter = TX\nrx_firmware = V1\n"
                                                 << "holds only read-only settings";
    }
    void bad_profiles_name_their_line()
    {
        QFETCH(QString, text);
        QFETCH(QString, reported);
        Profile profile;
        QString why;
        QVERIFY(!parse_profile(text, data_lists(), &profile, &why));
        QVERIFY2(why.startsWith(reported), qPrintable(why));
    }

    // A file given by mistake as a profile (a password file, as root) is not printed back line
    // by line: a line that is not "name = value" is not quoted, nor a name that is no name.
    void bad_profile_lines_are_not_quoted_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("reported");
        QTest::newRow("password file line") << "root:$6$Secret.Salt$Hash:19000:0:99999:7:::\n"
                                            << "line 1: not \"name = value\"";
        QTest::newRow("name that is no name") << "Secret Words Here = hue\n"
                                              << "line 1: no setting is named so";
        QTest::newRow("overlong name") << QString(60, 'S') + " = 1\n"
                                       << "line 1: no setting is named so";
        QTest::newRow("a key, its value left out") << "password = Secret\n"
                                                   << "line 1: unknown setting \"password\"";
    }
    void bad_profile_lines_are_not_quoted()
    {
        QFETCH(QString, text);
        QFETCH(QString, reported);
        Profile profile;
        QString why;
        QVERIFY(!parse_profile(text, data_lists(), &profile, &why));
        QVERIFY2(why.startsWith(reported), qPrintable(why));
        QVERIFY2(!why.contains("Secret") && !why.contains("SSSS"), qPrintable(why));
    }

    void names_are_printable_in_reports_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("shown");
        QTest::newRow("line end") << "room\n1.profile"
                                  << "room\\x0A1.profile";
        QTest::newRow("escape sequence") << "\x1b]0;owned\x07x"
                                         << "\\x1B]0;owned\\x07x";
        QTest::newRow("C1 control") << QString::fromUtf8("a\xc2\x9b"
                                                         "2Jb")
                                    << "a\\x9B2Jb";
        QTest::newRow("delete") << "a\x7f"
                                << "a\\x7F";
        QTest::newRow("letters of any script stay")
            << QString::fromUtf8("salle \xc3\xa9t\xc3\xa9.profile")
            << QString::fromUtf8("salle \xc3\xa9t\xc3\xa9.profile");
    }
    void names_are_printable_in_reports()
    {
        QFETCH(QString, name);
        QFETCH(QString, shown);
        QCOMPARE(printable(name), shown);
    }

    void set_refuses_read_only_names()
    {
        ProfileEntry entry;
        QString why;
        QVERIFY(!parse_assignment(QStringLiteral("transmitter=TX"), data_lists(), &entry, &why));
        QVERIFY(parse_assignment(QStringLiteral("aspect=Full"), data_lists(), &entry, &why));
    }

    void whole_read_follows_the_windows_reads()
    {
        QList<const Setting *> all;
        for (const Setting &setting : settings())
            all << &setting;
        const std::vector<Step> plan = read_plan(all);
        QStringList queries;
        QList<int> before, after;
        for (const Step &step : plan) {
            queries << QString::fromLatin1(step.message);
            before << step.pause_before_ms();
            after << step.pause_after_ms();
        }
        const QStringList expected = { "WP_IdentifyTx[?]$\r", "WP_Aspect[?]$\r", "WP_Info[?]$\r",
            "WP_Output[?]$\r", "WP_OverscanEn[?]$\r", "WP_OverscanH[?]$\r", "WP_OverscanV[?]$\r",
            "WP_AudioEn[?]$\r", "WP_AudioHdmi[?]$\r", "WP_AudioLR[?]$\r", "WP_AutoOff[?]$\r",
            "WP_DisplayMode[?]$\r", "WP_Display[?]$\r", "WP_Input[?]$\r", "WP_HdcpInput[?]$\r",
            "WP_InputPrefer[?]$\r", "WP_InfoTx[?]$\r", "WP_BaudrateTx[?]$\r", "WP_PictureBri[?]$\r",
            "WP_PictureCon[?]$\r", "WP_PictureSat[?]$\r", "WP_PictureHue[?]$\r",
            "WP_PictureSha[?]$\r", "WP_ProjSW[?]$\r", "WP_AutoDispOn[?]$\r", "WP_AutoDispOff[?]$\r",
            "WP_DisplaySet[?]$\r", "WP_DisplayOn[?]$\r", "WP_DisplayOff[?]$\r" };
        QCOMPARE(queries, expected);
        // 50 ms (ended after 51) after each receiver query, 100 ms (101) after each picture and
        // projector-control query, and between the projector settings' three queries.
        QList<int> expected_after(18, 51);
        expected_after << QList<int>(8, 101) << QList<int>(3, 0);
        QCOMPARE(after, expected_after);
        QList<int> expected_before(27, 0);
        expected_before << 101 << 101;
        QCOMPARE(before, expected_before);
    }

    void input_source_asks_the_transmitter_first()
    {
        const std::vector<Step> plan = read_plan(
            { find_setting(QStringLiteral("hue")), find_setting(QStringLiteral("input_source")) });
        QCOMPARE(plan.size(), std::size_t(3));
        QCOMPARE(plan[0].message, QByteArray("WP_IdentifyTx[?]$\r"));
        QCOMPARE(plan[1].message, QByteArray("WP_Input[?]$\r"));
        QCOMPARE(plan[2].message, QByteArray("WP_PictureHue[?]$\r"));
    }

    void set_pauses_like_the_projector_send()
    {
        const OptionLists lists = data_lists();
        const auto entry = [](const char *name, const char *value) {
            ProfileEntry e;
            e.setting = find_setting(QLatin1String(name));
            e.value = QLatin1String(value);
            return e;
        };
        const std::vector<Step> plan
            = set_plan({ entry("display_on_command", "01"), entry("projector_port", "9600,8,N,1"),
                           entry("display_on_command", "02"), entry("display_off_command", "03"),
                           entry("aspect", "Full") },
                lists);
        QList<int> before;
        for (const Step &step : plan)
            before << step.pause_before_ms();
        QCOMPARE(before, (QList<int> { 0, 0, 101, 101, 0 }));
    }

    void trace_bytes_escape_all_but_printable_ascii()
    {
        QCOMPARE(trace_bytes(QByteArray("WP_Aspect[?]$\r")), QStringLiteral("WP_Aspect[?]$\\x0D"));
        QCOMPARE(trace_bytes(QByteArray("a\tb\\c\x7f\xff\0", 8)),
            QStringLiteral("a\\x09b\\x5Cc\\x7F\\xFF\\x00"));
        QCOMPARE(trace_bytes(QByteArray(" ~")), QStringLiteral(" ~"));
    }

    void trace_line_has_its_six_fields()
    {
        TraceRecord record;
        record.started = QDateTime(QDate(2026, 12, 10), QTime(14, 31, 2, 7));
        record.sent = "WP_Aspect[?]$\r";
        record.received = "WP_Aspect[16:9]$\r";
        record.outcome = Outcome::Replied;
        record.elapsed_ms = 3;
        QCOMPARE(trace_line(QStringLiteral("COM1"), record),
            QStringLiteral("2026-12-10 14:31:02.007\tCOM1\tWP_Aspect[?]$\\x0D\t"
                           "WP_Aspect[16:9]$\\x0D\treplied\t3 ms"));
        record.outcome = Outcome::NoReply;
        QVERIFY(trace_line(QStringLiteral("COM1"), record)
                    .endsWith(QStringLiteral("\tno reply\t3 ms")));
    }
};

QTEST_GUILESS_MAIN(TestCliUnits)
#include "test_cli_units.moc"
