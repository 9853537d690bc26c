#include "tests/sim/pty_client.h"
#include "tests/sim/sim_process.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <poll.h>

#include <string>

namespace {

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

TEST_F(SimCliTest, AnswersAnIndependentClientAndStopsCleanlyOnSigterm)
{
    const QString log = dir.filePath(QStringLiteral("sim.log"));
    SimProcess sim(
        args({ QStringLiteral("--identify"), QStringLiteral("RX"), QStringLiteral("--log"), log }));
    ASSERT_TRUE(sim.wait_for_output(link)) << sim.output.toStdString();
    EXPECT_TRUE(sim.output.contains(link_target(link)));

    PtyClient client;
    ASSERT_TRUE(client.open(link));
    ASSERT_TRUE(client.write("WP_IdentifyTx[?]$\rWP_Input[?]$\r"));
    EXPECT_EQ(client.read_count(34), "WP_IdentifyTx[RX]$\rWP_Input[Hdmi]$\r");
    ASSERT_TRUE(client.write("WP_Aspect[Keep]$\rWP_Aspect[?]$\r"));
    EXPECT_EQ(client.read_count(34), "WP_Aspect[Keep]$\rWP_Aspect[Keep]$\r");
    const QByteArray display("WP_DisplayOff[3,\0]$]$\r", 22);
    ASSERT_TRUE(client.write(display + "WP_DisplayOff[?]$\r"));
    EXPECT_EQ(client.read_count(44), display + display);

    sim.process.terminate();
    ASSERT_TRUE(sim.process.waitForFinished(5000));
    EXPECT_EQ(sim.process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(sim.process.exitCode(), 0);
    EXPECT_FALSE(path_exists(link));

    QFile file(log);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = file.readAll().split('\n');
    ASSERT_EQ(lines.size(), 7); // six messages and the empty text after the last line end
    const QRegularExpression stamp(
        QStringLiteral("^\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d\\.\\d{3}  "));
    EXPECT_TRUE(stamp.match(QString::fromLatin1(lines[0])).hasMatch()) << lines[0].toStdString();
    EXPECT_TRUE(lines[0].endsWith("  WP_IdentifyTx[?]$\\x0D"));
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

class SimCliOptionTest : public SimCliTest, public testing::WithParamInterface<OptionCase>
{
};

TEST_P(SimCliOptionTest, FaultOptionShowsOnTheLine)
{
    SimProcess sim(args(GetParam().options));
    ASSERT_TRUE(sim.wait_for_output(link)) << sim.output.toStdString();
    PtyClient client;
    ASSERT_TRUE(client.open(link));
    ASSERT_TRUE(client.write("WP_Aspect[?]$\rWP_Info[?]$\r"));
    EXPECT_EQ(client.read_until("WP_Info[V1.05]$\r"), GetParam().replies);
}

INSTANTIATE_TEST_SUITE_P(Faults, SimCliOptionTest,
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
            { QStringLiteral("--overlong"), QStringLiteral("--only"), QStringLiteral("Aspect") },
            "WP_Aspect[Full" + QByteArray("0123456789").repeated(11).left(103)
                + "]$\rWP_Info[V1.05]$\r" },
        OptionCase {
            "Split", { QStringLiteral("--split") }, "WP_Aspect[Full]$\rWP_Info[V1.05]$\r" }),
    [](const auto &info) { return std::string(info.param.name); });

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

// A --log that cannot be opened ends the simulator at start, naming the path and the reason.
TEST_F(SimCliTest, LogThatCannotBeOpenedIsNamed)
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
TEST_F(SimCliTest, LogWriteFailureIsReportedOnceAndFailsTheRun)
{
    if (!QFile::exists(QStringLiteral("/dev/full")))
        GTEST_SKIP() << "no /dev/full";
    SimProcess sim(args({ QStringLiteral("--log"), QStringLiteral("/dev/full") }));
    ASSERT_TRUE(sim.wait_for_output(link)) << sim.output.toStdString();
    PtyClient client;
    ASSERT_TRUE(client.open(link));
    ASSERT_TRUE(client.write("WP_Aspect[?]$\rWP_Aspect[?]$\r"));
    EXPECT_EQ(client.read_count(34), "WP_Aspect[Full]$\rWP_Aspect[Full]$\r");
    sim.process.terminate();
    ASSERT_TRUE(sim.process.waitForFinished(5000));
    EXPECT_EQ(sim.process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(sim.process.exitCode(), 1);
    const QString err = QString::fromLocal8Bit(sim.process.readAllStandardError());
    EXPECT_EQ(err,
        QStringLiteral("kz-orba-sim: --log /dev/full: cannot write: No space left on device; "
                       "later messages are not logged\n"));
}

TEST_F(SimCliTest, LinkIsRequired)
{
    QProcess sim;
    sim.start(QStringLiteral(KZ_SIM_EXE), QStringList {});
    ASSERT_TRUE(sim.waitForFinished(5000));
    EXPECT_NE(sim.exitCode(), 0);
    EXPECT_FALSE(sim.readAllStandardError().isEmpty());
}

} // namespace
