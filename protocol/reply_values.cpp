#include "protocol/reply_values.h"

#include <QString>

#include <cmath>
#include <initializer_list>
#include <limits>

namespace protocol {

namespace {

std::optional<int> word_position(const QByteArray &value, std::initializer_list<const char *> words)
{
    int position = 0;
    for (const char *word : words) {
        if (value == word)
            return position;
        ++position;
    }
    return std::nullopt;
}

const std::initializer_list<const char *> on_off = { "On", "Off" };

} // namespace

int reply_number(const QByteArray &value)
{
    qsizetype i = 0;
    while (i < value.size() && value[i] == ' ')
        ++i;
    QByteArray number;
    if (i < value.size() && (value[i] == '+' || value[i] == '-'))
        number += value[i++];
    bool seen_point = false;
    for (; i < value.size(); ++i) {
        const char c = value[i];
        if (c >= '0' && c <= '9') {
            number += c;
        } else if (c == '.' && !seen_point) {
            seen_point = true;
            number += c;
        } else {
            break;
        }
    }
    bool ok = false;
    const double parsed = number.toDouble(&ok);
    if (!ok || !std::isfinite(parsed))
        return 0;
    const double rounded = std::round(parsed);
    if (rounded >= static_cast<double>(std::numeric_limits<int>::max()))
        return std::numeric_limits<int>::max();
    if (rounded <= static_cast<double>(std::numeric_limits<int>::min()))
        return std::numeric_limits<int>::min();
    return static_cast<int>(rounded);
}

std::optional<int> reply_position(int number, const QByteArray &value, bool single_hdmi,
                                  const QStringList &entries)
{
    switch (number) {
    case 2:
        return word_position(value, { "Full", "16:9", "16:10", "4:3", "Keep" });
    case 5:
    case 7:
    case 8:
    case 18:
        return reply_number(value);
    case 6:
        return word_position(value, { "Yes", "No" });
    case 9:
    case 10:
    case 11:
    case 15:
    case 22:
    case 23:
        return word_position(value, on_off);
    case 13: {
        if (value == "0")
            return 0;
        const int found = entries.indexOf(QString::fromLatin1(value));
        return found >= 0 ? std::optional<int>(found) : std::nullopt;
    }
    case 14:
        return word_position(value, { "DispSWAVOn", "DispSWAVSW", "AVSW", "AlwaysOn" });
    case 16:
        return single_hdmi ? word_position(value, { "Hdmi", "Vga" })
                           : word_position(value, { "Hdmi1", "Hdmi2", "Vga" });
    case 17:
        return word_position(value, { "HDCP", "NotHDCP", "Auto" });
    case 20:
        return word_position(value, { "9600", "115200" });
    case 21: {
        const long long seconds = reply_number(value);
        // Rounded down, also below zero, so that -3 names no entry rather than the first.
        return static_cast<int>(seconds >= 0 ? seconds / 5 : -((-seconds + 4) / 5));
    }
    default:
        return std::nullopt;
    }
}

} // namespace protocol
