#include "sim/receiver_model.h"
#include "tests/sim/vocabulary.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using Replies = std::vector<QByteArray>;

std::string case_name(const char *name)
{
    return name;
}

class QueryTest : public testing::TestWithParam<QueryCase>
{
};

TEST_P(QueryTest, FreshReceiverAnswersItsDefault)
{
    ReceiverModel model;
    const QueryCase &c = GetParam();
    EXPECT_EQ(model.feed(query(c.prefix)), Replies { framed(c.prefix, c.value) });
}

INSTANTIATE_TEST_SUITE_P(Vocabulary, QueryTest, testing::ValuesIn(fresh_receiver_queries()),
    [](const auto &info) { return case_name(info.param.name); });

class SettingTest : public testing::TestWithParam<SettingCase>
{
};

TEST_P(SettingTest, IsEchoedAndReadBackAsSet)
{
    ReceiverModel model;
    const SettingCase &c = GetParam();
    EXPECT_EQ(model.feed(framed(c.prefix, c.argument)), Replies { framed(c.prefix, c.argument) });
    EXPECT_EQ(model.feed(query(c.prefix)), Replies { framed(c.prefix, c.argument) });
}

INSTANTIATE_TEST_SUITE_P(Vocabulary, SettingTest, testing::ValuesIn(storable_settings()),
    [](const auto &info) { return case_name(info.param.name); });

struct RefusedCase
{
    const char *name;
    QByteArray prefix;
    QByteArray argument;
    QByteArray kept; // the value a query still reports afterwards
};

void PrintTo(const RefusedCase &c, std::ostream *os)
{
    *os << c.name;
}

class RefusedSettingTest : public testing::TestWithParam<RefusedCase>
{
};

// A value the receiver does not take is still answered in the same form, so the sender sees
// what went out, but the setting keeps its value.
TEST_P(RefusedSettingTest, IsEchoedButNotStored)
{
    ReceiverModel model;
    const RefusedCase &c = GetParam();
    EXPECT_EQ(model.feed(framed(c.prefix, c.argument)), Replies { framed(c.prefix, c.argument) });
    EXPECT_EQ(model.feed(query(c.prefix)), Replies { framed(c.prefix, c.kept) });
}

INSTANTIATE_TEST_SUITE_P(Values, RefusedSettingTest,
    testing::Values(RefusedCase { "ListTextInsteadOfWord", "WP_Aspect[", "16:9 TV", "Full" },
        RefusedCase { "WrongCase", "WP_Display[", "off", "On" },
        RefusedCase { "OverscanAboveRange", "WP_OverscanH[", "51", "0" },
        RefusedCase { "NegativeNumber", "WP_OverscanV[", "-1", "0" },
        RefusedCase { "LeadingZero", "WP_PictureBri[", "07", "50" },
        RefusedCase { "PictureAboveRange", "WP_PictureCon[", "101", "50" },
        RefusedCase { "ProjSwOffStep", "WP_ProjSW[", "32", "30" },
        RefusedCase { "ProjSwAboveRange", "WP_ProjSW[", "305", "30" },
        RefusedCase { "EmptyNumber", "WP_Output[", "", "0" },
        RefusedCase { "TwoInputNameOnThreeInputModel", "WP_Input[", "Hdmi", "Hdmi1" },
        RefusedCase { "UnknownBaudrate", "WP_BaudrateTx[", "4800", "115200" },
        RefusedCase { "PortMissingField", "WP_DisplaySet[", "9600,8,N", "9600,8,N,1" },
        RefusedCase { "PortNineDataBits", "WP_DisplaySet[", "9600,9,N,1", "9600,8,N,1" },
        RefusedCase { "PortLowerCaseParity", "WP_DisplaySet[", "9600,8,n,1", "9600,8,N,1" },
        RefusedCase { "PortThreeStopBits", "WP_DisplaySet[", "9600,8,N,3", "9600,8,N,1" },
        RefusedCase { "PortOddBaud", "WP_DisplaySet[", "1234,8,N,1", "9600,8,N,1" },
        RefusedCase { "FirmwareIsQueryOnly", "WP_Info[", "V9.99", "V1.05" },
        RefusedCase { "IdentifyIsQueryOnly", "WP_IdentifyTx[", "RX", "TX" },
        RefusedCase { "DisplayWithoutCount", "WP_DisplayOn[", "abc", QByteArray("7,PWR ON\r") }),
    [](const auto &info) { return case_name(info.param.name); });

