#include "sim/tcp_sim.h"
#include "tests/sim/tcp_client.h"
#include "tests/sim/vocabulary.h"

#include <QEventLoop>
#include <QSignalSpy>
#include <QTimer>

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

qint64 ms_since(Clock::time_point t)
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t).count();
}

// Lets the event loop run for ms milliseconds.
void run_events(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
}

// A listening simulator on a free loopback port with an independent client connected to it.
// The simulator serves on this thread while the client waits.
class TcpSimTest : public testing::Test
{
protected:
    void SetUp() override
    {
        QString error;
        ASSERT_TRUE(sim.listen(QHostAddress::LocalHost, 0, &error)) << error.toStdString();
        ASSERT_NE(sim.port(), 0);
        ASSERT_TRUE(client.connect_to(sim.port()));
    }

    QByteArray exchange(TcpClient &c, const QByteArray &bytes, qsizetype reply_size)
    {
        EXPECT_TRUE(c.write(bytes));
        return c.read_count(reply_size);
    }

    TcpSimulator sim;
    TcpClient client;
};

TEST_F(TcpSimTest, QueriesAndSettingsAreAnsweredAsOnTheSerialLine)
{
    QByteArray queries;
    QByteArray replies;
    for (const QueryCase &c : fresh_receiver_queries()) {
        queries += query(c.prefix);
        replies += framed(c.prefix, c.value);
    }
    EXPECT_EQ(exchange(client, queries, replies.size()), replies);

    EXPECT_EQ(exchange(client, "WP_Aspect[Keep]$\rWP_Aspect[?]$\r", 34),
        "WP_Aspect[Keep]$\rWP_Aspect[Keep]$\r");
    // A display command carries the terminator's bytes inside its counted part.
    const QByteArray display("WP_DisplayOff[3,\0]$]$\r", 22);
    EXPECT_EQ(exchange(client, display + query("WP_DisplayOff["), 44), display + display);
}

TEST_F(TcpSimTest, MessageSplitAcrossWritesIsAnsweredOnce)
{
    ASSERT_TRUE(client.write("WP_Asp"));
    EXPECT_TRUE(client.read_some(100).isEmpty());
    EXPECT_EQ(exchange(client, "ect[?]$\r", 17), "WP_Aspect[Full]$\r");
}

TEST_F(TcpSimTest, SettingsStayWithTheListenerAcrossReconnects)
{
    EXPECT_EQ(exchange(client, "WP_Aspect[4:3]$\r", 16), "WP_Aspect[4:3]$\r");
    client.close();
    ASSERT_TRUE(client.connect_to(sim.port()));
    EXPECT_EQ(exchange(client, "WP_Aspect[?]$\r", 16), "WP_Aspect[4:3]$\r");
    EXPECT_EQ(sim.model().value("WP_Aspect["), "4:3");
}

TEST_F(TcpSimTest, PartOfAMessageDoesNotSurviveAReconnect)
{
    ASSERT_TRUE(client.write("WP_Aspect[?"));
    run_events(50);
    client.close();
    ASSERT_TRUE(client.connect_to(sim.port()));
    // Were the part kept, "]$\r" would complete it and an aspect reply would come first.
    ASSERT_TRUE(client.write("]$\rWP_Info[?]$\r"));
    EXPECT_EQ(client.read_until("]$\r"), "WP_Info[V1.05]$\r");
}

TEST_F(TcpSimTest, NewerConnectionTakesTheLineOver)
{
    QSignalSpy gone(&sim, &TcpSimulator::client_gone);
    TcpClient second;
    ASSERT_TRUE(second.connect_to(sim.port()));
    EXPECT_TRUE(client.wait_closed());
    EXPECT_EQ(gone.count(), 1);
    EXPECT_EQ(exchange(second, "WP_Info[?]$\r", 16), "WP_Info[V1.05]$\r");
    EXPECT_TRUE(sim.connected());
}

