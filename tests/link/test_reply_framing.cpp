// The receive framing fed with bytes directly, poll by poll, with no port behind it.
#include "protocol/reply_framing.h"

#include <QTest>

namespace {

// The wire facts the framing must honour, restated here rather than taken from the code.
const QByteArray terminator("]$\r", 3);
constexpr int buffer_size = 75;
// The most bytes a waiting transaction keeps.
constexpr int kept = 4096;

// A script step: "<W>" begins a waiting transaction, "<E>" ends the wait, "<C>" is the log's "C";
// anything else is the bytes of one poll.
void run(ReplyFraming &framing, const QList<QByteArray> &steps, bool auto_clear = false,
    int *log_clears = nullptr)
{
    for (const QByteArray &step : steps) {
        if (step == "<W>")
            framing.begin_wait();
        else if (step == "<E>")
            framing.end_wait();
        else if (step == "<C>")
            framing.clear_received();
        else if (framing.take(step, auto_clear).log_cleared && log_clears)
            ++*log_clears;
    }
}

} // namespace

class TestReplyFraming : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void framing_data()
    {
        QTest::addColumn<QList<QByteArray>>("steps");
        QTest::addColumn<bool>("reply_ok");
        QTest::addColumn<QByteArray>("reply_text");
        QTest::addColumn<QByteArray>("rx_text");
        QTest::addColumn<QByteArray>("buffer");
        QTest::addColumn<int>("rx_count");

        const QByteArray reply = "WP_Aspect[16:9" + terminator;
        QTest::newRow("one reply")
            << QList<QByteArray> { "<W>", reply } << true << reply << reply << reply << 17;
        QTest::newRow("reply across three polls")
            << QList<QByteArray> { "<W>", "WP_Input[", "Hdmi1]$", "\r" } << true
            << QByteArray("WP_Input[Hdmi1]$\r") << QByteArray("WP_Input[Hdmi1]$\r")
            << QByteArray("WP_Input[Hdmi1]$\r") << 17;
        QTest::newRow("terminator one byte a poll")
            << QList<QByteArray> { "<W>", "v]", "$", "\r" } << true << QByteArray("v]$\r")
            << QByteArray("v]$\r") << QByteArray("v]$\r") << 4;
        QTest::newRow("noise stays in front") << QList<QByteArray> { "<W>", "xx" + reply } << true
                                              << "xx" + reply << "xx" + reply << "xx" + reply << 19;
        QTest::newRow("double bracket")
            << QList<QByteArray> { "<W>", "v]]$\r" } << false << QByteArray()
            << QByteArray("v]]$\r") << QByteArray("v]]$\r") << 5;
        QTest::newRow("doubled terminator")
            << QList<QByteArray> { "<W>", "v]$]$\r" } << false << QByteArray()
            << QByteArray("v]$]$\r") << QByteArray("v]$]$\r") << 6;
        QTest::newRow("line feed in place of CR")
            << QList<QByteArray> { "<W>", "v]$\n" } << false << QByteArray() << QByteArray("v]$\n")
            << QByteArray("v]$\n") << 4;
        QTest::newRow("bytes after the terminator grow the reply")
            << QList<QByteArray> { "<W>", "A]$\rB", "CD" } << true << QByteArray("A]$\rBCD")
            << QByteArray("A]$\rBCD") << QByteArray("A]$\rBCD") << 7;
        QTest::newRow("after the wait bytes are dropped, the reply stays")
            << QList<QByteArray> { "<W>", "A]$\r", "<E>", "BC" } << true << QByteArray("A]$\r")
            << QByteArray() << QByteArray("A]$\rBC") << 6;
        QTest::newRow("C in a completed wait, then a byte")
            << QList<QByteArray> { "<W>", "A]$\r", "<C>", "B" } << true << QByteArray("B")
            << QByteArray("B") << QByteArray("A]$\rB") << 1;
        QTest::newRow("C in a completed wait, no byte after")
            << QList<QByteArray> { "<W>", "A]$\r", "<C>" } << true << QByteArray("A]$\r")
            << QByteArray() << QByteArray("A]$\r") << 0;
        QTest::newRow("no wait: bytes dropped, still counted and buffered")
            << QList<QByteArray> { "abc" } << false << QByteArray() << QByteArray()
            << QByteArray("abc") << 3;
        QTest::newRow("a new wait keeps the last reply until its own")
            << QList<QByteArray> { "<W>", "A]$\r", "<E>", "<W>", "B" } << false
            << QByteArray("A]$\r") << QByteArray("B") << QByteArray("B") << 1;
        QTest::newRow("the next reply replaces the last")
            << QList<QByteArray> { "<W>", "A]$\r", "<E>", "<W>", "B]$\r" } << true
            << QByteArray("B]$\r") << QByteArray("B]$\r") << QByteArray("B]$\r") << 4;
        const QByteArray overlong = QByteArray(120, 'x') + terminator;
        QTest::newRow("the buffer keeps the first 75 bytes")
            << QList<QByteArray> { "<W>", overlong } << true << overlong << overlong
            << QByteArray(buffer_size, 'x') << 123;
        QTest::newRow("no-wait bytes pile up to 75")
            << QList<QByteArray> { "<W>", "<E>", QByteArray(50, 'a'), QByteArray(50, 'b') } << false
            << QByteArray() << QByteArray() << QByteArray(50, 'a') + QByteArray(25, 'b') << 100;
        const QByteArray flood(200000, 'z');
        // The reply grows with the flood, up to what a transaction keeps.
        const QByteArray flooded = ("A]$\r" + flood).left(kept);
        QTest::newRow("a flood after the reply is all reply, up to the bound")
            << QList<QByteArray> { "<W>", "A]$\r", flood, flood } << true << flooded << flooded
            << "A]$\r" + QByteArray(71, 'z') << 400004 % 65531;
    }
    void framing()
    {
        QFETCH(QList<QByteArray>, steps);
        QFETCH(bool, reply_ok);
        QFETCH(QByteArray, reply_text);
        QFETCH(QByteArray, rx_text);
        QFETCH(QByteArray, buffer);
        QFETCH(int, rx_count);
        ReplyFraming framing;
        run(framing, steps);
        QCOMPARE(framing.reply_ok(), reply_ok);
        QCOMPARE(framing.reply_text(), reply_text);
        QCOMPARE(framing.rx_text(), rx_text);
        QCOMPARE(framing.byte_buf().data(), buffer);
        QVERIFY(framing.byte_buf().len <= buffer_size);
        QCOMPARE(framing.rx_count(), quint32(rx_count));
    }

    // What a waiting transaction keeps of a line that sends far more than a reply, and what it
    // counts as dropped.
    void keeps_a_bounded_share_data()
    {
        QTest::addColumn<QList<QByteArray>>("steps");
        QTest::addColumn<bool>("reply_ok");
        QTest::addColumn<bool>("reply_cut");
        QTest::addColumn<QByteArray>("rx_text");
        QTest::addColumn<qint64>("discarded");
        const QByteArray nul(300000, '\0');
        QTest::newRow("NUL flood, no terminator")
            << QList<QByteArray> { "<W>", nul, nul } << false << false << QByteArray(kept, '\0')
            << qint64(600000 - kept);
        const QByteArray value = "WP_Info[" + QByteArray(1 << 20, 'v');
        QTest::newRow("a value of a megabyte, then the terminator")
            << QList<QByteArray> { "<W>", value, terminator } << true << true << value.left(kept)
            << qint64(value.size() + 3 - kept);
        QTest::newRow("a reply that just fits")
            << QList<QByteArray> { "<W>", QByteArray(kept - 3, 'v') + terminator } << true << false
            << QByteArray(kept - 3, 'v') + terminator << qint64(0);
        QTest::newRow("one byte more and the terminator is dropped")
            << QList<QByteArray> { "<W>", QByteArray(kept - 2, 'v') + terminator } << true << true
            << QByteArray(kept - 2, 'v') + "]$" << qint64(1);
        QTest::newRow("a reply, then more than the bound")
            << QList<QByteArray> { "<W>", "A]$\r" + QByteArray(kept, 'z') } << true << false
            << "A]$\r" + QByteArray(kept - 4, 'z') << qint64(4);
        QTest::newRow("a new wait starts the count over")
            << QList<QByteArray> { "<W>", QByteArray(kept + 10, 'x'), "<E>", "<W>", "A]$\r" }
            << true << false << QByteArray("A]$\r") << qint64(0);
        QTest::newRow("bytes while nothing is awaited are not counted")
            << QList<QByteArray> { "<W>", "<E>", QByteArray(kept + 10, 'x') } << false << false
            << QByteArray() << qint64(0);
    }
    void keeps_a_bounded_share()
    {
        QFETCH(QList<QByteArray>, steps);
        QFETCH(bool, reply_ok);
        QFETCH(bool, reply_cut);
        QFETCH(QByteArray, rx_text);
        QFETCH(qint64, discarded);
        ReplyFraming framing;
        run(framing, steps);
        QCOMPARE(framing.reply_ok(), reply_ok);
        QCOMPARE(framing.reply_cut(), reply_cut);
        QCOMPARE(framing.rx_text(), rx_text);
        QCOMPARE(framing.discarded(), discarded);
        QVERIFY(framing.reply_text().size() <= kept);
    }

    void completes_once_data()
    {
        QTest::addColumn<QList<QByteArray>>("polls");
        QTest::addColumn<QList<bool>>("completed");
        QTest::newRow("in its own poll")
            << QList<QByteArray> { "A]$", "\r", "more" } << QList<bool> { false, true, false };
        QTest::newRow("at once") << QList<QByteArray> { "A]$\r" } << QList<bool> { true };
    }
    void completes_once()
    {
        QFETCH(QList<QByteArray>, polls);
        QFETCH(QList<bool>, completed);
        ReplyFraming framing;
        framing.begin_wait();
        QList<bool> seen;
        for (const QByteArray &poll : polls)
            seen << framing.take(poll, false).reply_completed;
        QCOMPARE(seen, completed);
    }

    void log_clearing_data()
    {
        QTest::addColumn<bool>("auto_clear");
        QTest::addColumn<QList<int>>("poll_sizes");
        QTest::addColumn<int>("clears");
        QTest::addColumn<int>("rx_count");
        QTest::newRow("auto: more than 300 clears at the next poll")
            << true << QList<int> { 301, 1 } << 1 << 1;
        QTest::newRow("auto: exactly 300 does not") << true << QList<int> { 300, 1 } << 0 << 301;
        QTest::newRow("auto: not within the poll that passes 300")
            << true << QList<int> { 400 } << 0 << 400;
        QTest::newRow("off: keeps counting") << false << QList<int> { 400, 1 } << 0 << 401;
        QTest::newRow("off: past 65530 clears at once")
            << false << QList<int> { 65531, 5 } << 1 << 5;
        QTest::newRow("off: 65530 does not") << false << QList<int> { 65530 } << 0 << 65530;
        QTest::newRow("off: twice in one poll") << false << QList<int> { 2 * 65531 } << 1 << 0;
    }
    void log_clearing()
    {
        QFETCH(bool, auto_clear);
        QFETCH(QList<int>, poll_sizes);
        QFETCH(int, clears);
        QFETCH(int, rx_count);
        ReplyFraming framing;
        int seen = 0;
        for (const int size : poll_sizes)
            seen += framing.take(QByteArray(size, 'x'), auto_clear).log_cleared ? 1 : 0;
        QCOMPARE(seen, clears);
        QCOMPARE(framing.rx_count(), quint32(rx_count));
    }

    void new_wait_and_clear_reset_the_count()
    {
        ReplyFraming framing;
        framing.take(QByteArray(10, 'x'), false);
        framing.begin_wait();
        QCOMPARE(framing.rx_count(), 0u);
        QCOMPARE(framing.byte_buf().len, 0);
        framing.take("ab", false);
        framing.clear_received();
        QCOMPARE(framing.rx_count(), 0u);
        QVERIFY(framing.rx_text().isEmpty());
        // "C" leaves the buffer alone.
        QCOMPARE(framing.byte_buf().data(), QByteArray("ab"));
    }
};

QTEST_GUILESS_MAIN(TestReplyFraming)
#include "test_reply_framing.moc"
