// Fuzzes the Telnet layer of an RFC 2217 connection: an arbitrary byte stream, cut into reads at
// places the input chooses, goes through the decoder. Invariants: however the stream is cut, the
// data bytes and the commands are the same as when it comes in one read; no more data comes out
// than went in; a subnegotiation keeps at most its bound; every command read goes out again as
// bytes that read back as the same command; and data escaped for sending reads back as itself,
// with no command in it.
#include "fuzz/fuzz_check.h"
#include "link/telnet_codec.h"

#include <cstdint>
#include <vector>

namespace {

struct Decoded
{
    QByteArray data;
    std::vector<telnet::Command> commands;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size < 1)
        return 0;
    // The first byte chooses the reads' lengths: each read is 1 + (a step of this seed) bytes.
    const std::uint8_t seed = data[0];
    const QByteArray stream
        = QByteArray::fromRawData(reinterpret_cast<const char *>(data + 1), qsizetype(size - 1));

    Decoded whole;
    {
        telnet::Decoder decoder;
        decoder.feed(stream, &whole.data, &whole.commands);
    }
    check(whole.data.size() <= stream.size(), "more data came out than went in");

    Decoded pieces;
    {
        telnet::Decoder decoder;
        qsizetype at = 0;
        std::uint32_t state = seed | 1u;
        while (at < stream.size()) {
            state = state * 1103515245u + 12345u;
            const qsizetype length = 1 + qsizetype((state >> 16) % 7);
            decoder.feed(stream.mid(at, std::min(length, stream.size() - at)), &pieces.data,
                &pieces.commands);
            at += length;
        }
    }
    check(pieces.data == whole.data, "cutting the stream into reads changed its data");
    check(pieces.commands == whole.commands, "cutting the stream into reads changed its commands");

    for (const telnet::Command &command : whole.commands) {
        check(command.data.size() <= telnet::Decoder::max_sub_bytes,
            "a subnegotiation grew past its bound");
        if (command.cut)
            continue;
        telnet::Decoder again;
        Decoded round;
        again.feed(telnet::encode(command), &round.data, &round.commands);
        check(round.data.isEmpty() && round.commands.size() == 1 && round.commands[0] == command
                && !again.inside_command(),
            "a command did not read back as itself");
    }

    telnet::Decoder escaped;
    Decoded back;
    escaped.feed(telnet::escape(stream), &back.data, &back.commands);
    check(back.data == stream && back.commands.empty() && !escaped.inside_command(),
        "escaped data did not read back as itself");
    return 0;
}