TEST_F(TcpSimTest, ClientLeavingDuringADelayedReplyLeavesTheListenerServing)
{
    SimFaults f;
    f.delay_ms = 150;
    sim.set_faults(f);
    ASSERT_TRUE(client.write("WP_Info[?]$\r"));
    run_events(30);
    client.close();
    run_events(250);
    EXPECT_FALSE(sim.connected());
    ASSERT_TRUE(client.connect_to(sim.port()));
    EXPECT_EQ(exchange(client, "WP_Aspect[?]$\r", 17), "WP_Aspect[Full]$\r");
}

TEST_F(TcpSimTest, DelayHoldsTheReplyBackAndLaterRepliesWaitBehindIt)
{
    SimFaults f;
    f.delay_ms = 300;
    f.delay_only = "WP_Aspect[";
    sim.set_faults(f);
    const auto sent = Clock::now();
    ASSERT_TRUE(client.write("WP_Aspect[?]$\rWP_Info[?]$\r"));
    EXPECT_TRUE(client.read_some(200).isEmpty());
    EXPECT_EQ(client.read_count(33), "WP_Aspect[Full]$\rWP_Info[V1.05]$\r");
    EXPECT_GE(ms_since(sent), 250);
}

TEST_F(TcpSimTest, SplitReplyArrivesInTwoPartsWellApart)
{
    SimFaults f;
    f.split_gap_ms = 250;
    sim.set_faults(f);
    ASSERT_TRUE(client.write("WP_Aspect[?]$\r"));
    const QByteArray first = client.read_some();
    const auto first_at = Clock::now();
    ASSERT_FALSE(first.isEmpty());
    EXPECT_LT(first.size(), 17);
    const QByteArray rest = client.read_count(17 - first.size());
    EXPECT_GT(ms_since(first_at), 100);
    EXPECT_EQ(first + rest, "WP_Aspect[Full]$\r");
}

TEST_F(TcpSimTest, HangUpFaultClosesTheConnectionAfterEarlierReplies)
{
    QSignalSpy hung(&sim, &TcpSimulator::hung_up);
    SimFaults f;
    f.hang_up = true;
    f.hang_up_only = "WP_SystemRst[";
    sim.set_faults(f);
    ASSERT_TRUE(client.write("WP_Aspect[Keep]$\rWP_SystemRst[Go]$\rWP_Info[?]$\r"));
    EXPECT_EQ(client.read_count(100), "WP_Aspect[Keep]$\r");
    EXPECT_TRUE(client.closed_by_peer());
    EXPECT_EQ(hung.count(), 1);
    EXPECT_FALSE(sim.connected());

    // The listener takes the next connection; the reset was carried out before the hang-up.
    ASSERT_TRUE(client.connect_to(sim.port()));
    EXPECT_EQ(exchange(client, "WP_Aspect[?]$\r", 17), "WP_Aspect[Full]$\r");
}

TEST_F(TcpSimTest, HangUpFromTheTestClosesTheConnection)
{
    EXPECT_EQ(exchange(client, "WP_Info[?]$\r", 16), "WP_Info[V1.05]$\r");
    ASSERT_TRUE(sim.connected());
    sim.hang_up();
    EXPECT_TRUE(client.wait_closed());
}

struct ReplyFaultCase
{
    const char *name;
    SimFaults faults;
    QByteArray replies; // to an aspect query followed by a firmware query
};

void PrintTo(const ReplyFaultCase &c, std::ostream *os)
{
    *os << c.name;
}

SimFaults silent(const QByteArray &prefix)
{
    SimFaults f;
    f.silent = { prefix };
    return f;
}

SimFaults noise(const QByteArray &text, const QByteArray &only)
{
    SimFaults f;
    f.noise = text;
    f.noise_only = only;
    return f;
}

SimFaults wrong_prefix(const QByteArray &prefix, const QByteArray &only)
{
    SimFaults f;
    f.wrong_prefix = prefix;
    f.wrong_prefix_only = only;
    return f;
}

SimFaults overlong(const QByteArray &only)
{
    SimFaults f;
    f.overlong_size = 120;
    f.overlong_only = only;
    return f;
}

class TcpReplyFaultTest : public TcpSimTest, public testing::WithParamInterface<ReplyFaultCase>
{
};

