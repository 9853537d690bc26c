#include "tests/sim/sim_process.h"
#include "tests/sim/tcp_client.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

QStringList any_port()
{
    return { QStringLiteral("--tcp"), QStringLiteral("127.0.0.1:0") };
}

// The first of count consecutive loopback ports that were free a moment ago.
quint16 free_port_run(int count)
{
    for (int attempt = 0; attempt < 50; ++attempt) {
        const auto base = static_cast<quint16>(QRandomGenerator::global()->bounded(20000, 60000));
        std::vector<std::unique_ptr<QTcpServer>> probes;
        bool all = true;
        for (int i = 0; i < count && all; ++i) {
            probes.push_back(std::make_unique<QTcpServer>());
            all = probes.back()->listen(QHostAddress::LocalHost, static_cast<quint16>(base + i));
        }
        if (all)
            return base;
    }
    return 0;
}

QString range(quint16 first, int count)
{
    return QStringLiteral("127.0.0.1:%1-%2").arg(first).arg(first + count - 1);
}

QByteArray exchange(TcpClient &client, const QByteArray &bytes, qsizetype reply_size)
{
    EXPECT_TRUE(client.write(bytes));
    return client.read_count(reply_size);
}

// On TCP as on the pty: a log line that cannot be written is reported once with the path, the
// listeners keep answering, and the run ends with status 1.
TEST(SimTcpCli, LogWriteFailureIsReportedOnceAndFailsTheRun)
{
    if (!QFile::exists(QStringLiteral("/dev/full")))
        GTEST_SKIP() << "no /dev/full";
    SimProcess sim(
        any_port() + QStringList { QStringLiteral("--log"), QStringLiteral("/dev/full") });
    const std::vector<quint16> ports = sim.wait_for_listeners(1);
    ASSERT_EQ(ports.size(), 1u) << sim.output.toStdString();
    TcpClient client;
    ASSERT_TRUE(client.connect_to(ports[0]));
    EXPECT_EQ(exchange(client, "WP_Aspect[Keep]$\rWP_Aspect[?]$\r", 34),
        "WP_Aspect[Keep]$\rWP_Aspect[Keep]$\r");
    sim.process.terminate();
    ASSERT_TRUE(sim.process.waitForFinished(5000));
    EXPECT_EQ(sim.process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(sim.process.exitCode(), 1);
    EXPECT_EQ(QString::fromLocal8Bit(sim.process.readAllStandardError()),
        QStringLiteral("kz-orba-sim: --log /dev/full: cannot write: No space left on device; "
                       "later messages are not logged\n"));
}

TEST(SimTcpCli, AnswersOverTcpLogsWithThePortAndEndsOnSigterm)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString log = dir.filePath(QStringLiteral("sim.log"));
    SimProcess sim(any_port() + QStringList { QStringLiteral("--log"), log });
    const std::vector<quint16> ports = sim.wait_for_listeners(1);
    ASSERT_EQ(ports.size(), 1u) << sim.output.toStdString();

    TcpClient client;
    ASSERT_TRUE(client.connect_to(ports[0]));
    EXPECT_EQ(exchange(client, "WP_Aspect[Keep]$\rWP_Aspect[?]$\r", 34),
        "WP_Aspect[Keep]$\rWP_Aspect[Keep]$\r");

    sim.process.terminate();
    ASSERT_TRUE(sim.process.waitForFinished(5000));
    EXPECT_EQ(sim.process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(sim.process.exitCode(), 0);
    EXPECT_TRUE(client.wait_closed());

    QFile file(log);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = file.readAll().split('\n');
    ASSERT_EQ(lines.size(), 3);
    const QRegularExpression stamp(QStringLiteral(
        "^\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d\\.\\d{3}  %1  WP_Aspect\\[Keep\\]\\$\\\\x0D$")
                                       .arg(ports[0]));
    EXPECT_TRUE(stamp.match(QString::fromLatin1(lines[0])).hasMatch()) << lines[0].toStdString();
}

TEST(SimTcpCli, PortRangeAndRepeatedTcpGiveReceiversOfTheirOwn)
{
    const quint16 base = free_port_run(3);
    ASSERT_NE(base, 0);
    SimProcess sim({ QStringLiteral("--tcp"), range(base, 3), QStringLiteral("--tcp"),
        QStringLiteral("127.0.0.1:0") });
    const std::vector<quint16> ports = sim.wait_for_listeners(4);
    ASSERT_EQ(ports.size(), 4u) << sim.output.toStdString();
    EXPECT_EQ(ports[0], base);
    EXPECT_EQ(ports[2], base + 2);

    TcpClient first;
    ASSERT_TRUE(first.connect_to(ports[0]));
    EXPECT_EQ(exchange(first, "WP_Aspect[Keep]$\r", 17), "WP_Aspect[Keep]$\r");
    for (std::size_t i = 1; i < ports.size(); ++i) {
        TcpClient other;
        ASSERT_TRUE(other.connect_to(ports[i]));
        EXPECT_EQ(exchange(other, "WP_Aspect[?]$\r", 17), "WP_Aspect[Full]$\r") << i;
    }
    first.close();
    ASSERT_TRUE(first.connect_to(ports[0]));
    EXPECT_EQ(exchange(first, "WP_Aspect[?]$\r", 17), "WP_Aspect[Keep]$\r");
}

TEST(SimTcpCli, FaultyAppliesToTheChosenListenersOnly)
{
    const quint16 base = free_port_run(5);
    ASSERT_NE(base, 0);
    const auto port = [base](int i) { return QString::number(base + i); };
    SimProcess sim({ QStringLiteral("--tcp"), range(base, 5), QStringLiteral("--noise"),
        QStringLiteral("~"), QStringLiteral("--faulty"), port(1) + QStringLiteral(":silent=all"),
        QStringLiteral("--faulty"), port(2) + QStringLiteral(":hang-up-on=Aspect"),
        QStringLiteral("--faulty"),
        port(3) + QStringLiteral(",") + port(4) + QStringLiteral(":delay=600"),
        QStringLiteral("--faulty"), port(4) + QStringLiteral(":only=Info") });
    const std::vector<quint16> ports = sim.wait_for_listeners(5);
    ASSERT_EQ(ports.size(), 5u) << sim.output.toStdString();

    std::vector<std::unique_ptr<TcpClient>> clients;
    for (quint16 p : ports) {
        clients.push_back(std::make_unique<TcpClient>());
        ASSERT_TRUE(clients.back()->connect_to(p));
        ASSERT_TRUE(clients.back()->write("WP_Aspect[?]$\rWP_Info[?]$\r"));
    }
    // The noise option applies to every listener, the faults to theirs alone; a listener's own
    // only scopes the common noise as well. Both delayed listeners are looked at well before
    // their 600 ms are up.
    EXPECT_EQ(clients[0]->read_count(35, 300), "~WP_Aspect[Full]$\r~WP_Info[V1.05]$\r");
    EXPECT_EQ(clients[4]->read_count(17, 300), "WP_Aspect[Full]$\r");
    EXPECT_EQ(clients[4]->read_some(50), "");
    EXPECT_EQ(clients[3]->read_some(50), "");
    EXPECT_TRUE(clients[2]->wait_closed());
    EXPECT_TRUE(sim.wait_for_output(QStringLiteral("127.0.0.1:%1 hung up").arg(ports[2])))
        << sim.output.toStdString();
    EXPECT_EQ(clients[4]->read_count(17), "~WP_Info[V1.05]$\r");
    // One delay after the other: the second reply waits behind the first.
    EXPECT_EQ(clients[3]->read_count(35), "~WP_Aspect[Full]$\r~WP_Info[V1.05]$\r");
    EXPECT_EQ(clients[1]->read_some(100), "");
    EXPECT_FALSE(clients[1]->closed_by_peer());
}

struct OptionCase
{
    const char *name;
    QStringList options;
    QByteArray replies; // to an aspect query followed by a firmware query
};

void PrintTo(const OptionCase &c, std::ostream *os)
{
    *os << c.name;
}

class SimTcpOptionTest : public testing::TestWithParam<OptionCase>
{
};

TEST_P(SimTcpOptionTest, FaultOptionShowsOnTheConnection)
{
    SimProcess sim(any_port() + GetParam().options);
    const std::vector<quint16> ports = sim.wait_for_listeners(1);
    ASSERT_EQ(ports.size(), 1u) << sim.output.toStdString();
    TcpClient client;
    ASSERT_TRUE(client.connect_to(ports[0]));
    ASSERT_TRUE(client.write("WP_Aspect[?]$\rWP_Info[?]$\r"));
    EXPECT_EQ(client.read_until("WP_Info[V1.05]$\r"), GetParam().replies);
}

INSTANTIATE_TEST_SUITE_P(Faults, SimTcpOptionTest,
    testing::Values(OptionCase { "None", {}, "WP_Aspect[Full]$\rWP_Info[V1.05]$\r" },
        OptionCase { "SilentOnePrefix", { QStringLiteral("--silent"), QStringLiteral("Aspect") },
            "WP_Info[V1.05]$\r" },
        OptionCase { "NoiseOnOnePrefix",
            { QStringLiteral("--noise"), QStringLiteral("NZ"), QStringLiteral("--only"),
                QStringLiteral("Info") },
            "WP_Aspect[Full]$\rNZWP_Info[V1.05]$\r" },
        OptionCase { "WrongPrefixOnOnePrefix",
            { QStringLiteral("--wrong-prefix"), QStringLiteral("WP_Input["),
                QStringLiteral("--only"), QStringLiteral("WP_Aspect[") },
            "WP_Input[Full]$\rWP_Info[V1.05]$\r" },
        OptionCase { "OverlongOnOnePrefix",
            { QStringLiteral("--overlong"), QStringLiteral("--only"), QStringLiteral("Aspect") },
            "WP_Aspect[Full" + QByteArray("0123456789").repeated(11).left(103)
                + "]$\rWP_Info[V1.05]$\r" },
        OptionCase {
            "Split", { QStringLiteral("--split") }, "WP_Aspect[Full]$\rWP_Info[V1.05]$\r" },
        OptionCase { "Delay", { QStringLiteral("--delay"), QStringLiteral("100") },
            "WP_Aspect[Full]$\rWP_Info[V1.05]$\r" }),
    [](const auto &info) { return std::string(info.param.name); });

TEST(SimTcpCli, DelayOptionHoldsTheReplyBack)
{
    SimProcess sim(any_port() + QStringList { QStringLiteral("--delay"), QStringLiteral("400") });
    const std::vector<quint16> ports = sim.wait_for_listeners(1);
    ASSERT_EQ(ports.size(), 1u) << sim.output.toStdString();
    TcpClient client;
    ASSERT_TRUE(client.connect_to(ports[0]));
    ASSERT_TRUE(client.write("WP_Info[?]$\r"));
    EXPECT_EQ(client.read_some(250), "");
    EXPECT_EQ(client.read_count(16), "WP_Info[V1.05]$\r");
}

TEST(SimTcpCli, SplitOptionSendsTheReplyInTwoParts)
{
    SimProcess sim(any_port() + QStringList { QStringLiteral("--split") });
    const std::vector<quint16> ports = sim.wait_for_listeners(1);
    ASSERT_EQ(ports.size(), 1u) << sim.output.toStdString();
    TcpClient client;
    ASSERT_TRUE(client.connect_to(ports[0]));
    ASSERT_TRUE(client.write("WP_Info[?]$\r"));
    const QByteArray first = client.read_some();
    EXPECT_EQ(first, "WP_Info[");
    EXPECT_EQ(client.read_some(100), "");
    EXPECT_EQ(client.read_count(8), "V1.05]$\r");
}

TEST(SimTcpCli, HangUpClosesTheConnectionAndTheListenerTakesTheNext)
{
    SimProcess sim(
        any_port() + QStringList { QStringLiteral("--hang-up-on"), QStringLiteral("SystemRst") });
    const std::vector<quint16> ports = sim.wait_for_listeners(1);
    ASSERT_EQ(ports.size(), 1u) << sim.output.toStdString();
    TcpClient client;
    ASSERT_TRUE(client.connect_to(ports[0]));
    EXPECT_EQ(exchange(client, "WP_Aspect[Keep]$\r", 17), "WP_Aspect[Keep]$\r");
    ASSERT_TRUE(client.write("WP_SystemRst[Go]$\r"));
    EXPECT_TRUE(client.wait_closed());
    EXPECT_TRUE(sim.wait_for_output(QStringLiteral("hung up"))) << sim.output.toStdString();

    ASSERT_TRUE(client.connect_to(ports[0]));
    EXPECT_EQ(exchange(client, "WP_Aspect[?]$\r", 17), "WP_Aspect[Full]$\r");
    EXPECT_EQ(sim.process.state(), QProcess::Running);
}

TEST(SimTcpCli, PortAlreadyInUseEndsWithStatusOne)
{
    QTcpServer taken;
    ASSERT_TRUE(taken.listen(QHostAddress::LocalHost, 0));
    QProcess sim;
    sim.start(QStringLiteral(KZ_SIM_EXE),
        { QStringLiteral("--tcp"), QStringLiteral("127.0.0.1:%1").arg(taken.serverPort()) });
    ASSERT_TRUE(sim.waitForFinished(5000));
    EXPECT_EQ(sim.exitCode(), 1);
    EXPECT_TRUE(sim.readAllStandardError().contains(QByteArray::number(taken.serverPort())));
    EXPECT_TRUE(sim.readAllStandardOutput().isEmpty());
}

// More listeners than the descriptor limit lets it serve: it says so in words and ends at start,
// instead of leaving connections unaccepted later.
TEST(SimTcpCli, MoreListenersThanDescriptorsEndsAtStart)
{
    QTcpServer probe;
    ASSERT_TRUE(probe.listen(QHostAddress::LocalHost, 0));
    const quint16 base = probe.serverPort() > 60000 ? 40000 : probe.serverPort();
    probe.close();
    QProcess sim;
    sim.start(QStringLiteral("/bin/sh"),
        { QStringLiteral("-c"),
            QStringLiteral("ulimit -n 64 && ulimit -Hn 64 && exec \"$0\" \"$@\""),
            QStringLiteral(KZ_SIM_EXE), QStringLiteral("--tcp"),
            QStringLiteral("127.0.0.1:%1-%2").arg(base).arg(base + 99) });
    ASSERT_TRUE(sim.waitForFinished(5000));
    EXPECT_EQ(sim.exitCode(), 1);
    const QString err = QString::fromLocal8Bit(sim.readAllStandardError());
    EXPECT_TRUE(err.contains(QStringLiteral("too many open files: 100 listeners need about 232 "
                                            "descriptors, and 64 are allowed; raise `ulimit -n`")))
        << err.toStdString();
    EXPECT_TRUE(sim.readAllStandardOutput().isEmpty());
}

struct BadArguments
{
    const char *name;
    QStringList args;
};

void PrintTo(const BadArguments &c, std::ostream *os)
{
    *os << c.name;
}

class SimTcpBadArgumentsTest : public testing::TestWithParam<BadArguments>
{
};

TEST_P(SimTcpBadArgumentsTest, EndsWithStatusTwoAndAReason)
{
    QProcess sim;
    sim.start(QStringLiteral(KZ_SIM_EXE), GetParam().args);
    ASSERT_TRUE(sim.waitForFinished(5000));
    EXPECT_EQ(sim.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(sim.exitCode(), 2);
    EXPECT_FALSE(sim.readAllStandardError().isEmpty());
    EXPECT_TRUE(sim.readAllStandardOutput().isEmpty());
}

const QString tcp = QStringLiteral("--tcp");
const QString faulty = QStringLiteral("--faulty");
const QString loopback = QStringLiteral("127.0.0.1:0");

INSTANTIATE_TEST_SUITE_P(Arguments, SimTcpBadArgumentsTest,
    testing::Values(
        BadArguments { "LinkAndTcp",
            { tcp, loopback, QStringLiteral("--link"), QStringLiteral("/tmp/kz-not-made") } },
        BadArguments { "FaultyWithoutTcp",
            { QStringLiteral("--link"), QStringLiteral("/tmp/kz-not-made"), faulty,
                QStringLiteral("7000:split") } },
        BadArguments { "NoPort", { tcp, QStringLiteral("127.0.0.1") } },
        BadArguments { "NoHost", { tcp, QStringLiteral(":7000") } },
        BadArguments { "PortTooLarge", { tcp, QStringLiteral("127.0.0.1:70000") } },
        BadArguments { "RangeBackwards", { tcp, QStringLiteral("127.0.0.1:7010-7000") } },
        BadArguments { "RangeFromZero", { tcp, QStringLiteral("127.0.0.1:0-3") } },
        BadArguments { "HostName", { tcp, QStringLiteral("receivers.example:7000") } },
        BadArguments { "FaultyWithoutPorts", { tcp, loopback, faulty, QStringLiteral("split") } },
        BadArguments { "FaultyOnNoListener",
            { tcp, QStringLiteral("127.0.0.1:7000-7009"), faulty, QStringLiteral("7010:split") } },
        BadArguments {
            "FaultyUnknownSwitch", { tcp, loopback, faulty, QStringLiteral("7000:mute") } },
        BadArguments {
            "FaultyMissingValue", { tcp, loopback, faulty, QStringLiteral("7000:delay") } },
        BadArguments {
            "FaultyBadNumber", { tcp, loopback, faulty, QStringLiteral("7000:delay=soon") } },
        BadArguments {
            "FaultyValueNotTaken", { tcp, loopback, faulty, QStringLiteral("7000:split=2") } },
        BadArguments {
            "BadDelay", { tcp, loopback, QStringLiteral("--delay"), QStringLiteral("-5") } }),
    [](const auto &info) { return std::string(info.param.name); });

TEST(SimTcpCli, HelpDescribesTheTcpOptions)
{
    QProcess help;
    help.start(QStringLiteral(KZ_SIM_EXE), { QStringLiteral("--help") });
    ASSERT_TRUE(help.waitForFinished(5000));
    EXPECT_EQ(help.exitCode(), 0);
    const QString text = QString::fromLocal8Bit(help.readAllStandardOutput());
    for (const char *word : { "--tcp", "--faulty", "HOST:FIRST-LAST", "PORTS:SWITCH", "silent=all",
             "hang-up-on=", "one or the other" }) {
        EXPECT_TRUE(text.contains(QLatin1String(word))) << word;
    }
}

} // namespace
