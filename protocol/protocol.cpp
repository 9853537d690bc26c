#include "protocol/protocol.h"

#include <array>

namespace protocol {

namespace {

constexpr std::array<const char *, 23> cmd_prefixes = {
    "WP_IdentifyTx[", "WP_Aspect[",     "WP_VgaAuto[",      "WP_Info[",       "WP_Output[",
    "WP_OverscanEn[", "WP_OverscanH[",  "WP_OverscanV[",    "WP_AudioEn[",    "WP_AudioHdmi[",
    "WP_AudioLR[",    "WP_SystemRst[",  "WP_AutoOff[",      "WP_DisplayMode[", "WP_Display[",
    "WP_Input[",      "WP_HdcpInput[",  "WP_InputPrefer[",  "WP_InfoTx[",     "WP_BaudrateTx[",
    "WP_ProjSW[",     "WP_AutoDispOn[", "WP_AutoDispOff[",
};

constexpr std::array<const char *, 6> pic_prefixes = {
    "WP_PictureBri[", "WP_PictureCon[", "WP_PictureSat[",
    "WP_PictureHue[", "WP_PictureSha[", "WP_PictureRst[",
};

template<std::size_t N>
QByteArray numbered(const std::array<const char *, N> &table, int number)
{
    if (number < 1 || number > static_cast<int>(N))
        return {};
    return QByteArray(table[static_cast<std::size_t>(number - 1)]);
}

} // namespace

QByteArray cmd_prefix(int number)
{
    return numbered(cmd_prefixes, number);
}

QByteArray pic_prefix(int number)
{
    return numbered(pic_prefixes, number);
}

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
