#include "sim/sim_options.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct SwitchCase
{
    const char *name;
    QList<FaultSwitch> switches;
    SimFaults expected;
};

void PrintTo(const SwitchCase &c, std::ostream *os)
{
    *os << c.name;
}

SimFaults with(void (*set)(SimFaults &))
{
    SimFaults f;
    set(f);
    return f;
}

FaultSwitch sw(const char *name, const char *value = "")
{
    return { QString::fromLatin1(name), QString::fromLatin1(value) };
}

void expect_same(const SimFaults &a, const SimFaults &b)
{
    EXPECT_EQ(a.delay_ms, b.delay_ms);
    EXPECT_EQ(a.delay_only, b.delay_only);
    EXPECT_EQ(a.silent, b.silent);
    EXPECT_EQ(a.noise, b.noise);
    EXPECT_EQ(a.noise_only, b.noise_only);
    EXPECT_EQ(a.split_gap_ms, b.split_gap_ms);
    EXPECT_EQ(a.split_only, b.split_only);
    EXPECT_EQ(a.wrong_prefix, b.wrong_prefix);
    EXPECT_EQ(a.wrong_prefix_only, b.wrong_prefix_only);
    EXPECT_EQ(a.overlong_size, b.overlong_size);
    EXPECT_EQ(a.overlong_only, b.overlong_only);
    EXPECT_EQ(a.hang_up, b.hang_up);
    EXPECT_EQ(a.hang_up_only, b.hang_up_only);
    EXPECT_EQ(a.telnet, b.telnet);
}

class FaultSwitchTest : public testing::TestWithParam<SwitchCase>
{
};

