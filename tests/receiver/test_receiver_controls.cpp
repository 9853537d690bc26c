// The receiver setting lists and action buttons of the real window against the simulated receiver.
#include "tests/receiver/receiver_test_support.h"

#include <QTest>

using namespace rx_test;

class TestReceiverControls : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<WindowFixture> fx;

    QComboBox *combo(const QString &name) const { return child<QComboBox>(*fx, name); }
    QLabel *fail_label() const { return fx->ui->lab_ctrl_reply; }
    bool fail_shown(const QString &text) const
    {
        return fail_label()->isVisible() && fail_label()->text() == text;
    }

    // Chooses position in the named list, or presses the named button when position is -1.
    void act(const QString &name, int position)
    {
        if (position >= 0) {
            QComboBox *list = combo(name);
            QVERIFY2(list, qPrintable(name));
            list->setCurrentIndex(position);
        } else {
            auto *button = child<QAbstractButton>(*fx, name);
            QVERIFY2(button, qPrintable(name));
            button->click();
        }
    }

private Q_SLOTS:
    void cleanup() { fx.reset(); }

    void start_up_selects_nothing_and_sends_nothing()
    {
        fx = open_window();
        QVERIFY(fx);
        const char *const lists[] = { "cbo_input", "cbo_aspect", "cbo_display", "cbo_disp_mode",
            "cbo_output", "cbo_in_prefer", "cbo_hdcp_in", "cbo_overscan_en", "cbo_overscan_h",
            "cbo_overscan_v", "cbo_audio_en", "cbo_audio_hdmi", "cbo_audio_lr", "cbo_standby",
            "cbo_baudrate" };
        for (const char *name : lists) {
            QComboBox *list = combo(QString::fromLatin1(name));
            QVERIFY2(list, name);
            QVERIFY2(list->count() > 0, name);
            QCOMPARE(list->currentIndex(), -1);
        }
        QCOMPARE(combo(QStringLiteral("cbo_overscan_h"))->count(), 51);
        QCOMPARE(combo(QStringLiteral("cbo_overscan_v"))->itemText(50), QStringLiteral("50"));
        QCOMPARE(fx->ui->cbo_input->count(), 2);
        QVERIFY(!fail_label()->isVisible());
        QCOMPARE(sent_before_barrier(*fx), QList<QByteArray> {});
    }

    void list_sends_its_argument_word_data()
    {
        QTest::addColumn<QString>("list");
        QTest::addColumn<int>("position");
        QTest::addColumn<QString>("entry");
        QTest::addColumn<QByteArray>("message");
        const auto row = [](const char *name, const char *list, int position, const char *entry,
                             const char *message) {
            QTest::newRow(name) << QString::fromLatin1(list) << position
                                << QString::fromLatin1(entry) << QByteArray(message);
        };
        row("input Hdmi", "cbo_input", 0, "Hdmi", "WP_Input[Hdmi]$\r");
        row("input Vga", "cbo_input", 1, "Vga", "WP_Input[Vga]$\r");
        row("aspect Full", "cbo_aspect", 0, "Full", "WP_Aspect[Full]$\r");
        row("aspect 16:9 TV", "cbo_aspect", 1, "16:9 TV", "WP_Aspect[16:9]$\r");
        row("aspect 16:10 TV", "cbo_aspect", 2, "16:10 TV", "WP_Aspect[16:10]$\r");
        row("aspect 4:3 TV", "cbo_aspect", 3, "4:3 TV", "WP_Aspect[4:3]$\r");
        row("aspect Keep Ratio", "cbo_aspect", 4, "Keep Ratio", "WP_Aspect[Keep]$\r");
        row("display On", "cbo_display", 0, "On", "WP_Display[On]$\r");
        row("display Off", "cbo_display", 1, "Off", "WP_Display[Off]$\r");
        row("mode DispSW AVon", "cbo_disp_mode", 0, "DispSW AVon", "WP_DisplayMode[DispSWAVOn]$\r");
        row("mode DispSW AVSW", "cbo_disp_mode", 1, "DispSW AVSW", "WP_DisplayMode[DispSWAVSW]$\r");
        row("mode AV SW", "cbo_disp_mode", 2, "AV SW", "WP_DisplayMode[AVSW]$\r");
        row("mode Always ON", "cbo_disp_mode", 3, "Always ON", "WP_DisplayMode[AlwaysOn]$\r");
        row("output first", "cbo_output", 0, "Auto", "WP_Output[0]$\r");
        row("output eleventh", "cbo_output", 10, "1440x900", "WP_Output[10]$\r");
        row("input resolution first", "cbo_in_prefer", 0, "640x480", "WP_InputPrefer[0]$\r");
        row("input resolution eleventh", "cbo_in_prefer", 10, "1600x1200", "WP_InputPrefer[10]$\r");
        row("hdcp Compliant", "cbo_hdcp_in", 0, "Compliant", "WP_HdcpInput[HDCP]$\r");
        row("hdcp Noncompliant", "cbo_hdcp_in", 1, "Noncompliant", "WP_HdcpInput[NotHDCP]$\r");
        row("hdcp Auto", "cbo_hdcp_in", 2, "Auto", "WP_HdcpInput[Auto]$\r");
        row("overscan Yes", "cbo_overscan_en", 0, "Yes", "WP_OverscanEn[Yes]$\r");
        row("overscan No", "cbo_overscan_en", 1, "No", "WP_OverscanEn[No]$\r");
        row("overscan H 0", "cbo_overscan_h", 0, "0", "WP_OverscanH[0]$\r");
        row("overscan H 37", "cbo_overscan_h", 37, "37", "WP_OverscanH[37]$\r");
        row("overscan V 50", "cbo_overscan_v", 50, "50", "WP_OverscanV[50]$\r");
        row("audio Off", "cbo_audio_en", 1, "Off", "WP_AudioEn[Off]$\r");
        row("audio HDMI On", "cbo_audio_hdmi", 0, "On", "WP_AudioHdmi[On]$\r");
        row("audio L/R Off", "cbo_audio_lr", 1, "Off", "WP_AudioLR[Off]$\r");
        row("auto-off first", "cbo_standby", 0, "Off", "WP_AutoOff[0]$\r");
        row("auto-off 600", "cbo_standby", 3, "600", "WP_AutoOff[600]$\r");
        row("baud 9600", "cbo_baudrate", 0, "9600", "WP_BaudrateTx[9600]$\r");
        row("baud 115200", "cbo_baudrate", 1, "115200", "WP_BaudrateTx[115200]$\r");
    }
    void list_sends_its_argument_word()
    {
        QFETCH(QString, list);
        QFETCH(int, position);
        QFETCH(QString, entry);
        QFETCH(QByteArray, message);
        fx = open_window();
        QVERIFY(fx);
        QComboBox *box = combo(list);
        QCOMPARE(box->itemText(position), entry);
        box->setCurrentIndex(position);
        QTRY_COMPARE(fx->sent(), QList<QByteArray> { message });
        QCOMPARE(box->currentIndex(), position);
        QVERIFY(box->isEnabled());
        QVERIFY(!fail_label()->isVisible());
        QVERIFY(fx->prompts.shown.isEmpty());
        QCOMPARE(sent_before_barrier(*fx), QList<QByteArray> { message });
    }

    void choosing_the_shown_entry_again_sends_nothing()
    {
        fx = open_window();
        QVERIFY(fx);
        fx->ui->cbo_aspect->setCurrentIndex(2);
        fx->ui->cbo_aspect->setCurrentIndex(2);
        QCOMPARE(sent_before_barrier(*fx), QList<QByteArray> { "WP_Aspect[16:10]$\r" });
    }

    void auto_off_entries_send_zero_first_then_their_trimmed_text_data()
    {
        QTest::addColumn<int>("position");
        QTest::addColumn<QByteArray>("message");
        QTest::newRow("first entry, whatever it reads") << 0 << QByteArray("WP_AutoOff[0]$\r");
        QTest::newRow("entry with surrounding spaces") << 1 << QByteArray("WP_AutoOff[120]$\r");
        QTest::newRow("plain entry") << 2 << QByteArray("WP_AutoOff[900]$\r");
    }
    void auto_off_entries_send_zero_first_then_their_trimmed_text()
    {
        QFETCH(int, position);
        QFETCH(QByteArray, message);
        fx = open_window({}, [](WindowFixture &f) {
            f.write_file(
                QStringLiteral("auto_off.txt"), "\"Never\"\r\n\"  120 \"\r\n\"900\"\r\nEND\r\n");
        });
        QVERIFY(fx);
        QCOMPARE(fx->ui->cbo_standby->count(), 3);
        QCOMPARE(fx->ui->cbo_standby->itemText(0), QStringLiteral("Never"));
        fx->ui->cbo_standby->setCurrentIndex(position);
        QCOMPARE(sent_before_barrier(*fx), QList<QByteArray> { message });
    }

    void buttons_send_go_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QByteArray>("message");
        QTest::newRow("system reset")
            << QStringLiteral("cmd_sys_rst") << QStringLiteral("System Reset")
            << QByteArray("WP_SystemRst[Go]$\r");
        QTest::newRow("VGA auto adjust")
            << QStringLiteral("cmd_vga_auto") << QStringLiteral("Start")
            << QByteArray("WP_VgaAuto[Go]$\r");
    }
    void buttons_send_go()
    {
        QFETCH(QString, button);
        QFETCH(QString, caption);
        QFETCH(QByteArray, message);
        fx = open_window();
        QVERIFY(fx);
        auto *pressed = child<QAbstractButton>(*fx, button);
        QVERIFY(pressed);
        // Disabled for exactly its own transaction, caption unchanged, no question first.
        bool disabled_in_wait = false;
        QString caption_in_wait;
        run_when(
            fx->window.get(), [&] { return fx->window->link().link_busy(); },
            [&] {
                disabled_in_wait = !pressed->isEnabled();
                caption_in_wait = pressed->text();
            });
        pressed->click();
        QVERIFY(disabled_in_wait);
        QCOMPARE(caption_in_wait, caption);
        QVERIFY(pressed->isEnabled());
        QCOMPARE(fx->sent(), QList<QByteArray> { message });
        QVERIFY(fx->prompts.shown.isEmpty());
        QVERIFY(!fail_label()->isVisible());
    }

    void waiting_control_is_disabled_only_for_its_own_send_data()
    {
        QTest::addColumn<QString>("list");
        QTest::addColumn<int>("position");
        QTest::newRow("aspect") << QStringLiteral("cbo_aspect") << 1;
        QTest::newRow("input") << QStringLiteral("cbo_input") << 1;
        QTest::newRow("output") << QStringLiteral("cbo_output") << 3;
        QTest::newRow("audio L/R") << QStringLiteral("cbo_audio_lr") << 1;
        QTest::newRow("baud rate") << QStringLiteral("cbo_baudrate") << 0;
    }
    void waiting_control_is_disabled_only_for_its_own_send()
    {
        QFETCH(QString, list);
        QFETCH(int, position);
        fx = open_window();
        QVERIFY(fx);
        QComboBox *own = combo(list);
        bool own_disabled = false;
        bool others_enabled = false;
        run_when(
            fx->window.get(), [&] { return fx->window->link().link_busy(); },
            [&] {
                own_disabled = !own->isEnabled();
                others_enabled = fx->ui->cbo_display->isEnabled()
                    && fx->ui->cbo_overscan_h->isEnabled() && fx->ui->cmd_ctrl_read->isEnabled()
                    && fx->ui->cmd_sys_rst->isEnabled();
            });
        own->setCurrentIndex(position);
        QVERIFY(own_disabled);
        QVERIFY(others_enabled);
        QVERIFY(own->isEnabled());
    }

    // A receiver that never answers: what each control shows, and for how long.
    void silent_receiver_data()
    {
        QTest::addColumn<QString>("control");
        QTest::addColumn<int>("position");
        QTest::addColumn<QByteArray>("message");
        QTest::addColumn<bool>("fail");
        QTest::newRow("aspect waits")
            << QStringLiteral("cbo_aspect") << 3 << QByteArray("WP_Aspect[4:3]$\r") << true;
        QTest::newRow("hdcp waits")
            << QStringLiteral("cbo_hdcp_in") << 1 << QByteArray("WP_HdcpInput[NotHDCP]$\r") << true;
        QTest::newRow("overscan enable waits") << QStringLiteral("cbo_overscan_en") << 0
                                               << QByteArray("WP_OverscanEn[Yes]$\r") << true;
        QTest::newRow("overscan H does not wait")
            << QStringLiteral("cbo_overscan_h") << 5 << QByteArray("WP_OverscanH[5]$\r") << false;
        QTest::newRow("overscan V does not wait")
            << QStringLiteral("cbo_overscan_v") << 6 << QByteArray("WP_OverscanV[6]$\r") << false;
        QTest::newRow("auto-off does not wait")
            << QStringLiteral("cbo_standby") << 1 << QByteArray("WP_AutoOff[60]$\r") << false;
        QTest::newRow("system reset")
            << QStringLiteral("cmd_sys_rst") << -1 << QByteArray("WP_SystemRst[Go]$\r") << true;
        QTest::newRow("VGA auto adjust")
            << QStringLiteral("cmd_vga_auto") << -1 << QByteArray("WP_VgaAuto[Go]$\r") << true;
    }
    void silent_receiver()
    {
        QFETCH(QString, control);
        QFETCH(int, position);
        QFETCH(QByteArray, message);
        QFETCH(bool, fail);
        fx = open_window();
        QVERIFY(fx);
        fx->sim.set_faults(silent_for({}));
        act(control, position);
        QTRY_COMPARE(fx->sent(), QList<QByteArray> { message });
        QCOMPARE(fail_shown(QStringLiteral("Send fail !")), fail);
        QVERIFY(child<QWidget>(*fx, control)->isEnabled());
        if (position >= 0)
            QCOMPARE(combo(control)->currentIndex(), position);
        // The fail timer hides the label on its next tick, at most a second later.
        QTRY_VERIFY_WITH_TIMEOUT(!fail_label()->isVisible(), 1500);
        QVERIFY(fx->prompts.shown.isEmpty());
    }

    void closed_port_data()
    {
        QTest::addColumn<QString>("control");
        QTest::addColumn<int>("position");
        QTest::addColumn<int>("messages");
        QTest::addColumn<QString>("fail");
        QTest::newRow("aspect") << QStringLiteral("cbo_aspect") << 1 << 1
                                << QStringLiteral("Send fail !");
        QTest::newRow("baud rate")
            << QStringLiteral("cbo_baudrate") << 1 << 1 << QStringLiteral("Send fail !");
        QTest::newRow("overscan H") << QStringLiteral("cbo_overscan_h") << 4 << 1 << QString();
        QTest::newRow("auto-off") << QStringLiteral("cbo_standby") << 0 << 1 << QString();
        QTest::newRow("system reset")
            << QStringLiteral("cmd_sys_rst") << -1 << 1 << QStringLiteral("Send fail !");
        QTest::newRow("VGA auto adjust")
            << QStringLiteral("cmd_vga_auto") << -1 << 1 << QStringLiteral("Send fail !");
        // Read stops at its first query; Get asks twice (the baud rate only after the
        // transmitter's version).
        QTest::newRow("Read") << QStringLiteral("cmd_ctrl_read") << -1 << 1
                              << QStringLiteral("Read fail !");
        QTest::newRow("Get") << QStringLiteral("cmd_info") << -1 << 2
                             << QStringLiteral("Send fail !");
    }
    void closed_port()
    {
        QFETCH(QString, control);
        QFETCH(int, position);
        QFETCH(int, messages);
        QFETCH(QString, fail);
        fx = open_window();
        QVERIFY(fx);
        fx->ui->cmd_conn_1->click();
        QVERIFY(!fx->window->link().port_open());
        QStringList fail_when_shown;
        fx->prompts.on_show = [&](const ScriptedPrompts::Shown &) {
            fail_when_shown << (fail_label()->isVisible() ? fail_label()->text() : QString());
        };
        act(control, position);
        QCOMPARE(
            fx->prompts.texts(), QStringList(messages, QStringLiteral("RS232 is disconnected !")));
        for (const ScriptedPrompts::Shown &shown : fx->prompts.shown)
            QCOMPARE(shown.icon, Prompts::Icon::Critical);
        // The message box comes first; a failure label only after it.
        QCOMPARE(fail_when_shown.first(), QString());
        if (fail.isEmpty())
            QVERIFY(!fail_label()->isVisible());
        else
            QVERIFY(fail_shown(fail));
        QVERIFY(child<QWidget>(*fx, control)->isEnabled());

        fx->ui->cmd_conn_0->click();
        QVERIFY(fx->window->link().port_open());
        QCOMPARE(sent_before_barrier(*fx), QList<QByteArray> {});
    }

    void send_from_another_control_during_a_wait_is_refused()
    {
        fx = open_window();
        QVERIFY(fx);
        SimFaults faults;
        faults.delay_ms = 200;
        faults.delay_only = "WP_Aspect[";
        fx->sim.set_faults(faults);
        bool chosen_in_wait = false;
        run_when(
            fx->window.get(), [&] { return fx->window->link().link_busy(); },
            [&] {
                chosen_in_wait = true;
                fx->ui->cbo_display->setCurrentIndex(1);
                fx->ui->cbo_overscan_h->setCurrentIndex(7);
            });
        fx->ui->cbo_aspect->setCurrentIndex(4);
        QVERIFY(chosen_in_wait);
        // The waiting list that was refused reports it; the no-wait list sends nothing silently.
        QVERIFY(fail_shown(QStringLiteral("Send fail !")));
        QCOMPARE(fx->ui->cbo_display->currentIndex(), 1);
        QCOMPARE(fx->ui->cbo_overscan_h->currentIndex(), 7);
        QVERIFY(fx->ui->cbo_display->isEnabled());
        QVERIFY(fx->ui->cbo_aspect->isEnabled());
        QCOMPARE(sent_before_barrier(*fx), QList<QByteArray> { "WP_Aspect[Keep]$\r" });
    }

    void overscan_arrow_keys_send_one_command_per_step()
    {
        fx = open_window();
        QVERIFY(fx);
        QComboBox *list = fx->ui->cbo_overscan_v;
        preselect(*fx, list, 10);
        fx->window->activateWindow();
        list->setFocus();
        QTRY_VERIFY(list->hasFocus());
        for (int i = 0; i < 3; ++i)
            QTest::keyClick(list, Qt::Key_Down);
        QTest::keyClick(list, Qt::Key_Up);
        QTRY_COMPARE(fx->sent().size(), 4);
        QCOMPARE(fx->sent(),
            (QList<QByteArray> { "WP_OverscanV[11]$\r", "WP_OverscanV[12]$\r",
                "WP_OverscanV[13]$\r", "WP_OverscanV[12]$\r" }));
        QVERIFY(list->hasFocus());
        QVERIFY(list->isEnabled());
    }
};

QTEST_MAIN(TestReceiverControls)
#include "test_receiver_controls.moc"
