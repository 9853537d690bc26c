// kz-orba-sim as a separate process: what it does on either line is one suite run on a pty
// (--link) and on TCP (--tcp); what only one line does is marked with its transport's suite.
#include "tests/sim/line_client.h"
#include "tests/sim/sim_process.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <poll.h>

#include <memory>
#include <string>
#include <tuple>
#include <vector>

namespace {

// kz-orba-sim started on either transport with an independent client on its line: --link PATH
// on a pty, --tcp 127.0.0.1:0 on TCP.
class SimCliLineTest : public testing::TestWithParam<Transport>
{
protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }

    // The simulator's line on this transport, then more.
    QStringList args(const QStringList &more) const
    {
        const QStringList line = GetParam() == Transport::Pty
            ? QStringList { QStringLiteral("--link"), link }
            : QStringList { QStringLiteral("--tcp"), QStringLiteral("127.0.0.1:0") };
        return line + more;
    }

    // Waits until sim serves its line and opens the client's line to it.
    bool connect(SimProcess &sim)
    {
        if (GetParam() == Transport::Pty)
            return sim.wait_for_output(link) && client.open(link);
        const std::vector<quint16> ports = sim.wait_for_listeners(1);
        if (ports.size() != 1)
            return false;
        port = ports[0];
        return client.open(port);
    }

    QByteArray exchange(const QByteArray &bytes, qsizetype reply_size)
    {
        EXPECT_TRUE(client.write(bytes));
        return client.read_count(reply_size);
    }

    QTemporaryDir dir;
    QString link = dir.filePath(QStringLiteral("com3"));
    quint16 port = 0;
    LineClient client { GetParam() };
};

INSTANTIATE_TEST_SUITE_P(Transports, SimCliLineTest,
    testing::Values(Transport::Pty, Transport::Tcp),
    [](const auto &info) { return std::string(transport_name(info.param)); });

