// The receive log below the window's designed area shows the window's traffic: one trace line per
// transaction, newest last. "C" empties it; with "Auto" ticked it is emptied once more than 300
// characters have been received, as before. --trace writes the same lines to a file.
#include "link/trace.h"
#include "link/window_link.h"
#include "tests/support/resource_limit.h"
#include "tests/support/window_fixture.h"

#include <QFileInfo>

#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

QStringList log_lines(const Ui::frm_main *ui)
{
    return ui->txt_rx->toPlainText().split(u'\n', Qt::SkipEmptyParts);
}

// Time, port, sent, received, outcome, milliseconds.
const QRegularExpression trace_shape(
    uR"(^\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3}\tCOM1\t([^\t]*)\t([^\t]*)\t([a-z ]+)\t\d+ ms$)"_s);

} // namespace

class TestReceiveLog : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void a_read_shows_each_transaction_newest_last()
    {
        WindowFixture fx;
        START_WINDOW(fx);
        QCOMPARE(fx.ui->txt_rx->toPlainText(), QString());
        fx.ui->cmd_pic_read->click();
        const QStringList lines = log_lines(fx.ui);
        QCOMPARE(lines.size(), 5);
        const QStringList prefixes = { u"WP_PictureBri["_s, u"WP_PictureCon["_s,
            u"WP_PictureSat["_s, u"WP_PictureHue["_s, u"WP_PictureSha["_s };
        for (int i = 0; i < 5; ++i) {
            const QRegularExpressionMatch m = trace_shape.match(lines[i]);
            QVERIFY2(m.hasMatch(), qPrintable(lines[i]));
            QCOMPARE(m.captured(1), prefixes[i] + u"?]$\\x0D"_s);
            QVERIFY(m.captured(2).startsWith(prefixes[i]));
            QCOMPARE(m.captured(3), u"replied"_s);
        }
    }

    void outcomes_other_than_a_reply()
    {
        WindowFixture fx;
        START_WINDOW(fx);
        // A picture choice does not wait: "sent", with nothing received.
        fx.ui->cbo_pic_hue->setCurrentIndex(9);
        // Its reply is taken (and dropped) before the next transaction begins.
        QTRY_VERIFY(fx.window->port_row().rx_count() > 0);
        SimFaults faults;
        faults.silent << QByteArray("WP_Aspect[");
        fx.sim.set_faults(faults);
        fx.ui->cbo_aspect->setCurrentIndex(2);
        fx.window->link().disconnect_port();
        fx.prompts.answers.clear();
        fx.ui->cbo_display->setCurrentIndex(1);
        const QStringList lines = log_lines(fx.ui);
        QCOMPARE(lines.size(), 3);
        const QStringList outcomes = { u"sent"_s, u"no reply"_s, u"refused"_s };
        const QStringList sent = { u"WP_PictureHue[9]$\\x0D"_s, u"WP_Aspect[16:10]$\\x0D"_s,
            u"WP_Display[Off]$\\x0D"_s };
        for (int i = 0; i < 3; ++i) {
            const QRegularExpressionMatch m = trace_shape.match(lines[i]);
            QVERIFY2(m.hasMatch(), qPrintable(lines[i]));
            QCOMPARE(m.captured(1), sent[i]);
            QCOMPARE(m.captured(2), QString());
            QCOMPARE(m.captured(3), outcomes[i]);
        }
    }

    void clear_and_auto_keep_their_meaning_data()
    {
        QTest::addColumn<bool>("auto_clear");
        QTest::newRow("auto off") << false;
        QTest::newRow("auto on") << true;
    }
    void clear_and_auto_keep_their_meaning()
    {
        QFETCH(bool, auto_clear);
        WindowFixture fx;
        START_WINDOW(fx);
        fx.ui->chk_auto->setChecked(auto_clear);
        // Picture choices do not wait, so their replies add up: twenty make more than 300
        // characters.
        for (int value = 0; value < 20; ++value) {
            fx.ui->cbo_pic_bri->setCurrentIndex(value);
            QVERIFY(fx.sim.wait_for_received(value + 1, 2000));
        }
        QTRY_VERIFY(fx.window->port_row().rx_count() > 300);
        QCOMPARE(log_lines(fx.ui).size(), 20);
        // The poll that takes the next reply finds more than 300: with Auto it empties the log.
        fx.ui->cbo_pic_bri->setCurrentIndex(20);
        QVERIFY(fx.sim.wait_for_received(21, 2000));
        if (auto_clear) {
            QTRY_COMPARE(fx.ui->txt_rx->toPlainText(), QString());
        } else {
            QTRY_VERIFY(fx.window->port_row().rx_count() > 320);
            QCOMPARE(log_lines(fx.ui).size(), 21);
            QVERIFY(log_lines(fx.ui).last().contains(u"\tWP_PictureBri[20]$\\x0D\t"_s));
        }
        fx.ui->cmd_pic_read->click();
        QCOMPARE(log_lines(fx.ui).size(), auto_clear ? 5 : 26);
        fx.ui->cmd_clear->click();
        QCOMPARE(fx.ui->txt_rx->toPlainText(), QString());
    }

    // The log empties at the very poll its rule names, and the count starts over where it did:
    // at a waiting transaction, at "C" and at a fresh connection. A recorder after the port row
    // notes whether each poll emptied the log, then writes to the log again.
    void empties_at_the_poll_of_its_rule_data()
    {
        // Steps apart by spaces: "auto" ticks "Auto"; a number is how many bytes the receiver
        // sends unasked; "read" is the picture Read, "C" the log's button, "connect" Connect.
        QTest::addColumn<QString>("script");
        // For each step but "auto": whether one of the polls it brought emptied the log.
        QTest::addColumn<QList<bool>>("emptied");
        QTest::newRow("auto: the poll after more than 300")
            << u"auto 100 100 100 100 1"_s << QList<bool> { false, false, false, false, true };
        QTest::newRow("auto: 300 is not more than 300")
            << u"auto 300 1"_s << QList<bool> { false, false };
        QTest::newRow("off: more than 300 stays") << u"350 1"_s << QList<bool> { false, false };
        QTest::newRow("auto: a waiting transaction starts the count over")
            << u"auto 301 read 1"_s << QList<bool> { false, false, false };
        QTest::newRow("auto: C starts the count over")
            << u"auto 301 C 1"_s << QList<bool> { false, false, false };
        QTest::newRow("auto: Connect starts the count over")
            << u"auto 301 connect 1"_s << QList<bool> { false, false, false };
        QTest::newRow("off: the poll that passes 65530")
            << u"65000 531 5"_s << QList<bool> { false, true, false };
    }
    void empties_at_the_poll_of_its_rule()
    {
        QFETCH(QString, script);
        QFETCH(QList<bool>, emptied);
        WindowFixture fx;
        START_WINDOW(fx);
        qint64 taken = 0;
        bool emptied_now = false;
        fx.ui->txt_rx->setPlainText(u"old"_s);
        QObject scope; // the recorder goes with the test
        connect(&fx.window->link(), &WindowLink::received, &scope, [&](const QByteArray &bytes) {
            taken += bytes.size();
            if (fx.ui->txt_rx->toPlainText().isEmpty())
                emptied_now = true;
            fx.ui->txt_rx->setPlainText(u"old"_s);
        });
        QList<bool> seen;
        for (const QString &step : script.split(u' ')) {
            if (step == u"auto") {
                fx.ui->chk_auto->setChecked(true);
                continue;
            }
            emptied_now = false;
            if (step == u"read") {
                fx.ui->cmd_pic_read->click();
                QCOMPARE(fx.sent().size(), 5);
            } else if (step == u"C") {
                fx.ui->cmd_clear->click();
                QCOMPARE(fx.ui->txt_rx->toPlainText(), QString());
            } else if (step == u"connect") {
                fx.ui->cmd_conn_0->click();
                QVERIFY(fx.window->link().port_open());
            } else {
                const qint64 before = taken;
                QVERIFY(fx.sim.send_raw(QByteArray(step.toInt(), 'x')));
                QTRY_COMPARE_WITH_TIMEOUT(taken, before + step.toInt(), 5000);
            }
            seen << emptied_now;
            fx.ui->txt_rx->setPlainText(u"old"_s);
        }
        QCOMPARE(seen, emptied);
    }

    void trace_file_gets_the_same_lines()
    {
        QTemporaryDir dir;
        TraceWriter writer;
        QVERIFY(writer.open(dir.filePath(u"trace.log"_s)));
        WindowFixture fx;
        START_WINDOW(fx);
        fx.window->port_row().set_trace(&writer);
        fx.ui->cmd_pic_read->click();
        fx.ui->cmd_clear->click();
        QFile file(dir.filePath(u"trace.log"_s));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QStringList lines
            = QString::fromUtf8(file.readAll()).split(u'\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 5);
        QVERIFY(lines[4].contains(u"\tWP_PictureSha[?]$\\x0D\tWP_PictureSha["_s));
    }

    // A trace file that stops taking lines (a full disk: here a file-size limit two lines past
    // its start) is told once, in the port row's tooltips, and keeps only whole lines.
    void trace_write_failure_told_once()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(u"trace.log"_s);
        TraceWriter writer;
        QVERIFY(writer.open(path));
        WindowFixture fx;
        START_WINDOW(fx);
        fx.window->port_row().set_trace(&writer);
        QVERIFY(fx.window->port_row().trace_note().isEmpty());
        {
            const ResourceLimit limit(RLIMIT_FSIZE, 250);
            fx.ui->cmd_pic_read->click();
            fx.ui->cmd_pic_read->click();
        }
        const QString note = fx.window->port_row().trace_note();
        QVERIFY2(note.startsWith(u"The trace file "_s + path + u" cannot be written ("_s),
            qPrintable(note));
        QVERIFY2(note.endsWith(u"): no more lines go to it."_s), qPrintable(note));
        QCOMPARE(fx.ui->lab_wprx_rs232->toolTip(), note);
        QCOMPARE(fx.ui->cmd_conn_0->toolTip(), note);
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray text = file.readAll();
        QVERIFY(!text.isEmpty() && text.size() <= 250);
        QVERIFY2(text.endsWith('\n'), text.constData());
        // Nothing more goes to the file once it failed, though the receive log goes on.
        const int logged = fx.ui->txt_rx->blockCount();
        fx.ui->cmd_pic_read->click();
        QVERIFY(fx.ui->txt_rx->blockCount() > logged);
        QCOMPARE(QFileInfo(path).size(), text.size());
    }
};

QTEST_MAIN(TestReceiveLog)
#include "test_receive_log.moc"
