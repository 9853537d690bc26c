// Fuzzes the projector Read's parsing of the port-settings reply ("19200,7,E,2"): arbitrary
// argument bytes must leave only values the fields can hold, a reply without a comma must change
// nothing, and the message that Send builds for any legal values must read back as the same
// values.
#include "fuzz/fuzz_check.h"
#include "projector/projector_port.h"
#include "protocol/protocol.h"
#include "protocol/reply_values.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

const char *const parities[] = { "NONE", "ODD", "EVEN", "MARK", "SPACE" };
const float stop_bits[] = { 1.0f, 1.5f, 2.0f };

bool is_parity(const QString &parity)
{
    for (const char *word : parities) {
        if (parity == QLatin1String(word))
            return true;
    }
    return false;
}

bool is_stop_bits(float value)
{
    for (const float s : stop_bits) {
        if (value == s)
            return true;
    }
    return false;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size < 4)
        return 0;
    // The window's values before the reply: four bytes pick them.
    ProjPortValues before;
    before.baud = static_cast<int>(data[0]) * 300;
    before.databits = 5 + data[1] % 4;
    before.parity = QLatin1String(parities[data[2] % 5]);
    before.stopbits = stop_bits[data[3] % 3];

    const QByteArray argument(
        reinterpret_cast<const char *>(data + 4), static_cast<qsizetype>(size - 4));
    ProjPortValues values = before;
    const bool parsed = ProjectorPort::parse_port_reply(argument, values);
    check(parsed == argument.contains(','), "a reply was judged by other than its comma");
    if (!parsed) {
        check(values == before, "a reply without a comma changed the values");
    } else {
        const qsizetype comma = argument.indexOf(',');
        check(values.baud == protocol::reply_number(argument.left(comma)),
            "the baud rate is not the number before the comma");
        check(values.databits >= 0 && values.databits <= 9, "data bits beyond one digit");
        check(values.parity == before.parity || is_parity(values.parity),
            "a parity word that is not one of the five");
        check(values.stopbits == before.stopbits || is_stop_bits(values.stopbits),
            "stop bits that are not 1, 1.5 or 2");
    }

    // Send then Read: the reply that echoes the message gives the same values back.
    ProjPortValues sent = before;
    sent.baud = static_cast<int>(data[0] | (data[1] << 8) | (data[2] << 16));
    sent.databits = data[1] % 10;
    QByteArray echoed = ProjectorPort::port_message(sent);
    check(protocol::strip_reply(echoed, QByteArrayLiteral("WP_DisplaySet[")),
        "the port message does not begin with its prefix");
    ProjPortValues read;
    check(ProjectorPort::parse_port_reply(echoed, read), "the port message has no comma");
    check(read == sent, "the port message does not read back as the values sent");
    return 0;
}
