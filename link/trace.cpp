#include "link/trace.h"

QString trace_outcome_text(Outcome outcome)
{
    switch (outcome) {
    case Outcome::Pending:
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

bool TraceWriter::open(const QString &path, QString *error)
{
    file_.setFileName(path);
    if (file_.open(QIODevice::WriteOnly | QIODevice::Append))
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
    if (file_.open(
            descriptor, QIODevice::WriteOnly | QIODevice::Append, QFileDevice::DontCloseHandle))
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