TEST_P(TcpReplyFaultTest, FaultShowsOnTheConnection)
{
    sim.set_faults(GetParam().faults);
    ASSERT_TRUE(client.write("WP_Aspect[?]$\rWP_Info[?]$\r"));
    EXPECT_EQ(client.read_until("WP_Info[V1.05]$\r"), GetParam().replies);
}

INSTANTIATE_TEST_SUITE_P(Faults, TcpReplyFaultTest,
    testing::Values(ReplyFaultCase { "None", {}, "WP_Aspect[Full]$\rWP_Info[V1.05]$\r" },
        ReplyFaultCase { "SilentOnePrefix", silent("WP_Aspect["), "WP_Info[V1.05]$\r" },
        ReplyFaultCase { "NoiseOnOnePrefix", noise("\x01Z", "WP_Info["),
            "WP_Aspect[Full]$\r\x01ZWP_Info[V1.05]$\r" },
        ReplyFaultCase { "WrongPrefixOnOnePrefix", wrong_prefix("WP_Input[", "WP_Aspect["),
            "WP_Input[Full]$\rWP_Info[V1.05]$\r" },
        ReplyFaultCase { "OverlongOnOnePrefix", overlong("WP_Aspect["),
            "WP_Aspect[Full" + QByteArray("0123456789").repeated(11).left(103)
                + "]$\rWP_Info[V1.05]$\r" }),
    [](const auto &info) { return std::string(info.param.name); });

TEST(TcpSimSilence, SilenceForAllLeavesTheConnectionQuiet)
{
    TcpSimulator sim;
    ASSERT_TRUE(sim.listen(QHostAddress::LocalHost, 0));
    sim.set_faults(silent({}));
    TcpClient client;
    ASSERT_TRUE(client.connect_to(sim.port()));
    ASSERT_TRUE(client.write("WP_Aspect[Keep]$\rWP_Info[?]$\r"));
    EXPECT_TRUE(client.read_some(300).isEmpty());
    EXPECT_FALSE(client.closed_by_peer());
    // A silenced setting is still carried out.
    EXPECT_EQ(sim.model().value("WP_Aspect["), "Keep");
}

TEST(TcpSimListen, PortInUseIsReportedWithTheAddress)
{
    TcpSimulator first;
    ASSERT_TRUE(first.listen(QHostAddress::LocalHost, 0));
    TcpSimulator second;
    QString error;
    EXPECT_FALSE(second.listen(QHostAddress::LocalHost, first.port(), &error));
    EXPECT_TRUE(error.contains(QString::number(first.port()))) << error.toStdString();
}

// Two hundred receivers on this one thread, each connected and each with settings of its own.
TEST(TcpSimFleet, TwoHundredListenersOnOneThreadKeepTheirOwnState)
{
    constexpr int count = 200;
    std::vector<std::unique_ptr<TcpSimulator>> sims;
    std::vector<std::unique_ptr<TcpClient>> clients;
    for (int i = 0; i < count; ++i) {
        sims.push_back(std::make_unique<TcpSimulator>());
        ASSERT_TRUE(sims.back()->listen(QHostAddress::LocalHost, 0)) << i;
        clients.push_back(std::make_unique<TcpClient>());
        ASSERT_TRUE(clients.back()->connect_to(sims.back()->port())) << i;
    }
    // Every setting goes out before any reply is read: the receivers answer side by side.
    for (int i = 0; i < count; ++i) {
        const QByteArray value = QByteArray::number(i % 100);
        ASSERT_TRUE(clients[i]->write("WP_Output[" + value + "]$\rWP_Output[?]$\r"));
    }
    for (int i = 0; i < count; ++i) {
        const QByteArray reply = "WP_Output[" + QByteArray::number(i % 100) + "]$\r";
        EXPECT_EQ(clients[i]->read_count(2 * reply.size()), reply + reply) << i;
    }
    for (int i = 0; i < count; ++i)
        EXPECT_EQ(sims[i]->model().value("WP_Output["), QByteArray::number(i % 100)) << i;
}

} // namespace
