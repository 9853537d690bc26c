// The probe's state from the link's outcomes, and a whole probe against simulated receivers on a
// pty and on TCP: each state from what really happens on a line.
#undef QT_NO_CAST_FROM_ASCII

#include "link/serial_transport.h"
#include "link/tcp_transport.h"
#include "model/probe.h"
#include "model/settings.h"
#include "sim/pty_sim.h"
#include "sim/tcp_sim.h"

#include <QSignalSpy>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>

using namespace model;

Q_DECLARE_METATYPE(model::RunResult)
Q_DECLARE_METATYPE(OpenFailure)

namespace {

// The probe's steps, answered by outcomes written here: a reply for each step up to `replied`,
// then the outcome `last` (with the bytes `received`) for the next one.
RunResult run_of(int replied, Outcome end, Outcome last = Outcome::NoReply,
    const QByteArray &received = {}, const QByteArray &last_reply = {})
{
    // The replies the receiver gives to the probe's four queries, restated here.
    const QByteArray replies[] = { "WP_IdentifyTx[TX]$\r", "WP_Info[V1.07]$\r",
        "WP_Display[Off]$\r", "WP_Input[Hdmi2]$\r" };
    const std::vector<Step> plan = probe_plan();
    RunResult run;
    run.end = end;
    for (int i = 0; i < int(plan.size()); ++i) {
        StepResult step { plan[std::size_t(i)], {}, {} };
        if (i < replied) {
            step.outcome.status = Outcome::Replied;
            step.outcome.reply = replies[i];
            step.outcome.received = replies[i];
            for (const char c : replies[i])
                step.outcome.bytes.append(std::uint8_t(c));
        } else {
            step.outcome.status = last;
            step.outcome.received = received;
            step.outcome.reply = last_reply;
            step.received = received;
        }
        run.steps.push_back(step);
        if (i >= replied)
            break;
    }
    return run;
}

} // namespace

