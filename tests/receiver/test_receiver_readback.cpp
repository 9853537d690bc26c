// "Read" and "Get" of the receiver frame in the real window against the simulated receiver.
#include "tests/receiver/receiver_test_support.h"

#include <QTest>

using namespace rx_test;

namespace {

// The receiver read-back asks these, in this order, and nothing else.
const QList<QByteArray> readback_queries = queries({ "WP_IdentifyTx[", "WP_Aspect[", "WP_Info[",
    "WP_Output[", "WP_OverscanEn[", "WP_OverscanH[", "WP_OverscanV[", "WP_AudioEn[",
    "WP_AudioHdmi[", "WP_AudioLR[", "WP_AutoOff[", "WP_DisplayMode[", "WP_Display[", "WP_Input[",
    "WP_HdcpInput[", "WP_InputPrefer[", "WP_InfoTx[", "WP_BaudrateTx[" });

const QList<QByteArray> info_queries = queries({ "WP_Info[", "WP_InfoTx[", "WP_BaudrateTx[" });

// A receiver setting as the read-back sees it: its step in the read-back (1-based), its list,
// a value the receiver reports, the position that value selects, and another position to start
// from.
struct Setting
{
    int step;
    const char *list;
    const char *prefix;
    const char *value;
    int selects;
    int before;
};

const Setting settings[] = {
    { 2, "cbo_aspect", "WP_Aspect[", "16:10", 2, 0 },
    { 4, "cbo_output", "WP_Output[", "7", 7, 0 },
    { 5, "cbo_overscan_en", "WP_OverscanEn[", "Yes", 0, 1 },
    { 6, "cbo_overscan_h", "WP_OverscanH[", "12", 12, 0 },
    { 7, "cbo_overscan_v", "WP_OverscanV[", "34", 34, 0 },
    { 8, "cbo_audio_en", "WP_AudioEn[", "Off", 1, 0 },
    { 9, "cbo_audio_hdmi", "WP_AudioHdmi[", "Off", 1, 0 },
    { 10, "cbo_audio_lr", "WP_AudioLR[", "On", 0, 1 },
    { 11, "cbo_standby", "WP_AutoOff[", "600", 3, 0 },
    { 12, "cbo_disp_mode", "WP_DisplayMode[", "AVSW", 2, 0 },
    { 13, "cbo_display", "WP_Display[", "Off", 1, 0 },
    { 15, "cbo_hdcp_in", "WP_HdcpInput[", "NotHDCP", 1, 0 },
    { 16, "cbo_in_prefer", "WP_InputPrefer[", "3", 3, 0 },
    { 18, "cbo_baudrate", "WP_BaudrateTx[", "9600", 0, 1 },
};

bool is_setting(const QByteArray &message)
{
    return !message.endsWith("?]$\r");
}

} // namespace

Q_DECLARE_METATYPE(SimFaults)

class TestReceiverReadback : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<WindowFixture> fx;

    QComboBox *combo(const char *name) const
    {
        return child<QComboBox>(*fx, QString::fromLatin1(name));
    }
    QLabel *fail_label() const { return fx->ui->lab_ctrl_reply; }
    bool fail_shown(const QString &text) const
    {
        return fail_label()->isVisible() && fail_label()->text() == text;
    }
    void report(const Setting &s, const char *value = nullptr)
    {
        fx->sim.with_model(
            [&](ReceiverModel &m) { m.set_value(s.prefix, value ? value : s.value); });
    }

