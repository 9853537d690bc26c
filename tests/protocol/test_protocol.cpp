// Message building, reply cutting, reply values and the terminator matcher, byte for byte.
#include "protocol/protocol.h"
#include "protocol/reply_values.h"
#include "protocol/terminator.h"
#include "protocol/vocabulary.h"

#include <gtest/gtest.h>

#include <cstdlib>

using namespace protocol;

TEST(Prefixes, NumberedTablesMatchTheWire)
{
    const char *expected[] = {
        "WP_IdentifyTx[",
        "WP_Aspect[",
        "WP_VgaAuto[",
        "WP_Info[",
        "WP_Output[",
        "WP_OverscanEn[",
        "WP_OverscanH[",
        "WP_OverscanV[",
        "WP_AudioEn[",
        "WP_AudioHdmi[",
        "WP_AudioLR[",
        "WP_SystemRst[",
        "WP_AutoOff[",
        "WP_DisplayMode[",
        "WP_Display[",
        "WP_Input[",
        "WP_HdcpInput[",
        "WP_InputPrefer[",
        "WP_InfoTx[",
        "WP_BaudrateTx[",
        "WP_ProjSW[",
        "WP_AutoDispOn[",
        "WP_AutoDispOff[",
    };
    for (int n = 1; n <= 23; ++n) {
        ASSERT_NE(command_by_number(n), nullptr) << n;
        EXPECT_EQ(QByteArray(command_by_number(n)->prefix), QByteArray(expected[n - 1])) << n;
    }
    const char *pictures[] = { "WP_PictureBri[", "WP_PictureCon[", "WP_PictureSat[",
        "WP_PictureHue[", "WP_PictureSha[", "WP_PictureRst[" };
    for (int n = 1; n <= 6; ++n) {
        ASSERT_NE(picture_by_number(n), nullptr) << n;
        EXPECT_EQ(QByteArray(picture_by_number(n)->prefix), QByteArray(pictures[n - 1])) << n;
    }
    EXPECT_EQ(command_by_number(0), nullptr);
    EXPECT_EQ(command_by_number(24), nullptr);
    EXPECT_EQ(picture_by_number(7), nullptr);
}

TEST(Messages, QuerySettingAndKeyForms)
{
    const QByteArray query = query_message("WP_Input[");
    EXPECT_EQ(query, QByteArray("WP_Input[?]$\r"));
    EXPECT_EQ(query.size(), 13);
    EXPECT_EQ(setting_message("WP_Aspect[", "16:9"), QByteArray("WP_Aspect[16:9]$\r"));
    EXPECT_EQ(key_message("WP_KeyPlus["), QByteArray("WP_KeyPlus[]$\r"));
}

TEST(StripReply, CutsPrefixAndTerminator)
{
    QByteArray reply("WP_Aspect[16:9]$\r");
    ASSERT_TRUE(strip_reply(reply, "WP_Aspect["));
    EXPECT_EQ(reply, QByteArray("16:9"));

    QByteArray empty("WP_Info[]$\r");
    ASSERT_TRUE(strip_reply(empty, "WP_Info["));
    EXPECT_TRUE(empty.isEmpty());
}

TEST(StripReply, NoiseOrOtherPrefixLeavesReplyAlone)
{
    for (const QByteArray &original :
        { QByteArray("xxWP_Aspect[16:9]$\r"), QByteArray("WP_Display[On]$\r") }) {
        QByteArray reply = original;
        EXPECT_FALSE(strip_reply(reply, "WP_Aspect["));
        EXPECT_EQ(reply, original);
    }
}

TEST(CutReply, ShortRepliesNeverFail)
{
    EXPECT_EQ(cut_reply("WP_Info[v1.2]$\r", 8), QByteArray("v1.2"));
    EXPECT_EQ(cut_reply("XXXXXXXXv1.2]$\r", 8), QByteArray("v1.2"));
    EXPECT_EQ(cut_reply("ab]$\r", 8), QByteArray());
    EXPECT_EQ(cut_reply("]\r", 8), QByteArray());
    EXPECT_EQ(cut_reply("", 14), QByteArray());
}

struct NumberCase
{
    const char *value;
    int expected;
};