TEST_P(FaultSwitchTest, BuildsTheFaults)
{
    SimFaults faults;
    QString error;
    ASSERT_TRUE(faults_from_switches(GetParam().switches, &faults, &error)) << error.toStdString();
    expect_same(faults, GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Switches, FaultSwitchTest,
    testing::Values(SwitchCase { "None", {}, {} },
        SwitchCase {
            "Delay", { sw("delay", "300") }, with([](SimFaults &f) { f.delay_ms = 300; }) },
        SwitchCase { "LaterDelayWins", { sw("delay", "300"), sw("delay", "20") },
            with([](SimFaults &f) { f.delay_ms = 20; }) },
        SwitchCase { "SilentAddsUp", { sw("silent", "Aspect"), sw("silent", "WP_Info[") },
            with([](SimFaults &f) {
                f.silent = { "WP_Aspect[", "WP_Info[" };
            }) },
        SwitchCase { "SilentAll", { sw("silent", "all") },
            with([](SimFaults &f) { f.silent = { QByteArray() }; }) },
        SwitchCase { "Split", { sw("split") }, with([](SimFaults &f) { f.split_gap_ms = 250; }) },
        SwitchCase {
            "Overlong", { sw("overlong") }, with([](SimFaults &f) { f.overlong_size = 120; }) },
        SwitchCase { "WrongPrefix", { sw("wrong-prefix", "Input") },
            with([](SimFaults &f) { f.wrong_prefix = "WP_Input["; }) },
        SwitchCase { "HangUpOnAll", { sw("hang-up-on", "all") },
            with([](SimFaults &f) { f.hang_up = true; }) },
        SwitchCase { "TelnetRefuse", { sw("telnet", "refuse") },
            with([](SimFaults &f) { f.telnet = TelnetFault::Refuse; }) },
        SwitchCase { "LaterTelnetWins", { sw("telnet", "split"), sw("telnet", "wrong-baud") },
            with([](SimFaults &f) { f.telnet = TelnetFault::WrongBaud; }) },
        // only scopes the reply faults, wherever it stands, and leaves silence and hang-up alone.
        SwitchCase { "OnlyScopesTheReplyFaults",
            { sw("only", "Info"), sw("noise", "NZ"), sw("split"), sw("delay", "5"),
                sw("wrong-prefix", "Aspect"), sw("overlong"), sw("silent", "Input"),
                sw("hang-up-on", "SystemRst") },
            with([](SimFaults &f) {
                f.delay_ms = 5;
                f.delay_only = "WP_Info[";
                f.noise = "NZ";
                f.noise_only = "WP_Info[";
                f.split_gap_ms = 250;
                f.split_only = "WP_Info[";
                f.wrong_prefix = "WP_Aspect[";
                f.wrong_prefix_only = "WP_Info[";
                f.overlong_size = 120;
                f.overlong_only = "WP_Info[";
                f.silent = { "WP_Input[" };
                f.hang_up = true;
                f.hang_up_only = "WP_SystemRst[";
            }) }),
    [](const auto &info) { return std::string(info.param.name); });

class BadSwitchTest : public testing::TestWithParam<std::pair<const char *, FaultSwitch>>
{
};

TEST_P(BadSwitchTest, IsRefusedWithAReason)
{
    SimFaults faults;
    faults.delay_ms = 7;
    QString error;
    EXPECT_FALSE(faults_from_switches({ GetParam().second }, &faults, &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_EQ(faults.delay_ms, 7);
}

INSTANTIATE_TEST_SUITE_P(Switches, BadSwitchTest,
    testing::Values(std::pair { "Unknown", sw("mute") }, std::pair { "DelayNoValue", sw("delay") },
        std::pair { "DelayNotANumber", sw("delay", "soon") },
        std::pair { "DelayNegative", sw("delay", "-1") },
        std::pair { "SplitWithValue", sw("split", "2") },
        std::pair { "SilentNoValue", sw("silent") },
        std::pair { "TelnetUnknownFault", sw("telnet", "garble") },
        std::pair { "TelnetNoValue", sw("telnet") }),
    [](const auto &info) { return std::string(info.param.first); });

struct SpecCase
{
    const char *name;
    const char *text;
    bool ok;
    const char *host;
    quint16 first;
    quint16 last;
};

void PrintTo(const SpecCase &c, std::ostream *os)
{
    *os << c.name;
}

class TcpSpecTest : public testing::TestWithParam<SpecCase>
{
};

TEST_P(TcpSpecTest, Parses)
{
    const SpecCase &c = GetParam();
    TcpSpec spec;
    QString error;
    ASSERT_EQ(parse_tcp_spec(QString::fromLatin1(c.text), &spec, &error), c.ok);
    if (!c.ok) {
        EXPECT_TRUE(error.contains(QString::fromLatin1(c.text))) << error.toStdString();
        return;
    }
    EXPECT_EQ(spec.host, QString::fromLatin1(c.host));
    EXPECT_EQ(spec.ports.first, c.first);
    EXPECT_EQ(spec.ports.second, c.last);
}

INSTANTIATE_TEST_SUITE_P(Specs, TcpSpecTest,
    testing::Values(SpecCase { "OnePort", "127.0.0.1:7000", true, "127.0.0.1", 7000, 7000 },
        SpecCase { "AnyPort", "127.0.0.1:0", true, "127.0.0.1", 0, 0 },
        SpecCase { "Range", "127.0.0.1:7000-7199", true, "127.0.0.1", 7000, 7199 },
        SpecCase { "RangeOfOne", "localhost:7000-7000", true, "localhost", 7000, 7000 },
        SpecCase { "Ipv6", "[::1]:7000", true, "::1", 7000, 7000 },
        SpecCase { "HighestPort", "127.0.0.1:65535", true, "127.0.0.1", 65535, 65535 },
        SpecCase { "NoPort", "127.0.0.1", false, "", 0, 0 },
        SpecCase { "EmptyPort", "127.0.0.1:", false, "", 0, 0 },
        SpecCase { "NoHost", ":7000", false, "", 0, 0 },
        SpecCase { "PortTooLarge", "127.0.0.1:65536", false, "", 0, 0 },
        SpecCase { "Backwards", "127.0.0.1:7001-7000", false, "", 0, 0 },
        SpecCase { "RangeFromZero", "127.0.0.1:0-5", false, "", 0, 0 },
        SpecCase { "OpenRange", "127.0.0.1:7000-", false, "", 0, 0 },
        SpecCase { "Words", "127.0.0.1:http", false, "", 0, 0 }),
    [](const auto &info) { return std::string(info.param.name); });

TEST(PortFault, PortsListAndSwitchWithItsValue)
{
    PortFault fault;
    QString error;
    ASSERT_TRUE(parse_port_fault(QStringLiteral("7040-7044,7100:noise=a:b=c"), &fault, &error))
        << error.toStdString();
    EXPECT_EQ(fault.fault.name, QStringLiteral("noise"));
    EXPECT_EQ(fault.fault.value, QStringLiteral("a:b=c"));
    for (quint16 port : { 7040, 7042, 7044, 7100 })
        EXPECT_TRUE(port_selected(fault.ports, port)) << port;
    for (quint16 port : { 7039, 7045, 7099, 7101 })
        EXPECT_FALSE(port_selected(fault.ports, port)) << port;
}

TEST(PortFault, SwitchWithoutValue)
{
    PortFault fault;
    QString error;
    ASSERT_TRUE(parse_port_fault(QStringLiteral("7001:split"), &fault, &error));
    EXPECT_EQ(fault.fault.name, QStringLiteral("split"));
    EXPECT_TRUE(fault.fault.value.isEmpty());
}

class BadPortFaultTest : public testing::TestWithParam<const char *>
{
};

TEST_P(BadPortFaultTest, IsRefusedWithAReason)
{
    PortFault fault;
    QString error;
    EXPECT_FALSE(parse_port_fault(QString::fromLatin1(GetParam()), &fault, &error));
    EXPECT_FALSE(error.isEmpty());
}

INSTANTIATE_TEST_SUITE_P(PortFaults, BadPortFaultTest,
    testing::Values("split", ":split", "7000", "7000:", "0:split", "7001-7000:split",
        "7000,,7001:split", "7000:mute", "7000:delay", "7000:delay=x"));

} // namespace
