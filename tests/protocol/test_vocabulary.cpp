// The command table: names, prefixes, entries and argument words, and that a reply to each
// setting selects the entry that sent it. Wire texts are restated here, not imported.
#include "protocol/vocabulary.h"

#include <gtest/gtest.h>

#include <QStringList>

#include <set>
#include <string>

using namespace protocol;
using namespace Qt::StringLiterals;

namespace {

struct NamedPrefix
{
    const char *name;
    const char *prefix;
};

// The names a command-line tool and its profiles use, with the prefix each one sends.
const NamedPrefix named_prefixes[] = {
    { "transmitter", "WP_IdentifyTx[" },
    { "aspect", "WP_Aspect[" },
    { "vga_auto", "WP_VgaAuto[" },
    { "rx_firmware", "WP_Info[" },
    { "output_resolution", "WP_Output[" },
    { "overscan", "WP_OverscanEn[" },
    { "overscan_h", "WP_OverscanH[" },
    { "overscan_v", "WP_OverscanV[" },
    { "audio", "WP_AudioEn[" },
    { "audio_hdmi", "WP_AudioHdmi[" },
    { "audio_lr", "WP_AudioLR[" },
    { "reset", "WP_SystemRst[" },
    { "auto_off", "WP_AutoOff[" },
    { "display_mode", "WP_DisplayMode[" },
    { "display", "WP_Display[" },
    { "input_source", "WP_Input[" },
    { "hdcp", "WP_HdcpInput[" },
    { "input_resolution", "WP_InputPrefer[" },
    { "tx_firmware", "WP_InfoTx[" },
    { "tx_baudrate", "WP_BaudrateTx[" },
    { "projsw_mode", "WP_ProjSW[" },
    { "auto_display_on", "WP_AutoDispOn[" },
    { "auto_display_off", "WP_AutoDispOff[" },
    { "brightness", "WP_PictureBri[" },
    { "contrast", "WP_PictureCon[" },
    { "saturation", "WP_PictureSat[" },
    { "hue", "WP_PictureHue[" },
    { "sharpness", "WP_PictureSha[" },
    { "picture_reset", "WP_PictureRst[" },
    { "key_menu", "WP_KeyMenu[" },
    { "key_minus", "WP_KeyMinus[" },
    { "key_plus", "WP_KeyPlus[" },
    { "projector_port", "WP_DisplaySet[" },
    { "display_on_command", "WP_DisplayOn[" },
    { "display_off_command", "WP_DisplayOff[" },
};

const Command &named(const char *name)
{
    const Command *command = find_command(name);
    EXPECT_NE(command, nullptr) << name;
    return *command;
}

} // namespace

TEST(Vocabulary, EveryNameSendsItsPrefix)
{
    for (const NamedPrefix &row : named_prefixes)
        EXPECT_EQ(QByteArray(named(row.name).prefix), QByteArray(row.prefix)) << row.name;
    EXPECT_EQ(commands().size(), std::size(named_prefixes));
    EXPECT_EQ(find_command("Aspect"), nullptr);
    EXPECT_EQ(find_command(""), nullptr);
    EXPECT_EQ(find_command("aspect "), nullptr);
}

TEST(Vocabulary, NamesAndPrefixesAreUniqueAndLowerCase)
{
    std::set<std::string> names;
    std::set<std::string> prefixes;
    for (const Command &command : commands()) {
        EXPECT_TRUE(names.insert(command.name).second) << command.name;
        EXPECT_TRUE(prefixes.insert(command.prefix).second) << command.prefix;
        EXPECT_EQ(QByteArray(command.name).toLower(), QByteArray(command.name));
    }
}

TEST(Vocabulary, NumbersFindTheirCommands)
{
    EXPECT_EQ(command_by_number(2), &named("aspect"));
    EXPECT_EQ(command_by_number(21), &named("projsw_mode"));
    EXPECT_EQ(picture_by_number(1), &named("brightness"));
    EXPECT_EQ(picture_by_number(6), &named("picture_reset"));
    EXPECT_EQ(command_by_number(0), nullptr);
    EXPECT_EQ(command_by_number(24), nullptr);
    EXPECT_EQ(picture_by_number(0), nullptr);
    EXPECT_EQ(picture_by_number(7), nullptr);
}

TEST(Vocabulary, SendModesOfTheLists)
{
    // Only these lists send without waiting; only the auto display lists ignore the reply.
    const std::set<std::string> no_wait = { "overscan_h", "overscan_v", "auto_off", "projsw_mode",
        "brightness", "contrast", "saturation", "hue", "sharpness" };
    const std::set<std::string> quiet = { "auto_display_on", "auto_display_off" };
    for (const Command &command : commands()) {
        if (command.kind != Kind::List)
            continue;
        const Send expected = no_wait.count(command.name) ? Send::NoWait
            : quiet.count(command.name)                   ? Send::WaitQuiet
                                                          : Send::Wait;
        EXPECT_EQ(command.send, expected) << command.name;
    }
}