class ReplyNumber : public testing::TestWithParam<NumberCase>
{
};

TEST_P(ReplyNumber, ReadsLeadingNumber)
{
    EXPECT_EQ(reply_number(GetParam().value), GetParam().expected) << GetParam().value;
}

INSTANTIATE_TEST_SUITE_P(Values, ReplyNumber,
    testing::Values(NumberCase { "07", 7 }, NumberCase { "45abc", 45 }, NumberCase { "abc", 0 },
        NumberCase { "", 0 }, NumberCase { "-3", -3 }, NumberCase { "  12", 12 },
        NumberCase { "+8", 8 }, NumberCase { "2.6", 3 }, NumberCase { "1.2.3", 1 },
        NumberCase { "-", 0 }, NumberCase { "99999999999999999999", 2147483647 },
        NumberCase { "-99999999999999999999", -2147483647 - 1 }));

struct PositionCase
{
    int number;
    const char *value;
    bool single_hdmi;
    int expected; // -100: no entry named
};

class ReplyPosition : public testing::TestWithParam<PositionCase>
{
};

TEST_P(ReplyPosition, SelectsTheEntryTheReceiverNames)
{
    const PositionCase &c = GetParam();
    const QStringList standby
        = { QStringLiteral("Off"), QStringLiteral("60"), QStringLiteral("300") };
    const Command *command = command_by_number(c.number);
    if (!command) {
        // A number with no command names no entry.
        EXPECT_EQ(c.expected, -100) << c.number;
        return;
    }
    const std::optional<int> got = reply_position(*command, c.value, c.single_hdmi, standby);
    if (c.expected == -100)
        EXPECT_FALSE(got.has_value()) << c.number << " " << c.value;
    else
        EXPECT_EQ(got, std::optional<int>(c.expected)) << c.number << " " << c.value;
}

INSTANTIATE_TEST_SUITE_P(Table, ReplyPosition,
    testing::Values(PositionCase { 2, "16:10", true, 2 },
        PositionCase { 2, "16:10 TV", true, -100 }, PositionCase { 2, "Keep", true, 4 },
        PositionCase { 2, "full", true, -100 }, PositionCase { 5, "7", true, 7 },
        PositionCase { 6, "No", true, 1 }, PositionCase { 7, "50", true, 50 },
        PositionCase { 9, "Off", true, 1 }, PositionCase { 13, "0", true, 0 },
        PositionCase { 13, "300", true, 2 }, PositionCase { 13, "Off", true, 0 },
        PositionCase { 13, "45", true, -100 }, PositionCase { 14, "AVSW", true, 2 },
        PositionCase { 15, "Off", true, 1 }, PositionCase { 16, "Vga", true, 1 },
        PositionCase { 16, "Hdmi1", true, -100 }, PositionCase { 16, "Hdmi2", false, 1 },
        PositionCase { 16, "Hdmi", false, -100 }, PositionCase { 17, "NotHDCP", true, 1 },
        PositionCase { 20, "115200", true, 1 }, PositionCase { 20, "4800", true, -100 },
        PositionCase { 21, "32", true, 6 }, PositionCase { 21, "300", true, 60 },
        PositionCase { 21, "47", true, 9 }, PositionCase { 21, "-3", true, -1 },
        PositionCase { 22, "On", true, 0 }, PositionCase { 23, "Off", true, 1 },
        PositionCase { 1, "TX", true, -100 }, PositionCase { 4, "v1", true, -100 },
        PositionCase { 24, "On", true, -100 }));

TEST(Terminator, RecognisesOnlyBracketDollarCr)
{
    const struct
    {
        const char *bytes;
        bool complete;
    } cases[] = {
        { "]$\r", true },
        { "x]$\r", true },
        { "]]$\r", false },
        { "]$]$\r", false },
        { "]$\n", false },
        { "$]\r", false },
        { "]$\rzz", true },
        { "]]]$\r", true },
    };
    for (const auto &c : cases) {
        TerminatorMatcher m;
        for (const char *p = c.bytes; *p; ++p)
            m.step(static_cast<std::uint8_t>(*p));
        EXPECT_EQ(m.complete(), c.complete) << c.bytes;
    }
}
