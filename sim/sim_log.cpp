#include "sim/sim_log.h"

QByteArray escape_bytes(const QByteArray &bytes)
{
    static const char hex[] = "0123456789ABCDEF";
    QByteArray text;
    text.reserve(bytes.size());
    for (char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        if (b == '\\') {
            text.append("\\\\");
        } else if (b >= 0x20 && b < 0x7F) {
            text.append(c);
        } else {
            text.append("\\x");
            text.append(hex[b >> 4]);
            text.append(hex[b & 0x0F]);
        }
    }
    return text;
}

QByteArray log_line(const QDateTime &when, const QByteArray &message)
{
    return when.toString(Qt::ISODateWithMs).toLatin1() + "  " + escape_bytes(message) + '\n';
}

QByteArray log_line(const QDateTime &when, quint16 port, const QByteArray &message)
{
    return when.toString(Qt::ISODateWithMs).toLatin1() + "  " + QByteArray::number(port) + "  "
        + escape_bytes(message) + '\n';
}
