// The projector port lists, the display command editor and the behaviour controls, through the
// real window against the simulated receiver.
#include "tests/support/window_fixture.h"

#include <QTest>
#include <QTimer>

using namespace Qt::StringLiterals;

namespace {

// What a probe saw while a handler was still running (it fires only when events run).
struct Probe
{
    bool fired = false;
    bool enabled = true;
    bool reading = false;
};

} // namespace

class TestProjectorControls : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Projector port settings.

    void chosen_port_settings_go_out_with_the_frame_send_data()
    {
        QTest::addColumn<int>("baud");
        QTest::addColumn<int>("bits");
        QTest::addColumn<int>("parity");
        QTest::addColumn<int>("stop");
        QTest::addColumn<QByteArray>("message");
        QTest::newRow("mark") << 6 << 3 << 3 << 0 << QByteArray("WP_DisplaySet[115200,8,M,1]$\r");
        QTest::newRow("one and a half")
            << 1 << 3 << 0 << 1 << QByteArray("WP_DisplaySet[9600,8,N,1.5]$\r");
        QTest::newRow("two") << 0 << 0 << 1 << 2 << QByteArray("WP_DisplaySet[2400,5,O,2]$\r");
        QTest::newRow("56000 beside 57600")
            << 4 << 2 << 2 << 0 << QByteArray("WP_DisplaySet[56000,7,E,1]$\r");
        QTest::newRow("space") << 5 << 1 << 4 << 0 << QByteArray("WP_DisplaySet[57600,6,S,1]$\r");
    }
    void chosen_port_settings_go_out_with_the_frame_send()
    {
        QFETCH(int, baud);
        QFETCH(int, bits);
        QFETCH(int, parity);
        QFETCH(int, stop);
        QFETCH(QByteArray, message);
        WindowFixture f(projector_section());
        START_WINDOW(f);
        f.ui->txt_proj_disp_on_text->setText(u"ON"_s);
        f.ui->txt_proj_disp_off_text->setText(u"OFF"_s);
        f.ui->cbo_proj_baudrate->setCurrentIndex(baud);
        f.ui->cbo_proj_databit->setCurrentIndex(bits);
        f.ui->cbo_proj_parity->setCurrentIndex(parity);
        f.ui->cbo_proj_stopbit->setCurrentIndex(stop);
        QCOMPARE(f.sent(), QList<QByteArray>()); // choosing sends nothing

        f.ui->cmd_proj_send->click();
        QVERIFY(!f.sent().isEmpty());
        QCOMPARE(f.sent().first(), message);
    }

    void port_read_back_selects_the_lists_data()
    {
        QTest::addColumn<QByteArray>("receiver");
        QTest::addColumn<QStringList>("lists");
        QTest::addColumn<QByteArray>("next_send");
        // The lists start on the defaults 115200, 8, None, 1.5.
        QTest::newRow("all four") << QByteArray("19200,7,E,2")
                                  << QStringList { u"19200"_s, u"7"_s, u"Even"_s, u"2"_s }
                                  << QByteArray("WP_DisplaySet[19200,7,E,2]$\r");
        QTest::newRow("baud without entry is kept but not shown")
            << QByteArray("4800,8,N,1") << QStringList { u"115200"_s, u"8"_s, u"None"_s, u"1"_s }
            << QByteArray("WP_DisplaySet[4800,8,N,1]$\r");
        QTest::newRow("fields by position")
            << QByteArray("9600,10,N,1") << QStringList { u"9600"_s, u"8"_s, u"None"_s, u"1.5"_s }
            << QByteArray("WP_DisplaySet[9600,1,N,1.5]$\r");
    }
    void port_read_back_selects_the_lists()
    {
        QFETCH(QByteArray, receiver);
        QFETCH(QStringList, lists);
        QFETCH(QByteArray, next_send);
        WindowFixture f(projector_section());
        START_WINDOW(f);
        f.sim.with_model([&](ReceiverModel &m) { m.set_value("WP_DisplaySet[", receiver); });
        f.ui->lab_proj_reply->clear();

        f.ui->cmd_proj_read->click();
        QCOMPARE(f.ui->lab_proj_reply->text(), QString());
        const QStringList shown
            = { f.ui->cbo_proj_baudrate->currentText(), f.ui->cbo_proj_databit->currentText(),
                  f.ui->cbo_proj_parity->currentText(), f.ui->cbo_proj_stopbit->currentText() };
        QCOMPARE(shown, lists);
        // The read-back's own selections sent nothing: only the three queries went out.
        QCOMPARE(f.sent(),
            (QList<QByteArray> {
                "WP_DisplaySet[?]$\r", "WP_DisplayOn[?]$\r", "WP_DisplayOff[?]$\r" }));

        f.clear_sent();
        f.ui->cmd_proj_send->click();
        QVERIFY(!f.sent().isEmpty());
        QCOMPARE(f.sent().first(), next_send);
    }

    void unreadable_port_reply_fails_yet_the_commands_are_read_data()
    {
        QTest::addColumn<QByteArray>("receiver");
        QTest::addColumn<QByteArray>("wrong_prefix");
        QTest::newRow("no comma") << QByteArray("9600") << QByteArray();
        QTest::newRow("another command's reply")
            << QByteArray("19200,7,E,2") << QByteArray("WP_Aspect[");
    }
    void unreadable_port_reply_fails_yet_the_commands_are_read()
    {
        QFETCH(QByteArray, receiver);
        QFETCH(QByteArray, wrong_prefix);
        WindowFixture f(projector_section());
        START_WINDOW(f);
        f.sim.with_model([&](ReceiverModel &m) {
            m.set_value("WP_DisplaySet[", receiver);
            m.set_value("WP_DisplayOn[", "ON\r");
            m.set_value("WP_DisplayOff[", "OFF\r");
        });
        SimFaults faults;
        faults.wrong_prefix = wrong_prefix;
        faults.wrong_prefix_only = "WP_DisplaySet[";
        f.sim.set_faults(faults);
        f.ui->lab_proj_reply->clear();

        f.ui->cmd_proj_read->click();
        QCOMPARE(f.ui->lab_proj_reply->text(), u"Read fail !"_s);
        QCOMPARE(f.ui->cbo_proj_baudrate->currentText(), u"115200"_s);
        QCOMPARE(f.ui->cbo_proj_databit->currentText(), u"8"_s);
        QCOMPARE(f.ui->cbo_proj_parity->currentText(), u"None"_s);
        QCOMPARE(f.ui->cbo_proj_stopbit->currentText(), u"1.5"_s);
        // A reply did arrive, so the display commands are read all the same.
        QCOMPARE(f.ui->txt_proj_disp_on_hex->text(), u"4F 4E 0D "_s);
        QCOMPARE(f.ui->txt_proj_disp_off_hex->text(), u"4F 46 46 0D "_s);
    }

    void silent_port_settings_stop_both_display_steps_data()
    {
        QTest::addColumn<bool>("send");
        QTest::addColumn<QByteArray>("message");
        QTest::addColumn<QString>("failure");
        QTest::newRow("send") << true << QByteArray("WP_DisplaySet[115200,8,N,1.5]$\r")
                              << u"Send fail !"_s;
        QTest::newRow("read") << false << QByteArray("WP_DisplaySet[?]$\r") << u"Read fail !"_s;
    }
    void silent_port_settings_stop_both_display_steps()
    {
        QFETCH(bool, send);
        QFETCH(QByteArray, message);
        QFETCH(QString, failure);
        WindowFixture f(projector_section());
        START_WINDOW(f);
        f.ui->txt_proj_disp_on_text->setText(u"ON"_s);
        f.ui->txt_proj_disp_off_text->setText(u"OFF"_s);
        SimFaults faults;
        faults.silent = { "WP_DisplaySet[" };
        f.sim.set_faults(faults);
        f.ui->lab_proj_reply->clear();

        (send ? f.ui->cmd_proj_send : f.ui->cmd_proj_read)->click();
        QCOMPARE(f.ui->lab_proj_reply->text(), failure);
        QCOMPARE(f.sent(), QList<QByteArray> { message });
        QCOMPARE(f.ui->txt_proj_disp_on_text->text(), u"ON"_s);
        QVERIFY(f.ui->cmd_proj_send->isEnabled());
        QVERIFY(f.ui->cmd_proj_read->isEnabled());
    }

    // The display command editor.

    void start_up_shows_the_stored_view_data()
    {
        QTest::addColumn<int>("cmd_fmt");
        QTest::newRow("text") << 0;
        QTest::newRow("hex") << 1;
    }
    void start_up_shows_the_stored_view()
    {
        QFETCH(int, cmd_fmt);
        WindowFixture f(projector_section(cmd_fmt));
        START_WINDOW(f);
        const bool hex = cmd_fmt == 1;
        QCOMPARE(f.ui->opt_cmd_fmt_1->isChecked(), hex);
        QCOMPARE(f.ui->opt_cmd_fmt_0->isChecked(), !hex);
        QCOMPARE(f.ui->txt_proj_disp_on_hex->isVisible(), hex);
        QCOMPARE(f.ui->txt_proj_disp_off_hex->isVisible(), hex);
        QCOMPARE(f.ui->txt_proj_disp_on_text->isVisible(), !hex);
        QCOMPARE(f.ui->txt_proj_disp_off_text->isVisible(), !hex);
        QCOMPARE(f.ui->cmd_cr_disp_on->isVisible(), !hex);
        QCOMPARE(f.ui->cmd_cr_disp_off->isVisible(), !hex);
        for (QLineEdit *box : { f.ui->txt_proj_disp_on_text, f.ui->txt_proj_disp_off_text,
                 f.ui->txt_proj_disp_on_hex, f.ui->txt_proj_disp_off_hex }) {
            QCOMPARE(box->font().family(), u"DotumChe"_s);
            QCOMPARE(box->font().pointSize(), 12);
            QCOMPARE(box->text(), QString());
        }
        QCOMPARE(f.sent(), QList<QByteArray>());
    }

    void hex_entry_shows_placeholders_and_comes_back_normalized()
    {
        WindowFixture f(projector_section(1));
        START_WINDOW(f);
        f.ui->txt_proj_disp_on_hex->setFocus();
        QTest::keyClicks(f.ui->txt_proj_disp_on_hex, u"d a"_s);

        f.ui->opt_cmd_fmt_0->click();
        QCOMPARE(f.ui->txt_proj_disp_on_text->text(), u"\x08\x07"_s);
        QVERIFY(f.ui->txt_proj_disp_on_text->isVisible());
        QVERIFY(!f.ui->txt_proj_disp_on_hex->isVisible());
        QCOMPARE(f.window->state().cmd_fmt, CommandView::Text);

        // The placeholders find their bytes again: the record holds 0D 0A.
        f.ui->opt_cmd_fmt_1->click();
        QCOMPARE(f.ui->txt_proj_disp_on_hex->text(), u"0D 0A "_s);
        QCOMPARE(f.window->state().cmd_fmt, CommandView::Hex);
    }

    void cr_button_makes_the_appended_placeholder_a_carriage_return()
    {
        WindowFixture f(projector_section(1));
        START_WINDOW(f);
        // The record first holds other bytes (02 03), which the new text must not pick up.
        f.ui->txt_proj_disp_on_hex->setText(u"02 03"_s);
        f.ui->opt_cmd_fmt_0->click();
        QCOMPARE(f.ui->txt_proj_disp_on_text->text(), u"\x07\x07"_s);

        f.ui->txt_proj_disp_on_text->clear();
        f.ui->txt_proj_disp_on_text->setFocus();
        QTest::keyClicks(f.ui->txt_proj_disp_on_text, u"PWR ON"_s);
        f.ui->cmd_cr_disp_on->click();
        QCOMPARE(f.ui->txt_proj_disp_on_text->text(), u"PWR ON\x08"_s);

        f.ui->opt_cmd_fmt_1->click();
        QCOMPARE(f.ui->txt_proj_disp_on_hex->text(), u"50 57 52 20 4F 4E 0D "_s);
        QCOMPARE(f.ui->txt_proj_disp_off_hex->text(), QString());
    }

    void cr_on_a_full_box_turns_its_last_placeholder_into_a_return_data()
    {
        QTest::addColumn<QString>("hex_entry");
        QTest::addColumn<QString>("hex_after");
        // 49 letters and a line feed: the box is full, its record holds one byte.
        QTest::newRow("full text box")
            << u"41 "_s.repeated(49) + u"0A"_s << u"41 "_s.repeated(49) + u"0D "_s;
        // 75 one-digit groups: the record is full (75 bytes), the box shows the first 50.
        QTest::newRow("full record")
            << u"1 "_s.repeated(74) + u"1"_s << u"01 "_s.repeated(49) + u"0D "_s;
    }
    void cr_on_a_full_box_turns_its_last_placeholder_into_a_return()
    {
        QFETCH(QString, hex_entry);
        QFETCH(QString, hex_after);
        WindowFixture f(projector_section(1));
        START_WINDOW(f);
        f.ui->txt_proj_disp_off_hex->setText(hex_entry);
        QCOMPARE(f.ui->txt_proj_disp_off_hex->text(), hex_entry);
        f.ui->opt_cmd_fmt_0->click();
        const QString full = f.ui->txt_proj_disp_off_text->text();
        QCOMPARE(full.size(), 50);

        f.ui->cmd_cr_disp_off->click();
        QCOMPARE(f.ui->txt_proj_disp_off_text->text(), full);
        f.ui->opt_cmd_fmt_1->click();
        QCOMPARE(f.ui->txt_proj_disp_off_hex->text(), hex_after);
    }

    void rejected_hex_entry_gives_an_empty_command()
    {
        WindowFixture f(projector_section(1));
        START_WINDOW(f);
        f.ui->txt_proj_disp_on_hex->setText(u"50 0G"_s);
        f.ui->txt_proj_disp_off_hex->setText(u"50 0d"_s);
        f.ui->opt_cmd_fmt_0->click();
        QCOMPARE(f.ui->txt_proj_disp_on_text->text(), QString());
        QCOMPARE(f.ui->txt_proj_disp_off_text->text(), u"P\x08"_s);
        // The hidden hex box keeps the entry until the next switch back.
        QCOMPARE(f.ui->txt_proj_disp_on_hex->text(), u"50 0G"_s);
        f.ui->opt_cmd_fmt_1->click();
        QCOMPARE(f.ui->txt_proj_disp_on_hex->text(), QString());
        QCOMPARE(f.ui->txt_proj_disp_off_hex->text(), u"50 0D "_s);
    }

    void clicking_the_shown_view_writes_only_the_hidden_boxes_data()
    {
        QTest::addColumn<int>("view");
        QTest::newRow("text") << 0;
        QTest::newRow("hex") << 1;
    }
    void clicking_the_shown_view_writes_only_the_hidden_boxes()
    {
        QFETCH(int, view);
        WindowFixture f(projector_section(view));
        START_WINDOW(f);
        QLineEdit *shown = view == 0 ? f.ui->txt_proj_disp_on_text : f.ui->txt_proj_disp_on_hex;
        QLineEdit *hidden = view == 0 ? f.ui->txt_proj_disp_on_hex : f.ui->txt_proj_disp_on_text;
        shown->setText(view == 0 ? u"AB"_s : u"41  42"_s);
        hidden->setText(u"stale"_s);

        (view == 0 ? f.ui->opt_cmd_fmt_0 : f.ui->opt_cmd_fmt_1)->click();
        QCOMPARE(shown->text(), view == 0 ? u"AB"_s : u"41  42"_s);
        QCOMPARE(hidden->text(), view == 0 ? u"41 42 "_s : u"AB"_s);
        QCOMPARE(f.window->state().cmd_fmt, static_cast<CommandView>(view));
        QVERIFY(shown->isVisible());
        QVERIFY(!hidden->isVisible());
    }

    // The behaviour controls.

    void auto_display_choice_waits_with_the_list_disabled_data()
    {
        QTest::addColumn<bool>("on_list");
        QTest::addColumn<int>("entry");
        QTest::addColumn<QByteArray>("message");
        QTest::newRow("auto off Off") << false << 1 << QByteArray("WP_AutoDispOff[Off]$\r");
        QTest::newRow("auto off On") << false << 0 << QByteArray("WP_AutoDispOff[On]$\r");
        QTest::newRow("auto on Off") << true << 1 << QByteArray("WP_AutoDispOn[Off]$\r");
    }
    void auto_display_choice_waits_with_the_list_disabled()
    {
        QFETCH(bool, on_list);
        QFETCH(int, entry);
        QFETCH(QByteArray, message);
        WindowFixture f(projector_section());
        START_WINDOW(f);
        QComboBox *list = on_list ? f.ui->cbo_auto_on : f.ui->cbo_auto_off;
        Probe probe;
        QTimer::singleShot(0, list, [&] {
            probe.fired = true;
            probe.enabled = list->isEnabled();
        });
        list->setCurrentIndex(entry);
        QVERIFY(probe.fired); // the handler waited with events running
        QVERIFY(!probe.enabled);
        QVERIFY(list->isEnabled());
        QCOMPARE(f.sent(), QList<QByteArray> { message });
    }

    void projsw_choice_is_sent_without_waiting()
    {
        WindowFixture f(projector_section());
        START_WINDOW(f);
        Probe probe;
        QTimer::singleShot(0, f.ui->cbo_projsw, [&] { probe.fired = true; });
        f.ui->cbo_projsw->setCurrentIndex(60);
        QCOMPARE(f.ui->cbo_projsw->currentText(), u"300"_s);
        QVERIFY(!probe.fired); // returned without letting events run
        QVERIFY(f.ui->cbo_projsw->isEnabled());
        QVERIFY(f.sim.wait_for_received(1, 2000));
        QCOMPARE(f.sent(), QList<QByteArray> { "WP_ProjSW[300]$\r" });
    }

    void read_selects_the_replies_without_sending_data()
    {
        QTest::addColumn<QByteArray>("projsw");
        QTest::addColumn<QByteArray>("auto_on");
        QTest::addColumn<QByteArray>("auto_off");
        QTest::addColumn<QString>("projsw_shown");
        QTest::addColumn<int>("auto_on_shown");
        QTest::addColumn<int>("auto_off_shown");
        QTest::newRow("exact") << QByteArray("45") << QByteArray("Off") << QByteArray("On")
                               << u"45"_s << 1 << 0;
        QTest::newRow("rounded down")
            << QByteArray("47") << QByteArray("On") << QByteArray("Off") << u"45"_s << 0 << 1;
        QTest::newRow("last entry")
            << QByteArray("300") << QByteArray("Off") << QByteArray("Off") << u"300"_s << 1 << 1;
        QTest::newRow("beyond the list and unknown words")
            << QByteArray("305") << QByteArray("on") << QByteArray("OFF") << QString() << -1 << -1;
        QTest::newRow("below the list")
            << QByteArray("-5") << QByteArray("On") << QByteArray("On") << QString() << 0 << 0;
    }
    void read_selects_the_replies_without_sending()
    {
        QFETCH(QByteArray, projsw);
        QFETCH(QByteArray, auto_on);
        QFETCH(QByteArray, auto_off);
        QFETCH(QString, projsw_shown);
        QFETCH(int, auto_on_shown);
        QFETCH(int, auto_off_shown);
        WindowFixture f(projector_section());
        START_WINDOW(f);
        f.sim.with_model([&](ReceiverModel &m) {
            m.set_value("WP_ProjSW[", projsw);
            m.set_value("WP_AutoDispOn[", auto_on);
            m.set_value("WP_AutoDispOff[", auto_off);
        });
        Probe probe;
        QTimer::singleShot(0, f.ui->cmd_read_proj, [&] {
            probe.fired = true;
            probe.enabled = f.ui->cmd_read_proj->isEnabled();
            probe.reading = f.window->state().reading;
        });

        f.ui->cmd_read_proj->click();
        QVERIFY(probe.fired);
        QVERIFY(!probe.enabled);
        QVERIFY(probe.reading);
        QVERIFY(f.ui->cmd_read_proj->isEnabled());
        QVERIFY(!f.window->state().reading);
        QCOMPARE(f.ui->cbo_projsw->currentText(), projsw_shown);
        QCOMPARE(f.ui->cbo_auto_on->currentIndex(), auto_on_shown);
        QCOMPARE(f.ui->cbo_auto_off->currentIndex(), auto_off_shown);
        QTest::qWait(50); // a stray no-wait send would have arrived by now
        QCOMPARE(f.sent(),
            (QList<QByteArray> {
                "WP_ProjSW[?]$\r", "WP_AutoDispOn[?]$\r", "WP_AutoDispOff[?]$\r" }));
    }

    void read_stops_quietly_at_the_first_missing_reply()
    {
        WindowFixture f(projector_section());
        START_WINDOW(f);
        SimFaults faults;
        faults.silent = { "WP_ProjSW[" };
        f.sim.set_faults(faults);
        f.ui->lab_proj_reply->clear();

        f.ui->cmd_read_proj->click();
        QCOMPARE(f.sent(), QList<QByteArray> { "WP_ProjSW[?]$\r" });
        QCOMPARE(f.ui->cbo_projsw->currentIndex(), -1);
        QCOMPARE(f.ui->cbo_auto_on->currentIndex(), -1);
        QCOMPARE(f.ui->cbo_auto_off->currentIndex(), -1);
        QCOMPARE(f.ui->lab_proj_reply->text(), QString());
        QCOMPARE(f.prompts.shown.size(), 0);
        QVERIFY(f.ui->cmd_read_proj->isEnabled());
        QVERIFY(!f.window->state().reading);
    }
};

QTEST_MAIN(TestProjectorControls)
#include "test_projector_controls.moc"
