// The receiver model without a line: what a choice sends and how, the one-shot commands, the
// plans and their pauses. Expected bytes are written out here rather than taken from the
// vocabulary, so that a change there shows.
// The tables of cases are written with plain string literals.
#undef QT_NO_CAST_FROM_ASCII

#include "model/plans.h"
#include "model/settings.h"

#include <QTest>

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
};

QTEST_GUILESS_MAIN(TestModel)
#include "test_model.moc"
