// The event-driven link core over pseudo-terminals against simulated receivers: outcomes come by
// signal, nothing waits, and one thread serves several lines at once in either timing.
#include "link/link_core.h"
#include "sim/pty_sim.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <memory>
#include <vector>

Q_DECLARE_METATYPE(LinkCore::Timing)
Q_DECLARE_METATYPE(Outcome)

namespace {

// One simulated receiver with a core on it, and the outcomes the core reported.
struct Line
{
    std::unique_ptr<PtySimulator> sim = std::make_unique<PtySimulator>();
    std::unique_ptr<LinkCore> core;
    QList<LinkOutcome> outcomes;
};

// A line that is open but takes no bytes, as a serial adapter held by flow control: what is
// written stays queued, and waiting for it to leave would block for a second each time.
class StuckTransport : public Transport
{
public:
    bool open(const QString &) override { return open_ = true; }
    QString open_error() const override { return {}; }
    void close() override { open_ = false; }
    bool is_open() const override { return open_; }
    qint64 bytes_available() const override { return 0; }
    QByteArray read(qint64) override { return {}; }
    void write(const QByteArray &bytes) override { queued += bytes.size(); }
    void drain_output() override
    {
        ++drains;
        QThread::msleep(1000);
    }
    void discard_input() override { }

    qint64 queued = 0;
    int drains = 0;

private:
    bool open_ = false;
};

} // namespace

class TestLinkCore : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir dir_;

    bool open_line(Line &line, int n, LinkCore::Timing timing)
    {
        const QString path = dir_.filePath(QStringLiteral("line%1").arg(n));
        if (!line.sim->start(path))
            return false;
        line.core = std::make_unique<LinkCore>(timing);
        connect(line.core.get(), &LinkCore::finished, this,
            [&line](const LinkOutcome &outcome) { line.outcomes << outcome; });
        return line.core->open(path);
    }