TEST(Vocabulary, FixedEntriesAsTheWindowShowsThem)
{
    EXPECT_EQ(fixed_entries(named("aspect")),
        QStringList({ u"Full"_s, u"16:9 TV"_s, u"16:10 TV"_s, u"4:3 TV"_s, u"Keep Ratio"_s }));
    EXPECT_EQ(fixed_entries(named("display_mode")),
        QStringList({ u"DispSW AVon"_s, u"DispSW AVSW"_s, u"AV SW"_s, u"Always ON"_s }));
    EXPECT_EQ(fixed_entries(named("hdcp")),
        QStringList({ u"Compliant"_s, u"Noncompliant"_s, u"Auto"_s }));
    EXPECT_EQ(fixed_entries(named("input_source"), true), QStringList({ u"Hdmi"_s, u"Vga"_s }));
    EXPECT_EQ(fixed_entries(named("input_source"), false),
        QStringList({ u"Hdmi1"_s, u"Hdmi2"_s, u"Vga"_s }));
    EXPECT_EQ(fixed_entries(named("overscan")), QStringList({ u"Yes"_s, u"No"_s }));
    EXPECT_EQ(fixed_entries(named("display")), QStringList({ u"On"_s, u"Off"_s }));

    const QStringList overscan = fixed_entries(named("overscan_h"));
    ASSERT_EQ(overscan.size(), 51);
    EXPECT_EQ(overscan.last(), QStringLiteral("50"));
    const QStringList picture = fixed_entries(named("hue"));
    ASSERT_EQ(picture.size(), 101);
    EXPECT_EQ(picture.last(), QStringLiteral("100"));
    const QStringList projsw = fixed_entries(named("projsw_mode"));
    ASSERT_EQ(projsw.size(), 61);
    EXPECT_EQ(projsw.at(1), QStringLiteral("5"));
    EXPECT_EQ(projsw.last(), QStringLiteral("300"));

    // Filled from the option-list files, not from the table.
    for (const char *name : { "auto_off", "output_resolution", "input_resolution" })
        EXPECT_TRUE(fixed_entries(named(name)).isEmpty()) << name;
}

struct ArgumentCase
{
    const char *row;
    const char *name;
    int position;
    const char *entry;
    bool single_hdmi;
    std::optional<QByteArray> expected;
};

class ChoiceArgument : public testing::TestWithParam<ArgumentCase>
{
};

TEST_P(ChoiceArgument, IsTheWordTheWindowSends)
{
    const ArgumentCase &c = GetParam();
    EXPECT_EQ(
        choice_argument(named(c.name), c.position, QString::fromLatin1(c.entry), c.single_hdmi),
        c.expected);
}

INSTANTIATE_TEST_SUITE_P(Vocabulary, ChoiceArgument,
    testing::Values(
        ArgumentCase { "aspect_word_not_entry", "aspect", 1, "16:9 TV", true, QByteArray("16:9") },
        ArgumentCase { "aspect_past_the_table", "aspect", 5, "x", true, std::nullopt },
        ArgumentCase { "nothing_selected", "aspect", -1, "", true, std::nullopt },
        ArgumentCase {
            "hdcp_noncompliant", "hdcp", 1, "Noncompliant", true, QByteArray("NotHDCP") },
        ArgumentCase { "input_two_layout_vga", "input_source", 1, "Vga", true, QByteArray("Vga") },
        ArgumentCase {
            "input_three_layout_hdmi2", "input_source", 1, "Hdmi2", false, QByteArray("Hdmi2") },
        ArgumentCase { "input_two_layout_no_third", "input_source", 2, "Vga", true, std::nullopt },
        ArgumentCase {
            "output_sends_position", "output_resolution", 3, "1280x720", true, QByteArray("3") },
        ArgumentCase { "overscan_h_entry_trimmed", "overscan_h", 7, " 7 ", true, QByteArray("7") },
        ArgumentCase { "auto_off_first_sends_zero", "auto_off", 0, "Never", true, QByteArray("0") },
        ArgumentCase { "auto_off_other_sends_entry", "auto_off", 2, "30", true, QByteArray("30") },
        ArgumentCase { "empty_entry_still_sent", "audio", 0, "", true, QByteArray("") },
        ArgumentCase {
            "auto_display_off_word", "auto_display_on", 1, "Off", true, QByteArray("Off") },
        ArgumentCase { "latin1_entry_one_byte", "auto_off", 1, "\xe9", true, QByteArray("\xe9") }),
    [](const testing::TestParamInfo<ArgumentCase> &info) { return std::string(info.param.row); });

TEST(Vocabulary, ReplyToEachChoiceSelectsThatChoice)
{
    // The receiver answers a setting with its argument; the read-back of that answer must select
    // the entry that sent it, in both input layouts.
    for (const bool single_hdmi : { true, false }) {
        for (const Command &command : commands()) {
            if (command.kind != Kind::List)
                continue;
            const QStringList entries = fixed_entries(command, single_hdmi);
            for (int position = 0; position < entries.size(); ++position) {
                const auto argument
                    = choice_argument(command, position, entries.at(position), single_hdmi);
                ASSERT_TRUE(argument) << command.name << ' ' << position;
                EXPECT_EQ(reply_position(command, *argument, single_hdmi, entries), position)
                    << command.name << ' ' << position;
            }
        }
    }
}

TEST(Vocabulary, OptionListRepliesFollowTheirLists)
{
    const QStringList standby = { u"Never"_s, u"10"_s, u"30"_s };
    EXPECT_EQ(reply_position(named("auto_off"), "0", true, standby), 0);
    EXPECT_EQ(reply_position(named("auto_off"), "30", true, standby), 2);
    EXPECT_EQ(reply_position(named("auto_off"), "45", true, standby), std::nullopt);
    EXPECT_EQ(reply_position(named("output_resolution"), "4", true), 4);
    EXPECT_EQ(reply_position(named("transmitter"), "TX", true), std::nullopt);
}
