// Closing the window while a transaction waits for a late reply: the exit steps run once, the
// waiting sequence ends without sending or reporting anything more, and the settings are written.
#include "tests/receiver/receiver_test_support.h"

#include <QFile>
#include <QTest>

using namespace rx_test;

class TestCloseDuringWait : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void close_ends_the_waiting_sequence_data()
    {
        QTest::addColumn<int>("section");
        QTest::addColumn<QString>("button");
        QTest::newRow("receiver Read") << 1 << QStringLiteral("cmd_ctrl_read");
        QTest::newRow("picture Read") << 1 << QStringLiteral("cmd_pic_read");
        QTest::newRow("Get") << 1 << QStringLiteral("cmd_info");
        QTest::newRow("projector Send") << 0 << QStringLiteral("cmd_proj_send");
        QTest::newRow("projector Read") << 0 << QStringLiteral("cmd_proj_read");
        QTest::newRow("behaviour Read") << 0 << QStringLiteral("cmd_read_proj");
    }
    void close_ends_the_waiting_sequence()
    {
        QFETCH(int, section);
        QFETCH(QString, button);
        WindowFixture::Options options;
        options.open_section = section;
        options.cmd_fmt = 1;
        auto fx = open_window(options);
        QVERIFY(fx);
        fx->ui->txt_proj_disp_on_hex->setText(QStringLiteral("50 57 52 0D"));
        fx->ui->txt_proj_disp_off_hex->setText(QStringLiteral("50 57 52 0D"));
        SimFaults late;
        late.delay_ms = 600; // beyond the reply wait: every reply comes late
        fx->sim.set_faults(late);
        // Gone after start-up, so that only the exit steps can have written it.
        const QString settings = fx->path(QStringLiteral("KZ_ORBA_CTRL.ini"));
        QVERIFY(QFile::remove(settings));

        WindowLink &link = fx->window->link();
        int sent_at_close = -1;
        run_when(
            fx->window.get(), [&] { return link.awaiting_reply() && !fx->sent().isEmpty(); },
            [&] {
                sent_at_close = static_cast<int>(fx->sent().size());
                fx->window->close();
            });
        child<QAbstractButton>(*fx, button)->click();

        QVERIFY(sent_at_close > 0);
        QVERIFY(!fx->window->isVisible());
        QCOMPARE(fx->prompts.shown.size(), 1);
        QCOMPARE(fx->prompts.texts(ScriptedPrompts::Kind::Question),
            QStringList { QStringLiteral(
                "Projector settings are changed !\r\nSave settings before exit ?") });
        QVERIFY(QFile::exists(settings));
        QCOMPARE(fx->read_file(QStringLiteral("KZ_ORBA_CTRL.ini")).count('\n'), 5);
        QVERIFY(!fx->window->fail().active());
        for (QLabel *label :
            { fx->ui->lab_ctrl_reply, fx->ui->lab_pic_reply, fx->ui->lab_proj_reply })
            QVERIFY2(label->isHidden(), qPrintable(label->objectName()));
        // Nothing more reaches the line, and the link stays quiet.
        QVERIFY(!fx->sim.wait_for_received(sent_at_close + 1, 800));
        QVERIFY(!link.link_busy());
        QVERIFY(!link.in_delay());

        // A second close runs no exit step again.
        fx->window->close();
        QCOMPARE(fx->prompts.shown.size(), 1);
    }
};

QTEST_MAIN(TestCloseDuringWait)
#include "test_close_during_wait.moc"
