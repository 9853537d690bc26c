// The link over TCP to a serial-to-Ethernet gateway, played by the simulated receiver on a
// loopback listener: the same outcomes as on a serial line for a receiver that answers, one that
// stays silent, a gateway that refuses, a connection that drops during a wait, and a reconnect.
#include "link/link_core.h"
#include "link/tcp_transport.h"
#include "link/window_link.h"
#include "sim/pty_sim.h"
#include "sim/tcp_sim.h"
#include "tests/support/deaf_listener.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <memory>

Q_DECLARE_METATYPE(LinkCore::Timing)

using namespace Qt::StringLiterals;

namespace {

QString address_of(const TcpSimulator &sim)
{
    return u"tcp://127.0.0.1:%1"_s.arg(sim.port());
}

// A loopback port with nothing listening on it: taken from the system, then let go.
quint16 closed_port()
{
    QTcpServer server;
    if (!server.listen(QHostAddress::LocalHost, 0))
        return 0;
    const quint16 port = server.serverPort();
    server.close();
    return port;
}

// A core in the given timing and the outcomes it reported.
struct Line
{
    explicit Line(LinkCore::Timing timing)
        : core(timing)
    {
        QObject::connect(&core, &LinkCore::finished,
            [this](const LinkOutcome &outcome) { outcomes << outcome; });
    }

    // Starts a transaction and waits for its outcome.
    LinkOutcome run(const QByteArray &bytes)
    {
        const qsizetype before = outcomes.size();
        if (core.start(bytes) != Outcome::Pending)
            return {};
        if (!QTest::qWaitFor([&] { return outcomes.size() > before; }, 5000))
            return {};
        return outcomes.last();
    }

    LinkCore core;
    QList<LinkOutcome> outcomes;
};

// Counts the key presses it is given.
struct KeyCounter : QObject
{
    bool event(QEvent *e) override
    {
        if (e->type() == QEvent::KeyPress)
            ++keys;
        return QObject::event(e);
    }
    int keys = 0;
};

void add_timings()
{
    QTest::addColumn<LinkCore::Timing>("timing");
    QTest::newRow("window timing") << LinkCore::Timing::Window;
    QTest::newRow("prompt timing") << LinkCore::Timing::Prompt;
}

} // namespace

