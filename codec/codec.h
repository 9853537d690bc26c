#pragma once

#include "protocol/byte_buffer.h"

#include <QString>

#include <array>
#include <cstdint>

// Conversions of the projector's display commands between bytes, hex text and display text.
//
// Normalized hex text: groups of two upper-case hex digits, each followed by one space
// ("50 0D "); the empty byte string is the empty text.
// Display text: one character per byte, codes 0 to 255 (Latin-1). Printable bytes 0x20..0x7E are
// shown as themselves, a carriage return as the placeholder character 8, every other byte as the
// placeholder character 7. A placeholder has no value of its own: its byte is found by position in
// the command's control-byte record.
//
// Choices where the behaviour is open:
// - hex_to_buf() of more than 75 groups keeps the first 75 bytes; its argument still becomes the
//   whole normalized text, so nothing the operator wrote is thrown away.
// - text_to_hex() writes a character with no single-byte code (above 255) as '?' (0x3F), one per
//   character even when it takes two UTF-16 units.
// - A placeholder beyond the record's count takes that slot's stale value (slots start at 0);
//   placeholders beyond the 75th slot become 0x00.
// - push_cr() on a full record (75 bytes) does not grow it: the last slot becomes 13 so that a
//   placeholder at the end of the text still reads as a carriage return.

// The non-printable bytes of one display command, in the order their placeholders stand.
struct CtlRecord
{
    static constexpr int capacity = 75;

    std::array<std::uint8_t, capacity> bytes {};
    int count = 0; // 0 to capacity; slots at and beyond it keep what they last held

    // True when the count is above 0 and the byte in slot count - 1 is 13.
    bool ends_in_cr() const;
    // The byte behind placeholder k: slot k (stale beyond the count), 0 beyond the last slot.
    std::uint8_t slot(int k) const;
};

// The placeholder characters of the display text.
inline constexpr char16_t placeholder_other = 7;
inline constexpr char16_t placeholder_cr = 8;
// What text_to_hex() writes for a character with no single-byte code.
inline constexpr std::uint8_t unmappable_byte = 0x3F;

// Trims spaces, upper-cases and regroups hex text ("  0d a" -> "0D 0A "). Gives the empty text
// when the text holds anything but hex digits and spaces, or three digits in a row.
QString normalize_hex(const QString &text);

// Removes leading and trailing spaces (code 32 only; tabs and other blanks stay).
QString trim_spaces(const QString &text);

// Fills buf from hex text (len 0 when empty or rejected; at most the first 75 bytes) and replaces
// hex by its normalized form (empty when rejected).
void hex_to_buf(QString &hex, ByteBuffer &buf);

// The normalized hex text of the first len bytes of buf.
QString buf_to_hex(const ByteBuffer &buf);

// The display text of hex text, one character per group; replaces hex by its normalized form
// (empty when rejected, and the display text is then empty too).
QString hex_to_text(QString &hex);

// The normalized hex text of a display text, taking each placeholder's byte from rec. A
// placeholder that is the last character becomes 13 when rec ends in a carriage return.
QString text_to_hex(const QString &text, const CtlRecord &rec);

// Rebuilds rec from a command's hex text: fills buf from disp_hex (normalizing disp_hex in place),
// resets only the count, then stores every non-printable byte in order.
void record_ctl(QString &disp_hex, ByteBuffer &buf, CtlRecord &rec);

// Appends a carriage return to rec. True when it grew; a full record keeps its count and gets 13
// in its last slot instead.
bool push_cr(CtlRecord &rec);

// The codec state used by the display editor: both commands' hex texts and control-byte records,
// and the byte buffer shared with the window's link.
class CommandCodec
{
public:
    // Selectors of the display commands.
    static constexpr int display_on = 1;
    static constexpr int display_off = 0;

    explicit CommandCodec(ByteBuffer &byte_buf);

    QString disp_on_hex;
    QString disp_off_hex;
    CtlRecord on_ctl;
    CtlRecord off_ctl;

    // Rebuild a command's record from disp_on_hex / disp_off_hex, normalizing it in place and
    // leaving the command's bytes in the shared buffer.
    void record_on_ctl();
    void record_off_ctl();

    // text_to_hex() with the record of the display-on command (selector 1) or the display-off
    // command (any other selector, normally 0).
    QString text_to_hex(const QString &text, int selector) const;

    // Adds a carriage return to the selected command's record (the CR button); see push_cr().
    bool push_cr(int selector);

    // Both record counts back to 0, as when the window starts; slots keep their bytes.
    void reset_records();

    const CtlRecord &record(int selector) const;
    ByteBuffer &buffer() { return byte_buf_; }

private:
    CtlRecord &record_for(int selector);

    ByteBuffer &byte_buf_;
};
