// The simulated receiver in this process, on its pty front end through an independent POSIX
// client and on its TCP front end through a loopback connection: what both lines do is one suite
// run on each transport; what only one line does is marked with its transport's suite.
#include "sim/pty_sim.h"
#include "sim/tcp_sim.h"
#include "tests/sim/pty_client.h"
#include "tests/sim/sim_line.h"
#include "tests/sim/tcp_client.h"
#include "tests/sim/vocabulary.h"

#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <memory>
#include <poll.h>
#include <string>
#include <termios.h>
#include <tuple>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

qint64 ms_since(Clock::time_point t)
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t).count();
}

SimFaults silent(const QByteArray &prefix)
{
    SimFaults f;
    f.silent = { prefix };
    return f;
}

// What the simulator does on either line, run on the pty and on TCP alike.
class SimLineTest : public testing::TestWithParam<Transport>
{
protected:
    void SetUp() override
    {
        QString error;
        ASSERT_TRUE(line.start(&error)) << error.toStdString();
    }

    // Writes bytes and reads the expected number of reply bytes back.
    QByteArray exchange(const QByteArray &bytes, qsizetype reply_size)
    {
        EXPECT_TRUE(client.write(bytes));
        return client.read_count(reply_size);
    }

    SimLine line { GetParam() };
    LineClient &client = line.client;
};

INSTANTIATE_TEST_SUITE_P(Transports, SimLineTest, testing::Values(Transport::Pty, Transport::Tcp),
    [](const auto &info) { return std::string(transport_name(info.param)); });

TEST_P(SimLineTest, EveryQueryOfTheVocabularyIsAnswered)
{
    QByteArray queries;
    QByteArray replies;
    for (const QueryCase &c : fresh_receiver_queries()) {
        queries += query(c.prefix);
        replies += framed(c.prefix, c.value);
    }
    EXPECT_EQ(exchange(queries, replies.size()), replies);
}

// Every query is answered on both lines (EveryQueryOfTheVocabularyIsAnswered); so is a setting,
// and a display command whose counted part holds the terminator.
TEST_P(SimLineTest, QueriesAndSettingsAreAnsweredAsOnTheSerialLine)
{
    EXPECT_EQ(
        exchange("WP_Aspect[Keep]$\rWP_Aspect[?]$\r", 34), "WP_Aspect[Keep]$\rWP_Aspect[Keep]$\r");
    // A display command carries the terminator's bytes inside its counted part.
    const QByteArray display("WP_DisplayOff[3,\0]$]$\r", 22);
    EXPECT_EQ(exchange(display + query("WP_DisplayOff["), 44), display + display);
}

TEST_P(SimLineTest, SettingsReadBackAsSet)
{
    // One setting of each command, each followed by its query; the DisplaySet rows overwrite
    // each other, so each is read back right after it is set.
    QByteArray sent;
    QByteArray replies;
    for (const SettingCase &c : storable_settings()) {
        sent += framed(c.prefix, c.argument) + query(c.prefix);
        replies += framed(c.prefix, c.argument) + framed(c.prefix, c.argument);
    }
    EXPECT_EQ(exchange(sent, replies.size()), replies);
}

// No byte may be translated, swallowed or echoed: on the pty, raw mode on the slave matters here.
TEST_P(SimLineTest, DisplayCommandRoundTripsEveryByteValue)
{
    QByteArray bytes = raw("\x00]$\r\n\x11\x13\x03\x04\x1a\x7f\xff");
    const QByteArray on = "WP_DisplayOn[" + QByteArray::number(bytes.size()) + ',' + bytes + "]$\r";
    EXPECT_EQ(exchange(on, on.size()), on);
    EXPECT_EQ(exchange("WP_DisplayOn[?]$\r", on.size()), on);
    QByteArray stored;
    line.with_model([&](ReceiverModel &m) { stored = m.value("WP_DisplayOn["); });
    EXPECT_EQ(stored, bytes);

    bytes.clear();
    for (int b = 0; b < 50; ++b)
        bytes += static_cast<char>(b * 5);
    const QByteArray off = "WP_DisplayOff[50," + bytes + "]$\r";
    EXPECT_EQ(exchange(off + "WP_DisplayOff[?]$\r", 2 * off.size()), off + off);
}

