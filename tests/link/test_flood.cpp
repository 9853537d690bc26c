// The window on a line that pours bytes faster than any real serial line, at rest and during
// the receiver Read: its events keep running, Disconnect takes effect, and the Read ends.
#include "tests/support/flood_line.h"
#include "tests/support/window_fixture.h"

#include <QElapsedTimer>
#include <QTest>
#include <QTimer>

namespace {
// Only a liveness bound: a window that works the flood off in time passes well within it.
constexpr int liveness_ms = 20000;
} // namespace

class TestFlood : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void disconnect_works_under_a_flood_data()
    {
        QTest::addColumn<bool>("reading");
        QTest::addColumn<int>("filler");
        QTest::newRow("at rest") << false << 4096;
        QTest::newRow("during Read, replies close together") << true << 0;
        QTest::newRow("during Read, replies far apart") << true << 4096;
    }
    void disconnect_works_under_a_flood()
    {
        QFETCH(bool, reading);
        QFETCH(int, filler);
        WindowFixture::Options options;
        options.start_sim = false;
        WindowFixture fx(options);
        FloodLine flood;
        QVERIFY(flood.open(fx.path(QStringLiteral("com1"))));
        START_WINDOW(fx);
        QVERIFY(fx.window->link().port_open());

        // A reply, then filler: each poll completes a reply and then takes much more.
        flood.pour(QByteArrayLiteral("WP_Aspect[16:9]$\r") + QByteArray(filler, 'x'));
        int ticks = 0;
        QTimer ticker;
        ticker.setInterval(20);
        connect(&ticker, &QTimer::timeout, this, [&] { ++ticks; });
        ticker.start();
        int ticks_before_disconnect = -1;
        QTimer::singleShot(500, fx.window.get(), [&] {
            ticks_before_disconnect = ticks;
            fx.ui->cmd_conn_1->click();
        });

        QElapsedTimer clock;
        clock.start();
        if (reading) {
            fx.ui->cmd_ctrl_read->click(); // returns when the Read has ended
            QTRY_VERIFY_WITH_TIMEOUT(ticks_before_disconnect >= 0, liveness_ms);
        } else {
            QTRY_VERIFY_WITH_TIMEOUT(ticks_before_disconnect >= 0, liveness_ms);
        }
        QVERIFY2(clock.elapsed() < liveness_ms, "the window did not come back from the flood");
        ticker.stop();
        flood.close();

        QVERIFY2(ticks_before_disconnect > 0, "the window's events did not run during the flood");
        QVERIFY(!fx.window->link().port_open());
        QCOMPARE(fx.window->port_row().look(), PortRow::Look::Disconnected);
        QVERIFY(!fx.window->link().link_busy());
        QVERIFY(fx.ui->cmd_ctrl_read->isEnabled());
        QVERIFY(flood.written() > 0);
    }
};

QTEST_MAIN(TestFlood)
#include "test_flood.moc"