TEST_P(SimCliLineTest, AnswersAnIndependentClientAndStopsCleanlyOnSigterm)
{
    const QString log = dir.filePath(QStringLiteral("sim.log"));
    SimProcess sim(
        args({ QStringLiteral("--identify"), QStringLiteral("RX"), QStringLiteral("--log"), log }));
    ASSERT_TRUE(connect(sim)) << sim.output.toStdString();
    if (GetParam() == Transport::Pty) {
        EXPECT_TRUE(sim.output.contains(link_target(link)));
    }

    ASSERT_TRUE(client.write("WP_IdentifyTx[?]$\rWP_Input[?]$\r"));
    EXPECT_EQ(client.read_count(35), "WP_IdentifyTx[RX]$\rWP_Input[Hdmi]$\r");
    EXPECT_EQ(
        exchange("WP_Aspect[Keep]$\rWP_Aspect[?]$\r", 34), "WP_Aspect[Keep]$\rWP_Aspect[Keep]$\r");
    const QByteArray display("WP_DisplayOff[3,\0]$]$\r", 22);
    ASSERT_TRUE(client.write(display + "WP_DisplayOff[?]$\r"));
    EXPECT_EQ(client.read_count(44), display + display);

    sim.process.terminate();
    ASSERT_TRUE(sim.process.waitForFinished(5000));
    EXPECT_EQ(sim.process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(sim.process.exitCode(), 0);
    if (GetParam() == Transport::Pty) {
        EXPECT_FALSE(path_exists(link));
    } else {
        EXPECT_TRUE(client.far_end_gone(2000));
    }

    QFile file(log);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = file.readAll().split('\n');
    ASSERT_EQ(lines.size(), 7); // six messages and the empty text after the last line end
    // On TCP each line names the listener's port.
    const QString where
        = GetParam() == Transport::Pty ? QString() : QStringLiteral("%1  ").arg(port);
    const QRegularExpression first(
        QStringLiteral("^\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d\\.\\d{3}  "
                       "%1WP_IdentifyTx\\[\\?\\]\\$\\\\x0D$")
            .arg(where));
    EXPECT_TRUE(first.match(QString::fromLatin1(lines[0])).hasMatch()) << lines[0].toStdString();
    EXPECT_TRUE(lines[2].endsWith("  " + where.toLatin1() + "WP_Aspect[Keep]$\\x0D"))
        << lines[2].toStdString();
    EXPECT_TRUE(lines[4].endsWith("  WP_DisplayOff[3,\\x00]$]$\\x0D"));
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

class SimCliOptionTest : public testing::TestWithParam<std::tuple<Transport, OptionCase>>
{
};

TEST_P(SimCliOptionTest, FaultOptionShowsOnTheLine)
{
    const Transport transport = std::get<Transport>(GetParam());
    QTemporaryDir dir;
    const QString link = dir.filePath(QStringLiteral("com3"));
    const QStringList line = transport == Transport::Pty
        ? QStringList { QStringLiteral("--link"), link }
        : QStringList { QStringLiteral("--tcp"), QStringLiteral("127.0.0.1:0") };
    SimProcess sim(line + std::get<OptionCase>(GetParam()).options);
    LineClient client(transport);
    if (transport == Transport::Pty) {
        ASSERT_TRUE(sim.wait_for_output(link)) << sim.output.toStdString();
        ASSERT_TRUE(client.open(link));
    } else {
        const std::vector<quint16> ports = sim.wait_for_listeners(1);
        ASSERT_EQ(ports.size(), 1u) << sim.output.toStdString();
        ASSERT_TRUE(client.open(ports[0]));
    }
    ASSERT_TRUE(client.write("WP_Aspect[?]$\rWP_Info[?]$\r"));
    EXPECT_EQ(client.read_until("WP_Info[V1.05]$\r"), std::get<OptionCase>(GetParam()).replies);
}

INSTANTIATE_TEST_SUITE_P(Faults, SimCliOptionTest,
    testing::Combine(testing::Values(Transport::Pty, Transport::Tcp),
        testing::Values(OptionCase { "None", {}, "WP_Aspect[Full]$\rWP_Info[V1.05]$\r" },
            OptionCase { "SilentOnePrefix",
                { QStringLiteral("--silent"), QStringLiteral("WP_Aspect[") }, "WP_Info[V1.05]$\r" },
            OptionCase { "SilentNameOnly", { QStringLiteral("--silent"), QStringLiteral("Aspect") },
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
                { QStringLiteral("--overlong"), QStringLiteral("--only"),
                    QStringLiteral("Aspect") },
                "WP_Aspect[Full" + QByteArray("0123456789").repeated(11).left(103)
                    + "]$\rWP_Info[V1.05]$\r" },
            OptionCase {
                "Split", { QStringLiteral("--split") }, "WP_Aspect[Full]$\rWP_Info[V1.05]$\r" },
            OptionCase { "Delay", { QStringLiteral("--delay"), QStringLiteral("100") },
                "WP_Aspect[Full]$\rWP_Info[V1.05]$\r" })),
    [](const auto &info) {
        return std::string(transport_name(std::get<Transport>(info.param))) + '_'
            + std::get<OptionCase>(info.param).name;
    });

TEST_P(SimCliLineTest, DelayOptionHoldsTheReplyBack)
{
    SimProcess sim(args({ QStringLiteral("--delay"), QStringLiteral("400") }));
    ASSERT_TRUE(connect(sim)) << sim.output.toStdString();
    ASSERT_TRUE(client.write("WP_Info[?]$\r"));
    EXPECT_EQ(client.read_some(250), "");
    EXPECT_EQ(client.read_count(16), "WP_Info[V1.05]$\r");
}

TEST_P(SimCliLineTest, SplitOptionSendsTheReplyInTwoParts)
{
    SimProcess sim(args({ QStringLiteral("--split") }));
    ASSERT_TRUE(connect(sim)) << sim.output.toStdString();
    ASSERT_TRUE(client.write("WP_Info[?]$\r"));
    const QByteArray first = client.read_some();
    EXPECT_EQ(first, "WP_Info[");
    EXPECT_EQ(client.read_some(100), "");
    EXPECT_EQ(client.read_count(8), "V1.05]$\r");
}

// A --log that cannot be opened ends the simulator at start, naming the path and the reason.
TEST_P(SimCliLineTest, LogThatCannotBeOpenedIsNamed)
{
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("folder")));
    const struct
    {
        const char *name;
        QString path;
        const char *reason;
    } rows[] = {
        { "missing folder", dir.filePath(QStringLiteral("no-such-folder/sim.log")),
            "No such file or directory" },
        { "a folder", dir.filePath(QStringLiteral("folder")), "Is a directory" },
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        QProcess sim;
        sim.start(QStringLiteral(KZ_SIM_EXE), args({ QStringLiteral("--log"), row.path }));
        ASSERT_TRUE(sim.waitForFinished(5000));
        EXPECT_EQ(sim.exitCode(), 1);
        const QString err = QString::fromLocal8Bit(sim.readAllStandardError());
        EXPECT_TRUE(err.contains(QStringLiteral("--log %1: cannot open: ").arg(row.path)))
            << err.toStdString();
        EXPECT_TRUE(err.contains(QLatin1String(row.reason))) << err.toStdString();
        EXPECT_FALSE(path_exists(link));
    }
}

