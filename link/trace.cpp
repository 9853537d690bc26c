#include "link/trace.h"

#include <QFileInfo>

QString trace_outcome_text(Outcome outcome)
{
    switch (outcome) {
    case Outcome::Pending:
    case Outcome::Stopped: // a plan's end, never a transaction's
        break;
    case Outcome::Replied:
        return QStringLiteral("replied");
    case Outcome::NoReply:
        return QStringLiteral("no reply");
    case Outcome::Busy:
    case Outcome::NotOpen:
    case Outcome::ShutDown:
        return QStringLiteral("refused");
    case Outcome::LineLost:
        return QStringLiteral("lost");
    case Outcome::Sent:
        return QStringLiteral("sent");
    case Outcome::TooLong:
        return QStringLiteral("too long");
    case Outcome::Foreign:
        return QStringLiteral("foreign");
    }
    return {};
}

QString trace_bytes(QByteArrayView bytes)
{
    static const char hex[] = "0123456789ABCDEF";
    QString text;
    text.reserve(bytes.size());
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        if (b >= 0x20 && b < 0x7F && b != '\\') {
            text += QLatin1Char(c);
        } else {
            text += QLatin1String("\\x");
            text += QLatin1Char(hex[b >> 4]);
            text += QLatin1Char(hex[b & 0xF]);
        }
    }
    return text;
}

QString trace_bytes(QByteArrayView kept, qint64 discarded)
{
    QString text = trace_bytes(kept);
    if (discarded > 0)
        text += QStringLiteral("\u2026 %1 more bytes").arg(discarded);
    return text;
}

QString trace_line(const QString &port, const TraceRecord &record)
{
    const QChar tab = QLatin1Char('\t');
    return record.started.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz")) + tab + port + tab
        + trace_bytes(record.sent) + tab + trace_bytes(record.received, record.discarded) + tab
        + trace_outcome_text(record.outcome) + tab + QString::number(record.elapsed_ms)
        + QStringLiteral(" ms");
}

QString trace_note_line(const QString &port, const QDateTime &when, const QString &text)
{
    const QChar tab = QLatin1Char('\t');
    return when.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz")) + tab + port + tab
        + trace_bytes(text.toUtf8());
}

bool TraceWriter::open(const QString &path, QString *error)
{
    // Opening a named pipe for writing waits for a reader, perhaps for ever; a device or a
    // folder is no file to append lines to; a link to nothing would create its target.
    const QFileInfo info(path);
    const char *why = nullptr;
    if (info.isSymLink() && !info.exists())
        why = "a symbolic link to nothing; name the file itself";
    else if (info.exists() && !info.isFile())
        why = "not a regular file (a folder, named pipe or device)";
    if (why) {
        if (error)
            *error = QString::fromLatin1(why);
        return false;
    }
    file_.setFileName(path);
    // Unbuffered: a line that does not go in whole leaves nothing behind in a buffer, so the part
    // that did go in can be taken back.
    if (file_.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered))
        return true;
    if (error)
        *error = file_.errorString();
    return false;
}

void TraceWriter::write(const QString &port, const TraceRecord &record)
{
    write_line(trace_line(port, record));
}

bool TraceWriter::open_descriptor(int descriptor, QString *error)
{
    if (file_.open(descriptor, QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered,
            QFileDevice::DontCloseHandle))
        return true;
    if (error)
        *error = file_.errorString();
    return false;
}

void TraceWriter::write_line(const QString &line)
{
    if (!file_.isOpen() || !failure_.isEmpty())
        return;
    const QByteArray bytes = line.toUtf8() + '\n';
    const qint64 before = file_.isSequential() ? -1 : file_.size();
    const qint64 written = file_.write(bytes);
    if (written == bytes.size() && file_.flush())
        return;
    failure_ = file_.errorString();
    if (failure_.isEmpty() || failure_ == QLatin1String("Unknown error"))
        failure_ = QStringLiteral("a line could not be written whole");
    if (before >= 0)
        file_.resize(before);
}
