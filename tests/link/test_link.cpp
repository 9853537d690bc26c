// The window's link over a real pseudo-terminal against the simulated receiver.
#include "link/window_link.h"
#include "sim/pty_sim.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using namespace Qt::StringLiterals;

class TestLink : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir dir_;
    std::unique_ptr<PtySimulator> sim_;
    std::unique_ptr<WindowLink> link_;

    QString link_path() const { return dir_.filePath(QStringLiteral("com1")); }

    void connect_link()
    {
        link_->set_port_no(1);
        link_->set_comm();
        QVERIFY(link_->port_open());
    }

private Q_SLOTS:
    void init()
    {
        sim_ = std::make_unique<PtySimulator>();
        QVERIFY(sim_->start(link_path()));
        qputenv("KZ_ORBA_COM1", link_path().toLocal8Bit());
        link_ = std::make_unique<WindowLink>();
        connect_link();
    }

    void cleanup()
    {
        link_.reset();
        sim_.reset();
    }

    void reply_completes_and_is_kept_whole()
    {
        const LinkOutcome outcome = link_->request("WP_Aspect[16:9]$\r");
        QCOMPARE(outcome.status, Outcome::Replied);
        QCOMPARE(outcome.reply, QByteArray("WP_Aspect[16:9]$\r"));
        QCOMPARE(outcome.bytes.data(), QByteArray("WP_Aspect[16:9]$\r"));
        QVERIFY(link_->send_cmd("WP_Aspect[16:9]$\r"));
        QVERIFY(link_->reply_ok());
        QCOMPARE(link_->reply_text(), QByteArray("WP_Aspect[16:9]$\r"));
        QCOMPARE(link_->byte_buf().data(), QByteArray("WP_Aspect[16:9]$\r"));
        QCOMPARE(sim_->received(), QList<QByteArray>(2, "WP_Aspect[16:9]$\r"));
        QVERIFY(!link_->link_busy());
        QVERIFY(!link_->awaiting_reply());
    }

    void reply_in_two_pieces_completes_on_a_later_poll()
    {
        SimFaults faults;
        faults.split_gap_ms = 150;
        sim_->set_faults(faults);
        QVERIFY(link_->send_cmd("WP_Input[?]$\r"));
        QVERIFY(link_->reply_text().startsWith("WP_Input["));
        QVERIFY(link_->reply_text().endsWith("]$\r"));
    }

    void noise_stays_in_front_of_the_reply()
    {
        SimFaults faults;
        faults.noise = "xx";
        sim_->set_faults(faults);
        QVERIFY(link_->send_cmd("WP_Display[?]$\r"));
        QVERIFY(link_->reply_text().startsWith("xxWP_Display["));
    }

    void broken_terminators_do_not_complete_data()
    {
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<bool>("complete");
        QTest::newRow("double bracket") << QByteArray("WP_Info[v]]$\r") << false;
        QTest::newRow("doubled terminator") << QByteArray("WP_Info[v]$]$\r") << false;
        QTest::newRow("line feed") << QByteArray("WP_Info[v]$\n") << false;
        QTest::newRow("plain") << QByteArray("WP_Info[v]$\r") << true;
    }
    void broken_terminators_do_not_complete()
    {
        QFETCH(QByteArray, reply);
        QFETCH(bool, complete);
        SimFaults faults;
        faults.silent = { QByteArray() };
        sim_->set_faults(faults);
        PtySimulator *sim = sim_.get();
        sim_->set_message_hook([sim, reply](const QByteArray &) { sim->send_raw(reply); });
        QCOMPARE(link_->send_cmd("WP_Info[?]$\r"), complete);
        QCOMPARE(link_->reply_ok(), complete);
    }

    void no_reply_gives_up_after_the_wait()
    {
        SimFaults faults;
        faults.silent = { QByteArray() };
        sim_->set_faults(faults);
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(link_->request("WP_Aspect[?]$\r").status, Outcome::NoReply);
        QVERIFY(!link_->reply_ok());
        // 151 steps of more than a millisecond each: the wait is never cut short.
        QVERIFY2(clock.elapsed() >= 300, qPrintable(QString::number(clock.elapsed())));
        QVERIFY(!link_->link_busy());
    }

    void reply_after_the_wait_is_dropped()
    {
        SimFaults faults;
        faults.delay_ms = 600;
        sim_->set_faults(faults);
        QVERIFY(!link_->send_cmd("WP_Aspect[?]$\r"));
        QTest::qWait(700);
        QVERIFY(!link_->reply_ok());
        sim_->set_faults({});
        QVERIFY(link_->send_cmd("WP_Display[?]$\r"));
        QVERIFY(link_->reply_text().startsWith("WP_Display["));
    }

    void bytes_after_a_nowait_send_are_dropped()
    {
        link_->send_cmd_nowait("WP_KeyMenu[]$\r");
        QVERIFY(sim_->wait_for_received(1, 2000));
        QTest::qWait(250); // two polls: the key's reply is read and dropped
        QVERIFY(link_->rx_text().isEmpty());
        QVERIFY(link_->send_cmd("WP_Aspect[?]$\r"));
        QVERIFY(link_->reply_text().startsWith("WP_Aspect["));
        QVERIFY(!link_->reply_text().contains("KeyMenu"));
    }

    void disconnect_mid_wait_ends_it_as_line_lost()
    {
        SimFaults faults;
        faults.silent = { QByteArray() };
        sim_->set_faults(faults);
        QTimer::singleShot(40, link_.get(), [&] { link_->disconnect_port(); });
        QCOMPARE(link_->request("WP_Aspect[?]$\r").status, Outcome::LineLost);
        QVERIFY(!link_->port_open());
        QVERIFY(!link_->link_busy());
        QVERIFY(!link_->reply_ok());
    }

    // Events that run inside a transaction's wait, up to the moment the caller has its outcome,
    // find the link busy: a second transaction there would replace the reply before it is read.
    void link_is_busy_for_the_whole_wait()
    {
        int inside = 0;
        int idle_inside = 0;
        QTimer ticker;
        ticker.setTimerType(Qt::PreciseTimer);
        ticker.setInterval(1);
        connect(&ticker, &QTimer::timeout, link_.get(), [&] {
            if (!link_->in_delay())
                return;
            ++inside;
            if (!link_->link_busy())
                ++idle_inside;
        });
        ticker.start();
        for (int i = 0; i < 20; ++i)
            QVERIFY(link_->send_cmd("WP_Aspect[?]$\r"));
        ticker.stop();
        QVERIFY(inside > 0);
        QCOMPARE(idle_inside, 0);
    }

    void closed_port_refuses_and_sends_nothing()
    {
        link_->disconnect_port();
        QVERIFY(!link_->port_open());
        QSignalSpy refused(link_.get(), &WindowLink::refused_not_open);
        QCOMPARE(link_->request("WP_Aspect[?]$\r").status, Outcome::NotOpen);
        QVERIFY(!link_->send_cmd("WP_Aspect[?]$\r"));
        link_->send_cmd_nowait("WP_KeyMenu[]$\r");
        QVERIFY(!link_->send_cmd("A"));
        QCOMPARE(refused.count(), 4);
        QTest::qWait(50);
        QVERIFY(sim_->received().isEmpty());
    }

    // A line shut for good refuses every send as shut, not as busy, and says nothing more.
    void shut_line_refuses_as_shut()
    {
        QSignalSpy refused(link_.get(), &WindowLink::refused_not_open);
        QSignalSpy traced(link_.get(), &WindowLink::traced);
        link_->shut_down();
        QCOMPARE(link_->request("WP_Aspect[?]$\r").status, Outcome::ShutDown);
        link_->send_cmd_nowait("WP_KeyMenu[]$\r");
        QCOMPARE(refused.count(), 0);
        QCOMPARE(traced.count(), 0);
        QTest::qWait(50);
        QVERIFY(sim_->received().isEmpty());
    }

    // A reply that pours far more than a reply: the window keeps the first 4096 bytes, counts
    // the rest, and does not take a reply whose terminator came only after the bound.
    void a_reply_longer_than_the_bound_is_too_long()
    {
        SimFaults faults;
        faults.overlong_size = 6000;
        sim_->set_faults(faults);
        QList<TraceRecord> records;
        connect(link_.get(), &WindowLink::traced, this,
            [&](const TraceRecord &record) { records << record; });
        const LinkOutcome outcome = link_->request("WP_Aspect[?]$\r");
        QCOMPARE(outcome.status, Outcome::TooLong);
        QVERIFY(!link_->reply_ok());
        QCOMPARE(outcome.received.size(), 4096);
        QVERIFY(outcome.received.startsWith("WP_Aspect["));
        QCOMPARE(outcome.received.size() + outcome.discarded, qint64(6000));
        QCOMPARE(records.size(), 1);
        QCOMPARE(records.first().outcome, Outcome::TooLong);
        const QString line = trace_line(QStringLiteral("COM1"), records.first());
        QVERIFY(line.contains(
            QStringLiteral("\u2026 %1 more bytes\ttoo long\t").arg(outcome.discarded)));
    }

    void disconnect_without_a_port_changes_nothing()
    {
        QSignalSpy disconnected(link_.get(), &WindowLink::disconnected);
        link_->disconnect_port();
        QCOMPARE(disconnected.count(), 1);
        link_->disconnect_port();
        QCOMPARE(disconnected.count(), 1);
    }

    void refused_send_leaves_the_running_transaction_alone()
    {
        SimFaults faults;
        faults.delay_ms = 150;
        sim_->set_faults(faults);
        LinkOutcome refused_outcome;
        QSignalSpy refused(link_.get(), &WindowLink::refused_not_open);
        QTimer::singleShot(
            40, link_.get(), [&] { refused_outcome = link_->request("WP_Display[?]$\r"); });
        QVERIFY(link_->send_cmd("WP_Aspect[?]$\r"));
        QCOMPARE(refused_outcome.status, Outcome::Busy);
        QVERIFY(link_->reply_ok());
        QCOMPARE(refused.count(), 0);
        QCOMPARE(sim_->received(), QList<QByteArray> { "WP_Aspect[?]$\r" });
    }

    void refused_nowait_changes_nothing()
    {
        SimFaults faults;
        faults.delay_ms = 150;
        sim_->set_faults(faults);
        QTimer::singleShot(40, link_.get(), [&] { link_->send_cmd_nowait("WP_KeyPlus[]$\r"); });
        QVERIFY(link_->send_cmd("WP_Aspect[?]$\r"));
        QCOMPARE(sim_->received(), QList<QByteArray> { "WP_Aspect[?]$\r" });
    }

    void reopening_discards_what_was_received()
    {
        link_->send_cmd_nowait("WP_KeyMenu[]$\r");
        QVERIFY(sim_->wait_for_received(1, 2000));
        QTest::qWait(30); // the reply waits in the port, not yet polled
        QSignalSpy received(link_.get(), &WindowLink::received);
        link_->set_comm();
        QVERIFY(link_->port_open());
        QVERIFY(link_->rx_text().isEmpty());
        QTest::qWait(250);
        QCOMPARE(received.count(), 0);
    }

    void failed_open_names_the_port()
    {
        qputenv("KZ_ORBA_COM3", dir_.filePath(QStringLiteral("nothing-here")).toLocal8Bit());
        QSignalSpy failed(link_.get(), &WindowLink::open_failed);
        QSignalSpy opened(link_.get(), &WindowLink::opened);
        link_->set_port_no(3);
        link_->set_comm();
        QVERIFY(!link_->port_open());
        QVERIFY(!link_->polling());
        QCOMPARE(failed.count(), 1);
        QCOMPARE(failed.first().first().toInt(), 3);
        QCOMPARE(opened.count(), 0);
    }

    // What the window counts for its receive log: every poll's bytes, in order, none lost or
    // reported twice, whether or not a reply is awaited.
    void each_poll_reports_its_bytes()
    {
        QByteArray taken;
        int polls = 0;
        QObject scope; // the recorder goes with the test
        connect(link_.get(), &WindowLink::received, &scope, [&](const QByteArray &bytes) {
            QVERIFY(!bytes.isEmpty());
            taken += bytes;
            ++polls;
        });
        QByteArray sent;
        for (const QByteArray &chunk : { QByteArray(100, 'x'), QByteArray(100, 'y'), "z"_ba }) {
            const int before = polls;
            QVERIFY(sim_->send_raw(chunk));
            sent += chunk;
            QTRY_COMPARE_WITH_TIMEOUT(taken, sent, 2000);
            QVERIFY(polls > before);
        }
        QTest::qWait(250);
        QCOMPARE(taken, sent);
    }

    // A waiting transaction is reported as it begins, before its bytes go out: neither a no-wait
    // send nor a refused one begins a wait.
    void a_wait_begins_before_its_bytes_go_out()
    {
        QList<QByteArray> events;
        QObject scope; // the recorders go with the test
        connect(link_.get(), &WindowLink::wait_began, &scope, [&] {
            events << "wait";
            // Nothing of this transaction has gone out yet.
            QCOMPARE(sim_->received().size(), 1);
        });
        connect(link_.get(), &WindowLink::received, &scope,
            [&](const QByteArray &bytes) { events << "poll " + bytes; });
        connect(link_.get(), &WindowLink::traced, &scope, [&] { events << "traced"; });
        link_->send_cmd_nowait("WP_KeyMenu[]$\r");
        QTRY_COMPARE_WITH_TIMEOUT(events.size(), 2, 2000);
        QVERIFY(events[1].startsWith("poll WP_KeyMenu["));
        QVERIFY(link_->send_cmd("WP_Aspect[?]$\r"));
        // The poll that completes the reply is reported before its transaction's outcome.
        const QList<QByteArray> expected { "traced", events[1], "wait",
            "poll " + link_->reply_text(), "traced" };
        QCOMPARE(events, expected);
        QCOMPARE(sim_->received().size(), 2);
        link_->disconnect_port();
        QVERIFY(!link_->send_cmd("WP_Aspect[?]$\r"));
        QCOMPARE(events, expected + QList<QByteArray> { "traced" });
    }

    void overlong_reply_keeps_75_bytes()
    {
        SimFaults faults;
        faults.overlong_size = 120;
        sim_->set_faults(faults);
        QVERIFY(link_->send_cmd("WP_Info[?]$\r"));
        QCOMPARE(link_->reply_text().size(), 120);
        QCOMPARE(link_->byte_buf().len, 75);
        QCOMPARE(link_->byte_buf().data(), link_->reply_text().left(75));
    }

    void nowait_replies_never_pass_the_buffer()
    {
        // Only a waiting send resets the count: replies to no-wait sends pile up in the buffer.
        for (int i = 0; i < 8; ++i)
            link_->send_cmd_nowait("WP_OverscanH[" + QByteArray::number(i) + "]$\r");
        QVERIFY(sim_->wait_for_received(8, 2000));
        QTest::qWait(250);
        QCOMPARE(link_->byte_buf().len, 75);
        QVERIFY(link_->byte_buf().data().startsWith("WP_OverscanH[0]$\r"));
    }

    void hang_up_mid_wait_ends_it_and_disconnects()
    {
        SimFaults faults;
        faults.hang_up = true;
        faults.hang_up_only = "WP_Aspect[";
        sim_->set_faults(faults);
        QSignalSpy lost(link_.get(), &WindowLink::line_lost);
        QCOMPARE(link_->request("WP_Aspect[?]$\r").status, Outcome::LineLost);
        QVERIFY(!link_->port_open());
        QCOMPARE(lost.count(), 1);
        QVERIFY(!link_->link_busy());

        // The line comes back: Connect works again.
        sim_->set_faults({});
        QVERIFY(sim_->restart());
        QSignalSpy opened(link_.get(), &WindowLink::opened);
        link_->set_comm();
        QVERIFY(link_->port_open());
        QCOMPARE(opened.count(), 1);
        QVERIFY(link_->send_cmd("WP_Aspect[?]$\r"));
    }

    void hang_up_while_idle_is_noticed()
    {
        QSignalSpy lost(link_.get(), &WindowLink::line_lost);
        QSignalSpy refused(link_.get(), &WindowLink::refused_not_open);
        sim_->hang_up();
        QTRY_VERIFY_WITH_TIMEOUT(!link_->port_open(), 2000);
        QCOMPARE(lost.count(), 1);
        QVERIFY(!link_->send_cmd("WP_Aspect[?]$\r"));
        QCOMPARE(refused.count(), 1);
    }

    void delay_lets_events_run_and_counts_as_in_delay()
    {
        bool ran = false;
        bool seen_in_delay = false;
        QTimer::singleShot(20, link_.get(), [&] {
            ran = true;
            seen_in_delay = link_->in_delay();
        });
        QVERIFY(!link_->in_delay());
        QElapsedTimer clock;
        clock.start();
        link_->delay_sec(0.1);
        QVERIFY(clock.elapsed() > 100);
        QVERIFY(ran);
        QVERIFY(seen_in_delay);
        QVERIFY(!link_->in_delay());
    }
};

QTEST_GUILESS_MAIN(TestLink)
#include "test_link.moc"
