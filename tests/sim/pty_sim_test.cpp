#include "sim/pty_sim.h"
#include "tests/sim/pty_client.h"
#include "tests/sim/vocabulary.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

qint64 ms_since(Clock::time_point t)
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t).count();
}

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

TEST_F(PtySimTest, EveryQueryOfTheVocabularyIsAnswered)
{
    QByteArray queries;
    QByteArray replies;
    for (const QueryCase &c : fresh_receiver_queries()) {
        queries += query(c.prefix);
        replies += framed(c.prefix, c.value);
    }
    EXPECT_EQ(exchange(queries, replies.size()), replies);
}

TEST_F(PtySimTest, SettingsReadBackAsSet)
{
    // One setting of each command, each followed by its query; the DisplaySet rows overwrite
    // each other, so each is read back right after it is set.
    QByteArray line;
    QByteArray replies;
    for (const SettingCase &c : storable_settings()) {
        line += framed(c.prefix, c.argument) + query(c.prefix);
        replies += framed(c.prefix, c.argument) + framed(c.prefix, c.argument);
    }
    EXPECT_EQ(exchange(line, replies.size()), replies);
}

// Raw mode on the slave matters here: no byte may be translated, swallowed or echoed.
TEST_F(PtySimTest, DisplayCommandRoundTripsEveryByteValue)
{
    QByteArray bytes = raw("\x00]$\r\n\x11\x13\x03\x04\x1a\x7f\xff");
    const QByteArray on = "WP_DisplayOn[" + QByteArray::number(bytes.size()) + ',' + bytes + "]$\r";
    EXPECT_EQ(exchange(on, on.size()), on);
    EXPECT_EQ(exchange("WP_DisplayOn[?]$\r", on.size()), on);
    QByteArray stored;
    sim.with_model([&](ReceiverModel &m) { stored = m.value("WP_DisplayOn["); });
    EXPECT_EQ(stored, bytes);

    bytes.clear();
    for (int b = 0; b < 50; ++b)
        bytes += static_cast<char>(b * 5);
    const QByteArray off = "WP_DisplayOff[50," + bytes + "]$\r";
    EXPECT_EQ(exchange(off + "WP_DisplayOff[?]$\r", 2 * off.size()), off + off);
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

TEST_F(PtySimTest, ReceivedMessagesAreLoggedInOrder)
{
    const QByteArray display = raw("WP_DisplayOn[2,\r\x00]$\r");
    ASSERT_TRUE(client.write("WP_Aspect[4:3]$\r" + display + "WP_KeyMenu[]$\r"));
    ASSERT_TRUE(sim.wait_for_received(3, 2000));
    EXPECT_EQ(
        sim.received(), (QList<QByteArray> { "WP_Aspect[4:3]$\r", display, "WP_KeyMenu[]$\r" }));
    sim.clear_received();
    EXPECT_TRUE(sim.received().isEmpty());
    EXPECT_FALSE(sim.wait_for_received(1, 50));
}

TEST_F(PtySimTest, ClosingThePortDoesNotEndTheLine)
{
    client.close();
    ASSERT_TRUE(client.open(link));
    EXPECT_EQ(exchange("WP_Info[?]$\r", 16), "WP_Info[V1.05]$\r");
}

TEST_F(PtySimTest, ModelCanBeSetFromTheTest)
{
    sim.with_model([](ReceiverModel &m) {
        m.set_identify("RX");
        m.set_value("WP_PictureHue[", "07");
    });
    EXPECT_EQ(exchange("WP_IdentifyTx[?]$\rWP_PictureHue[?]$\r", 37),
        "WP_IdentifyTx[RX]$\rWP_PictureHue[07]$\r");
}

TEST_F(PtySimTest, SendRawReachesTheClient)
{
    EXPECT_TRUE(sim.send_raw(raw("unasked\x00\r")));
    EXPECT_EQ(client.read_count(9), raw("unasked\x00\r"));
}

TEST_F(PtySimTest, DelayHoldsTheReplyBack)
{
    SimFaults f;
    f.delay_ms = 200;
    sim.set_faults(f);
    const auto sent = Clock::now();
    EXPECT_EQ(exchange("WP_Aspect[?]$\r", 17), "WP_Aspect[Full]$\r");
    EXPECT_GE(ms_since(sent), 150);
}

TEST_F(PtySimTest, SilencedPrefixGetsNoReplyButOthersDo)
{
    SimFaults f;
    f.silent = { "WP_Aspect[" };
    sim.set_faults(f);
    // Replies go out in order, so the first bytes to arrive show whether the first message
    // was answered.
    EXPECT_EQ(exchange("WP_Aspect[?]$\rWP_Info[?]$\r", 16), "WP_Info[V1.05]$\r");
    EXPECT_EQ(sim.received().size(), 2);
}

TEST_F(PtySimTest, SilenceForAllLeavesEveryMessageUnanswered)
{
    SimFaults f;
    f.silent = { "" };
    sim.set_faults(f);
    ASSERT_TRUE(client.write("WP_Aspect[16:9]$\rWP_Info[?]$\r"));
    ASSERT_TRUE(sim.wait_for_received(2, 2000));
    sim.set_faults({});
    EXPECT_EQ(exchange("WP_Aspect[?]$\r", 17), "WP_Aspect[16:9]$\r");
}

TEST_F(PtySimTest, NoiseComesBeforeTheReply)
{
    SimFaults f;
    f.noise = raw("\x00zz]$");
    sim.set_faults(f);
    EXPECT_EQ(exchange("WP_Aspect[?]$\r", 22), raw("\x00zz]$WP_Aspect[Full]$\r"));
}

TEST_F(PtySimTest, SplitReplyArrivesInTwoPartsWellApart)
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

TEST_F(PtySimTest, WrongPrefixReplacesTheReplyPrefix)
{
    SimFaults f;
    f.wrong_prefix = "WP_Input[";
    f.wrong_prefix_only = "WP_Aspect[";
    sim.set_faults(f);
    EXPECT_EQ(exchange("WP_Aspect[?]$\rWP_Info[?]$\r", 32), "WP_Input[Full]$\rWP_Info[V1.05]$\r");
}

TEST_F(PtySimTest, OverlongReplyExceedsTheReplyBuffer)
{
    SimFaults f;
    f.overlong_size = 120;
    sim.set_faults(f);
    ASSERT_TRUE(client.write("WP_Info[?]$\r"));
    const QByteArray reply = client.read_until("]$\r");
    EXPECT_EQ(reply.size(), 120);
    EXPECT_TRUE(reply.startsWith("WP_Info[V1.05"));
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

} // namespace