class TestProbe : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void plan_asks_the_four_things_that_matter()
    {
        QStringList sent;
        for (const Step &step : probe_plan())
            sent << QString::fromLatin1(step.message);
        // The identification first: it decides how the input source reads.
        QCOMPARE(sent,
            QStringList(
                { "WP_IdentifyTx[?]$\r", "WP_Info[?]$\r", "WP_Display[?]$\r", "WP_Input[?]$\r" }));
    }

    void state_from_outcomes_data()
    {
        QTest::addColumn<RunResult>("run");
        QTest::addColumn<bool>("network");
        QTest::addColumn<QString>("state");
        QTest::addColumn<int>("values");
        using S = Outcome;
        QTest::newRow("all answered") << run_of(4, Outcome::Replied) << false << "answering" << 4;
        QTest::newRow("nothing at all") << run_of(0, Outcome::NoReply) << false << "silent" << 0;
        QTest::newRow("silent after two replies")
            << run_of(2, Outcome::NoReply) << true << "silent" << 2;
        QTest::newRow("noise that never ends")
            << run_of(0, Outcome::NoReply, S::NoReply, "\x15\x15\x15") << false << "garbled" << 0;
        QTest::newRow("reply too long")
            << run_of(1, Outcome::TooLong, S::TooLong, "WP_Info[xxxxx") << false << "garbled" << 1;
        QTest::newRow("another prefix")
            << run_of(0, Outcome::Foreign, S::Replied, "WP_Aspect[Full]$\r", "WP_Aspect[Full]$\r")
            << false << "garbled" << 0;
        QTest::newRow("gateway closes a second client at once")
            << run_of(0, Outcome::LineLost, S::LineLost) << true << "busy" << 0;
        QTest::newRow("device gone at the first query")
            << run_of(0, Outcome::LineLost, S::LineLost) << false << "unreachable" << 0;
        QTest::newRow("connection lost midway")
            << run_of(2, Outcome::LineLost, S::LineLost) << true << "unreachable" << 2;
    }

    void state_from_outcomes()
    {
        QFETCH(RunResult, run);
        QFETCH(bool, network);
        QFETCH(QString, state);
        QFETCH(int, values);
        const ProbeResult result = probe_result(run, network);
        QCOMPARE(state_word(result.state), state);
        QCOMPARE(result.values.size(), values);
        QCOMPARE(result.detail.isEmpty(), state == "answering");
    }

    void values_read_as_the_window_reads_them()
    {
        const ProbeResult result = probe_result(run_of(4, Outcome::Replied), false);
        QCOMPARE(result.value("transmitter"), std::optional<QString>("TX"));
        QCOMPARE(result.value("rx_firmware"), std::optional<QString>("V1.07"));
        QCOMPARE(result.value("display"), std::optional<QString>("Off"));
        QCOMPARE(result.value("input_source"), std::optional<QString>("Hdmi2"));
    }

    void state_from_open_failure_data()
    {
        QTest::addColumn<OpenFailure>("failure");
        QTest::addColumn<QString>("state");
        QTest::newRow("in use") << OpenFailure::InUse << "busy";
        QTest::newRow("missing") << OpenFailure::Missing << "unreachable";
        QTest::newRow("refused") << OpenFailure::Refused << "unreachable";
        QTest::newRow("timed out") << OpenFailure::TimedOut << "unreachable";
        QTest::newRow("denied") << OpenFailure::Denied << "unreachable";
        QTest::newRow("other") << OpenFailure::Other << "unreachable";
    }

    void state_from_open_failure()
    {
        QFETCH(OpenFailure, failure);
        QFETCH(QString, state);
        QCOMPARE(state_word(state_of_open(failure)), state);
    }

    // The kinds of open failure as the real transports report them.
    void serial_port_held_by_another_program_is_in_use()
    {
        QTemporaryDir dir;
        PtySimulator sim;
        const QString path = dir.filePath("receiver");
        QVERIFY(sim.start(path));
        SerialTransport holder;
        QVERIFY(holder.open(path));
        SerialTransport second;
        QVERIFY(!second.open(path));
        QCOMPARE(second.open_failure(), OpenFailure::InUse);
        holder.close();
        QVERIFY2(second.open(path), qPrintable(second.open_error()));
        QCOMPARE(second.open_failure(), OpenFailure::None);
    }

    void missing_device_and_refused_connection()
    {
        SerialTransport serial;
        QVERIFY(!serial.open("/dev/kz-orba-no-such-device"));
        QCOMPARE(serial.open_failure(), OpenFailure::Missing);

        QTcpServer server;
        QVERIFY(server.listen(QHostAddress::LocalHost));
        const quint16 port = server.serverPort();
        server.close();
        TcpTransport tcp;
        QVERIFY(!tcp.open(QStringLiteral("tcp://127.0.0.1:%1").arg(port)));
        QCOMPARE(tcp.open_failure(), OpenFailure::Refused);
    }

    // Whole probes on real lines.
    void probe_on_a_pty_answering_then_busy()
    {
        QTemporaryDir dir;
        PtySimulator sim;
        const QString path = dir.filePath("receiver");
        QVERIFY(sim.start(path));
        sim.with_model([](ReceiverModel &m) { m.set_value("WP_Input[", "Vga"); });
        {
            ReceiverProbe probe("room", path, nullptr);
            QSignalSpy done(&probe, &ReceiverProbe::finished);
            probe.start();
            QVERIFY(done.wait(5000));
            QCOMPARE(state_word(probe.result().state), "answering");
            QCOMPARE(probe.result().value("input_source"), std::optional<QString>("Vga"));
            QVERIFY(probe.result().round_trip_ms > 0);
        }
        sim.clear_received();
        SerialTransport holder;
        QVERIFY(holder.open(path));
        ReceiverProbe probe("room", path, nullptr);
        QSignalSpy done(&probe, &ReceiverProbe::finished);
        probe.start();
        QVERIFY(done.wait(5000));
        QCOMPARE(state_word(probe.result().state), "busy");
        // The holder's line was not disturbed: nothing reached the receiver.
        QVERIFY(sim.received().isEmpty());
    }

    void probe_of_a_gateway_held_by_another_client_is_busy()
    {
        TcpSimulator sim;
        sim.set_one_client(true);
        QVERIFY(sim.listen(QHostAddress::LocalHost, 0));
        const QString address = QStringLiteral("tcp://127.0.0.1:%1").arg(sim.port());
        TcpTransport holder;
        QVERIFY(holder.open(address));
        QTRY_VERIFY(sim.connected());
        ReceiverProbe probe("room", address, nullptr);
        QSignalSpy done(&probe, &ReceiverProbe::finished);
        probe.start();
        QVERIFY(done.wait(5000));
        QCOMPARE(state_word(probe.result().state), "busy");
        // The holder still has the line, and the receiver answers it.
        QVERIFY(sim.connected());
        QVERIFY(holder.is_open());
    }

    void probe_over_tcp_silent_within_one_reply_wait()
    {
        TcpSimulator sim;
        SimFaults faults;
        faults.silent = { QByteArray() };
        sim.set_faults(faults);
        QVERIFY(sim.listen(QHostAddress::LocalHost, 0));
        ReceiverProbe probe("room", QStringLiteral("tcp://127.0.0.1:%1").arg(sim.port()), nullptr);
        QSignalSpy done(&probe, &ReceiverProbe::finished);
        probe.start();
        QVERIFY(done.wait(5000));
        QCOMPARE(state_word(probe.result().state), "silent");
        // One query's wait, not one per query.
        QVERIFY2(probe.result().round_trip_ms < 2 * ReceiverSession::reply_wait_ms,
            qPrintable(QString::number(probe.result().round_trip_ms)));
    }

    void deadline_ends_a_probe_early()
    {
        // A receiver slower than the deadline: the probe ends at the deadline, not at the reply
        // wait, and counts the receiver as silent.
        TcpSimulator sim;
        SimFaults faults;
        faults.delay_ms = 2000;
        sim.set_faults(faults);
        QVERIFY(sim.listen(QHostAddress::LocalHost, 0));
        ReceiverProbe probe("room", QStringLiteral("tcp://127.0.0.1:%1").arg(sim.port()), nullptr);
        QSignalSpy done(&probe, &ReceiverProbe::finished);
        probe.start(150);
        QVERIFY(done.wait(5000));
        QCOMPARE(state_word(probe.result().state), "silent");
        QVERIFY(probe.result().round_trip_ms < 1000);
    }
};

QTEST_GUILESS_MAIN(TestProbe)
#include "test_probe.moc"