TEST_P(SimLineTest, MessageSplitAcrossWritesIsAnsweredOnce)
{
    ASSERT_TRUE(client.write("WP_Asp"));
    EXPECT_TRUE(client.read_some(100).isEmpty());
    EXPECT_EQ(exchange("ect[?]$\r", 17), "WP_Aspect[Full]$\r");
}

TEST_P(SimLineTest, ReceivedMessagesAreLoggedInOrder)
{
    const QByteArray display = raw("WP_DisplayOn[2,\r\x00]$\r");
    ASSERT_TRUE(client.write("WP_Aspect[4:3]$\r" + display + "WP_KeyMenu[]$\r"));
    ASSERT_TRUE(line.wait_for_received(3, 2000));
    EXPECT_EQ(
        line.received(), (QList<QByteArray> { "WP_Aspect[4:3]$\r", display, "WP_KeyMenu[]$\r" }));
    line.clear_received();
    EXPECT_TRUE(line.received().isEmpty());
    EXPECT_FALSE(line.wait_for_received(1, 50));
}

TEST_P(SimLineTest, ClosingThePortDoesNotEndTheLine)
{
    ASSERT_TRUE(line.reopen());
    EXPECT_EQ(exchange("WP_Info[?]$\r", 16), "WP_Info[V1.05]$\r");
}

TEST_P(SimLineTest, SettingsStayWithTheLineAcrossReconnects)
{
    EXPECT_EQ(exchange("WP_Aspect[4:3]$\r", 16), "WP_Aspect[4:3]$\r");
    ASSERT_TRUE(line.reopen());
    EXPECT_EQ(exchange("WP_Aspect[?]$\r", 16), "WP_Aspect[4:3]$\r");
    QByteArray stored;
    line.with_model([&](ReceiverModel &m) { stored = m.value("WP_Aspect["); });
    EXPECT_EQ(stored, "4:3");
}

TEST_P(SimLineTest, ModelCanBeSetFromTheTest)
{
    line.with_model([](ReceiverModel &m) {
        m.set_identify("RX");
        m.set_value("WP_PictureHue[", "07");
    });
    EXPECT_EQ(exchange("WP_IdentifyTx[?]$\rWP_PictureHue[?]$\r", 38),
        "WP_IdentifyTx[RX]$\rWP_PictureHue[07]$\r");
}

TEST_P(SimLineTest, DelayHoldsTheReplyBack)
{
    SimFaults f;
    f.delay_ms = 200;
    line.set_faults(f);
    const auto sent = Clock::now();
    EXPECT_EQ(exchange("WP_Aspect[?]$\r", 17), "WP_Aspect[Full]$\r");
    EXPECT_GE(ms_since(sent), 150);
}

TEST_P(SimLineTest, DelayHoldsTheReplyBackAndLaterRepliesWaitBehindIt)
{
    SimFaults f;
    f.delay_ms = 300;
    f.delay_only = "WP_Aspect[";
    line.set_faults(f);
    const auto sent = Clock::now();
    ASSERT_TRUE(client.write("WP_Aspect[?]$\rWP_Info[?]$\r"));
    EXPECT_TRUE(client.read_some(200).isEmpty());
    EXPECT_EQ(client.read_count(33), "WP_Aspect[Full]$\rWP_Info[V1.05]$\r");
    EXPECT_GE(ms_since(sent), 250);
}

TEST_P(SimLineTest, SilencedPrefixGetsNoReplyButOthersDo)
{
    SimFaults f;
    f.silent = { "WP_Aspect[" };
    line.set_faults(f);
    // Replies go out in order, so the first bytes to arrive show whether the first message
    // was answered.
    EXPECT_EQ(exchange("WP_Aspect[?]$\rWP_Info[?]$\r", 16), "WP_Info[V1.05]$\r");
    EXPECT_EQ(line.received().size(), 2);
}

