// Fuzzes the projector command codec: hex text from arbitrary characters, the 75-byte buffer and
// control-byte records, and the conversion both ways between bytes, hex text and display text.
// Invariants: nothing grows past 75 bytes, every hex text given out is normalized, normalizing
// agrees with a plain reading of the rules, and for any byte string of at most 75 bytes
// text_to_hex(hex_to_text(hex)) with the rebuilt record gives the same hex text again.
#include "codec/codec.h"
#include "fuzz/fuzz_check.h"

#include <QStringList>

#include <algorithm>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

bool is_hex_digit(QChar c)
{
    return (c >= u'0' && c <= u'9') || (c >= u'A' && c <= u'F');
}

// Groups of two upper-case hex digits, each followed by one space.
bool is_normalized(const QString &hex)
{
    if (hex.size() % 3 != 0)
        return false;
    for (qsizetype i = 0; i < hex.size(); i += 3) {
        if (!is_hex_digit(hex.at(i)) || !is_hex_digit(hex.at(i + 1)) || hex.at(i + 2) != u' ')
            return false;
    }
    return true;
}

// The rules read plainly: space-separated tokens of one or two hex digits in either case, each
// becoming two upper-case digits and a space; anything else rejects the whole text.
QString reference_normalize(const QString &text)
{
    QString out;
    const QStringList tokens = text.split(u' ', Qt::SkipEmptyParts);
    for (const QString &token : tokens) {
        if (token.size() > 2)
            return QString();
        for (const QChar c : token) {
            const bool hex
                = (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
            if (!hex)
                return QString();
        }
        out += token.rightJustified(2, u'0').toUpper() + u' ';
    }
    return out;
}

// Two bytes per character, low byte first; an odd last byte is left out.
QString utf16_text(const std::uint8_t *bytes, std::size_t size)
{
    QString text;
    for (std::size_t i = 0; i + 1 < size; i += 2)
        text.append(QChar(static_cast<char16_t>(bytes[i] | (bytes[i + 1] << 8))));
    return text;
}

void check_buffer(const ByteBuffer &buf)
{
    check(buf.len >= 0 && buf.len <= ByteBuffer::capacity, "byte_len outside 0 to 75");
}

void check_record(const CtlRecord &rec)
{
    check(rec.count >= 0 && rec.count <= CtlRecord::capacity, "record count outside 0 to 75");
}

// The hex-text operations on one arbitrary text.
void hex_operations(const QString &text, const std::uint8_t *data, std::size_t size)
{
    const QString normalized = normalize_hex(text);
    check(normalized == reference_normalize(text), "normalize_hex disagrees with the rules");
    check(is_normalized(normalized), "normalize_hex gave a text that is not normalized");
    check(normalize_hex(normalized) == normalized, "normalize_hex is not idempotent");
    const qsizetype groups = normalized.size() / 3;

    // The buffer starts full of stale bytes, as after a long reply.
    ByteBuffer buf;
    for (std::size_t i = 0; i < ByteBuffer::capacity; ++i)
        buf.bytes[i] = size > 0 ? data[i % size] : 0;
    buf.len = ByteBuffer::capacity;
    QString argument = text;
    hex_to_buf(argument, buf);
    check_buffer(buf);
    check(argument == normalized, "hex_to_buf left its argument other than normalized");
    const qsizetype kept = std::min<qsizetype>(groups, ByteBuffer::capacity);
    check(buf.len == kept, "hex_to_buf kept other than the first 75 groups");
    check(buf_to_hex(buf) == normalized.left(kept * 3), "buf_to_hex does not give the groups back");

    argument = text;
    const QString display = hex_to_text(argument);
    check(argument == normalized, "hex_to_text left its argument other than normalized");
    check(display.size() == groups, "hex_to_text gave other than one character per group");
    for (qsizetype i = 0; i < display.size(); ++i) {
        const char16_t c = display.at(i).unicode();
        const int v = normalized.mid(i * 3, 2).toInt(nullptr, 16);
        if (v == 13)
            check(c == 8, "a carriage return is not shown as placeholder 8");
        else if (v >= 0x20 && v <= 0x7E)
            check(c == v, "a printable byte is not shown as itself");
        else
            check(c == 7, "a control byte is not shown as placeholder 7");
    }

    CtlRecord rec;
    for (std::size_t i = 0; i < CtlRecord::capacity; ++i)
        rec.bytes[i] = size > 0 ? data[(i * 7) % size] : 0;
    rec.count = size > 0 ? data[0] % (CtlRecord::capacity + 1) : 0;
    argument = text;
    record_ctl(argument, buf, rec);
    check_buffer(buf);
    check_record(rec);
    check(argument == normalized, "record_ctl left its hex text other than normalized");
    int controls = 0;
    for (int i = 0; i < buf.len; ++i) {
        const std::uint8_t b = buf.bytes[static_cast<std::size_t>(i)];
        if (b < 0x20 || b > 0x7E)
            ++controls;
    }
    check(rec.count == controls, "the record does not hold every control byte");
}

// Conversion both ways for the byte string bytes (at most 75 of them).
void round_trip(const std::uint8_t *bytes, std::size_t n, std::uint8_t stale)
{
    ByteBuffer buf;
    for (std::size_t i = 0; i < n; ++i)
        buf.append(bytes[i]);
    const QString hex = buf_to_hex(buf);
    check(is_normalized(hex) && hex.size() == static_cast<qsizetype>(n * 3),
        "buf_to_hex gave a malformed text");

    QString for_text = hex;
    const QString display = hex_to_text(for_text);

    CtlRecord rec;
    rec.bytes.fill(stale);
    rec.count = stale % (CtlRecord::capacity + 1);
    QString for_record = hex;
    ByteBuffer scratch;
    record_ctl(for_record, scratch, rec);
    check_record(rec);
    check(
        text_to_hex(display, rec) == hex, "bytes -> hex -> text -> hex does not give the hex back");
}

// text_to_hex on any text with any record of legal count.
void text_operations(const QString &text, const CtlRecord &rec)
{
    const QString hex = text_to_hex(text, rec);
    const QList<uint> chars = text.toUcs4();
    check(is_normalized(hex), "text_to_hex gave a text that is not normalized");
    check(hex.size() == chars.size() * 3, "text_to_hex gave other than one group per character");
    for (qsizetype i = 0; i < chars.size(); ++i) {
        const uint c = chars.at(i);
        const int v = hex.mid(i * 3, 2).toInt(nullptr, 16);
        if (c == 7 || c == 8) {
            bool from_record = v == 0 || (v == 13 && i == chars.size() - 1);
            for (int k = 0; k < CtlRecord::capacity && !from_record; ++k)
                from_record = rec.bytes[static_cast<std::size_t>(k)] == v;
            check(from_record, "a placeholder took a byte that is not in its record");
        } else if (c <= 0xFF) {
            check(static_cast<uint>(v) == c, "a character did not become its own code");
        }
    }
    CtlRecord grown = rec;
    for (int i = 0; i < 3; ++i) {
        push_cr(grown);
        check_record(grown);
        check(grown.ends_in_cr(), "push_cr left a record that does not end in a carriage return");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size == 0)
        return 0;
    const char *chars = reinterpret_cast<const char *>(data);
    hex_operations(QString::fromLatin1(chars, static_cast<qsizetype>(size)), data, size);
    hex_operations(utf16_text(data, size), data, size);

    round_trip(data + 1, std::min<std::size_t>(size - 1, ByteBuffer::capacity), data[0]);

    CtlRecord rec;
    for (std::size_t i = 0; i < CtlRecord::capacity; ++i)
        rec.bytes[i] = data[(i * 3 + 1) % size];
    rec.count = data[0] % (CtlRecord::capacity + 1);
    text_operations(QString::fromLatin1(chars + 1, static_cast<qsizetype>(size - 1)), rec);
    text_operations(utf16_text(data + 1, size - 1), rec);
    return 0;
}
