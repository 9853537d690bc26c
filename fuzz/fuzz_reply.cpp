// Fuzzes the receive side of the line: arbitrary byte streams, cut into polls and transactions,
// go through the receive framing the way the receive poll feeds it, and every completed reply
// goes through strip_reply, cut_reply, reply_number and reply_position. Invariants: the buffer
// never passes 75 bytes and holds exactly the first bytes of the transaction, a reply completes
// only on "]$" + CR and always on one that the matcher cannot have been confused before, the
// reply text is the received text from then on, and the value functions stay in range.
#include "fuzz/fuzz_check.h"
#include "protocol/byte_buffer.h"
#include "protocol/protocol.h"
#include "protocol/reply_framing.h"
#include "protocol/reply_values.h"
#include "protocol/vocabulary.h"

#include <QStringList>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>

namespace {

// The prefixes a reply is checked against: both command tables and the display commands.
QList<QByteArray> all_prefixes()
{
    QList<QByteArray> prefixes { QByteArray() };
    for (const protocol::Command &command : protocol::commands())
        prefixes << QByteArray(command.prefix);
    prefixes << QByteArrayLiteral("WP_DisplayOn[") << QByteArrayLiteral("WP_DisplayOff[")
             << QByteArrayLiteral("WP_DisplaySet[");
    return prefixes;
}

// The value of a text of up to nine digits with an optional sign after leading spaces, when
// nothing numeric follows them; none otherwise.
std::optional<int> plain_integer(const QByteArray &value)
{
    qsizetype i = 0;
    while (i < value.size() && value.at(i) == ' ')
        ++i;
    bool negative = false;
    if (i < value.size() && (value.at(i) == '+' || value.at(i) == '-'))
        negative = value.at(i++) == '-';
    int digits = 0;
    int number = 0;
    for (; i < value.size() && value.at(i) >= '0' && value.at(i) <= '9'; ++i, ++digits) {
        if (digits == 9)
            return std::nullopt;
        number = number * 10 + (value.at(i) - '0');
    }
    if (digits == 0 || (i < value.size() && value.at(i) == '.'))
        return std::nullopt;
    return negative ? -number : number;
}

void check_value(const QByteArray &value)
{
    const int number = protocol::reply_number(value);
    if (const std::optional<int> expected = plain_integer(value))
        check(number == *expected, "reply_number misread a plain integer");

    static const QStringList auto_off
        = { QStringLiteral("Never"), QStringLiteral("30"), QStringLiteral("600") };
    for (int number = 1; number <= 23; ++number) {
        const protocol::Command *command = protocol::command_by_number(number);
        for (const bool single_hdmi : { true, false }) {
            const std::optional<int> position
                = protocol::reply_position(*command, value, single_hdmi, auto_off);
            if (!position)
                continue;
            switch (number) {
            case 5:
            case 7:
            case 8:
            case 18:
                check(*position == number, "a numbered list ignored the reply's number");
                break;
            case 13:
                check(*position >= 0 && *position < auto_off.size(), "auto-off outside its list");
                break;
            case 21: {
                const long long p = *position;
                check(p * 5 <= number && number < p * 5 + 5, "the delay is not its 5-second step");
                break;
            }
            default:
                check(
                    *position >= 0 && *position < 5, "a word list gave a position it cannot hold");
                break;
            }
        }
    }
}

void check_reply(const QByteArray &reply, const QList<QByteArray> &prefixes, std::uint8_t cut)
{
    for (const QByteArray &prefix : prefixes) {
        QByteArray value = reply;
        const bool stripped = protocol::strip_reply(value, prefix);
        check(stripped == reply.startsWith(prefix), "strip_reply misjudged the prefix");
        if (!stripped) {
            check(value == reply, "a refused strip_reply changed the reply");
            continue;
        }
        const qsizetype length = reply.size() - prefix.size() - 3;
        check(value == reply.mid(prefix.size(), std::max<qsizetype>(length, 0)),
            "strip_reply did not cut off exactly the prefix and the terminator");
        check_value(value);
    }
    const int prefix_len = cut % 41;
    const QByteArray value = protocol::cut_reply(reply, prefix_len);
    const qsizetype length = std::max<qsizetype>(reply.size() - 3 - prefix_len, 0);
    check(value == reply.mid(std::min<qsizetype>(prefix_len, reply.size()), length),
        "cut_reply did not cut by length");
}

// What the checks compare the framing with: the bytes since the buffer was last emptied, and
// those received since the waiting transaction began.
struct Expected
{
    QByteArray since_clear;
    QByteArray matched;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    static const QList<QByteArray> prefixes = all_prefixes();
    ReplyFraming framing;
    Expected expected;
    std::size_t i = 0;
    while (i < size) {
        // A control byte: bit 7 starts a waiting transaction, bit 6 a no-wait send, bit 5 ends
        // the wait; the low five bits are how many bytes the next poll reads.
        const std::uint8_t control = data[i++];
        if (control & 0x80) {
            framing.begin_wait();
            expected = {};
        } else if (control & 0x40) {
            framing.end_wait();
        }
        const std::size_t count = std::min<std::size_t>(control & 0x1F, size - i);
        const QByteArray poll(
            reinterpret_cast<const char *>(data + i), static_cast<qsizetype>(count));
        i += count;
        check_value(poll);

        // One byte at a time, so that the moment of completion is seen.
        for (const char c : poll) {
            const bool awaiting = framing.awaiting();
            const bool was_ok = framing.reply_ok();
            const QByteArray reply_before = framing.reply_text();
            framing.take(QByteArrayView(&c, 1));
            expected.since_clear.append(c);
            const ByteBuffer &buf = framing.byte_buf();
            check(buf.len >= 0 && buf.len <= ByteBuffer::capacity, "byte_len outside 0 to 75");
            check(buf.data() == expected.since_clear.left(ByteBuffer::capacity),
                "the buffer does not hold the first bytes since it was emptied");
            if (awaiting) {
                expected.matched.append(c);
                check(framing.rx_text() == expected.matched,
                    "the received text is not the bytes since the transaction began");
                if (framing.reply_ok() && !was_ok) {
                    check(
                        expected.matched.endsWith("]$\r"), "a reply completed without \"]$\" + CR");
                    check_reply(framing.reply_text(), prefixes, control);
                }
                if (framing.reply_ok())
                    check(framing.reply_text() == framing.rx_text(),
                        "after completion the reply text is not the received text");
                else
                    check(framing.reply_text() == reply_before,
                        "an incomplete reply changed the reply text");
                // "]$" + CR after a byte that is neither "]" nor "$" cannot be missed.
                const qsizetype n = expected.matched.size();
                if (expected.matched.endsWith("]$\r")
                    && (n == 3
                        || (expected.matched.at(n - 4) != ']'
                            && expected.matched.at(n - 4) != '$')))
                    check(framing.reply_ok(), "a plainly framed reply did not complete");
            } else {
                check(framing.rx_text().isEmpty(),
                    "a byte received while no reply is awaited was kept");
                check(
                    framing.reply_text() == reply_before, "a dropped byte changed the reply text");
            }
        }
        if (control & 0x20) {
            const QByteArray reply = framing.reply_text();
            framing.end_wait();
            check(framing.reply_text() == reply, "ending the wait changed the reply text");
        }
    }
    return 0;
}