TEST(ReceiverModelIdentify, TwoInputModelTakesItsOwnInputNames)
{
    ReceiverModel model(QByteArrayLiteral("RX"));
    EXPECT_EQ(model.feed("WP_IdentifyTx[?]$\r"), Replies { "WP_IdentifyTx[RX]$\r" });
    EXPECT_EQ(model.feed("WP_Input[?]$\r"), Replies { "WP_Input[Hdmi]$\r" });
    model.feed("WP_Input[Hdmi2]$\r");
    EXPECT_EQ(model.value("WP_Input["), "Hdmi");
    model.feed("WP_Input[Vga]$\r");
    EXPECT_EQ(model.value("WP_Input["), "Vga");
}

TEST(ReceiverModelIdentify, ChangingTheModelRenamesTheCurrentInput)
{
    ReceiverModel model;
    model.set_identify("RX");
    EXPECT_EQ(model.value("WP_Input["), "Hdmi");
    model.set_identify("TX");
    EXPECT_EQ(model.value("WP_Input["), "Hdmi1");
    model.feed("WP_Input[Vga]$\r");
    model.set_identify("RX");
    EXPECT_EQ(model.value("WP_Input["), "Vga");
}

struct DisplayCase
{
    const char *name;
    QByteArray prefix;
    QByteArray bytes;
};

void PrintTo(const DisplayCase &c, std::ostream *os)
{
    *os << c.name;
}

class DisplayTest : public testing::TestWithParam<DisplayCase>
{
};

// The command bytes are raw: only the count says where they end.
TEST_P(DisplayTest, RoundTripsByteForByte)
{
    ReceiverModel model;
    const DisplayCase &c = GetParam();
    const QByteArray argument = QByteArray::number(c.bytes.size()) + ',' + c.bytes;
    EXPECT_EQ(model.feed(framed(c.prefix, argument)), Replies { framed(c.prefix, argument) });
    EXPECT_EQ(model.value(c.prefix), c.bytes);
    EXPECT_EQ(model.feed(query(c.prefix)), Replies { framed(c.prefix, argument) });
}

INSTANTIATE_TEST_SUITE_P(Bytes, DisplayTest,
    testing::Values(DisplayCase { "TerminatorInside", "WP_DisplayOn[", raw("\x00]$\r\x00") },
        DisplayCase { "EndsLikeTheTerminator", "WP_DisplayOff[", QByteArray("AB]$\r") },
        DisplayCase { "HoldsAnotherMessage", "WP_DisplayOn[", QByteArray("WP_Aspect[?]$\r") },
        DisplayCase { "HighBytes", "WP_DisplayOff[", raw("\xFF\x80\x7F\x01") },
        DisplayCase { "Empty", "WP_DisplayOn[", QByteArray() },
        DisplayCase { "TwoDigitCount", "WP_DisplayOn[", QByteArray(50, '\r') },
        DisplayCase { "LargestCount", "WP_DisplayOff[", QByteArray(255, ']') }),
    [](const auto &info) { return case_name(info.param.name); });

TEST(ReceiverModelDisplay, OnAndOffAreKeptApart)
{
    ReceiverModel model;
    model.feed(raw("WP_DisplayOn[2,\x01\x02]$\r"));
    EXPECT_EQ(model.value("WP_DisplayOn["), QByteArray("\x01\x02"));
    EXPECT_EQ(model.value("WP_DisplayOff["), QByteArray("PWR OFF\r"));
}

// Bytes arrive from a serial line in pieces of any size; the replies must not depend on where
// the pieces are cut.
class ChunkTest : public testing::TestWithParam<int>
{
};

TEST_P(ChunkTest, PiecesGiveTheSameRepliesAsOneWrite)
{
    const QByteArray line = QByteArray("noise") + "WP_Aspect[16:9]$\r"
        + raw("WP_DisplayOn[6,]$\r\x00WP]$\r") + "WP_Aspect[?]$\r" + "WP_KeyPlus[]$\r"
        + "WP_DisplayOn[?]$\r" + "WP_Info[?]$\r";
    const Replies expected {
        "WP_Aspect[16:9]$\r",
        raw("WP_DisplayOn[6,]$\r\x00WP]$\r"),
        "WP_Aspect[16:9]$\r",
        "WP_KeyPlus[]$\r",
        raw("WP_DisplayOn[6,]$\r\x00WP]$\r"),
        "WP_Info[V1.05]$\r",
    };
    ReceiverModel model;
    Replies replies;
    for (qsizetype at = 0; at < line.size(); at += GetParam()) {
        for (QByteArray &r : model.feed(line.mid(at, GetParam())))
            replies.push_back(r);
    }
    EXPECT_EQ(replies, expected);
    EXPECT_EQ(model.pending_size(), 0);
}

