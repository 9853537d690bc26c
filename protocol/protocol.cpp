#include "protocol/protocol.h"

#include <algorithm>

namespace protocol {

QByteArray setting_message(const QByteArray &prefix, const QByteArray &argument)
{
    return prefix + argument + terminator;
}

QByteArray query_message(const QByteArray &prefix)
{
    return setting_message(prefix, "?");
}

QByteArray key_message(const QByteArray &prefix)
{
    return setting_message(prefix, {});
}

bool strip_reply(QByteArray &reply, const QByteArray &prefix)
{
    if (!reply.startsWith(prefix))
        return false;
    reply = cut_reply(reply, static_cast<int>(prefix.size()));
    return true;
}

QByteArray cut_reply(const QByteArray &reply, int prefix_len)
{
    QByteArray value = reply.chopped(std::min<qsizetype>(terminator_len, reply.size()));
    return value.mid(std::min<qsizetype>(prefix_len, value.size()));
}

} // namespace protocol
