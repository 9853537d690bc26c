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
void run(ReplyFraming &framing, const QList<QByteArray> &steps)
{
    for (const QByteArray &step : steps) {
        if (step == "<W>")
            framing.begin_wait();
        else if (step == "<E>")
            framing.end_wait();
        else if (step == "<C>")
            framing.clear_received();
        else
            framing.take(step);
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

        const QByteArray reply = "WP_Aspect[16:9" + terminator;
        QTest::newRow("one reply")
            << QList<QByteArray> { "<W>", reply } << true << reply << reply << reply;
        QTest::newRow("reply across three polls")
            << QList<QByteArray> { "<W>", "WP_Input[", "Hdmi1]$", "\r" } << true
            << QByteArray("WP_Input[Hdmi1]$\r") << QByteArray("WP_Input[Hdmi1]$\r")
            << QByteArray("WP_Input[Hdmi1]$\r");
        QTest::newRow("terminator one byte a poll")
            << QList<QByteArray> { "<W>", "v]", "$", "\r" } << true << QByteArray("v]$\r")
            << QByteArray("v]$\r") << QByteArray("v]$\r");
        QTest::newRow("noise stays in front") << QList<QByteArray> { "<W>", "xx" + reply } << true
                                              << "xx" + reply << "xx" + reply << "xx" + reply;
        QTest::newRow("double bracket")
            << QList<QByteArray> { "<W>", "v]]$\r" } << false << QByteArray()
            << QByteArray("v]]$\r") << QByteArray("v]]$\r");
        QTest::newRow("doubled terminator")
            << QList<QByteArray> { "<W>", "v]$]$\r" } << false << QByteArray()
            << QByteArray("v]$]$\r") << QByteArray("v]$]$\r");
        QTest::newRow("line feed in place of CR")
            << QList<QByteArray> { "<W>", "v]$\n" } << false << QByteArray() << QByteArray("v]$\n")
            << QByteArray("v]$\n");
        QTest::newRow("bytes after the terminator grow the reply")
            << QList<QByteArray> { "<W>", "A]$\rB", "CD" } << true << QByteArray("A]$\rBCD")
            << QByteArray("A]$\rBCD") << QByteArray("A]$\rBCD");
        QTest::newRow("after the wait bytes are dropped, the reply stays")
            << QList<QByteArray> { "<W>", "A]$\r", "<E>", "BC" } << true << QByteArray("A]$\r")
            << QByteArray() << QByteArray("A]$\rBC");
        QTest::newRow("C in a completed wait, then a byte")
            << QList<QByteArray> { "<W>", "A]$\r", "<C>", "B" } << true << QByteArray("B")
            << QByteArray("B") << QByteArray("A]$\rB");
        QTest::newRow("C in a completed wait, no byte after")
            << QList<QByteArray> { "<W>", "A]$\r", "<C>" } << true << QByteArray("A]$\r")
            << QByteArray() << QByteArray("A]$\r");
        QTest::newRow("no wait: bytes dropped, still buffered")
            << QList<QByteArray> { "abc" } << false << QByteArray() << QByteArray()
            << QByteArray("abc");
        QTest::newRow("a new wait keeps the last reply until its own")
            << QList<QByteArray> { "<W>", "A]$\r", "<E>", "<W>", "B" } << false
            << QByteArray("A]$\r") << QByteArray("B") << QByteArray("B");
        QTest::newRow("the next reply replaces the last")
            << QList<QByteArray> { "<W>", "A]$\r", "<E>", "<W>", "B]$\r" } << true
            << QByteArray("B]$\r") << QByteArray("B]$\r") << QByteArray("B]$\r");
        const QByteArray overlong = QByteArray(120, 'x') + terminator;
        QTest::newRow("the buffer keeps the first 75 bytes") << QList<QByteArray> { "<W>",
            overlong } << true << overlong << overlong << QByteArray(buffer_size, 'x');
        QTest::newRow("no-wait bytes pile up to 75")
            << QList<QByteArray> { "<W>", "<E>", QByteArray(50, 'a'), QByteArray(50, 'b') } << false
            << QByteArray() << QByteArray() << QByteArray(50, 'a') + QByteArray(25, 'b');
        const QByteArray flood(200000, 'z');
        // The reply grows with the flood, up to what a transaction keeps.
        const QByteArray flooded = ("A]$\r" + flood).left(kept);
        QTest::newRow("a flood after the reply is all reply, up to the bound")
            << QList<QByteArray> { "<W>", "A]$\r", flood, flood } << true << flooded << flooded
            << "A]$\r" + QByteArray(71, 'z');
    }
    void framing()
    {
        QFETCH(QList<QByteArray>, steps);
        QFETCH(bool, reply_ok);
        QFETCH(QByteArray, reply_text);
        QFETCH(QByteArray, rx_text);
        QFETCH(QByteArray, buffer);
        ReplyFraming framing;
        run(framing, steps);
        QCOMPARE(framing.reply_ok(), reply_ok);
        QCOMPARE(framing.reply_text(), reply_text);
        QCOMPARE(framing.rx_text(), rx_text);
        QCOMPARE(framing.byte_buf().data(), buffer);
        QVERIFY(framing.byte_buf().len <= buffer_size);
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
            seen << framing.take(poll);
        QCOMPARE(seen, completed);
    }

    void new_wait_and_clear_start_over()
    {
        ReplyFraming framing;
        framing.take(QByteArray(10, 'x'));
        framing.begin_wait();
        QCOMPARE(framing.byte_buf().len, 0);
        framing.take("ab");
        framing.clear_received();
        QVERIFY(framing.rx_text().isEmpty());
        // "C" leaves the buffer alone.
        QCOMPARE(framing.byte_buf().data(), QByteArray("ab"));
    }
};

QTEST_GUILESS_MAIN(TestReplyFraming)
#include "test_reply_framing.moc"
