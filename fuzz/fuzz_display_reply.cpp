// Fuzzes the display-command read-back: any reply text and buffer must give either nothing or
// exactly the announced number of bytes, taken from inside the buffer, and a well-formed reply
// built from any command must give that command back.
#include "codec/display_reply.h"
#include "fuzz/fuzz_check.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size == 0)
        return 0;
    const QByteArray prefix
        = (data[0] & 1) ? QByteArrayLiteral("WP_DisplayOn[") : QByteArrayLiteral("WP_DisplayOff[");
    const QByteArray input(
        reinterpret_cast<const char *>(data) + 1, static_cast<qsizetype>(size - 1));

    // Arbitrary reply text, with the buffer holding its first 75 bytes as the link stores them.
    ByteBuffer buf;
    for (const char c : input)
        buf.append(static_cast<std::uint8_t>(c));
    if (const auto bytes = display_command_from_reply(prefix, input, buf)) {
        check(bytes->size() <= ByteBuffer::capacity, "more bytes than the buffer holds");
        check(input.contains(*bytes), "bytes that were not received");
    }

    // The same bytes as a command, framed as the receiver frames it.
    const QByteArray command = input.left(40);
    const QByteArray reply = prefix + QByteArray::number(command.size()) + ',' + command + "]$\r";
    ByteBuffer framed;
    for (const char c : reply)
        framed.append(static_cast<std::uint8_t>(c));
    const auto back = display_command_from_reply(prefix, reply, framed);
    check(back.has_value() && *back == command, "a well-formed reply did not read back");
    return 0;
}