// A log line that cannot be written is reported once, with the path and the reason; the receiver
// keeps answering, and the run ends with status 1 instead of claiming a full log.
TEST_P(SimCliLineTest, LogWriteFailureIsReportedOnceAndFailsTheRun)
{
    if (!QFile::exists(QStringLiteral("/dev/full")))
        GTEST_SKIP() << "no /dev/full";
    SimProcess sim(args({ QStringLiteral("--log"), QStringLiteral("/dev/full") }));
    ASSERT_TRUE(connect(sim)) << sim.output.toStdString();
    EXPECT_EQ(
        exchange("WP_Aspect[?]$\rWP_Aspect[?]$\r", 34), "WP_Aspect[Full]$\rWP_Aspect[Full]$\r");
    EXPECT_EQ(
        exchange("WP_Aspect[Keep]$\rWP_Aspect[?]$\r", 34), "WP_Aspect[Keep]$\rWP_Aspect[Keep]$\r");
    sim.process.terminate();
    ASSERT_TRUE(sim.process.waitForFinished(5000));
    EXPECT_EQ(sim.process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(sim.process.exitCode(), 1);
    EXPECT_EQ(QString::fromLocal8Bit(sim.process.readAllStandardError()),
        QStringLiteral("kz-orba-sim: --log /dev/full: cannot write: No space left on device; "
                       "later messages are not logged\n"));
}

// Only on the pty: the link path, hang-up and redial.
class SimCliTest : public testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }

    QStringList args(const QStringList &more) const
    {
        return QStringList { QStringLiteral("--link"), link } + more;
    }

    QTemporaryDir dir;
    QString link = dir.filePath(QStringLiteral("com3"));
};

TEST_F(SimCliTest, HangUpOptionDropsTheLineAndRedialBringsItBack)
{
    SimProcess sim(args({ QStringLiteral("--hang-up-on"), QStringLiteral("SystemRst"),
        QStringLiteral("--redial"), QStringLiteral("100") }));
    ASSERT_TRUE(sim.wait_for_output(link)) << sim.output.toStdString();
    PtyClient client;
    ASSERT_TRUE(client.open(link));
    ASSERT_TRUE(client.write("WP_SystemRst[Go]$\r"));
    EXPECT_TRUE(client.wait_events(2000) & POLLHUP);
    client.close();

    ASSERT_TRUE(sim.wait_for_output(QStringLiteral("line back"))) << sim.output.toStdString();
    ASSERT_TRUE(client.open(link));
    ASSERT_TRUE(client.write("WP_Info[?]$\r"));
    EXPECT_EQ(client.read_count(16), "WP_Info[V1.05]$\r");
}

TEST_F(SimCliTest, HelpListsTheDefaultsAndTheFaultSwitches)
{
    QProcess help;
    help.start(QStringLiteral(KZ_SIM_EXE), { QStringLiteral("--help") });
    ASSERT_TRUE(help.waitForFinished(5000));
    EXPECT_EQ(help.exitCode(), 0);
    const QString text = QString::fromLocal8Bit(help.readAllStandardOutput());
    for (const char *word :
        { "WP_Aspect[", "WP_DisplayOn[", "PWR ON\\x0D", "--identify", "--log", "--delay",
            "--silent", "--noise", "--split", "--wrong-prefix", "--overlong", "--hang-up-on" }) {
        EXPECT_TRUE(text.contains(QLatin1String(word))) << word;
    }
}

TEST_F(SimCliTest, LinkIsRequired)
{
    QProcess sim;
    sim.start(QStringLiteral(KZ_SIM_EXE), QStringList {});
    ASSERT_TRUE(sim.waitForFinished(5000));
    EXPECT_NE(sim.exitCode(), 0);
    EXPECT_FALSE(sim.readAllStandardError().isEmpty());
}

// Only on TCP: listeners, port ranges, faults per listener, and the arguments of --tcp.
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