TEST_P(SimLineTest, SilenceForAllLeavesEveryMessageUnanswered)
{
    SimFaults f;
    f.silent = { "" };
    line.set_faults(f);
    ASSERT_TRUE(client.write("WP_Aspect[16:9]$\rWP_Info[?]$\r"));
    ASSERT_TRUE(line.wait_for_received(2, 2000));
    line.set_faults({});
    EXPECT_EQ(exchange("WP_Aspect[?]$\r", 17), "WP_Aspect[16:9]$\r");
}

TEST_P(SimLineTest, SilenceForAllLeavesTheConnectionQuiet)
{
    line.set_faults(silent({}));
    ASSERT_TRUE(client.write("WP_Aspect[Keep]$\rWP_Info[?]$\r"));
    EXPECT_TRUE(client.read_some(300).isEmpty());
    EXPECT_FALSE(client.far_end_gone());
    // A silenced setting is still carried out.
    ASSERT_TRUE(line.wait_for_received(2, 2000));
    QByteArray stored;
    line.with_model([&](ReceiverModel &m) { stored = m.value("WP_Aspect["); });
    EXPECT_EQ(stored, "Keep");
}

TEST_P(SimLineTest, NoiseComesBeforeTheReply)
{
    SimFaults f;
    f.noise = raw("\x00zz]$");
    line.set_faults(f);
    EXPECT_EQ(exchange("WP_Aspect[?]$\r", 22), raw("\x00zz]$WP_Aspect[Full]$\r"));
}

TEST_P(SimLineTest, SplitReplyArrivesInTwoPartsWellApart)
{
    SimFaults f;
    f.split_gap_ms = 250;
    line.set_faults(f);
    ASSERT_TRUE(client.write("WP_Aspect[?]$\r"));
    const QByteArray first = client.read_some();
    const auto first_at = Clock::now();
    ASSERT_FALSE(first.isEmpty());
    EXPECT_LT(first.size(), 17);
    const QByteArray rest = client.read_count(17 - first.size());
    EXPECT_GT(ms_since(first_at), 100);
    EXPECT_EQ(first + rest, "WP_Aspect[Full]$\r");
}

TEST_P(SimLineTest, WrongPrefixReplacesTheReplyPrefix)
{
    SimFaults f;
    f.wrong_prefix = "WP_Input[";
    f.wrong_prefix_only = "WP_Aspect[";
    line.set_faults(f);
    EXPECT_EQ(exchange("WP_Aspect[?]$\rWP_Info[?]$\r", 32), "WP_Input[Full]$\rWP_Info[V1.05]$\r");
}

