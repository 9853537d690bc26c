#include "protocol/reply_values.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace protocol {

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

std::optional<int> plain_number(const QByteArray &value)
{
    if (value.isEmpty())
        return std::nullopt;
    long long number = 0;
    for (const char c : value) {
        if (c < '0' || c > '9')
            return std::nullopt;
        number = std::min<long long>(number * 10 + (c - '0'), std::numeric_limits<int>::max());
    }
    return static_cast<int>(number);
}

} // namespace protocol
