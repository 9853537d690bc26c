#include "codec/codec.h"

#include <QList>

#include <algorithm>

namespace {

bool is_printable(std::uint8_t b)
{
    return b >= 0x20 && b <= 0x7E;
}

int hex_value(char16_t c)
{
    if (c >= u'0' && c <= u'9')
        return c - u'0';
    return c - u'A' + 10;
}

void append_hex(QString &out, std::uint8_t b)
{
    static constexpr char16_t digits[] = u"0123456789ABCDEF";
    out.append(QChar(digits[b >> 4]));
    out.append(QChar(digits[b & 0x0F]));
    out.append(u' ');
}

} // namespace

QString trim_spaces(const QString &text)
{
    qsizetype start = 0;
    qsizetype end = text.size();
    while (start < end && text.at(start) == u' ')
        ++start;
    while (end > start && text.at(end - 1) == u' ')
        --end;
    return text.mid(start, end - start);
}

bool CtlRecord::ends_in_cr() const
{
    return count > 0 && count <= capacity && bytes[static_cast<std::size_t>(count - 1)] == 13;
}

std::uint8_t CtlRecord::slot(int k) const
{
    if (k < 0 || k >= capacity)
        return 0;
    return bytes[static_cast<std::size_t>(k)];
}

QString normalize_hex(const QString &text)
{
    const QString trimmed = trim_spaces(text);
    if (trimmed.isEmpty())
        return QString();

    QString out;
    out.reserve(trimmed.size() * 3);
    int group = 0; // digits in the current group
    auto close_group = [&out, &group] {
        if (group == 1)
            out.insert(out.size() - 1, u'0');
        if (group > 0)
            out.append(u' ');
        group = 0;
    };
    for (const QChar qc : trimmed) {
        char16_t c = qc.unicode();
        // Only ASCII letters are upper-cased: a full Unicode mapping would turn characters such
        // as the "ff" ligature into hex digits.
        if (c >= u'a' && c <= u'z')
            c = static_cast<char16_t>(c - u'a' + u'A');
        if (c == u' ') {
            close_group();
        } else if ((c >= u'0' && c <= u'9') || (c >= u'A' && c <= u'F')) {
            if (group == 2)
                return QString();
            out.append(QChar(c));
            ++group;
        } else {
            return QString();
        }
    }
    close_group();
    return out;
}

void hex_to_buf(QString &hex, ByteBuffer &buf)
{
    hex = normalize_hex(hex);
    buf.len = 0;
    for (qsizetype i = 0; i + 1 < hex.size() && buf.len < ByteBuffer::capacity; i += 3) {
        const int v = hex_value(hex.at(i).unicode()) * 16 + hex_value(hex.at(i + 1).unicode());
        buf.append(static_cast<std::uint8_t>(v));
    }
}

QString buf_to_hex(const ByteBuffer &buf)
{
    const int n = std::clamp(buf.len, 0, ByteBuffer::capacity);
    QString out;
    out.reserve(n * 3);
    for (int i = 0; i < n; ++i)
        append_hex(out, buf.bytes[static_cast<std::size_t>(i)]);
    return out;
}

QString hex_to_text(QString &hex)
{
    hex = normalize_hex(hex);
    QString out;
    out.reserve(hex.size() / 3);
    for (qsizetype i = 0; i + 1 < hex.size(); i += 3) {
        const int v = hex_value(hex.at(i).unicode()) * 16 + hex_value(hex.at(i + 1).unicode());
        if (v == 13)
            out.append(QChar(placeholder_cr));
        else if (is_printable(static_cast<std::uint8_t>(v)))
            out.append(QChar(static_cast<char16_t>(v)));
        else
            out.append(QChar(placeholder_other));
    }
    return out;
}

QString text_to_hex(const QString &text, const CtlRecord &rec)
{
    if (text.isEmpty())
        return QString();
    const bool ends_in_cr = rec.ends_in_cr();
    // One entry per character as the operator sees it: a pair of UTF-16 units is one character.
    const QList<uint> chars = text.toUcs4();
    QString out;
    out.reserve(chars.size() * 3);
    int k = 0;
    for (qsizetype i = 0; i < chars.size(); ++i) {
        const uint code = chars.at(i);
        std::uint8_t b;
        if (code == placeholder_other || code == placeholder_cr) {
            const bool last = i == chars.size() - 1;
            b = last && ends_in_cr ? std::uint8_t(13) : rec.slot(k);
            ++k;
        } else if (code <= 0xFF) {
            b = static_cast<std::uint8_t>(code);
        } else {
            b = unmappable_byte;
        }
        append_hex(out, b);
    }
    return out;
}

void record_ctl(QString &disp_hex, ByteBuffer &buf, CtlRecord &rec)
{
    hex_to_buf(disp_hex, buf);
    rec.count = 0;
    const int n = std::clamp(buf.len, 0, ByteBuffer::capacity);
    for (int i = 0; i < n && rec.count < CtlRecord::capacity; ++i) {
        const std::uint8_t b = buf.bytes[static_cast<std::size_t>(i)];
        if (!is_printable(b))
            rec.bytes[static_cast<std::size_t>(rec.count++)] = b;
    }
}

bool push_cr(CtlRecord &rec)
{
    if (rec.count < 0)
        rec.count = 0;
    if (rec.count >= CtlRecord::capacity) {
        rec.count = CtlRecord::capacity;
        rec.bytes[CtlRecord::capacity - 1] = 13;
        return false;
    }
    rec.bytes[static_cast<std::size_t>(rec.count++)] = 13;
    return true;
}

CommandCodec::CommandCodec(ByteBuffer &byte_buf)
    : byte_buf_(byte_buf)
{ }

void CommandCodec::record_on_ctl()
{
    record_ctl(disp_on_hex, byte_buf_, on_ctl);
}

void CommandCodec::record_off_ctl()
{
    record_ctl(disp_off_hex, byte_buf_, off_ctl);
}

QString CommandCodec::text_to_hex(const QString &text, int selector) const
{
    return ::text_to_hex(text, record(selector));
}

bool CommandCodec::push_cr(int selector)
{
    return ::push_cr(record_for(selector));
}

void CommandCodec::reset_records()
{
    on_ctl.count = 0;
    off_ctl.count = 0;
}

const CtlRecord &CommandCodec::record(int selector) const
{
    return selector == display_on ? on_ctl : off_ctl;
}

CtlRecord &CommandCodec::record_for(int selector)
{
    return selector == display_on ? on_ctl : off_ctl;
}