TEST_P(SimLineTest, OverlongReplyExceedsTheReplyBuffer)
{
    SimFaults f;
    f.overlong_size = 120;
    line.set_faults(f);
    ASSERT_TRUE(client.write("WP_Info[?]$\r"));
    const QByteArray reply = client.read_until("]$\r");
    EXPECT_EQ(reply.size(), 120);
    EXPECT_TRUE(reply.startsWith("WP_Info[V1.05"));
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

class ReplyFaultTest : public testing::TestWithParam<std::tuple<Transport, ReplyFaultCase>>
{
protected:
    void SetUp() override
    {
        QString error;
        ASSERT_TRUE(line.start(&error)) << error.toStdString();
    }

    SimLine line { std::get<Transport>(GetParam()) };
};

TEST_P(ReplyFaultTest, FaultShowsOnTheConnection)
{
    const ReplyFaultCase &c = std::get<ReplyFaultCase>(GetParam());
    line.set_faults(c.faults);
    ASSERT_TRUE(line.client.write("WP_Aspect[?]$\rWP_Info[?]$\r"));
    EXPECT_EQ(line.client.read_until("WP_Info[V1.05]$\r"), c.replies);
}

INSTANTIATE_TEST_SUITE_P(Faults, ReplyFaultTest,
    testing::Combine(testing::Values(Transport::Pty, Transport::Tcp),
        testing::Values(ReplyFaultCase { "None", {}, "WP_Aspect[Full]$\rWP_Info[V1.05]$\r" },
            ReplyFaultCase { "SilentOnePrefix", silent("WP_Aspect["), "WP_Info[V1.05]$\r" },
            ReplyFaultCase { "NoiseOnOnePrefix", noise("\x01Z", "WP_Info["),
                "WP_Aspect[Full]$\r\x01ZWP_Info[V1.05]$\r" },
            ReplyFaultCase { "WrongPrefixOnOnePrefix", wrong_prefix("WP_Input[", "WP_Aspect["),
                "WP_Input[Full]$\rWP_Info[V1.05]$\r" },
            ReplyFaultCase { "OverlongOnOnePrefix", overlong("WP_Aspect["),
                "WP_Aspect[Full" + QByteArray("0123456789").repeated(11).left(103)
                    + "]$\rWP_Info[V1.05]$\r" })),
    [](const auto &info) {
        return std::string(transport_name(std::get<Transport>(info.param))) + '_'
            + std::get<ReplyFaultCase>(info.param).name;
    });

// Only on the pty: the link, the terminal, raw mode, hang-ups, restarts and stops.
// A started simulator with an independent client on its link.
class PtySimTest : public testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        link = dir.filePath(QStringLiteral("com1"));
        QString error;
        ASSERT_TRUE(sim.start(link, &error)) << error.toStdString();
        ASSERT_TRUE(client.open(link));
    }

    // Writes bytes and reads the expected number of reply bytes back.
    QByteArray exchange(const QByteArray &bytes, qsizetype reply_size)
    {
        EXPECT_TRUE(client.write(bytes));
        return client.read_count(reply_size);
    }

    QTemporaryDir dir;
    QString link;
    PtySimulator sim;
    PtyClient client;
};

TEST_F(PtySimTest, LinkNamesTheSlaveAndTheSlaveIsATerminal)
{
    EXPECT_FALSE(sim.slave_name().isEmpty());
    EXPECT_EQ(link_target(link), sim.slave_name());
    EXPECT_TRUE(::isatty(client.fd()));
    EXPECT_TRUE(sim.serving());
}

// The application's port may not change every setting; the line must already be raw when it
// is first opened.
TEST(PtySimRawLine, LineIsRawBeforeAnyoneSetsIt)
{
    QTemporaryDir dir;
    const QString link = dir.filePath(QStringLiteral("com1"));
    PtySimulator sim;
    ASSERT_TRUE(sim.start(link));
    PtyClient client;
    ASSERT_TRUE(client.open(link, true));
    termios tio {};
    ASSERT_EQ(::tcgetattr(client.fd(), &tio), 0);
    EXPECT_EQ(tio.c_lflag & (ICANON | ECHO | ISIG | IEXTEN), 0u);
    EXPECT_EQ(tio.c_iflag & (ICRNL | INLCR | IGNCR | IXON | ISTRIP), 0u);
    EXPECT_EQ(tio.c_oflag & OPOST, 0u);

    const QByteArray on = raw("WP_DisplayOn[7,\r\n\x11\x13\x03\x7f\x04]$\r");
    ASSERT_TRUE(client.write(on));
    EXPECT_EQ(client.read_count(on.size()), on);
}

TEST_F(PtySimTest, SendRawReachesTheClient)
{
    EXPECT_TRUE(sim.send_raw(raw("unasked\x00\r")));
    EXPECT_EQ(client.read_count(9), raw("unasked\x00\r"));
}

// After a hang-up the application's port must see the far end gone.
void expect_far_end_gone(PtyClient &client)
{
    const short events = client.wait_events(2000);
    EXPECT_TRUE(events & (POLLHUP | POLLERR)) << "revents " << events;
    char byte = 0;
    errno = 0;
    const ssize_t n = ::read(client.fd(), &byte, 1);
    EXPECT_TRUE(n == 0 || (n < 0 && errno == EIO)) << "read " << n << " errno " << errno;
    errno = 0;
    EXPECT_EQ(::write(client.fd(), "x", 1), -1);
    EXPECT_EQ(errno, EIO);
}