INSTANTIATE_TEST_SUITE_P(Sizes, ChunkTest, testing::Values(1, 2, 3, 5, 7, 13, 64));

struct ResyncCase
{
    const char *name;
    QByteArray line;
    Replies replies;
};

void PrintTo(const ResyncCase &c, std::ostream *os)
{
    *os << c.name;
}

class ResyncTest : public testing::TestWithParam<ResyncCase>
{
};

TEST_P(ResyncTest, FindsTheNextGoodMessage)
{
    ReceiverModel model;
    EXPECT_EQ(model.feed(GetParam().line), GetParam().replies);
}

const QByteArray info_query = "WP_Info[?]$\r";
const QByteArray info_reply = "WP_Info[V1.05]$\r";

INSTANTIATE_TEST_SUITE_P(Garbage, ResyncTest,
    testing::Values(
        ResyncCase { "LeadingNoise", raw("\x00\xFFzz]$\r") + info_query, { info_reply } },
        ResyncCase { "UnknownCommand", "WP_Bogus[1]$\r" + info_query, { info_reply } },
        ResyncCase { "LowerCaseName", "WP_info[?]$\r" + info_query, { info_reply } },
        ResyncCase { "NameWithSpace", "WP_In fo[?]$\r" + info_query, { info_reply } },
        ResyncCase { "NameTooLong", "WP_ThisNameIsFarTooLong[?]$\r" + info_query, { info_reply } },
        ResyncCase { "CutOffMessage", "WP_Aspect[16:" + info_query, { info_reply } },
        ResyncCase { "DoubledStart", "WP_WP_Info[?]$\r", { info_reply } },
        ResyncCase { "HalfTerminator", "WP_Aspect[?]$WP_Info[?]$\r", { info_reply } },
        ResyncCase { "DisplayCountTooShort", "WP_DisplayOn[3,AB]$\r" + info_query, { info_reply } },
        ResyncCase { "DisplayCountTooLong", "WP_DisplayOn[1,AB]$\r" + info_query, { info_reply } },
        ResyncCase { "DisplayCountAboveLimit", "WP_DisplayOn[256,x]$\r" + info_query,
            { "WP_DisplayOn[256,x]$\r", info_reply } }),
    [](const auto &info) { return case_name(info.param.name); });

TEST(ReceiverModelResync, AbandonedMessageChangesNothing)
{
    ReceiverModel model;
    model.feed("WP_Aspect[16:9" + info_query);
    EXPECT_EQ(model.value("WP_Aspect["), "Full");
}

TEST(ReceiverModelResync, BrokenDisplayCommandIsNotStored)
{
    ReceiverModel model;
    model.feed("WP_DisplayOn[3,AB]$\r" + info_query);
    EXPECT_EQ(model.value("WP_DisplayOn["), QByteArray("PWR ON\r"));
}

// Whatever arrives, the bytes held for an unfinished message stay few, and the next good
// message is still answered.
TEST(ReceiverModelBounds, HeldBytesStaySmall)
{
    const std::vector<std::pair<const char *, QByteArray>> floods {
        { "plain garbage", QByteArray(200000, 'x') },
        { "start marks only", QByteArray("WP_").repeated(100000) },
        { "unterminated text", "WP_Aspect[" + QByteArray(200000, 'x') },
        { "unterminated display", "WP_DisplayOn[255," + QByteArray(200000, ']') },
        { "name without bracket", "WP_" + QByteArray(200000, 'A') },
    };
    for (const auto &[what, flood] : floods) {
        SCOPED_TRACE(what);
        ReceiverModel model;
        for (qsizetype at = 0; at < flood.size(); at += 4096) {
            model.feed(flood.mid(at, 4096));
            ASSERT_LE(model.pending_size(), 300);
        }
        EXPECT_EQ(model.feed("]$\r" + info_query).back(), info_reply);
        EXPECT_EQ(model.pending_size(), 0);
    }
}

