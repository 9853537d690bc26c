#include "codec/display_reply.h"

#include "protocol/protocol.h"
#include "protocol/reply_values.h"

#include <algorithm>

std::optional<QByteArray> display_command_from_reply(
    const QByteArray &prefix, const QByteArray &reply_text, const ByteBuffer &buf)
{
    QByteArray argument = reply_text;
    if (!protocol::strip_reply(argument, prefix))
        return std::nullopt;
    const qsizetype comma = argument.indexOf(',');
    if (comma < 0)
        return std::nullopt;
    const int n = protocol::reply_number(argument.left(comma));
    const qsizetype start = prefix.size() + comma + 1;
    const qsizetype arrived = argument.size() - comma - 1;
    const qsizetype len = std::clamp(buf.len, 0, ByteBuffer::capacity);
    if (n < 0 || n > arrived || start + n > len || reply_text.size() < start + n)
        return std::nullopt;
    const bool same_reply
        = std::equal(buf.bytes.begin(), buf.bytes.begin() + start + n, reply_text.begin(),
            [](std::uint8_t a, char b) { return a == static_cast<std::uint8_t>(b); });
    if (!same_reply)
        return std::nullopt;
    return QByteArray(reinterpret_cast<const char *>(buf.bytes.data()) + start, n);
}
