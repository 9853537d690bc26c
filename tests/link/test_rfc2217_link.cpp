// The link to an RFC 2217 gateway, played by the simulated receiver in its Telnet mode on a
// loopback listener: the serial settings the gateway is given, data with 0xFF bytes both ways,
// Telnet commands taken out of replies, and every gateway fault ending the open with its own
// message within the connect deadline.
#include "link/link_core.h"
#include "link/port_names.h"
#include "link/rfc2217_transport.h"
#include "link/tcp_transport.h"
#include "link/transport_factory.h"
#include "sim/tcp_sim.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>

#include <memory>

Q_DECLARE_METATYPE(LinkCore::Timing)
Q_DECLARE_METATYPE(TelnetFault)

using namespace Qt::StringLiterals;

namespace {

struct Line
{
    explicit Line(LinkCore::Timing timing)
        : core(timing)
    {
        QObject::connect(&core, &LinkCore::finished,
            [this](const LinkOutcome &outcome) { outcomes << outcome; });
        QObject::connect(
            &core, &LinkCore::traced, [this](const TraceRecord &record) { records << record; });
        QObject::connect(&core, &LinkCore::noted, [this](const QString &text) { notes << text; });
    }

    LinkOutcome run(const QByteArray &bytes)
    {
        const qsizetype before = outcomes.size();
        if (core.start(bytes) != Outcome::Pending)
            return {};
        if (!QTest::qWaitFor([&] { return outcomes.size() > before; }, 5000))
            return {};
        return outcomes.last();
    }

    bool open(const QString &address)
    {
        QSignalSpy opened(&core, &LinkCore::opened);
        QSignalSpy failed(&core, &LinkCore::open_failed);
        core.open_async(address);
        return QTest::qWaitFor([&] { return !opened.isEmpty() || !failed.isEmpty(); }, 10000)
            && !opened.isEmpty();
    }

    LinkCore core;
    QList<LinkOutcome> outcomes;
    QList<TraceRecord> records;
    QStringList notes;
};

std::unique_ptr<TcpSimulator> gateway(TelnetFault fault = TelnetFault::None)
{
    auto sim = std::make_unique<TcpSimulator>();
    SimFaults faults;
    faults.telnet = fault;
    sim->set_faults(faults);
    sim->set_rfc2217(true);
    if (!sim->listen(QHostAddress::LocalHost, 0))
        return nullptr;
    return sim;
}

QString address_of(const TcpSimulator &sim, const char *scheme = "rfc2217")
{
    return u"%1://127.0.0.1:%2"_s.arg(QLatin1String(scheme)).arg(sim.port());
}

} // namespace

