// The receiver model without a line: what a choice or a value sends and how, the values refused,
// the one-shot commands, the plans and their pauses. Expected bytes are written out here rather
// than taken from the vocabulary, so that a change there shows.
// The tables of cases are written with plain string literals.
#undef QT_NO_CAST_FROM_ASCII

#include "model/plans.h"
#include "model/settings.h"
#include "tests/support/data_lists.h"

#include <QTest>

using namespace model;

namespace {

const Setting &named(const char *name)
{
    const Setting *setting = find_setting(QLatin1String(name));
    if (!setting)
        qFatal("no setting %s", name);
    return *setting;
}

ProfileEntry entry(const char *name, const char *value)
{
    ProfileEntry e;
    e.setting = &named(name);
    e.value = QLatin1String(value);
    return e;
}

} // namespace

class TestModel : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // The window's lists send by position and entry text; the message is the model's.
    void choice_message_of_a_position_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("position");
        QTest::addColumn<QString>("entry");
        QTest::addColumn<bool>("single_hdmi");
        QTest::addColumn<QByteArray>("message"); // empty: nothing is sent
        QTest::newRow("word") << "aspect" << 1 << "16:9" << true
                              << QByteArray("WP_Aspect[16:9]$\r");
        QTest::newRow("word past the choices") << "aspect" << 9 << "" << true << QByteArray();
        QTest::newRow("nothing selected") << "aspect" << -1 << "" << true << QByteArray();
        QTest::newRow("position of an option list")
            << "output_resolution" << 4 << "1080p" << true << QByteArray("WP_Output[4]$\r");
        QTest::newRow("auto-off first entry sends 0")
            << "auto_off" << 0 << "Off" << true << QByteArray("WP_AutoOff[0]$\r");
        QTest::newRow("auto-off entry text, spaces cut")
            << "auto_off" << 3 << " 30 " << true << QByteArray("WP_AutoOff[30]$\r");
        QTest::newRow("input, two inputs")
            << "input_source" << 1 << "Vga" << true << QByteArray("WP_Input[Vga]$\r");
        QTest::newRow("input, three inputs")
            << "input_source" << 1 << "Hdmi2" << false << QByteArray("WP_Input[Hdmi2]$\r");
        QTest::newRow("picture number")
            << "brightness" << 70 << "70" << true << QByteArray("WP_PictureBri[70]$\r");
        QTest::newRow("projsw seconds")
            << "projsw_mode" << 60 << "300" << true << QByteArray("WP_ProjSW[300]$\r");
    }
    void choice_message_of_a_position()
    {
        QFETCH(QString, name);
        QFETCH(int, position);
        QFETCH(QString, entry);
        QFETCH(bool, single_hdmi);
        QFETCH(QByteArray, message);
        const std::optional<QByteArray> got
            = choice_message(named(name.toLatin1().constData()), position, entry, single_hdmi);
        if (message.isEmpty())
            QCOMPARE(got, std::nullopt);
        else
            QCOMPARE(got, std::optional<QByteArray>(message));
    }

    // How each kind of setting is sent: the picture values, the overscan steps, auto-off and
    // ProjSW without waiting, the two auto-display lists waiting without examining the reply,
    // every other list waiting.
    void send_discipline_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("send");
        QTest::newRow("aspect") << "aspect" << int(Send::Wait);
        QTest::newRow("hdcp") << "hdcp" << int(Send::Wait);
        QTest::newRow("auto_off") << "auto_off" << int(Send::NoWait);
        QTest::newRow("overscan_h") << "overscan_h" << int(Send::NoWait);
        QTest::newRow("brightness") << "brightness" << int(Send::NoWait);
        QTest::newRow("sharpness") << "sharpness" << int(Send::NoWait);
        QTest::newRow("projsw_mode") << "projsw_mode" << int(Send::NoWait);
        QTest::newRow("auto_display_on") << "auto_display_on" << int(Send::WaitQuiet);
    }
    void send_discipline()
    {
        QFETCH(QString, name);
        QFETCH(int, send);
        QCOMPARE(int(named(name.toLatin1().constData()).send()), send);
    }

    // A value sent without waiting is read back after its read-back's pause, and the read-back
    // carries the value it must show; a waiting value is one step of its own.
    void set_confirms_no_wait_values_by_reading_back()
    {
        const std::vector<Step> plan = set_plan(
            { entry("aspect", "Full"), entry("brightness", "70"), entry("overscan_h", "12") },
            data_lists());
        QStringList messages;
        QList<bool> waits;
        QList<int> after;
        QStringList expects;
        for (const Step &step : plan) {
            messages << QString::fromLatin1(step.message);
            waits << step.wait;
            after << step.pause_after_ms();
            expects << step.expect.value_or(QStringLiteral("-"));
        }
        QCOMPARE(messages,
            (QStringList { "WP_Aspect[Full]$\r", "WP_PictureBri[70]$\r", "WP_PictureBri[?]$\r",
                "WP_OverscanH[12]$\r", "WP_OverscanH[?]$\r" }));
        QCOMPARE(waits, (QList<bool> { true, false, true, false, true }));
        // The read-back's pause: 100 ms (ended after 101) for a picture value, 50 ms (51) for
        // a receiver setting.
        QCOMPARE(after, (QList<int> { 0, 101, 0, 51, 0 }));
        QCOMPARE(expects, (QStringList { "-", "-", "70", "-", "12" }));
        QVERIFY(plan[2].query);
        QCOMPARE(plan[2].prefix, QByteArray("WP_PictureBri["));
    }

    // The one-shot commands: actions send "Go", keys their bare prefix; a setting is none.
    void command_steps_data()
    {
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<QByteArray>("message"); // empty: no such action or key
        QTest::newRow("reset") << QByteArray("reset") << QByteArray("WP_SystemRst[Go]$\r");
        QTest::newRow("vga_auto") << QByteArray("vga_auto") << QByteArray("WP_VgaAuto[Go]$\r");
        QTest::newRow("picture_reset")
            << QByteArray("picture_reset") << QByteArray("WP_PictureRst[Go]$\r");
        QTest::newRow("key_menu") << QByteArray("key_menu") << QByteArray("WP_KeyMenu[]$\r");
        QTest::newRow("key_plus") << QByteArray("key_plus") << QByteArray("WP_KeyPlus[]$\r");
        QTest::newRow("a setting") << QByteArray("aspect") << QByteArray();
        QTest::newRow("unknown") << QByteArray("key_enter") << QByteArray();
    }
    void command_steps()
    {
        QFETCH(QByteArray, name);
        QFETCH(QByteArray, message);
        const std::optional<Step> step = command_step(name);
        QCOMPARE(step.has_value(), !message.isEmpty());
        if (step) {
            QCOMPARE(step->message, message);
            QVERIFY(message.startsWith(step->prefix));
            QVERIFY(step->wait);
            QVERIFY(!step->query);
        }
    }

    // The display-command limit, one home for the window's Send and the tool's check: the
    // longest command whose message fits the 75-byte buffer.
    void display_command_limits_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("bytes");
        QTest::addColumn<bool>("fits");
        QTest::newRow("on, 56") << "display_on_command" << 56 << true;
        QTest::newRow("on, 57") << "display_on_command" << 57 << false;
        QTest::newRow("off, 55") << "display_off_command" << 55 << true;
        QTest::newRow("off, 56") << "display_off_command" << 56 << false;
    }
    void display_command_limits()
    {
        QFETCH(QString, name);
        QFETCH(int, bytes);
        QFETCH(bool, fits);
        const Setting &setting = named(name.toLatin1().constData());
        QCOMPARE(command_fits(setting, bytes), fits);
        const std::optional<QByteArray> message = command_message(setting, QByteArray(bytes, 'A'));
        QCOMPARE(message.has_value(), fits);
        if (message)
            QVERIFY(message->size() <= 75);
    }

    // The receiver's Read asks every readable receiver setting up to the transmitter's baud
    // rate, in the vocabulary's order: VGA auto and System Reset act when sent, so they are left
    // out.
    void receiver_read_skips_the_actions()
    {
        QStringList prefixes;
        for (const Step &step : read_plan(ReadGroup::Receiver))
            prefixes << QString::fromLatin1(step.prefix);
        QCOMPARE(prefixes,
            (QStringList { "WP_IdentifyTx[", "WP_Aspect[", "WP_Info[", "WP_Output[",
                "WP_OverscanEn[", "WP_OverscanH[", "WP_OverscanV[", "WP_AudioEn[", "WP_AudioHdmi[",
                "WP_AudioLR[", "WP_AutoOff[", "WP_DisplayMode[", "WP_Display[", "WP_Input[",
                "WP_HdcpInput[", "WP_InputPrefer[", "WP_InfoTx[", "WP_BaudrateTx[" }));
    }

    // A reply's value: checked against the step's prefix, or cut by length alone.
    void reply_values_of_a_step()
    {
        const Step step = read_plan(ReadGroup::Picture).front();
        QCOMPARE(step.reply_value("WP_PictureBri[07]$\r"), std::optional<QByteArray>("07"));
        QCOMPARE(step.reply_value("WP_PictureCon[07]$\r"), std::nullopt);
        QCOMPARE(step.cut_value("WP_PictureCon[07]$\r"), QByteArray("07"));
        QCOMPARE(step.cut_value("]$\r"), QByteArray());
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
};

QTEST_GUILESS_MAIN(TestModel)
#include "test_model.moc"