private Q_SLOTS:
    void cleanup() { fx.reset(); }

    void read_back_asks_every_setting_in_order_and_sends_nothing_back()
    {
        fx = open_window();
        QVERIFY(fx);
        for (const Setting &s : settings) {
            preselect(*fx, combo(s.list), s.before);
            report(s);
        }
        fx->sim.with_model([](ReceiverModel &m) {
            m.set_value("WP_Info[", "RX 2.31");
            m.set_value("WP_InfoTx[", "TX 1.07");
            m.set_value("WP_Input[", "Hdmi2");
        });
        bool guarded = false;
        bool button_disabled = false;
        run_when(
            fx->window.get(), [&] { return fx->sent().size() >= 2; },
            [&] {
                guarded = fx->window->state().reading;
                button_disabled = !fx->ui->cmd_ctrl_read->isEnabled();
            });
        fx->ui->cmd_ctrl_read->click();

        QCOMPARE(fx->sent(), readback_queries);
        QVERIFY(guarded);
        QVERIFY(button_disabled);
        QVERIFY(!fx->window->state().reading);
        QVERIFY(fx->ui->cmd_ctrl_read->isEnabled());
        QCOMPARE(fx->ui->cmd_ctrl_read->text(), QStringLiteral("Read"));
        for (const Setting &s : settings) {
            QVERIFY2(combo(s.list)->isEnabled(), s.list);
            QVERIFY2(combo(s.list)->currentIndex() == s.selects, s.list);
        }
        QCOMPARE(fx->ui->cbo_aspect->currentText(), QStringLiteral("16:10 TV"));
        QCOMPARE(fx->ui->cbo_hdcp_in->currentText(), QStringLiteral("Noncompliant"));
        QCOMPARE(fx->ui->cbo_input->currentText(), QStringLiteral("Hdmi2"));
        QCOMPARE(fx->ui->lab_fw_ver_rx->text(), QStringLiteral("RX 2.31"));
        QCOMPARE(fx->ui->lab_fw_ver_tx->text(), QStringLiteral("TX 1.07"));
        QVERIFY(!fail_label()->isVisible());
        QVERIFY(fx->prompts.shown.isEmpty());
        QCOMPARE(sent_before_barrier(*fx), readback_queries);
    }

    void identification_chooses_the_input_layout_data()
    {
        QTest::addColumn<QByteArray>("identify");
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<QStringList>("entries");
        QTest::addColumn<int>("selected");
        QTest::addColumn<int>("choose");
        QTest::addColumn<QByteArray>("message");
        const QStringList three
            = { QStringLiteral("Hdmi1"), QStringLiteral("Hdmi2"), QStringLiteral("Vga") };
        const QStringList two = { QStringLiteral("Hdmi"), QStringLiteral("Vga") };
        QTest::newRow("TX, Hdmi2 current, choose Hdmi1")
            << QByteArray("TX") << QByteArray("Hdmi2") << three << 1 << 0
            << QByteArray("WP_Input[Hdmi1]$\r");
        QTest::newRow("TX, Vga current, choose Hdmi2")
            << QByteArray("TX") << QByteArray("Vga") << three << 2 << 1
            << QByteArray("WP_Input[Hdmi2]$\r");
        QTest::newRow("TX, Hdmi1 current, choose Vga")
            << QByteArray("TX") << QByteArray("Hdmi1") << three << 0 << 2
            << QByteArray("WP_Input[Vga]$\r");
        QTest::newRow("RX, Vga current, choose Hdmi")
            << QByteArray("RX") << QByteArray("Vga") << two << 1 << 0
            << QByteArray("WP_Input[Hdmi]$\r");
        // A three-input name reported to the two-input layout selects nothing.
        QTest::newRow("RX, Hdmi1 reported, choose Vga")
            << QByteArray("RX") << QByteArray("Hdmi1") << two << -1 << 1
            << QByteArray("WP_Input[Vga]$\r");
        QTest::newRow("tx in lower case is another word") << QByteArray(
            "tx") << QByteArray("Hdmi") << two << 0 << 1 << QByteArray("WP_Input[Vga]$\r");
    }
    void identification_chooses_the_input_layout()
    {
        QFETCH(QByteArray, identify);
        QFETCH(QByteArray, input);
        QFETCH(QStringList, entries);
        QFETCH(int, selected);
        QFETCH(int, choose);
        QFETCH(QByteArray, message);
        WindowFixture::Options options;
        options.identify = identify;
        fx = open_window(options);
        QVERIFY(fx);
        fx->sim.with_model([&](ReceiverModel &m) { m.set_value("WP_Input[", input); });
        fx->ui->cmd_ctrl_read->click();
        QCOMPARE(fx->sent(), readback_queries);
        QStringList shown;
        for (int i = 0; i < fx->ui->cbo_input->count(); ++i)
            shown << fx->ui->cbo_input->itemText(i);
        QCOMPARE(shown, entries);
        QCOMPARE(fx->ui->cbo_input->currentIndex(), selected);

        fx->clear_sent();
        fx->ui->cbo_input->setCurrentIndex(choose);
        QCOMPARE(sent_before_barrier(*fx), QList<QByteArray> { message });
    }

    // The first query without a proper reply ends the run: what came before stays applied,
    // what comes after is neither asked nor changed.
    void read_back_stops_at_the_first_failure_data()
    {
        QTest::addColumn<int>("failing_step");
        QTest::addColumn<SimFaults>("faults");
        QTest::newRow("identification unanswered") << 1 << silent_for("WP_IdentifyTx[");
        SimFaults wrong;
        wrong.wrong_prefix = "WP_Aspect[";
        wrong.wrong_prefix_only = "WP_OverscanEn[";
        QTest::newRow("fifth reply with another prefix") << 5 << wrong;
        QTest::newRow("display unanswered") << 13 << silent_for("WP_Display[");
        SimFaults noise;
        noise.noise = "#";
        noise.noise_only = "WP_BaudrateTx[";
        QTest::newRow("noise before the last reply") << 18 << noise;
    }
    void read_back_stops_at_the_first_failure()
    {
        QFETCH(int, failing_step);
        QFETCH(SimFaults, faults);
        fx = open_window();
        QVERIFY(fx);
        for (const Setting &s : settings) {
            preselect(*fx, combo(s.list), s.before);
            report(s);
        }
        fx->ui->lab_fw_ver_rx->setText(QStringLiteral("old"));
        fx->sim.set_faults(faults);
        fx->ui->cmd_ctrl_read->click();

        QCOMPARE(fx->sent(), readback_queries.mid(0, failing_step));
        QVERIFY(fail_shown(QStringLiteral("Read fail !")));
        QVERIFY(!fx->window->state().reading);
        QVERIFY(fx->ui->cmd_ctrl_read->isEnabled());
        for (const Setting &s : settings) {
            const int expected = s.step < failing_step ? s.selects : s.before;
            QVERIFY2(combo(s.list)->currentIndex() == expected, s.list);
        }
        QCOMPARE(fx->ui->lab_fw_ver_rx->text(),
            failing_step > 3 ? QStringLiteral("V1.05") : QStringLiteral("old"));
        // The input list keeps its start-up layout unless the identification was answered.
        QCOMPARE(fx->ui->cbo_input->count(), failing_step > 1 ? 3 : 2);
        QTRY_VERIFY_WITH_TIMEOUT(!fail_label()->isVisible(), 1500);
        fx->sim.set_faults({});
        QCOMPARE(sent_before_barrier(*fx), readback_queries.mid(0, failing_step));
    }

    void operator_choice_during_read_back_only_changes_the_list()
    {
        fx = open_window();
        QVERIFY(fx);
        fx->sim.with_model([](ReceiverModel &m) { m.set_value("WP_Display[", "On"); });
        bool enabled_after_choice = false;
        // After the display step (13) has been applied.
        run_when(
            fx->window.get(), [&] { return fx->sent().size() >= 14; },
            [&] {
                fx->ui->cbo_display->setCurrentIndex(1);
                enabled_after_choice = fx->ui->cbo_display->isEnabled();
            });
        fx->ui->cmd_ctrl_read->click();
        QVERIFY(enabled_after_choice);
        QCOMPARE(fx->ui->cbo_display->currentIndex(), 1);
        QVERIFY(!fail_label()->isVisible());
        QCOMPARE(sent_before_barrier(*fx), readback_queries);
    }

    // The picture Read started inside the receiver read-back must not lift the guard that the
    // receiver read-back still needs for the selections that follow.
    void picture_read_inside_the_read_back_keeps_the_guard()
    {
        fx = open_window();
        QVERIFY(fx);
        for (const Setting &s : settings)
            report(s);
        bool picture_read_ran = false;
        run_when(
            fx->window.get(), [&] { return fx->sent().size() >= 3; },
            [&] {
                picture_read_ran = true;
                fx->ui->cmd_pic_read->click();
            });
        fx->ui->cmd_ctrl_read->click();
        QVERIFY(picture_read_ran);
        QVERIFY(!fx->window->state().reading);
        const QList<QByteArray> sent = sent_before_barrier(*fx);
        for (const QByteArray &message : sent)
            QVERIFY2(!is_setting(message), message.constData());
        QList<QByteArray> receiver_queries;
        for (const QByteArray &message : sent) {
            if (!message.startsWith("WP_Picture"))
                receiver_queries << message;
        }
        QCOMPARE(receiver_queries, readback_queries);
        for (const Setting &s : settings)
            QVERIFY2(combo(s.list)->currentIndex() == s.selects, s.list);
    }

    // "Get" pressed in a pause between two read-back queries runs its own transactions; the
    // read-back goes on with the reply to its own query.
    void get_in_a_read_back_pause_leaves_the_read_back_whole()
    {
        fx = open_window();
        QVERIFY(fx);
        for (const Setting &s : settings)
            report(s);
        WindowLink &link = fx->window->link();
        bool got = false;
        run_when(
            fx->window.get(),
            [&] { return fx->sent().size() >= 4 && link.in_delay() && !link.link_busy(); },
            [&] {
                got = true;
                fx->ui->cmd_info->click();
            });
        fx->ui->cmd_ctrl_read->click();
        QVERIFY(got);
        QVERIFY2(!fail_label()->isVisible(), qPrintable(fail_label()->text()));
        const QList<QByteArray> sent = sent_before_barrier(*fx);
        QCOMPARE(sent.size(), readback_queries.size() + info_queries.size());
        for (const QByteArray &message : sent)
            QVERIFY2(!is_setting(message), message.constData());
        for (const Setting &s : settings)
            QVERIFY2(combo(s.list)->currentIndex() == s.selects, s.list);
    }

    void get_shows_versions_and_follows_the_baud_rate_data()
    {
        QTest::addColumn<int>("before");
        QTest::addColumn<QByteArray>("reported");
        QTest::addColumn<int>("after");
        QTest::addColumn<QList<QByteArray>>("echo");
        QTest::newRow("9600 shown, 115200 reported")
            << 0 << QByteArray("115200") << 1 << QList<QByteArray> { "WP_BaudrateTx[115200]$\r" };
        QTest::newRow("115200 shown and reported")
            << 1 << QByteArray("115200") << 1 << QList<QByteArray> {};
        QTest::newRow("nothing shown, 9600 reported")
            << -1 << QByteArray("9600") << 0 << QList<QByteArray> { "WP_BaudrateTx[9600]$\r" };
        QTest::newRow("unknown rate reported")
            << 0 << QByteArray("57600") << 0 << QList<QByteArray> {};
        QTest::newRow("rate with a space") << 1 << QByteArray("9600 ") << 1 << QList<QByteArray> {};
    }
    void get_shows_versions_and_follows_the_baud_rate()
    {
        QFETCH(int, before);
        QFETCH(QByteArray, reported);
        QFETCH(int, after);
        QFETCH(QList<QByteArray>, echo);
        fx = open_window();
        QVERIFY(fx);
        preselect(*fx, fx->ui->cbo_baudrate, before);
        fx->sim.with_model([&](ReceiverModel &m) {
            m.set_value("WP_BaudrateTx[", reported);
            m.set_value("WP_Info[", "RX-9.9 beta");
            m.set_value("WP_InfoTx[", "V1.02");
        });
        bool fields_empty_while_asking = false;
        bool button_disabled = false;
        run_when(
            fx->window.get(), [&] { return fx->window->link().link_busy(); },
            [&] {
                fields_empty_while_asking = fx->ui->lab_fw_ver_rx->text().isEmpty()
                    && fx->ui->lab_fw_ver_tx->text().isEmpty();
                button_disabled = !fx->ui->cmd_info->isEnabled();
            });
        fx->ui->lab_fw_ver_rx->setText(QStringLiteral("old rx"));
        fx->ui->lab_fw_ver_tx->setText(QStringLiteral("old tx"));
        fx->ui->cmd_info->click();
        QVERIFY(fields_empty_while_asking);
        QVERIFY(button_disabled);
        QVERIFY(fx->ui->cmd_info->isEnabled());
        QCOMPARE(fx->ui->cmd_info->text(), QStringLiteral("Get"));
        QCOMPARE(fx->ui->lab_fw_ver_rx->text(), QStringLiteral("RX-9.9 beta"));
        QCOMPARE(fx->ui->lab_fw_ver_tx->text(), QStringLiteral("V1.02"));
        QCOMPARE(fx->ui->cbo_baudrate->currentIndex(), after);
        QVERIFY(!fail_label()->isVisible());
        QCOMPARE(sent_before_barrier(*fx), info_queries + echo);
    }

    // "Get" cuts each reply by length alone, and a reply too short for that shows what is left.
    void get_cuts_replies_by_length_data()
    {
        QTest::addColumn<QByteArray>("prefix");
        QTest::addColumn<QByteArray>("value");
        QTest::addColumn<QByteArray>("wrong_prefix");
        QTest::addColumn<QByteArray>("noise");
        QTest::addColumn<QString>("rx");
        QTest::addColumn<QString>("tx");
        QTest::newRow("same length, other characters")
            << QByteArray("WP_Info[") << QByteArray("V1.05") << QByteArray("XX_Info[")
            << QByteArray() << QStringLiteral("V1.05") << QStringLiteral("V1.02");
        QTest::newRow("one character shorter")
            << QByteArray("WP_Info[") << QByteArray("V1.05") << QByteArray("WP_Inf[")
            << QByteArray() << QStringLiteral("1.05") << QStringLiteral("V1.02");
        QTest::newRow("noise in front")
            << QByteArray("WP_InfoTx[") << QByteArray("V1.02") << QByteArray() << QByteArray("ab")
            << QStringLiteral("V1.05") << QStringLiteral("x[V1.02");
        QTest::newRow("shorter than prefix and terminator")
            << QByteArray("WP_Info[") << QByteArray() << QByteArray("X") << QByteArray()
            << QString() << QStringLiteral("V1.02");
        QTest::newRow("empty value") << QByteArray("WP_InfoTx[") << QByteArray() << QByteArray()
                                     << QByteArray() << QStringLiteral("V1.05") << QString();
    }
    void get_cuts_replies_by_length()
    {
        QFETCH(QByteArray, prefix);
        QFETCH(QByteArray, value);
        QFETCH(QByteArray, wrong_prefix);
        QFETCH(QByteArray, noise);
        QFETCH(QString, rx);
        QFETCH(QString, tx);
        fx = open_window();
        QVERIFY(fx);
        fx->sim.with_model([&](ReceiverModel &m) { m.set_value(prefix, value); });
        SimFaults faults;
        faults.wrong_prefix = wrong_prefix;
        faults.wrong_prefix_only = prefix;
        faults.noise = noise;
        faults.noise_only = prefix;
        fx->sim.set_faults(faults);
        fx->ui->cmd_info->click();
        QCOMPARE(fx->ui->lab_fw_ver_rx->text(), rx);
        QCOMPARE(fx->ui->lab_fw_ver_tx->text(), tx);
        QVERIFY(!fail_label()->isVisible());
        QCOMPARE(fx->sent().mid(0, 3), info_queries);
    }

    void get_failures_data()
    {
        QTest::addColumn<QByteArray>("silent");
        QTest::addColumn<QList<QByteArray>>("asked");
        QTest::addColumn<QString>("rx");
        QTest::addColumn<QString>("tx");
        QTest::newRow("receiver version unanswered")
            << QByteArray("WP_Info[") << info_queries << QString() << QStringLiteral("V1.02");
        QTest::newRow("transmitter version unanswered: no baud rate asked")
            << QByteArray("WP_InfoTx[") << info_queries.mid(0, 2) << QStringLiteral("V1.05")
            << QString();
        QTest::newRow("baud rate unanswered") << QByteArray("WP_BaudrateTx[") << info_queries
                                              << QStringLiteral("V1.05") << QStringLiteral("V1.02");
        QTest::newRow("nothing answered")
            << QByteArray() << info_queries.mid(0, 2) << QString() << QString();
    }
    void get_failures()
    {
        QFETCH(QByteArray, silent);
        QFETCH(QList<QByteArray>, asked);
        QFETCH(QString, rx);
        QFETCH(QString, tx);
        fx = open_window();
        QVERIFY(fx);
        preselect(*fx, fx->ui->cbo_baudrate, 0);
        fx->sim.with_model([](ReceiverModel &m) { m.set_value("WP_BaudrateTx[", "9600"); });
        fx->ui->lab_fw_ver_rx->setText(QStringLiteral("old rx"));
        fx->ui->lab_fw_ver_tx->setText(QStringLiteral("old tx"));
        fx->sim.set_faults(silent_for(silent));
        fx->ui->cmd_info->click();
        QCOMPARE(fx->sent(), asked);
        QCOMPARE(fx->ui->lab_fw_ver_rx->text(), rx);
        QCOMPARE(fx->ui->lab_fw_ver_tx->text(), tx);
        QVERIFY(fail_shown(QStringLiteral("Send fail !")));
        QCOMPARE(fx->ui->cbo_baudrate->currentIndex(), 0);
        QVERIFY(fx->ui->cmd_info->isEnabled());
        QTRY_VERIFY_WITH_TIMEOUT(!fail_label()->isVisible(), 1500);
    }
};

QTEST_MAIN(TestReceiverReadback)
#include "test_receiver_readback.moc"