TEST(ReceiverModelLog, KeepsEveryCompleteMessageRawAndInOrder)
{
    ReceiverModel model;
    const QByteArray display("WP_DisplayOff[3,\x00\r]]$\r", 22);
    model.feed("junk WP_Nope[1]$\r" + QByteArray("WP_Aspect[4:3]$\r") + display + "WP_Aspect[");
    model.feed("?]$\r");
    EXPECT_EQ(
        model.received(), (QList<QByteArray> { "WP_Aspect[4:3]$\r", display, "WP_Aspect[?]$\r" }));

    model.clear_received();
    EXPECT_TRUE(model.received().isEmpty());
}

TEST(ReceiverModelLog, LimitKeepsTheNewest)
{
    ReceiverModel model;
    model.set_log_limit(2);
    model.feed("WP_KeyMenu[]$\rWP_KeyMinus[]$\rWP_KeyPlus[]$\r");
    EXPECT_EQ(model.received(), (QList<QByteArray> { "WP_KeyMinus[]$\r", "WP_KeyPlus[]$\r" }));
}

TEST(ReceiverModelActions, PictureResetRestoresOnlyThePicture)
{
    ReceiverModel model;
    model.feed("WP_PictureBri[10]$\rWP_PictureSha[90]$\rWP_Aspect[4:3]$\r");
    EXPECT_EQ(model.feed("WP_PictureRst[Go]$\r"), Replies { "WP_PictureRst[Go]$\r" });
    EXPECT_EQ(model.value("WP_PictureBri["), "50");
    EXPECT_EQ(model.value("WP_PictureSha["), "30");
    EXPECT_EQ(model.value("WP_Aspect["), "4:3");
}

TEST(ReceiverModelActions, SystemResetRestoresSettingsButNotTheDeviceTexts)
{
    ReceiverModel model(QByteArrayLiteral("RX"));
    model.set_value("WP_Info[", "V2.00");
    model.feed("WP_Aspect[4:3]$\rWP_Input[Vga]$\rWP_DisplayOn[1,A]$\rWP_PictureHue[1]$\r");
    EXPECT_EQ(model.feed("WP_SystemRst[Go]$\r"), Replies { "WP_SystemRst[Go]$\r" });
    EXPECT_EQ(model.value("WP_Aspect["), "Full");
    EXPECT_EQ(model.value("WP_Input["), "Hdmi");
    EXPECT_EQ(model.value("WP_DisplayOn["), QByteArray("PWR ON\r"));
    EXPECT_EQ(model.value("WP_PictureHue["), "50");
    EXPECT_EQ(model.value("WP_Info["), "V2.00");
    EXPECT_EQ(model.identify(), "RX");
}

TEST(ReceiverModelActions, ActionsNeedGoAndKeysAnEmptyArgument)
{
    ReceiverModel model;
    model.feed("WP_PictureBri[10]$\r");
    EXPECT_EQ(model.feed("WP_PictureRst[go]$\r"), Replies { "WP_PictureRst[go]$\r" });
    EXPECT_EQ(model.value("WP_PictureBri["), "10");
    EXPECT_EQ(model.feed("WP_VgaAuto[Go]$\r"), Replies { "WP_VgaAuto[Go]$\r" });
    EXPECT_EQ(model.feed("WP_KeyMenu[]$\r"), Replies { "WP_KeyMenu[]$\r" });
    EXPECT_FALSE(model.accepts("WP_KeyMenu[", "x"));
    EXPECT_TRUE(model.accepts("WP_KeyMenu[", ""));
}

TEST(ReceiverModelValues, ForcedValueIsReportedAsGiven)
{
    ReceiverModel model;
    EXPECT_TRUE(model.set_value("WP_PictureBri[", "07"));
    EXPECT_TRUE(model.set_value("WP_ProjSW[", "47"));
    EXPECT_EQ(model.feed("WP_PictureBri[?]$\rWP_ProjSW[?]$\r"),
        (Replies { "WP_PictureBri[07]$\r", "WP_ProjSW[47]$\r" }));
    EXPECT_FALSE(model.set_value("WP_SystemRst[", "x"));
    EXPECT_FALSE(model.set_value("WP_Nope[", "x"));
}

} // namespace
