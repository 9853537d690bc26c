#pragma once

#include "link/link_outcome.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QDateTime>
#include <QFile>
#include <QString>

// One transaction as the trace records it: when it began, the bytes sent, the bytes that came
// back, how it ended and how long it took.
struct TraceRecord
{
    QDateTime started;
    QByteArray sent;
    QByteArray received;
    // Bytes that came back after the first ReplyFraming::max_kept and were dropped.
    qint64 discarded = 0;
    Outcome outcome = Outcome::Replied;
    qint64 elapsed_ms = 0;
};

// "replied", "no reply", "refused" (busy, not open, shut down), "lost", "sent", "too long",
// "foreign".
QString trace_outcome_text(Outcome outcome);

// Bytes for people: printable ASCII as it is, every other byte (and the backslash, so that the
// text reads back unambiguously) as \xHH.
QString trace_bytes(QByteArrayView bytes);
// trace_bytes of what was kept, followed by "… N more bytes" when N more were dropped.
QString trace_bytes(QByteArrayView kept, qint64 discarded);

// One trace line, without its line end; fields separated by tabs, which never appear inside a
// field (a tab byte is written \x09):
// local time with milliseconds, the port, the bytes sent, the bytes received, the outcome and
// the milliseconds taken (the bytes received as trace_bytes(kept, discarded) shows them), e.g.
// "2026-12-10 14:31:02.123\tCOM1\tWP_Aspect[?]$\x0D\tWP_Aspect[16:9]$\x0D\treplied\t3 ms".
QString trace_line(const QString &port, const TraceRecord &record);

// Appends trace lines to a file, each flushed as it is written, so that the file tells what
// happened even when the program is stopped.
class TraceWriter
{
public:
    // Opens path for appending; false with the system's reason when it cannot be.
    bool open(const QString &path, QString *error = nullptr);
    // Writes to an open descriptor the caller keeps (standard error for "-").
    bool open_descriptor(int descriptor, QString *error = nullptr);
    bool is_open() const { return file_.isOpen(); }
    void write(const QString &port, const TraceRecord &record);
    void write_line(const QString &line);
    // The first write that did not go through whole (full disk, a device that takes nothing):
    // empty while every line went in. After it nothing more is written, and a line written in
    // part is taken back where the file allows it, so that the file holds only whole lines.
    QString failure() const { return failure_; }

private:
    QFile file_;
    QString failure_;
};