TEST_F(PtySimTest, HangUpFaultClosesTheLineInsteadOfReplying)
{
    SimFaults f;
    f.hang_up = true;
    f.hang_up_only = "WP_SystemRst[";
    sim.set_faults(f);
    EXPECT_EQ(exchange("WP_Info[?]$\r", 16), "WP_Info[V1.05]$\r");
    ASSERT_TRUE(client.write("WP_SystemRst[Go]$\r"));
    ASSERT_TRUE(sim.wait_for_hang_up(2000));
    expect_far_end_gone(client);
    EXPECT_FALSE(sim.serving());
    EXPECT_TRUE(path_exists(link));
    EXPECT_FALSE(sim.send_raw("x"));
}

TEST_F(PtySimTest, HangUpCalledByTheTest)
{
    sim.hang_up();
    EXPECT_TRUE(sim.hung_up());
    expect_far_end_gone(client);
}

TEST_F(PtySimTest, RestartAfterHangUpServesTheSameLinkAndKeepsSettings)
{
    EXPECT_EQ(exchange("WP_Aspect[4:3]$\r", 16), "WP_Aspect[4:3]$\r");
    ASSERT_TRUE(client.write("WP_Asp")); // a message cut short by the hang-up
    sim.hang_up();
    client.close();

    QString error;
    ASSERT_TRUE(sim.restart(&error)) << error.toStdString();
    EXPECT_FALSE(sim.hung_up());
    EXPECT_EQ(link_target(link), sim.slave_name());
    ASSERT_TRUE(client.open(link));
    EXPECT_EQ(exchange("ect[?]$\rWP_Aspect[?]$\r", 16), "WP_Aspect[4:3]$\r");
}

TEST_F(PtySimTest, StopRemovesTheLinkAndCanBeRepeated)
{
    sim.stop();
    EXPECT_FALSE(path_exists(link));
    EXPECT_FALSE(sim.serving());
    sim.stop();
    QString error;
    EXPECT_FALSE(sim.restart(&error));
    EXPECT_TRUE(sim.start(link, &error)) << error.toStdString();
    EXPECT_EQ(link_target(link), sim.slave_name());
}

TEST_F(PtySimTest, StopDoesNotWaitOutAPendingDelay)
{
    SimFaults f;
    f.delay_ms = 10000;
    sim.set_faults(f);
    ASSERT_TRUE(client.write("WP_Info[?]$\r"));
    ASSERT_TRUE(sim.wait_for_received(1, 2000));
    const auto stopping = Clock::now();
    sim.stop();
    EXPECT_LT(ms_since(stopping), 5000);
}

TEST_F(PtySimTest, SecondStartIsRefused)
{
    QString error;
    EXPECT_FALSE(sim.start(dir.filePath(QStringLiteral("com2")), &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_FALSE(path_exists(dir.filePath(QStringLiteral("com2"))));
}

TEST(PtySimLink, ReplacesAStaleLink)
{
    QTemporaryDir dir;
    const QString link = dir.filePath(QStringLiteral("com1"));
    ASSERT_EQ(::symlink("/dev/pts/nothing-here", QFile::encodeName(link).constData()), 0);
    PtySimulator sim;
    QString error;
    ASSERT_TRUE(sim.start(link, &error)) << error.toStdString();
    EXPECT_EQ(link_target(link), sim.slave_name());
}

TEST(PtySimLink, LeavesAnOrdinaryFileAlone)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("com1"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("keep me");
    file.close();

    PtySimulator sim;
    QString error;
    EXPECT_FALSE(sim.start(path, &error));
    EXPECT_FALSE(error.isEmpty());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), "keep me");
    sim.stop();
    EXPECT_TRUE(QFile::exists(path));
}

TEST(PtySimLink, DestructorRemovesTheLink)
{
    QTemporaryDir dir;
    const QString link = dir.filePath(QStringLiteral("com1"));
    {
        PtySimulator sim;
        ASSERT_TRUE(sim.start(link));
        ASSERT_TRUE(path_exists(link));
    }
    EXPECT_FALSE(path_exists(link));
}

// Only on TCP: connections come and go while the listener stays.
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
