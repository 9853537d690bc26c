// The trace: each transaction as one line of six fields, its bytes escaped, and a trace file
// that cannot take a line says so.
// The tables of cases are written with plain string literals.
#undef QT_NO_CAST_FROM_ASCII

#include "link/trace.h"
#include "tests/support/resource_limit.h"

#include <QTemporaryDir>
#include <QTest>

class TestTrace : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // A trace that cannot take a line (a full disk: here a file-size limit) says so; a device is
    // no trace file at all.
    void trace_write_failure_is_kept()
    {
        QTemporaryDir dir;
        TraceWriter trace;
        QVERIFY(trace.open(dir.filePath(QStringLiteral("trace.log"))));
        QCOMPARE(trace.failure(), QString());
        {
            const ResourceLimit limit(RLIMIT_FSIZE, 0);
            trace.write_line(QStringLiteral("first"));
        }
        QVERIFY(!trace.failure().isEmpty());
        TraceWriter device;
        QString why;
        QVERIFY(!device.open(QStringLiteral("/dev/full"), &why));
        QVERIFY2(why.contains(QStringLiteral("not a regular file")), qPrintable(why));
    }

    void trace_bytes_escape_all_but_printable_ascii()
    {
        QCOMPARE(trace_bytes(QByteArray("WP_Aspect[?]$\r")), QStringLiteral("WP_Aspect[?]$\\x0D"));
        QCOMPARE(trace_bytes(QByteArray("a\tb\\c\x7f\xff\0", 8)),
            QStringLiteral("a\\x09b\\x5Cc\\x7F\\xFF\\x00"));
        QCOMPARE(trace_bytes(QByteArray(" ~")), QStringLiteral(" ~"));
    }

    void trace_line_has_its_six_fields()
    {
        TraceRecord record;
        record.started = QDateTime(QDate(2026, 12, 10), QTime(14, 31, 2, 7));
        record.sent = "WP_Aspect[?]$\r";
        record.received = "WP_Aspect[16:9]$\r";
        record.outcome = Outcome::Replied;
        record.elapsed_ms = 3;
        QCOMPARE(trace_line(QStringLiteral("COM1"), record),
            QStringLiteral("2026-12-10 14:31:02.007\tCOM1\tWP_Aspect[?]$\\x0D\t"
                           "WP_Aspect[16:9]$\\x0D\treplied\t3 ms"));
        record.outcome = Outcome::NoReply;
        QVERIFY(trace_line(QStringLiteral("COM1"), record)
                    .endsWith(QStringLiteral("\tno reply\t3 ms")));
    }
};

QTEST_GUILESS_MAIN(TestTrace)
#include "test_trace.moc"
