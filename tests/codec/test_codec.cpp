#include "codec/codec.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <initializer_list>
#include <ostream>
#include <random>
#include <vector>

using namespace Qt::StringLiterals;

// Shows control characters as \xNN so that placeholders are visible in failure messages.
void PrintTo(const QString &s, std::ostream *os)
{
    *os << '"';
    for (const QChar c : s) {
        const char16_t u = c.unicode();
        if (u >= 0x20 && u <= 0x7E) {
            *os << static_cast<char>(u);
        } else {
            char buf[12];
            std::snprintf(buf, sizeof buf, "\\x%02X", static_cast<unsigned>(u));
            *os << buf;
        }
    }
    *os << '"';
}

namespace {

// Table rows print as their name in failure messages.
template <typename Row>
requires requires(const Row &row)
{
    row.name;
}
std::ostream &operator<<(std::ostream &os, const Row &row)
{
    return os << row.name;
}

// Placeholders as the display text holds them.
const QChar P7(7);
const QChar P8(8);

ByteBuffer buffer_of(std::initializer_list<int> bytes)
{
    ByteBuffer buf;
    for (const int b : bytes)
        buf.append(static_cast<std::uint8_t>(b));
    return buf;
}

std::vector<int> bytes_of(const ByteBuffer &buf)
{
    std::vector<int> out;
    for (int i = 0; i < buf.len; ++i)
        out.push_back(buf.bytes[static_cast<std::size_t>(i)]);
    return out;
}

CtlRecord record_from(const char *hex)
{
    ByteBuffer buf;
    CtlRecord rec;
    QString h = QString::fromLatin1(hex);
    record_ctl(h, buf, rec);
    return rec;
}

// n groups "XX " with the given value each.
QString repeated_group(const char *group, int n)
{
    QString out;
    for (int i = 0; i < n; ++i)
        out += QString::fromLatin1(group) + u' ';
    return out;
}

// --- normalize_hex -------------------------------------------------------------------------

struct NormalizeCase
{
    const char *name;
    QString input;
    QString expected; // empty when rejected
};

class Normalize : public ::testing::TestWithParam<NormalizeCase>
{
};

TEST_P(Normalize, GivesGroupsOfTwoDigitsAndASpace)
{
    EXPECT_EQ(normalize_hex(GetParam().input), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Codec, Normalize,
    ::testing::Values(NormalizeCase { "empty", u""_s, u""_s },
        NormalizeCase { "spaces_only", u"    "_s, u""_s },
        NormalizeCase { "trimmed_and_upper_cased", u"  0d 0A  "_s, u"0D 0A "_s },
        NormalizeCase { "single_digits_padded", u"1 2 3"_s, u"01 02 03 "_s },
        NormalizeCase { "lone_digit", u"A"_s, u"0A "_s },
        NormalizeCase { "repeated_spaces_dropped", u"a   b"_s, u"0A 0B "_s },
        NormalizeCase { "already_normal", u"50 57 52 0D "_s, u"50 57 52 0D "_s },
        NormalizeCase { "mixed_case", u"fF Ab"_s, u"FF AB "_s },
        NormalizeCase { "zero", u"0"_s, u"00 "_s },
        NormalizeCase { "rejects_three_letters", u"ABC"_s, u""_s },
        NormalizeCase { "rejects_two_groups_run_together", u"0D0A"_s, u""_s },
        NormalizeCase { "rejects_three_digits_then_more", u"123 4"_s, u""_s },
        NormalizeCase { "rejects_comma", u"12,34"_s, u""_s },
        NormalizeCase { "rejects_0x_prefix", u"0x0D"_s, u""_s },
        NormalizeCase { "rejects_tab", u"0D\t0A"_s, u""_s },
        NormalizeCase { "rejects_G", u"0G"_s, u""_s },
        NormalizeCase { "rejects_hyphen", u"-1"_s, u""_s },
        NormalizeCase { "rejects_line_end", u"0D\r\n0A"_s, u""_s },
        NormalizeCase { "rejects_no_break_space", u"0D\u00A00A"_s, u""_s },
        NormalizeCase { "rejects_ff_ligature", u"\uFB00"_s, u""_s },
        NormalizeCase { "rejects_fullwidth_digits", u"\uFF10\uFF21"_s, u""_s }),
    [](const ::testing::TestParamInfo<NormalizeCase> &info) {
        return std::string(info.param.name);
    });

// Whatever comes in, the result is either empty or in normal form, and normalizing it again
// changes nothing.
TEST(Normalize, ResultIsStableForRandomInput)
{
    const char16_t alphabet[] = u"0123456789abcdefABCDEFG ,\t";
    std::mt19937 rng(7);
    std::uniform_int_distribution<int> pick(0, int(std::size(alphabet)) - 2);
    std::uniform_int_distribution<int> length(0, 20);
    for (int round = 0; round < 5000; ++round) {
        QString input;
        for (int n = length(rng); n > 0; --n)
            input.append(QChar(alphabet[pick(rng)]));
        const QString out = normalize_hex(input);
        ASSERT_EQ(out.size() % 3, 0) << input.toStdString();
        for (qsizetype i = 0; i < out.size(); ++i) {
            const QChar c = out.at(i);
            if (i % 3 == 2)
                ASSERT_EQ(c, u' ') << input.toStdString();
            else
                ASSERT_TRUE(c.isDigit() || (c >= u'A' && c <= u'F')) << input.toStdString();
        }
        ASSERT_EQ(normalize_hex(out), out);
    }
}

// --- hex_to_buf and buf_to_hex ---------------------------------------------------------------

struct HexToBufCase
{
    const char *name;
    QString input;
    QString normalized;
    std::vector<int> bytes;
};

class HexToBuf : public ::testing::TestWithParam<HexToBufCase>
{
};

TEST_P(HexToBuf, FillsTheBufferAndNormalizesTheArgument)
{
    ByteBuffer buf = buffer_of({ 9, 9, 9, 9, 9, 9 });
    QString hex = GetParam().input;
    hex_to_buf(hex, buf);
    EXPECT_EQ(hex, GetParam().normalized);
    EXPECT_EQ(bytes_of(buf), GetParam().bytes);
}

INSTANTIATE_TEST_SUITE_P(Codec, HexToBuf,
    ::testing::Values(
        HexToBufCase { "command", u"50 57 52 0D"_s, u"50 57 52 0D "_s, { 0x50, 0x57, 0x52, 0x0D } },
        HexToBufCase { "loose_form", u" 0 ff  a "_s, u"00 FF 0A "_s, { 0x00, 0xFF, 0x0A } },
        HexToBufCase { "rejected", u"50 0G"_s, u""_s, {} },
        HexToBufCase { "empty", u""_s, u""_s, {} },
        HexToBufCase { "spaces_only", u"   "_s, u""_s, {} }),
    [](const ::testing::TestParamInfo<HexToBufCase> &info) {
        return std::string(info.param.name);
    });

TEST(HexToBuf, MoreThan75GroupsKeepsTheFirst75)
{
    QString hex;
    for (int i = 0; i < 80; ++i)
        hex += QString::asprintf("%02x ", i);
    const QString expected = hex.toUpper();
    ByteBuffer buf;
    hex_to_buf(hex, buf);
    EXPECT_EQ(hex, expected) << "the argument keeps every group";
    ASSERT_EQ(buf.len, 75);
    for (int i = 0; i < 75; ++i)
        EXPECT_EQ(buf.bytes[static_cast<std::size_t>(i)], i);
    EXPECT_EQ(buf_to_hex(buf), expected.left(75 * 3));
}

struct BufToHexCase
{
    const char *name;
    ByteBuffer buf;
    QString hex;
};

class BufToHex : public ::testing::TestWithParam<BufToHexCase>
{
};

TEST_P(BufToHex, WritesTwoUpperCaseDigitsAndASpacePerByte)
{
    EXPECT_EQ(buf_to_hex(GetParam().buf), GetParam().hex);
}

INSTANTIATE_TEST_SUITE_P(Codec, BufToHex,
    ::testing::Values(
        BufToHexCase { "low_and_high", buffer_of({ 0x00, 0x0A, 0xFF }), u"00 0A FF "_s },
        BufToHexCase { "empty", ByteBuffer {}, u""_s },
        BufToHexCase { "letters", buffer_of({ 0xAB, 0xCD, 0xEF, 0x10 }), u"AB CD EF 10 "_s }),
    [](const ::testing::TestParamInfo<BufToHexCase> &info) {
        return std::string(info.param.name);
    });

// The link counts reply bytes without bound; reading the buffer must still stop at index 74.
TEST(BufToHex, CountOutsideTheBufferIsClamped)
{
    ByteBuffer buf;
    buf.bytes.fill(0x41);
    buf.len = 200;
    EXPECT_EQ(buf_to_hex(buf), repeated_group("41", 75));
    buf.len = -3;
    EXPECT_EQ(buf_to_hex(buf), QString());
}

// --- hex_to_text ---------------------------------------------------------------------------

struct HexToTextCase
{
    const char *name;
    QString input;
    QString normalized;
    QString text;
};

class HexToText : public ::testing::TestWithParam<HexToTextCase>
{
};

TEST_P(HexToText, GivesOneCharacterPerGroup)
{
    QString hex = GetParam().input;
    EXPECT_EQ(hex_to_text(hex), GetParam().text);
    EXPECT_EQ(hex, GetParam().normalized);
}

INSTANTIATE_TEST_SUITE_P(Codec, HexToText,
    ::testing::Values(
        HexToTextCase { "letters_then_cr", u"50 57 52 0D"_s, u"50 57 52 0D "_s, u"PWR"_s + P8 },
        HexToTextCase { "control_bytes", u"02 41 7F 0D 0A"_s, u"02 41 7F 0D 0A "_s,
            P7 + u"A"_s + P7 + P8 + P7 },
        HexToTextCase { "printable_edges", u"1f 20 7e 7f"_s, u"1F 20 7E 7F "_s, P7 + u" ~"_s + P7 },
        HexToTextCase {
            "high_bytes_are_placeholders", u"80 E9 FF 00"_s, u"80 E9 FF 00 "_s, QString(4, P7) },
        HexToTextCase {
            "code_7_and_8_bytes_are_placeholders", u"07 08"_s, u"07 08 "_s, QString(2, P7) },
        HexToTextCase { "rejected", u"0D 0A G"_s, u""_s, u""_s },
        HexToTextCase { "spaces_only", u"  "_s, u""_s, u""_s }),
    [](const ::testing::TestParamInfo<HexToTextCase> &info) {
        return std::string(info.param.name);
    });

// --- text_to_hex ---------------------------------------------------------------------------

struct TextToHexCase
{
    const char *name;
    const char *record_hex; // the command the record is built from
    QString text;
    QString hex;
};

class TextToHex : public ::testing::TestWithParam<TextToHexCase>
{
};

TEST_P(TextToHex, TakesPlaceholdersFromTheRecord)
{
    const CtlRecord rec = record_from(GetParam().record_hex);
    EXPECT_EQ(text_to_hex(GetParam().text, rec), GetParam().hex);
}

INSTANTIATE_TEST_SUITE_P(Codec, TextToHex,
    ::testing::Values(TextToHexCase { "empty_text", "02 0D", u""_s, u""_s },
        TextToHexCase {
            "placeholders_in_order", "02 41 03 0D", P7 + u"A"_s + P7 + P8, u"02 41 03 0D "_s },
        // The last placeholder is the carriage return, not slot 0.
        TextToHexCase { "last_placeholder_is_cr", "02 0D", u"PWR"_s + P8, u"50 57 52 0D "_s },
        TextToHexCase { "last_code_7_is_cr_too", "02 0D", u"X"_s + P7, u"58 0D "_s },
        TextToHexCase { "record_not_ending_in_cr", "02 03", u"A"_s + P7, u"41 02 "_s },
        TextToHexCase {
            "record_not_ending_in_cr_all_slots", "02 03", QString(P8) + P7, u"02 03 "_s },
        TextToHexCase { "placeholder_not_last_takes_its_slot", "0A 0D", P7 + u"B"_s, u"0A 42 "_s },
        TextToHexCase { "empty_record_gives_zero", "", u"A"_s + P7 + u"B"_s, u"41 00 42 "_s },
        TextToHexCase { "latin1_letter_is_its_code", "", u"\u00E9\u00FF"_s, u"E9 FF "_s },
        TextToHexCase {
            "typed_control_characters_are_their_code", "", u"\r\n"_s + QChar(0), u"0D 0A 00 "_s },
        TextToHexCase { "above_255_is_question_mark", "", u"A\u20ACB"_s, u"41 3F 42 "_s },
        TextToHexCase {
            "surrogate_pair_is_one_question_mark", "", u"A\U0001F600B"_s, u"41 3F 42 "_s },
        TextToHexCase { "unmappable_last_is_not_a_placeholder", "0D", u"A\u20AC"_s, u"41 3F "_s }),
    [](const ::testing::TestParamInfo<TextToHexCase> &info) {
        return std::string(info.param.name);
    });

// --- Records ---------------------------------------------------------------------------------

TEST(Record, HoldsTheNonPrintableBytesInOrder)
{
    const CtlRecord rec = record_from("02 41 7F 0D 20 7E 1F 80 FF 0A");
    ASSERT_EQ(rec.count, 7);
    const std::vector<int> held(rec.bytes.begin(), rec.bytes.begin() + rec.count);
    EXPECT_EQ(held, (std::vector<int> { 0x02, 0x7F, 0x0D, 0x1F, 0x80, 0xFF, 0x0A }));
}

TEST(Record, RebuildResetsOnlyTheCount)
{
    ByteBuffer buf;
    CtlRecord rec;
    QString hex = u"01 02 03"_s;
    record_ctl(hex, buf, rec);
    hex = u"0a"_s;
    record_ctl(hex, buf, rec);
    EXPECT_EQ(hex, u"0A "_s);
    ASSERT_EQ(rec.count, 1);
    EXPECT_EQ(rec.bytes[0], 0x0A);
    EXPECT_EQ(rec.bytes[1], 0x02);
    EXPECT_EQ(rec.bytes[2], 0x03);
    // Placeholders beyond the count take the stale slots.
    EXPECT_EQ(text_to_hex(QString(3, P7), rec), u"0A 02 03 "_s);
}

// Slots are stale up to index 74; a placeholder past the 75th slot gets 0x00, never a read past
// the record.
TEST(Record, PlaceholdersPastTheLastSlotAreZero)
{
    ByteBuffer buf;
    CtlRecord rec;
    QString hex = repeated_group("01", 75);
    record_ctl(hex, buf, rec);
    ASSERT_EQ(rec.count, 75);
    hex = QString();
    record_ctl(hex, buf, rec);
    ASSERT_EQ(rec.count, 0);
    EXPECT_EQ(
        text_to_hex(QString(80, P7), rec), repeated_group("01", 75) + repeated_group("00", 5));
}

TEST(Record, MoreThan75GroupsFillsAtMost75Slots)
{
    ByteBuffer buf;
    CtlRecord rec;
    QString hex = repeated_group("0D", 100);
    record_ctl(hex, buf, rec);
    EXPECT_EQ(rec.count, 75);
    EXPECT_EQ(buf.len, 75);
    EXPECT_EQ(hex.size(), 300);
}

TEST(Record, PushCrGrowsTheRecord)
{
    CtlRecord rec = record_from("02 03");
    EXPECT_TRUE(push_cr(rec));
    EXPECT_EQ(rec.count, 3);
    EXPECT_EQ(rec.bytes[2], 13);
    EXPECT_TRUE(rec.ends_in_cr());
}

TEST(Record, PushCrOnAFullRecordKeepsItsSizeAndEndsInCr)
{
    CtlRecord rec = record_from(repeated_group("02", 75).toLatin1().constData());
    ASSERT_EQ(rec.count, 75);
    EXPECT_FALSE(push_cr(rec));
    EXPECT_EQ(rec.count, 75);
    EXPECT_EQ(rec.bytes[73], 0x02);
    EXPECT_EQ(rec.bytes[74], 13);
    EXPECT_EQ(text_to_hex(u"AB"_s + P8, rec), u"41 42 0D "_s);
}

// --- The editor's state ------------------------------------------------------------------------

TEST(CommandCodec, RecordOnCtlNormalizesAndFillsTheSharedBuffer)
{
    ByteBuffer shared;
    CommandCodec codec(shared);
    codec.disp_on_hex = u" 50 57 52 0d"_s;
    codec.record_on_ctl();
    EXPECT_EQ(codec.disp_on_hex, u"50 57 52 0D "_s);
    EXPECT_EQ(bytes_of(shared), (std::vector<int> { 0x50, 0x57, 0x52, 0x0D }));
    EXPECT_EQ(codec.on_ctl.count, 1);
    EXPECT_EQ(codec.off_ctl.count, 0);
}

TEST(CommandCodec, PrintableOnlyCommandGivesAnEmptyRecord)
{
    ByteBuffer shared;
    CommandCodec codec(shared);
    codec.disp_off_hex = u"0D 0A"_s;
    codec.record_off_ctl();
    ASSERT_EQ(codec.off_ctl.count, 2);
    codec.disp_off_hex = u"41 42"_s;
    codec.record_off_ctl();
    EXPECT_EQ(codec.off_ctl.count, 0);
}

TEST(CommandCodec, RejectedCommandBecomesEmpty)
{
    ByteBuffer shared = buffer_of({ 1, 2, 3 });
    CommandCodec codec(shared);
    codec.disp_on_hex = u"0D 0G"_s;
    codec.record_on_ctl();
    EXPECT_EQ(codec.disp_on_hex, QString());
    EXPECT_EQ(shared.len, 0);
    EXPECT_EQ(codec.on_ctl.count, 0);
}

TEST(CommandCodec, SelectorPicksTheRecord)
{
    ByteBuffer shared;
    CommandCodec codec(shared);
    codec.disp_on_hex = u"02 58"_s;
    codec.disp_off_hex = u"03 58"_s;
    codec.record_on_ctl();
    codec.record_off_ctl();
    const QString text = P7 + u"X"_s;
    EXPECT_EQ(codec.text_to_hex(text, 1), u"02 58 "_s);
    EXPECT_EQ(codec.text_to_hex(text, 0), u"03 58 "_s);
    EXPECT_EQ(&codec.record(1), &codec.on_ctl);
    EXPECT_EQ(&codec.record(0), &codec.off_ctl);
}

// The CR button: typing PWR ON and pressing CR gives a carriage return at the end, whatever the
// record held before.
TEST(CommandCodec, CrButtonEndsTheCommandWithCr)
{
    ByteBuffer shared;
    CommandCodec codec(shared);
    codec.disp_on_hex = u"02 03"_s;
    codec.record_on_ctl();
    EXPECT_TRUE(codec.push_cr(1));
    EXPECT_EQ(codec.text_to_hex(u"PWR ON"_s + P8, 1), u"50 57 52 20 4F 4E 0D "_s);
    EXPECT_EQ(codec.off_ctl.count, 0);

    EXPECT_TRUE(codec.push_cr(0));
    EXPECT_EQ(codec.off_ctl.count, 1);
    EXPECT_EQ(codec.text_to_hex(u"OFF"_s + P8, 0), u"4F 46 46 0D "_s);
}

TEST(CommandCodec, ResetRecordsKeepsSlots)
{
    ByteBuffer shared;
    CommandCodec codec(shared);
    codec.disp_on_hex = u"05"_s;
    codec.record_on_ctl();
    codec.push_cr(0);
    codec.reset_records();
    EXPECT_EQ(codec.on_ctl.count, 0);
    EXPECT_EQ(codec.off_ctl.count, 0);
    EXPECT_EQ(codec.text_to_hex(QString(1, P7), 1), u"05 "_s);
}

// bytes -> hex -> display text, record rebuilt from the same hex -> hex again gives the same hex,
// for any byte string that fits the buffer.
TEST(CommandCodec, RoundTripOfRandomByteStrings)
{
    std::mt19937 rng(1234567);
    std::uniform_int_distribution<int> length(0, 75);
    std::uniform_int_distribution<int> any_byte(0, 255);
    std::uniform_int_distribution<int> kind(0, 3);
    ByteBuffer shared;
    CommandCodec codec(shared);
    for (int round = 0; round < 3000; ++round) {
        ByteBuffer source;
        for (int n = length(rng); n > 0; --n) {
            switch (kind(rng)) {
            case 0:
                source.append(13);
                break;
            case 1:
                source.append(static_cast<std::uint8_t>(any_byte(rng) % 32));
                break;
            default:
                source.append(static_cast<std::uint8_t>(any_byte(rng)));
                break;
            }
        }
        const QString hex = buf_to_hex(source);
        QString display_hex = hex;
        const QString text = hex_to_text(display_hex);
        ASSERT_EQ(text.size(), source.len);
        const int selector = round % 2;
        if (selector == CommandCodec::display_on) {
            codec.disp_on_hex = hex;
            codec.record_on_ctl();
        } else {
            codec.disp_off_hex = hex;
            codec.record_off_ctl();
        }
        ASSERT_EQ(codec.text_to_hex(text, selector), hex) << "round " << round;
        ASSERT_EQ(bytes_of(shared), bytes_of(source));
    }
}

} // namespace
