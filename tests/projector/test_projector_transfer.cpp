// The frame's Send and Read of the projector command settings: the port settings and both raw
// display commands, through the real window against the simulated receiver.
#include "tests/support/window_fixture.h"

#include <QTest>

using namespace Qt::StringLiterals;

namespace {

QByteArray display_message(const QByteArray &prefix, const QByteArray &bytes)
{
    return prefix + QByteArray::number(bytes.size()) + ',' + bytes + "]$\r";
}

} // namespace

class TestProjectorTransfer : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void send_stores_port_settings_and_both_commands()
    {
        WindowFixture f(projector_section(1));
        START_WINDOW(f);
        f.ui->txt_proj_disp_on_hex->setText(u"50 57 52 20 4F 4E 0D"_s);
        f.ui->txt_proj_disp_off_hex->setText(u"50 57 52 20 4F 46 46 0D"_s);
        f.ui->lab_proj_reply->clear();

        f.ui->cmd_proj_send->click();
        const QList<QByteArray> sent = f.sent();
        QCOMPARE(sent.size(), 3);
        QCOMPARE(sent[0], QByteArray("WP_DisplaySet[115200,8,N,1.5]$\r"));
        QCOMPARE(sent[1], QByteArray("WP_DisplayOn[7,PWR ON\r]$\r"));
        QCOMPARE(sent[1].size(), 25);
        QCOMPARE(sent[2], QByteArray("WP_DisplayOff[8,PWR OFF\r]$\r"));
        QCOMPARE(sent[2].size(), 27);
        QCOMPARE(f.ui->lab_proj_reply->text(), QString());
        QVERIFY(f.ui->cmd_proj_send->isEnabled());
        // The receiver took them as its new values.
        f.sim.with_model([](ReceiverModel &m) {
            QCOMPARE(m.value("WP_DisplaySet["), QByteArray("115200,8,N,1.5"));
            QCOMPARE(m.value("WP_DisplayOn["), QByteArray("PWR ON\r"));
            QCOMPARE(m.value("WP_DisplayOff["), QByteArray("PWR OFF\r"));
        });
    }

    void raw_bytes_travel_byte_for_byte()
    {
        WindowFixture f(projector_section(1));
        START_WINDOW(f);
        f.ui->txt_proj_disp_on_hex->setText(u"00 5D 24 0D 41 FF"_s);
        f.ui->txt_proj_disp_off_hex->setText(u"5D 5D 24 0D"_s);

        f.ui->cmd_proj_send->click();
        const QByteArray on = QByteArray::fromHex("005D240D41FF");
        const QByteArray off = QByteArray::fromHex("5D5D240D");
        const QList<QByteArray> sent = f.sent();
        QCOMPARE(sent.size(), 3);
        QCOMPARE(sent[1], display_message("WP_DisplayOn[", on));
        QCOMPARE(sent[2], display_message("WP_DisplayOff[", off));
        f.sim.with_model([&](ReceiverModel &m) {
            QCOMPARE(m.value("WP_DisplayOn["), on);
            QCOMPARE(m.value("WP_DisplayOff["), off);
        });
    }

    void hex_entry_is_rewritten_normalized_and_counted()
    {
        WindowFixture f(projector_section(1));
        START_WINDOW(f);
        f.ui->txt_proj_disp_on_hex->setText(u"1 2 3"_s);
        f.ui->txt_proj_disp_off_hex->setText(u" a  b "_s);

        f.ui->cmd_proj_send->click();
        QCOMPARE(f.ui->txt_proj_disp_on_hex->text(), u"01 02 03 "_s);
        QCOMPARE(f.ui->txt_proj_disp_off_hex->text(), u"0A 0B "_s);
        const QList<QByteArray> sent = f.sent();
        QCOMPARE(sent.size(), 3);
        QCOMPARE(sent[1], QByteArray("WP_DisplayOn[3,\x01\x02\x03]$\r"));
        QCOMPARE(sent[2], QByteArray("WP_DisplayOff[2,\x0A\x0B]$\r"));
    }

    void missing_command_refuses_the_whole_send_data()
    {
        QTest::addColumn<int>("view");
        QTest::addColumn<QString>("on");
        QTest::addColumn<QString>("off");
        QTest::newRow("text view, display off empty") << 0 << u"ON"_s << QString();
        QTest::newRow("text view, display on empty") << 0 << QString() << u"OFF"_s;
        QTest::newRow("hex view, display on rejected") << 1 << u"0G"_s << u"41"_s;
        QTest::newRow("hex view, display off spaces only") << 1 << u"41"_s << u"   "_s;
    }
    void missing_command_refuses_the_whole_send()
    {
        QFETCH(int, view);
        QFETCH(QString, on);
        QFETCH(QString, off);
        WindowFixture f(projector_section(view));
        START_WINDOW(f);
        (view == 0 ? f.ui->txt_proj_disp_on_text : f.ui->txt_proj_disp_on_hex)->setText(on);
        (view == 0 ? f.ui->txt_proj_disp_off_text : f.ui->txt_proj_disp_off_hex)->setText(off);

        f.ui->cmd_proj_send->click();
        QCOMPARE(f.sent(), QList<QByteArray>());
        QCOMPARE(f.prompts.texts(), QStringList { u"[Display On] or [Display Off] is wrong !"_s });
        QCOMPARE(f.prompts.shown.first().icon, Prompts::Icon::Critical);
        QVERIFY(f.ui->cmd_proj_send->isEnabled());
        if (view == 1) // the operator sees what was taken: a rejected entry leaves its box empty
            QVERIFY(f.ui->txt_proj_disp_on_hex->text().isEmpty()
                || f.ui->txt_proj_disp_off_hex->text().isEmpty());
    }

    void command_too_long_for_the_buffer_is_refused_data()
    {
        QTest::addColumn<int>("on_bytes");
        QTest::addColumn<int>("off_bytes");
        QTest::addColumn<QString>("refusal");
        QTest::newRow("longest that fit") << 56 << 55 << QString();
        QTest::newRow("display on one too many")
            << 57 << 1 << u"[Display On] is too long: at most 56 bytes can be sent !"_s;
        QTest::newRow("display off one too many")
            << 1 << 56 << u"[Display Off] is too long: at most 55 bytes can be sent !"_s;
        QTest::newRow("hex box full of one-digit groups")
            << 75 << 75 << u"[Display On] is too long: at most 56 bytes can be sent !"_s;
    }
    void command_too_long_for_the_buffer_is_refused()
    {
        QFETCH(int, on_bytes);
        QFETCH(int, off_bytes);
        QFETCH(QString, refusal);
        WindowFixture f(projector_section(1));
        START_WINDOW(f);
        // One-digit groups let a hex box hold up to 75 bytes.
        f.ui->txt_proj_disp_on_hex->setText(u"7 "_s.repeated(on_bytes));
        f.ui->txt_proj_disp_off_hex->setText(u"9 "_s.repeated(off_bytes));

        f.ui->cmd_proj_send->click();
        if (!refusal.isEmpty()) {
            QCOMPARE(f.sent(), QList<QByteArray>());
            QCOMPARE(f.prompts.texts(), QStringList { refusal });
            return;
        }
        QCOMPARE(f.prompts.texts(), QStringList());
        const QList<QByteArray> sent = f.sent();
        QCOMPARE(sent.size(), 3);
        QCOMPARE(sent[1], display_message("WP_DisplayOn[", QByteArray(on_bytes, '\x07')));
        QCOMPARE(sent[1].size(), 75);
        QCOMPARE(sent[2], display_message("WP_DisplayOff[", QByteArray(off_bytes, '\x09')));
        QCOMPARE(sent[2].size(), 75);
    }

    void display_step_without_reply_fails_and_the_next_goes_on()
    {
        WindowFixture f(projector_section(0));
        START_WINDOW(f);
        f.ui->txt_proj_disp_on_text->setText(u"ON"_s);
        f.ui->txt_proj_disp_off_text->setText(u"OFF"_s);
        SimFaults faults;
        faults.silent = { "WP_DisplayOn[" };
        f.sim.set_faults(faults);
        f.ui->lab_proj_reply->clear();

        f.ui->cmd_proj_send->click();
        QCOMPARE(f.ui->lab_proj_reply->text(), u"Send fail !"_s);
        QCOMPARE(f.sent().size(), 3);
        QCOMPARE(f.sent()[2], QByteArray("WP_DisplayOff[3,OFF]$\r"));
    }

    void read_back_shows_each_command_in_both_views_data()
    {
        QTest::addColumn<QByteArray>("receiver");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("hex");
        QTest::newRow("carriage return in the middle") << QByteArray("A\rB")
                                                       << u"A\x08"
                                                          "B"_s
                                                       << u"41 0D 42 "_s;
        QTest::newRow("no bytes") << QByteArray() << QString() << QString();
        QTest::newRow("every kind of byte") << QByteArray::fromHex("007E7FFF1B20")
                                            << u"\x07~\x07\x07\x07 "_s << u"00 7E 7F FF 1B 20 "_s;
        // 56 bytes fill the 75-byte buffer exactly; each box shows what its limit holds.
        QTest::newRow("longest that fits the buffer")
            << QByteArray(56, 'Z') << QString(50, u'Z') << u"5A "_s.repeated(50);
    }
    void read_back_shows_each_command_in_both_views()
    {
        QFETCH(QByteArray, receiver);
        QFETCH(QString, text);
        QFETCH(QString, hex);
        WindowFixture f(projector_section(0));
        START_WINDOW(f);
        f.sim.with_model([&](ReceiverModel &m) { m.set_value("WP_DisplayOn[", receiver); });
        f.ui->txt_proj_disp_on_text->setText(u"old"_s);
        f.ui->txt_proj_disp_on_hex->setText(u"6F 6C 64 "_s);
        f.ui->lab_proj_reply->clear();

        f.ui->cmd_proj_read->click();
        QCOMPARE(f.ui->lab_proj_reply->text(), QString());
        QCOMPARE(f.ui->txt_proj_disp_on_text->text(), text);
        QCOMPARE(f.ui->txt_proj_disp_on_hex->text(), hex);
        QCOMPARE(f.ui->txt_proj_disp_off_text->text(), u"PWR OFF\x08"_s);
        QCOMPARE(f.ui->txt_proj_disp_off_hex->text(), u"50 57 52 20 4F 46 46 0D "_s);
    }

    void command_read_back_is_sent_again_unchanged_from_the_text_view()
    {
        WindowFixture f(projector_section(0));
        START_WINDOW(f);
        const QByteArray on = QByteArray::fromHex("02410D4203");
        f.sim.with_model([&](ReceiverModel &m) { m.set_value("WP_DisplayOn[", on); });
        f.ui->cmd_proj_read->click();
        QCOMPARE(f.ui->txt_proj_disp_on_text->text(),
            u"\x07"
            "A\x08"
            "B\x07"_s);

        f.clear_sent();
        f.ui->cmd_proj_send->click();
        QCOMPARE(f.sent().size(), 3);
        QCOMPARE(f.sent()[1], display_message("WP_DisplayOn[", on));
        QCOMPARE(f.sent()[2], display_message("WP_DisplayOff[", "PWR OFF\r"));
    }

    void unusable_command_reply_fails_and_keeps_the_command_data()
    {
        QTest::addColumn<QByteArray>("reply");
        QTest::newRow("count beyond the bytes received") << QByteArray("WP_DisplayOn[9,AB]$\r");
        QTest::newRow("count reaching into the terminator") << QByteArray("WP_DisplayOn[4,AB]$\r");
        QTest::newRow("no comma") << QByteArray("WP_DisplayOn[AB]$\r");
        QTest::newRow("negative count") << QByteArray("WP_DisplayOn[-1,AB]$\r");
        QTest::newRow("reply beyond the buffer")
            << display_message("WP_DisplayOn[", QByteArray(60, 'x'));
        QTest::newRow("count beyond the buffer") << QByteArray("WP_DisplayOn[99,AB]$\r");
        QTest::newRow("another command's reply") << QByteArray("WP_DisplayOff[2,AB]$\r");
    }
    void unusable_command_reply_fails_and_keeps_the_command()
    {
        QFETCH(QByteArray, reply);
        WindowFixture f(projector_section(0));
        START_WINDOW(f);
        SimFaults faults;
        faults.silent = { "WP_DisplayOn[" };
        f.sim.set_faults(faults);
        f.sim.set_message_hook([&](const QByteArray &message) {
            if (message.startsWith("WP_DisplayOn[?"))
                f.sim.send_raw(reply);
        });
        f.ui->txt_proj_disp_on_text->setText(u"KEEP"_s);
        f.ui->txt_proj_disp_on_hex->setText(u"4B 45 45 50 "_s);
        f.ui->lab_proj_reply->clear();

        f.ui->cmd_proj_read->click();
        f.sim.set_message_hook({});
        QCOMPARE(f.ui->lab_proj_reply->text(), u"Read fail !"_s);
        QCOMPARE(f.ui->txt_proj_disp_on_text->text(), u"KEEP"_s);
        QCOMPARE(f.ui->txt_proj_disp_on_hex->text(), u"4B 45 45 50 "_s);
        // The display-off step still ran.
        QCOMPARE(f.ui->txt_proj_disp_off_hex->text(), u"50 57 52 20 4F 46 46 0D "_s);

        // What stands in the boxes is what a Send takes.
        f.clear_sent();
        f.ui->cmd_proj_send->click();
        QCOMPARE(f.sent().size(), 3);
        QCOMPARE(f.sent()[1], QByteArray("WP_DisplayOn[4,KEEP]$\r"));
    }
};

QTEST_MAIN(TestProjectorTransfer)
#include "test_projector_transfer.moc"
