// How the model reads a receiver's reply into a setting's value: the entry a reply names, numbers
// read strictly, and values that can never forge a report line. Expected values are written out
// here rather than taken from the vocabulary, so that a change there shows.
// The tables of cases are written with plain string literals.
#undef QT_NO_CAST_FROM_ASCII

#include "model/profile.h"
#include "model/settings.h"
#include "tests/support/data_lists.h"

#include <QTest>

using namespace model;

namespace {

ByteBuffer buffer_of(const QByteArray &bytes)
{
    ByteBuffer buf;
    for (const char c : bytes)
        buf.append(static_cast<std::uint8_t>(c));
    return buf;
}

} // namespace

class TestReplies : public QObject
{
    Q_OBJECT

private Q_SLOTS:
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
};

QTEST_GUILESS_MAIN(TestReplies)
#include "test_replies.moc"