private Q_SLOTS:
    // The window's pause rule, one home for its delay_sec and the tool's timers: a pause ends
    // once more than its time has passed on a millisecond clock.
    void pause_ends_after_its_time_data()
    {
        QTest::addColumn<double>("seconds");
        QTest::addColumn<qint64>("ms");
        QTest::newRow("receiver read") << 0.05 << qint64(51);
        QTest::newRow("picture read") << 0.1 << qint64(101);
        QTest::newRow("key") << 0.2 << qint64(201);
        QTest::newRow("none") << 0.0 << qint64(1);
    }
    void pause_ends_after_its_time()
    {
        QFETCH(double, seconds);
        QFETCH(qint64, ms);
        QCOMPARE(pause_ms(seconds), ms);
    }

    // One outcome type for the link, the trace and the session: each outcome's trace word, the
    // three refusals alike.
    void outcomes_in_the_trace_data()
    {
        QTest::addColumn<Outcome>("outcome");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("refusal");
        QTest::newRow("replied") << Outcome::Replied << QStringLiteral("replied") << false;
        QTest::newRow("no reply") << Outcome::NoReply << QStringLiteral("no reply") << false;
        QTest::newRow("too long") << Outcome::TooLong << QStringLiteral("too long") << false;
        QTest::newRow("lost") << Outcome::LineLost << QStringLiteral("lost") << false;
        QTest::newRow("sent") << Outcome::Sent << QStringLiteral("sent") << false;
        QTest::newRow("foreign") << Outcome::Foreign << QStringLiteral("foreign") << false;
        QTest::newRow("busy") << Outcome::Busy << QStringLiteral("refused") << true;
        QTest::newRow("not open") << Outcome::NotOpen << QStringLiteral("refused") << true;
        QTest::newRow("shut down") << Outcome::ShutDown << QStringLiteral("refused") << true;
    }
    void outcomes_in_the_trace()
    {
        QFETCH(Outcome, outcome);
        QFETCH(QString, text);
        QFETCH(bool, refusal);
        QCOMPARE(trace_outcome_text(outcome), text);
        QCOMPARE(refused(outcome), refusal);
        QCOMPARE(line_gone(outcome), refusal || outcome == Outcome::LineLost);
    }

    // One line has one owner: a second open of the same device fails under whatever name it is
    // reached (the same name, its real name, another symbolic link), and succeeds once the first
    // owner has let go. Run as root too, where the device's own exclusive mode does not hold.
    void a_line_has_one_owner_whatever_its_name_data()
    {
        QTest::addColumn<QString>("second_name");
        QTest::newRow("the same name") << QStringLiteral("same");
        QTest::newRow("the device itself") << QStringLiteral("device");
        QTest::newRow("another symbolic link") << QStringLiteral("other link");
        QTest::newRow("a link to the link") << QStringLiteral("link to link");
    }
    void a_line_has_one_owner_whatever_its_name()
    {
        QFETCH(QString, second_name);
        Line line;
        QVERIFY(open_line(line, 90, LinkCore::Timing::Prompt));
        const QString first = line.sim->link_path();
        QString second = first;
        if (second_name == u"device")
            second = line.sim->slave_name();
        else if (second_name == u"other link" || second_name == u"link to link") {
            second = dir_.filePath(QStringLiteral("another_name"));
            QFile::remove(second);
            QVERIFY(
                QFile::link(second_name == u"other link" ? line.sim->slave_name() : first, second));
        }
        LinkCore other(LinkCore::Timing::Prompt);
        QVERIFY2(!other.open(second), qPrintable(second));
        QVERIFY(!other.open_error().isEmpty());
        // The first owner still has its line.
        QCOMPARE(line.core->start("WP_Aspect[?]$\r"), Outcome::Pending);
        QTRY_COMPARE(line.outcomes.size(), 1);
        QCOMPARE(line.outcomes.first().status, Outcome::Replied);
        line.core->close();
        QVERIFY2(other.open(second), qPrintable(other.open_error()));
        other.close();
        if (second != first && second != line.sim->slave_name())
            QFile::remove(second);
    }

    // A line whose transport takes no bytes costs the other lines on the thread nothing: the core
    // never waits for output, each of its transactions fails on its own deadline, and a live line
    // beside it answers meanwhile, each time.
    void a_line_that_takes_no_bytes_holds_up_no_other()
    {
        auto stuck_owned = std::make_unique<StuckTransport>();
        StuckTransport *stuck = stuck_owned.get();
        LinkCore dead(LinkCore::Timing::Prompt, std::move(stuck_owned));
        QList<LinkOutcome> dead_outcomes;
        connect(&dead, &LinkCore::finished, this,
            [&](const LinkOutcome &outcome) { dead_outcomes << outcome; });
        QVERIFY(dead.open(QStringLiteral("stuck")));
        Line live;
        QVERIFY(open_line(live, 91, LinkCore::Timing::Prompt));

        for (int round = 1; round <= 3; ++round) {
            QCOMPARE(dead.start("WP_Aspect[?]$\r"), Outcome::Pending);
            QCOMPARE(live.core->start("WP_Aspect[?]$\r"), Outcome::Pending);
            QTRY_COMPARE(dead_outcomes.size(), round);
            // The live line had its reply before the dead one's wait ran out.
            QCOMPARE(live.outcomes.size(), round);
            QCOMPARE(live.outcomes.last().status, Outcome::Replied);
            QCOMPARE(dead_outcomes.last().status, Outcome::NoReply);
        }
        QCOMPARE(dead.send_nowait("WP_KeyMenu[]$\r"), Outcome::Sent);
        QCOMPARE(stuck->drains, 0);
        QCOMPARE(stuck->queued, 3 * 14 + 14);
    }

    void several_lines_on_one_thread_data()
    {
        QTest::addColumn<LinkCore::Timing>("timing");
        QTest::newRow("window timing") << LinkCore::Timing::Window;
        QTest::newRow("prompt timing") << LinkCore::Timing::Prompt;
    }
    void several_lines_on_one_thread()
    {
        QFETCH(LinkCore::Timing, timing);
        std::vector<Line> lines(3);
        const QList<QByteArray> queries
            = { "WP_Aspect[?]$\r", "WP_Input[?]$\r", "WP_Display[?]$\r" };
        for (int i = 0; i < 3; ++i)
            QVERIFY(open_line(lines[std::size_t(i)], i, timing));
        // All three transactions run at the same time.
        for (int i = 0; i < 3; ++i)
            QCOMPARE(lines[std::size_t(i)].core->start(queries[i]), Outcome::Pending);
        for (Line &line : lines)
            QVERIFY(line.core->busy());
        QTRY_VERIFY_WITH_TIMEOUT(std::all_of(lines.begin(), lines.end(),
                                     [](const Line &l) { return !l.outcomes.isEmpty(); }),
            5000);
        for (int i = 0; i < 3; ++i) {
            const Line &line = lines[std::size_t(i)];
            QCOMPARE(line.outcomes.size(), 1);
            QCOMPARE(line.outcomes.first().status, Outcome::Replied);
            const QByteArray prefix = queries[i].left(queries[i].indexOf('[') + 1);
            QVERIFY2(line.outcomes.first().reply.startsWith(prefix), line.outcomes.first().reply);
            QVERIFY(line.outcomes.first().reply.endsWith("]$\r"));
            QCOMPARE(line.outcomes.first().bytes.data(), line.outcomes.first().reply);
            QCOMPARE(line.sim->received(), QList<QByteArray> { queries[i] });
        }
    }

    void prompt_timing_never_polls()
    {
        Line line;
        QVERIFY(open_line(line, 10, LinkCore::Timing::Prompt));
        QVERIFY(!line.core->polling());
        QCOMPARE(line.core->start("WP_Aspect[?]$\r"), Outcome::Pending);
        QVERIFY(!line.core->polling());
        QTRY_COMPARE_WITH_TIMEOUT(line.outcomes.size(), 1, 2000);
        QCOMPARE(line.outcomes.first().status, Outcome::Replied);
    }

    void refusals_come_at_once_and_emit_nothing()
    {
        Line line;
        QVERIFY(open_line(line, 11, LinkCore::Timing::Window));
        SimFaults silent;
        silent.silent = { QByteArray() };
        line.sim->set_faults(silent);
        QCOMPARE(line.core->start("WP_Aspect[?]$\r"), Outcome::Pending);
        QCOMPARE(line.core->start("WP_Input[?]$\r"), Outcome::Busy);
        QCOMPARE(line.core->send_nowait("WP_KeyMenu[]$\r"), Outcome::Busy);
        QTRY_COMPARE_WITH_TIMEOUT(line.outcomes.size(), 1, 2000);
        QCOMPARE(line.outcomes.first().status, Outcome::NoReply);
        QVERIFY(line.outcomes.first().reply.isEmpty());
        line.core->close();
        QCOMPARE(line.core->start("WP_Aspect[?]$\r"), Outcome::NotOpen);
        QCOMPARE(line.core->send_nowait("WP_KeyMenu[]$\r"), Outcome::NotOpen);
        QTest::qWait(50);
        QCOMPARE(line.outcomes.size(), 1);
        QCOMPARE(line.sim->received(), QList<QByteArray> { "WP_Aspect[?]$\r" });
    }

    void closing_ends_the_transaction_as_line_lost()
    {
        Line line;
        QVERIFY(open_line(line, 12, LinkCore::Timing::Prompt));
        SimFaults silent;
        silent.silent = { QByteArray() };
        line.sim->set_faults(silent);
        QCOMPARE(line.core->start("WP_Aspect[?]$\r"), Outcome::Pending);
        QSignalSpy closed(line.core.get(), &LinkCore::closed);
        line.core->close();
        QCOMPARE(closed.count(), 1);
        line.core->close();
        QCOMPARE(closed.count(), 1);
        QCOMPARE(line.outcomes.size(), 1);
        QCOMPARE(line.outcomes.first().status, Outcome::LineLost);
        QVERIFY(!line.core->busy());
    }

    void far_end_gone_is_reported()
    {
        Line line;
        QVERIFY(open_line(line, 13, LinkCore::Timing::Prompt));
        QSignalSpy lost(line.core.get(), &LinkCore::line_lost);
        QSignalSpy closed(line.core.get(), &LinkCore::closed);
        line.sim->hang_up();
        QTRY_COMPARE_WITH_TIMEOUT(lost.count(), 1, 2000);
        QCOMPARE(closed.count(), 1);
        QVERIFY(!line.core->is_open());
        QCOMPARE(line.core->start("WP_Aspect[?]$\r"), Outcome::NotOpen);
    }
};

QTEST_GUILESS_MAIN(TestLinkCore)
#include "test_link_core.moc"
