// When the receive log empties itself, fed poll by poll with no line and no window behind it.
#include "app/receive_log_count.h"

#include <QTest>

using namespace Qt::StringLiterals;

namespace {

// A script of steps apart by spaces: "auto" ticks "Auto", "manual" unticks it, "restart" starts
// the count over (a waiting transaction, a fresh connection or "C"); a number is how many bytes
// one poll takes. Returns, for each poll, whether it emptied the log.
QList<bool> run(ReceiveLogCount &log, const QString &script)
{
    QList<bool> emptied;
    for (const QString &step : script.split(u' ')) {
        if (step == u"auto")
            log.set_auto_clear(true);
        else if (step == u"manual")
            log.set_auto_clear(false);
        else if (step == u"restart")
            log.restart();
        else
            emptied << log.take(step.toLongLong());
    }
    return emptied;
}

} // namespace

class TestReceiveLogCount : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void empties_at_its_poll_data()
    {
        QTest::addColumn<QString>("steps");
        QTest::addColumn<QList<bool>>("emptied"); // one entry per poll
        QTest::addColumn<int>("count");

        QTest::newRow("auto: more than 300 empties at the next poll")
            << u"auto 301 1"_s << QList<bool> { false, true } << 1;
        QTest::newRow("auto: exactly 300 does not")
            << u"auto 300 1"_s << QList<bool> { false, false } << 301;
        QTest::newRow("auto: not within the poll that passes 300")
            << u"auto 400"_s << QList<bool> { false } << 400;
        QTest::newRow("auto: four polls of 100, then one byte")
            << u"auto 100 100 100 100 1"_s << QList<bool> { false, false, false, false, true } << 1;
        QTest::newRow("auto: an empty poll still empties")
            << u"auto 301 0"_s << QList<bool> { false, true } << 0;
        QTest::newRow("auto: a waiting transaction starts the count over")
            << u"auto 301 restart 1"_s << QList<bool> { false, false } << 1;
        QTest::newRow("auto ticked after the count passed 300")
            << u"350 auto 1"_s << QList<bool> { false, true } << 1;
        QTest::newRow("auto unticked before the next poll")
            << u"auto 350 manual 1"_s << QList<bool> { false, false } << 351;
        QTest::newRow("off: keeps counting") << u"400 1"_s << QList<bool> { false, false } << 401;
        QTest::newRow("off: past 65530 empties at once")
            << u"65531 5"_s << QList<bool> { true, false } << 5;
        QTest::newRow("off: 65530 does not") << u"65530"_s << QList<bool> { false } << 65530;
        QTest::newRow("off: passing 65530 across polls")
            << u"65000 600"_s << QList<bool> { false, true } << 69;
        QTest::newRow("off: twice in one poll") << u"131062"_s << QList<bool> { true } << 0;
        QTest::newRow("off: a flood of 400004 bytes")
            << u"4 200000 200000"_s << QList<bool> { false, true, true } << 400004 % 65531;
        QTest::newRow("off: a restart keeps it from 65530")
            << u"65530 restart 65530"_s << QList<bool> { false, false } << 65530;
        QTest::newRow("auto: both rules in one poll empty once")
            << u"auto 301 65531"_s << QList<bool> { false, true } << 0;
        QTest::newRow("auto: past 65530 within the poll")
            << u"auto 65531"_s << QList<bool> { true } << 0;
    }
    void empties_at_its_poll()
    {
        QFETCH(QString, steps);
        QFETCH(QList<bool>, emptied);
        QFETCH(int, count);
        ReceiveLogCount log;
        QCOMPARE(run(log, steps), emptied);
        QCOMPARE(log.count(), quint32(count));
    }

    // A poll of many bytes counts as that many polls of one byte, across one or more passes of
    // 65530.
    void a_poll_counts_as_its_bytes_one_by_one()
    {
        for (const qint64 start : { 0, 299, 65000, 65530 }) {
            for (const qint64 size : { 1, 530, 531, 65531, 131062, 131063, 400000 }) {
                ReceiveLogCount whole;
                ReceiveLogCount bytes;
                (void)whole.take(start);
                (void)bytes.take(start);
                const bool emptied = whole.take(size);
                bool any = false;
                for (qint64 i = 0; i < size; ++i)
                    any = bytes.take(1) || any;
                QCOMPARE(emptied, any);
                QCOMPARE(whole.count(), bytes.count());
            }
        }
    }
};

QTEST_GUILESS_MAIN(TestReceiveLogCount)
#include "test_receive_log_count.moc"