class TestTcpLink : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void addresses_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("host"); // empty: not accepted
        QTest::addColumn<int>("port");
        QTest::newRow("ipv4") << u"tcp://127.0.0.1:7000"_s << u"127.0.0.1"_s << 7000;
        QTest::newRow("name, scheme in capitals")
            << u"TCP://gateway.example:4001"_s << u"gateway.example"_s << 4001;
        QTest::newRow("ipv6 in brackets") << u"tcp://[::1]:65535"_s << u"::1"_s << 65535;
        QTest::newRow("trailing slash") << u"tcp://10.0.0.5:23/"_s << u"10.0.0.5"_s << 23;
        QTest::newRow("no port") << u"tcp://127.0.0.1"_s << QString() << 0;
        QTest::newRow("port 0") << u"tcp://127.0.0.1:0"_s << QString() << 0;
        QTest::newRow("port too large") << u"tcp://127.0.0.1:65536"_s << QString() << 0;
        QTest::newRow("no host") << u"tcp://:7000"_s << QString() << 0;
        QTest::newRow("a path") << u"tcp://127.0.0.1:7000/com2"_s << QString() << 0;
        QTest::newRow("another scheme") << u"udp://127.0.0.1:7000"_s << QString() << 0;
        QTest::newRow("a device") << u"/dev/ttyUSB0"_s << QString() << 0;
    }
    void addresses()
    {
        QFETCH(QString, address);
        QFETCH(QString, host);
        QFETCH(int, port);
        TcpAddress parsed;
        QString error;
        QCOMPARE(parse_tcp_address(address, &parsed, &error), !host.isEmpty());
        if (host.isEmpty()) {
            QVERIFY2(error.contains(u"tcp://HOST:PORT"_s), qPrintable(error));
            // The link refuses it as a port that cannot be opened, with the same reason.
            TcpTransport transport;
            QVERIFY(!transport.open(address));
            QCOMPARE(transport.open_error(), error);
            QVERIFY(!transport.is_open());
            return;
        }
        QCOMPARE(parsed.host, host);
        QCOMPARE(int(parsed.port), port);
    }

    void a_query_and_a_setting_are_answered_data() { add_timings(); }
    void a_query_and_a_setting_are_answered()
    {
        QFETCH(LinkCore::Timing, timing);
        TcpSimulator sim;
        QVERIFY(sim.listen(QHostAddress::LocalHost, 0));
        Line line(timing);
        QSignalSpy opened(&line.core, &LinkCore::opened);
        QVERIFY2(line.core.open(address_of(sim)), qPrintable(line.core.open_error()));
        QCOMPARE(opened.size(), 1);
        QVERIFY(line.core.is_open());

        LinkOutcome outcome = line.run("WP_Aspect[?]$\r");
        QCOMPARE(outcome.status, Outcome::Replied);
        QCOMPARE(outcome.reply, QByteArray("WP_Aspect[Full]$\r"));
        QCOMPARE(outcome.bytes.data(), outcome.reply);

        outcome = line.run("WP_Aspect[4:3]$\r");
        QCOMPARE(outcome.status, Outcome::Replied);
        QCOMPARE(sim.model().value("WP_Aspect["), QByteArray("4:3"));
        // Exactly the bytes of the serial line went over the connection.
        QCOMPARE(
            sim.model().received(), (QList<QByteArray> { "WP_Aspect[?]$\r", "WP_Aspect[4:3]$\r" }));
    }

    void a_silent_receiver_gives_no_reply()
    {
        TcpSimulator sim;
        QVERIFY(sim.listen(QHostAddress::LocalHost, 0));
        SimFaults faults;
        faults.silent = { QByteArray() };
        sim.set_faults(faults);
        Line line(LinkCore::Timing::Window);
        QVERIFY(line.core.open(address_of(sim)));
        QElapsedTimer clock;
        clock.start();
        const LinkOutcome outcome = line.run("WP_Aspect[?]$\r");
        QCOMPARE(outcome.status, Outcome::NoReply);
        // The receiver's reply wait, not the connection's.
        QVERIFY2(clock.elapsed() >= LinkCore::reply_wait_ms - 5,
            qPrintable(QString::number(clock.elapsed())));
        // Silence is not a lost line: the connection stays and the next answer comes through.
        QVERIFY(line.core.is_open());
        sim.set_faults({});
        QCOMPARE(line.run("WP_Aspect[?]$\r").status, Outcome::Replied);
    }

    void a_refused_connection_is_a_port_that_cannot_be_opened()
    {
        const quint16 port = closed_port();
        QVERIFY(port != 0);
        Line line(LinkCore::Timing::Window);
        QSignalSpy opened(&line.core, &LinkCore::opened);
        QElapsedTimer clock;
        clock.start();
        QVERIFY(!line.core.open(u"tcp://127.0.0.1:%1"_s.arg(port)));
        // Refused at once, not after the connection wait.
        QVERIFY2(clock.elapsed() < TcpTransport::connect_timeout_ms,
            qPrintable(QString::number(clock.elapsed())));
        QVERIFY2(line.core.open_error().contains(u"refused"_s, Qt::CaseInsensitive),
            qPrintable(line.core.open_error()));
        QVERIFY(!line.core.is_open());
        QCOMPARE(opened.size(), 0);
        QCOMPARE(line.core.start("WP_Aspect[?]$\r"), Outcome::NotOpen);
    }

    void an_address_that_does_not_answer_fails_after_the_connection_wait()
    {
        DeafListener deaf;
        if (!deaf.deaf())
            QSKIP("this system answers connections beyond the listen queue");
        Line line(LinkCore::Timing::Window);
        QElapsedTimer clock;
        clock.start();
        QVERIFY(!line.core.open(deaf.address()));
        const qint64 waited = clock.elapsed();
        QVERIFY2(waited >= TcpTransport::connect_timeout_ms - 50
                && waited < TcpTransport::connect_timeout_ms + 2000,
            qPrintable(QString::number(waited)));
        QCOMPARE(line.core.open_error(),
            u"no connection to 127.0.0.1:%1 within 3 s"_s.arg(deaf.server.serverPort()));
        QVERIFY(!line.core.is_open());
    }

    // The window's wait for a gateway: timers run (the window keeps drawing), the operator's input
    // is held until the wait is over and then delivered, and the connection's time limit ends it.
    void the_window_waits_for_a_gateway_with_input_held()
    {
        DeafListener deaf;
        if (!deaf.deaf())
            QSKIP("this system answers connections beyond the listen queue");
        qputenv("KZ_ORBA_COM9", deaf.address().toLocal8Bit());
        WindowLink link;
        link.set_port_no(9);
        int ticks = 0;
        QTimer tick;
        connect(&tick, &QTimer::timeout, [&] { ++ticks; });
        tick.start(100);
        KeyCounter target;
        QTimer::singleShot(
            200, [&] { QCoreApplication::postEvent(&target, new QEvent(QEvent::KeyPress)); });
        int keys_at_failure = -1;
        QString reason;
        connect(&link, &WindowLink::open_failed, [&](int, const QString &, const QString &why) {
            keys_at_failure = target.keys;
            reason = why;
        });
        QElapsedTimer clock;
        clock.start();
        link.set_comm();
        const qint64 waited = clock.elapsed();
        qunsetenv("KZ_ORBA_COM9");
        QVERIFY2(waited >= TcpTransport::connect_timeout_ms - 50
                && waited < TcpTransport::connect_timeout_ms + 2000,
            qPrintable(QString::number(waited)));
        QVERIFY2(ticks >= 10, qPrintable(QString::number(ticks)));
        QCOMPARE(
            reason, u"no connection to 127.0.0.1:%1 within 3 s"_s.arg(deaf.server.serverPort()));
        QCOMPARE(keys_at_failure, 0);
        QTRY_COMPARE(target.keys, 1);
        QVERIFY(!link.port_open());
    }

    // The window closed during the wait for a gateway: the wait ends at once, with no word.
    void closing_ends_the_connection_wait()
    {
        DeafListener deaf;
        if (!deaf.deaf())
            QSKIP("this system answers connections beyond the listen queue");
        qputenv("KZ_ORBA_COM9", deaf.address().toLocal8Bit());
        WindowLink link;
        link.set_port_no(9);
        QSignalSpy failed(&link, &WindowLink::open_failed);
        QSignalSpy opened(&link, &WindowLink::opened);
        QTimer::singleShot(100, &link, [&] { link.shut_down(); });
        QElapsedTimer clock;
        clock.start();
        link.set_comm();
        qunsetenv("KZ_ORBA_COM9");
        QVERIFY2(clock.elapsed() < TcpTransport::connect_timeout_ms / 2,
            qPrintable(QString::number(clock.elapsed())));
        QVERIFY(!link.port_open());
        QCOMPARE(failed.size(), 0);
        QCOMPARE(opened.size(), 0);
        // Nothing more comes of the connect that was given up.
        QTest::qWait(TcpTransport::connect_timeout_ms + 200);
        QCOMPARE(failed.size(), 0);
        QCOMPARE(opened.size(), 0);
    }

    // Many lines on one thread open without waiting: the outcome comes from the event loop, and
    // a gateway that does not answer holds up no other line.
    void an_open_without_a_wait_reports_from_the_event_loop_data()
    {
        QTest::addColumn<bool>("answering");
        QTest::newRow("answering gateway") << true;
        QTest::newRow("refusing gateway") << false;
    }
    void an_open_without_a_wait_reports_from_the_event_loop()
    {
        QFETCH(bool, answering);
        TcpSimulator sim;
        QVERIFY(sim.listen(QHostAddress::LocalHost, 0));
        const QString address
            = answering ? address_of(sim) : u"tcp://127.0.0.1:%1"_s.arg(closed_port());
        Line line(LinkCore::Timing::Prompt);
        QSignalSpy opened(&line.core, &LinkCore::opened);
        QSignalSpy failed(&line.core, &LinkCore::open_failed);
        line.core.open_async(address);
        QCOMPARE(opened.size() + failed.size(), 0);
        QVERIFY(QTest::qWaitFor([&] { return opened.size() + failed.size() > 0; }, 5000));
        QCOMPARE(opened.size(), answering ? 1 : 0);
        QCOMPARE(failed.size(), answering ? 0 : 1);
        QCOMPARE(line.core.is_open(), answering);
        if (answering) {
            QCOMPARE(line.run("WP_Aspect[?]$\r").reply, QByteArray("WP_Aspect[Full]$\r"));
        } else {
            QVERIFY2(line.core.open_error().contains(u"refused"_s, Qt::CaseInsensitive),
                qPrintable(line.core.open_error()));
        }
        // Nothing more is reported afterwards.
        QTest::qWait(50);
        QCOMPARE(opened.size() + failed.size(), 1);
    }

    void a_gateway_that_does_not_answer_holds_up_no_other_line()
    {
        DeafListener deaf;
        if (!deaf.deaf())
            QSKIP("this system answers connections beyond the listen queue");
        TcpSimulator sim;
        QVERIFY(sim.listen(QHostAddress::LocalHost, 0));
        Line dead(LinkCore::Timing::Prompt);
        Line live(LinkCore::Timing::Prompt);
        QSignalSpy dead_failed(&dead.core, &LinkCore::open_failed);
        QSignalSpy live_opened(&live.core, &LinkCore::opened);
        dead.core.open_async(deaf.address());
        live.core.open_async(address_of(sim));
        QVERIFY(QTest::qWaitFor([&] { return live_opened.size() == 1; }, 2000));
        // The live line works while the dead one still waits for its connection.
        for (int i = 0; i < 5; ++i)
            QCOMPARE(live.run("WP_Aspect[?]$\r").status, Outcome::Replied);
        QCOMPARE(dead_failed.size(), 0);
        QVERIFY(QTest::qWaitFor(
            [&] { return dead_failed.size() == 1; }, TcpTransport::connect_timeout_ms + 2000));
        QCOMPARE(dead.core.open_error(),
            u"no connection to 127.0.0.1:%1 within 3 s"_s.arg(deaf.server.serverPort()));
        QVERIFY(!dead.core.is_open());
    }

    void an_open_given_up_reports_nothing()
    {
        DeafListener deaf;
        if (!deaf.deaf())
            QSKIP("this system answers connections beyond the listen queue");
        TcpSimulator sim;
        QVERIFY(sim.listen(QHostAddress::LocalHost, 0));
        Line line(LinkCore::Timing::Prompt);
        QSignalSpy opened(&line.core, &LinkCore::opened);
        QSignalSpy failed(&line.core, &LinkCore::open_failed);
        line.core.open_async(deaf.address());
        line.core.close();
        // A newer open replaces one in progress: only its outcome is reported.
        line.core.open_async(deaf.address());
        line.core.open_async(address_of(sim));
        QVERIFY(QTest::qWaitFor([&] { return opened.size() == 1; }, 2000));
        QTest::qWait(TcpTransport::connect_timeout_ms + 200);
        QCOMPARE(opened.size(), 1);
        QCOMPARE(failed.size(), 0);
        QVERIFY(line.core.is_open());
    }

    void a_connection_dropped_during_a_wait_is_a_lost_line_data() { add_timings(); }
    void a_connection_dropped_during_a_wait_is_a_lost_line()
    {
        QFETCH(LinkCore::Timing, timing);
        TcpSimulator sim;
        QVERIFY(sim.listen(QHostAddress::LocalHost, 0));
        SimFaults faults;
        faults.hang_up = true;
        faults.hang_up_only = "WP_Input[";
        sim.set_faults(faults);
        Line line(timing);
        QSignalSpy lost(&line.core, &LinkCore::line_lost);
        QSignalSpy closed(&line.core, &LinkCore::closed);
        QVERIFY(line.core.open(address_of(sim)));
        QCOMPARE(line.run("WP_Aspect[?]$\r").status, Outcome::Replied);

        QElapsedTimer clock;
        clock.start();
        QCOMPARE(line.run("WP_Input[?]$\r").status, Outcome::LineLost);
        // Ended by the drop, before the reply wait would have run out.
        QVERIFY2(clock.elapsed() < LinkCore::reply_wait_ms,
            qPrintable(QString::number(clock.elapsed())));
        QCOMPARE(lost.size(), 1);
        QCOMPARE(closed.size(), 1);
        QVERIFY(!line.core.is_open());
        QCOMPARE(line.core.start("WP_Aspect[?]$\r"), Outcome::NotOpen);
        // The drop is told once, however many ways the socket reports it.
        QTest::qWait(50);
        QCOMPARE(lost.size(), 1);
        QCOMPARE(line.outcomes.size(), 2);
    }

    void a_reconnect_finds_the_receiver_as_it_was_left()
    {
        TcpSimulator sim;
        QVERIFY(sim.listen(QHostAddress::LocalHost, 0));
        Line line(LinkCore::Timing::Prompt);
        QVERIFY(line.core.open(address_of(sim)));
        QCOMPARE(line.run("WP_Aspect[16:9]$\r").status, Outcome::Replied);

        // The gateway drops the connection while the line is idle.
        QSignalSpy lost(&line.core, &LinkCore::line_lost);
        sim.hang_up();
        QVERIFY(lost.wait(2000));
        QVERIFY(!line.core.is_open());

        QVERIFY2(line.core.open(address_of(sim)), qPrintable(line.core.open_error()));
        const LinkOutcome outcome = line.run("WP_Aspect[?]$\r");
        QCOMPARE(outcome.status, Outcome::Replied);
        QCOMPARE(outcome.reply, QByteArray("WP_Aspect[16:9]$\r"));
        // Closing by hand and opening again works as well.
        line.core.close();
        QVERIFY(line.core.open(address_of(sim)));
        QCOMPARE(line.run("WP_Aspect[?]$\r").reply, QByteArray("WP_Aspect[16:9]$\r"));
    }

    void the_address_chooses_the_line_at_each_open()
    {
        QTemporaryDir dir;
        const QString device = dir.filePath(u"com1"_s);
        PtySimulator serial;
        QVERIFY(serial.start(device));
        TcpSimulator network;
        QVERIFY(network.listen(QHostAddress::LocalHost, 0));
        network.model().set_value("WP_Aspect[", "4:3");

        Line line(LinkCore::Timing::Window);
        const auto aspect = [&] { return line.run("WP_Aspect[?]$\r").reply; };
        QVERIFY(line.core.open(address_of(network)));
        QCOMPARE(aspect(), QByteArray("WP_Aspect[4:3]$\r"));
        QVERIFY(line.core.open(device));
        QCOMPARE(aspect(), QByteArray("WP_Aspect[Full]$\r"));
        QVERIFY(line.core.open(address_of(network)));
        QCOMPARE(aspect(), QByteArray("WP_Aspect[4:3]$\r"));
    }
};

QTEST_GUILESS_MAIN(TestTcpLink)
#include "test_tcp_link.moc"
