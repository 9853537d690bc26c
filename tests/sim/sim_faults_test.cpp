#include "sim/sim_faults.h"
#include "sim/sim_log.h"
#include "tests/sim/vocabulary.h"

#include <gtest/gtest.h>

#include <string>

namespace {

const QByteArray aspect = "WP_Aspect[";
const QByteArray aspect_reply = "WP_Aspect[Full]$\r";

struct PlanCase
{
    const char *name;
    SimFaults faults;
    ReplyPlan::Action action;
    int delay_ms;
    QByteArray first;
    QByteArray second;
    int gap_ms;
};

void PrintTo(const PlanCase &c, std::ostream *os)
{
    *os << c.name;
}

SimFaults with(void (*set)(SimFaults &))
{
    SimFaults f;
    set(f);
    return f;
}

class PlanTest : public testing::TestWithParam<PlanCase>
{
};

TEST_P(PlanTest, ShapesTheReply)
{
    const PlanCase &c = GetParam();
    const ReplyPlan plan = plan_reply(c.faults, aspect, aspect_reply);
    EXPECT_EQ(plan.action, c.action);
    if (c.action != ReplyPlan::Action::Reply)
        return;
    EXPECT_EQ(plan.delay_ms, c.delay_ms);
    EXPECT_EQ(plan.first, c.first);
    EXPECT_EQ(plan.second, c.second);
    EXPECT_EQ(plan.gap_ms, c.gap_ms);
}

using A = ReplyPlan::Action;

INSTANTIATE_TEST_SUITE_P(Faults, PlanTest,
    testing::Values(PlanCase { "None", {}, A::Reply, 0, aspect_reply, {}, 0 },
        PlanCase { "DelayAll", with([](SimFaults &f) { f.delay_ms = 300; }), A::Reply, 300,
            aspect_reply, {}, 0 },
        PlanCase { "DelayOtherPrefix", with([](SimFaults &f) {
                      f.delay_ms = 300;
                      f.delay_only = "WP_Input[";
                  }),
            A::Reply, 0, aspect_reply, {}, 0 },
        PlanCase {
            "SilentAll", with([](SimFaults &f) { f.silent = { "" }; }), A::Silent, 0, {}, {}, 0 },
        PlanCase { "SilentThisPrefix", with([](SimFaults &f) {
                      f.silent = { "WP_Input[", "WP_Aspect[" };
                  }),
            A::Silent, 0, {}, {}, 0 },
        PlanCase { "SilentOtherPrefix", with([](SimFaults &f) { f.silent = { "WP_Input[" }; }),
            A::Reply, 0, aspect_reply, {}, 0 },
        PlanCase { "Noise", with([](SimFaults &f) { f.noise = "\x01zz"; }), A::Reply, 0,
            "\x01zz" + aspect_reply, {}, 0 },
        PlanCase { "Split", with([](SimFaults &f) { f.split_gap_ms = 250; }), A::Reply, 0,
            "WP_Aspec", "t[Full]$\r", 250 },
        PlanCase { "NoiseAndSplit", with([](SimFaults &f) {
                      f.noise = "NZ";
                      f.split_gap_ms = 250;
                  }),
            A::Reply, 0, "NZWP_Aspec", "t[Full]$\r", 250 },
        PlanCase { "WrongPrefix", with([](SimFaults &f) { f.wrong_prefix = "WP_Input["; }),
            A::Reply, 0, "WP_Input[Full]$\r", {}, 0 },
        PlanCase { "WrongPrefixOtherScope", with([](SimFaults &f) {
                      f.wrong_prefix = "WP_Input[";
                      f.wrong_prefix_only = "WP_Info[";
                  }),
            A::Reply, 0, aspect_reply, {}, 0 },
        PlanCase { "Overlong", with([](SimFaults &f) { f.overlong_size = 30; }), A::Reply, 0,
            "WP_Aspect[Full0123456789012]$\r", {}, 0 },
        PlanCase {
            "HangUpAll", with([](SimFaults &f) { f.hang_up = true; }), A::HangUp, 0, {}, {}, 0 },
        PlanCase { "HangUpOtherPrefix", with([](SimFaults &f) {
                      f.hang_up = true;
                      f.hang_up_only = "WP_SystemRst[";
                  }),
            A::Reply, 0, aspect_reply, {}, 0 }),
    [](const auto &info) { return std::string(info.param.name); });

TEST(PlanReply, OverlongReplyHasTheAskedLengthAndItsFraming)
{
    SimFaults f;
    f.overlong_size = 120;
    const ReplyPlan plan = plan_reply(f, aspect, aspect_reply);
    EXPECT_EQ(plan.first.size(), 120);
    EXPECT_TRUE(plan.first.startsWith("WP_Aspect[Full"));
    EXPECT_TRUE(plan.first.endsWith("]$\r"));
    EXPECT_EQ(plan.first.count("]$\r"), 1);
}

struct PrefixCase
{
    const char *name;
    QByteArray text;
    QByteArray prefix;
};

void PrintTo(const PrefixCase &c, std::ostream *os)
{
    *os << c.name;
}

class NormalisePrefixTest : public testing::TestWithParam<PrefixCase>
{
};

TEST_P(NormalisePrefixTest, GivesTheFullPrefix)
{
    EXPECT_EQ(normalise_prefix(GetParam().text), GetParam().prefix);
}

INSTANTIATE_TEST_SUITE_P(Texts, NormalisePrefixTest,
    testing::Values(PrefixCase { "Full", "WP_Aspect[", "WP_Aspect[" },
        PrefixCase { "NoBracket", "WP_Aspect", "WP_Aspect[" },
        PrefixCase { "NameOnly", "Aspect", "WP_Aspect[" }, PrefixCase { "All", "all", "" },
        PrefixCase { "AllUpperCaseSpaced", " ALL ", "" }, PrefixCase { "Empty", "", "" }),
    [](const auto &info) { return std::string(info.param.name); });

struct EscapeCase
{
    const char *name;
    QByteArray bytes;
    QByteArray text;
};

void PrintTo(const EscapeCase &c, std::ostream *os)
{
    *os << c.name;
}

class EscapeTest : public testing::TestWithParam<EscapeCase>
{
};

TEST_P(EscapeTest, KeepsOneMessageOnOneLine)
{
    EXPECT_EQ(escape_bytes(GetParam().bytes), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(Bytes, EscapeTest,
    testing::Values(EscapeCase { "Query", "WP_Aspect[?]$\r", "WP_Aspect[?]$\\x0D" },
        EscapeCase { "ZeroAndHigh", raw("\x00\xff\x7f"), "\\x00\\xFF\\x7F" },
        EscapeCase { "LineFeed", "a\nb", "a\\x0Ab" },
        EscapeCase { "Backslash", "a\\x0D", "a\\\\x0D" },
        EscapeCase { "SpaceAndTilde", " ~", " ~" }),
    [](const auto &info) { return std::string(info.param.name); });

TEST(LogLine, TimeTwoSpacesEscapedMessage)
{
    const QDateTime when(QDate(2024, 3, 5), QTime(7, 8, 9, 45));
    EXPECT_EQ(log_line(when, "WP_Info[?]$\r"), "2024-03-05T07:08:09.045  WP_Info[?]$\\x0D\n");
}

} // namespace

namespace {

ReceiverModel::Exchange exchange_of(const QByteArray &prefix, const QByteArray &value)
{
    return { framed(prefix, value), prefix, framed(prefix, value) };
}

TEST(LineSteps, RepliesInOrderWithTheirWaitsAndSplits)
{
    SimFaults f;
    f.delay_ms = 40;
    f.delay_only = "WP_Info[";
    f.split_gap_ms = 250;
    f.split_only = "WP_Aspect[";
    const std::vector<LineStep> steps
        = line_steps(f, { exchange_of("WP_Aspect[", "Full"), exchange_of("WP_Info[", "V1.05") });
    ASSERT_EQ(steps.size(), 3u);
    EXPECT_EQ(steps[0].wait_ms, 0);
    EXPECT_EQ(steps[0].bytes, "WP_Aspec");
    EXPECT_EQ(steps[1].wait_ms, 250);
    EXPECT_EQ(steps[1].bytes, "t[Full]$\r");
    EXPECT_EQ(steps[2].wait_ms, 40);
    EXPECT_EQ(steps[2].bytes, "WP_Info[V1.05]$\r");
    for (const LineStep &s : steps)
        EXPECT_FALSE(s.hang_up);
}

TEST(LineSteps, SilencedMessagesLeaveNoStep)
{
    SimFaults f;
    f.silent = { "WP_Aspect[" };
    const std::vector<LineStep> steps
        = line_steps(f, { exchange_of("WP_Aspect[", "Full"), exchange_of("WP_Info[", "V1.05") });
    ASSERT_EQ(steps.size(), 1u);
    EXPECT_EQ(steps[0].bytes, "WP_Info[V1.05]$\r");
}

TEST(LineSteps, NothingFollowsAHangUp)
{
    SimFaults f;
    f.hang_up = true;
    f.hang_up_only = "WP_SystemRst[";
    const std::vector<LineStep> steps = line_steps(f,
        { exchange_of("WP_Aspect[", "Full"), exchange_of("WP_SystemRst[", "Go"),
            exchange_of("WP_Info[", "V1.05") });
    ASSERT_EQ(steps.size(), 2u);
    EXPECT_EQ(steps[0].bytes, "WP_Aspect[Full]$\r");
    EXPECT_TRUE(steps[1].hang_up);
}

TEST(SimLog, TcpLineCarriesThePortBetweenTimeAndMessage)
{
    const QDateTime when(QDate(2026, 3, 4), QTime(5, 6, 7, 89));
    EXPECT_EQ(
        log_line(when, 7042, "WP_Info[?]$\r"), "2026-03-04T05:06:07.089  7042  WP_Info[?]$\\x0D\n");
}

} // namespace