class TestRfc2217Link : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void addresses_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<QString>("reason");
        QTest::newRow("name") << u"rfc2217://gw-7.example.org:4001"_s << true << QString();
        QTest::newRow("scheme in capitals") << u"RFC2217://10.0.0.5:2217"_s << true << QString();
        QTest::newRow("ipv6") << u"rfc2217://[::1]:2217"_s << true << QString();
        QTest::newRow("no port") << u"rfc2217://10.0.0.5"_s << false
                                 << u"no port (1 to 65535) in the address; expected "
                                    "rfc2217://HOST:PORT"_s;
        QTest::newRow("bare ipv6") << u"rfc2217://::1:2217"_s << false
                                   << u"an IPv6 address stands in brackets: "
                                      "rfc2217://[ADDRESS]:PORT"_s;
        QTest::newRow("path") << u"rfc2217://10.0.0.5:2217/x"_s << false
                              << u"unexpected text in the address; expected "
                                 "rfc2217://HOST:PORT"_s;
    }
    void addresses()
    {
        QFETCH(QString, address);
        QFETCH(bool, valid);
        QFETCH(QString, reason);
        QVERIFY(is_network_address(address));
        QCOMPARE(transport_kind(address), TransportKind::Rfc2217);
        QCOMPARE(port_state_text(address, {}), u"network"_s);
        QString why;
        QCOMPARE(check_address(address, &why), valid);
        QCOMPARE(why, reason);
        QCOMPARE(transport_kind_of(*make_transport(address)), TransportKind::Rfc2217);
        // The scheme decides: the same host and port under tcp:// is a raw line.
        QString tcp = address;
        tcp.replace(u"rfc2217"_s, u"tcp"_s, Qt::CaseInsensitive);
        QCOMPARE(transport_kind(tcp), TransportKind::Tcp);
    }

    void settings_and_data_with_0xff_go_through_data()
    {
        QTest::addColumn<LinkCore::Timing>("timing");
        QTest::addColumn<TelnetFault>("fault");
        QTest::newRow("prompt") << LinkCore::Timing::Prompt << TelnetFault::None;
        QTest::newRow("window") << LinkCore::Timing::Window << TelnetFault::None;
        QTest::newRow("prompt, sequences cut across reads")
            << LinkCore::Timing::Prompt << TelnetFault::Split;
        QTest::newRow("window, sequences cut across reads")
            << LinkCore::Timing::Window << TelnetFault::Split;
        QTest::newRow("prompt, flood of commands before each reply")
            << LinkCore::Timing::Prompt << TelnetFault::Flood;
        QTest::newRow("window, flood of commands before each reply")
            << LinkCore::Timing::Window << TelnetFault::Flood;
    }
    void settings_and_data_with_0xff_go_through()
    {
        QFETCH(LinkCore::Timing, timing);
        QFETCH(TelnetFault, fault);
        auto sim = gateway(fault);
        QVERIFY(sim);
        Line line(timing);
        QVERIFY2(line.open(address_of(*sim)), qPrintable(line.core.open_error()));

        // The gateway's serial side was set as the receiver needs it.
        const TelnetServer::Settings set = sim->telnet().settings();
        QCOMPARE(set.baud, quint32(115200));
        QCOMPARE(set.data_bits, 8);
        QCOMPARE(set.parity, 1);
        QCOMPARE(set.stop_bits, 1);
        QCOMPARE(set.control, 1);

        // The receiver gets the display command's bytes as they were, and the reply comes back
        // without a Telnet byte in it, however the gateway cut and padded it.
        // A display command whose bytes hold 0xFF (and "]$" CR): the receiver echoes it.
        const QByteArray set_display("WP_DisplayOn[5,\xff\xff]$\r]$\r", 23);
        LinkOutcome outcome = line.run(set_display);
        QCOMPARE(outcome.status, Outcome::Replied);
        QCOMPARE(outcome.reply, set_display);
        QCOMPARE(outcome.received, set_display);
        QCOMPARE(sim->model().received().last(), set_display);
        QCOMPARE(sim->model().value("WP_DisplayOn["), QByteArray("\xff\xff]$\r", 5));

        outcome = line.run("WP_DisplayOn[?]$\r");
        QCOMPARE(outcome.status, Outcome::Replied);
        QCOMPARE(outcome.reply, set_display);
        QCOMPARE(outcome.discarded, 0);

        // The trace: the transactions hold the data bytes only, the negotiation is noted apart.
        QCOMPARE(line.records.last().received, set_display);
        QVERIFY2(line.notes.join(u'\n').contains(
                     u"telnet: received SB COM-PORT-OPTION SET-BAUDRATE 115200"_s),
            qPrintable(line.notes.join(u'\n')));
        QVERIFY(line.notes.join(u'\n').contains(u"telnet: sent WILL BINARY"_s));
        QVERIFY(line.notes.contains(u"telnet: serial settings agreed: 115200 baud, 8 data bits, "
                                    "no parity, 1 stop bit, no flow control"_s));
        QVERIFY(line.notes.size() <= 40 + Rfc2217Transport::max_noted_after_open);
    }

    void a_gateway_fault_ends_the_open_with_its_message_data()
    {
        QTest::addColumn<TelnetFault>("fault");
        QTest::addColumn<QString>("message");
        QTest::newRow("refuses the COM port option")
            << TelnetFault::Refuse
            << u"the gateway at %1 refused the COM port option (RFC 2217), so it cannot take the "
               "serial settings; for a gateway in raw TCP mode use tcp://%1"_s;
        QTest::newRow("answers another baud rate")
            << TelnetFault::WrongBaud
            << u"the gateway at %1 refused the serial settings: baud 9600"_s;
        QTest::newRow("never answers")
            << TelnetFault::Mute
            << u"the gateway at %1 did not finish the serial settings within 3 s (no answer to "
               "WILL COM-PORT-OPTION, WILL BINARY, DO BINARY, WILL SUPPRESS-GO-AHEAD, "
               "DO SUPPRESS-GO-AHEAD; no Telnet came back at all: for a gateway in raw TCP mode "
               "use tcp://%1)"_s;
        QTest::newRow("negotiates without end")
            << TelnetFault::Loop
            << u"the gateway at %1 kept negotiating: more than 64 Telnet option commands without "
               "settling the serial settings"_s;
    }
    void a_gateway_fault_ends_the_open_with_its_message()
    {
        QFETCH(TelnetFault, fault);
        QFETCH(QString, message);
        auto sim = gateway(fault);
        QVERIFY(sim);
        const QString where = u"127.0.0.1:%1"_s.arg(sim->port());
        Line line(LinkCore::Timing::Prompt);
        QElapsedTimer clock;
        clock.start();
        QVERIFY(!line.open(address_of(*sim)));
        QVERIFY2(clock.elapsed() < Rfc2217Transport::connect_timeout_ms + 500,
            qPrintable(QString::number(clock.elapsed())));
        QCOMPARE(line.core.open_error(), message.arg(where));
        QVERIFY(!line.core.is_open());
        // The gateway sees the connection end.
        QTRY_VERIFY(!sim->connected());
        // The reason is the last trace note.
        QCOMPARE(line.notes.last(), u"telnet: "_s + message.arg(where));
    }

    void the_blocking_open_ends_as_the_other_data()
    {
        QTest::addColumn<TelnetFault>("fault");
        QTest::newRow("answering") << TelnetFault::None;
        QTest::newRow("refusing") << TelnetFault::Refuse;
    }
    void the_blocking_open_ends_as_the_other()
    {
        QFETCH(TelnetFault, fault);
        auto sim = gateway(fault);
        QVERIFY(sim);
        Rfc2217Transport transport;
        QCOMPARE(transport.open(address_of(*sim)), fault == TelnetFault::None);
        QCOMPARE(transport.is_open(), fault == TelnetFault::None);
    }

    // A raw client on a Telnet port would take the negotiation for reply bytes: it is told once,
    // at the open, where to go instead.
    void tcp_to_a_telnet_port_says_so_with_the_hint()
    {
        auto sim = gateway();
        QVERIFY(sim);
        Line line(LinkCore::Timing::Prompt);
        QVERIFY(!line.open(address_of(*sim, "tcp")));
        const QString hint = u"the gateway at 127.0.0.1:%1 speaks Telnet (its first bytes are "
                             "Telnet negotiation), so its replies would not be the receiver's "
                             "bytes; for a gateway with the COM port option use "
                             "rfc2217://127.0.0.1:%1"_s.arg(sim->port());
        QCOMPARE(line.core.open_error(), hint);
        QCOMPARE(line.notes, QStringList { hint });
        QVERIFY(sim->model().received().isEmpty());

        // A raw gateway, which says nothing first, opens as before.
        TcpSimulator raw;
        QVERIFY(raw.listen(QHostAddress::LocalHost, 0));
        QVERIFY(line.open(address_of(raw, "tcp")));
        QCOMPARE(line.run("WP_Aspect[?]$\r").status, Outcome::Replied);
    }

    // The far end going away after the open is a lost line, as on a raw connection.
    void a_gateway_that_hangs_up_is_a_lost_line()
    {
        auto sim = gateway();
        QVERIFY(sim);
        Line line(LinkCore::Timing::Prompt);
        QSignalSpy lost(&line.core, &LinkCore::line_lost);
        QVERIFY(line.open(address_of(*sim)));
        sim->hang_up();
        QTRY_COMPARE(lost.size(), 1);
        QVERIFY(!line.core.is_open());
        // And it opens again.
        QVERIFY(line.open(address_of(*sim)));
        QCOMPARE(line.run("WP_Aspect[?]$\r").status, Outcome::Replied);
    }
};

QTEST_MAIN(TestRfc2217Link)
#include "test_rfc2217_link.moc"
