#include "sim/sim_options.h"

#include <algorithm>

namespace {

constexpr int split_gap_ms = 250;
constexpr int overlong_size = 120;

bool parse_port(const QString &text, quint16 *port)
{
    bool ok = false;
    const uint value = text.trimmed().toUInt(&ok);
    if (!ok || value > 65535)
        return false;
    *port = static_cast<quint16>(value);
    return true;
}

// "7000" or "7000-7199"; every port above 0 unless allow_zero.
bool parse_range(const QString &text, PortRange *range, bool allow_zero)
{
    const qsizetype dash = text.indexOf(QLatin1Char('-'));
    if (dash < 0) {
        quint16 port = 0;
        if (!parse_port(text, &port) || (port == 0 && !allow_zero))
            return false;
        *range = { port, port };
        return true;
    }
    quint16 first = 0;
    quint16 last = 0;
    if (!parse_port(text.left(dash), &first) || !parse_port(text.mid(dash + 1), &last))
        return false;
    if (first == 0 || last < first)
        return false;
    *range = { first, last };
    return true;
}

} // namespace

const QList<std::pair<QString, bool>> &fault_switch_names()
{
    static const QList<std::pair<QString, bool>> names {
        { QStringLiteral("delay"), true },
        { QStringLiteral("silent"), true },
        { QStringLiteral("noise"), true },
        { QStringLiteral("split"), false },
        { QStringLiteral("wrong-prefix"), true },
        { QStringLiteral("overlong"), false },
        { QStringLiteral("only"), true },
        { QStringLiteral("hang-up-on"), true },
        { QStringLiteral("telnet"), true },
    };
    return names;
}

bool faults_from_switches(const QList<FaultSwitch> &switches, SimFaults *faults, QString *error)
{
    SimFaults result;
    QByteArray only;
    for (const FaultSwitch &s : switches) {
        const auto &names = fault_switch_names();
        const auto known = std::find_if(
            names.begin(), names.end(), [&](const auto &n) { return n.first == s.name; });
        if (known == names.end()) {
            *error = QStringLiteral("unknown fault switch \"%1\"").arg(s.name);
            return false;
        }
        if (known->second && s.value.isEmpty()) {
            *error = QStringLiteral("fault switch %1 needs a value").arg(s.name);
            return false;
        }
        if (!known->second && !s.value.isEmpty()) {
            *error = QStringLiteral("fault switch %1 takes no value").arg(s.name);
            return false;
        }
        const QByteArray value = s.value.toLatin1();
        if (s.name == QLatin1String("delay")) {
            bool ok = false;
            result.delay_ms = s.value.toInt(&ok);
            if (!ok || result.delay_ms < 0) {
                *error = QStringLiteral("delay takes a number of milliseconds, not \"%1\"")
                             .arg(s.value);
                return false;
            }
        } else if (s.name == QLatin1String("silent")) {
            result.silent.append(normalise_prefix(value));
        } else if (s.name == QLatin1String("noise")) {
            result.noise = value;
        } else if (s.name == QLatin1String("split")) {
            result.split_gap_ms = split_gap_ms;
        } else if (s.name == QLatin1String("wrong-prefix")) {
            result.wrong_prefix = normalise_prefix(value);
        } else if (s.name == QLatin1String("overlong")) {
            result.overlong_size = overlong_size;
        } else if (s.name == QLatin1String("only")) {
            only = normalise_prefix(value);
        } else if (s.name == QLatin1String("telnet")) {
            if (!telnet_fault_from_name(s.value, &result.telnet)) {
                *error = QStringLiteral("telnet takes refuse, wrong-baud, mute, split, flood or "
                                        "loop, not \"%1\"")
                             .arg(s.value);
                return false;
            }
        } else if (s.name == QLatin1String("hang-up-on")) {
            result.hang_up = true;
            result.hang_up_only = normalise_prefix(value);
        }
    }
    result.delay_only = only;
    result.noise_only = only;
    result.split_only = only;
    result.wrong_prefix_only = only;
    result.overlong_only = only;
    *faults = result;
    return true;
}

bool parse_tcp_spec(const QString &text, TcpSpec *spec, QString *error)
{
    const qsizetype colon = text.lastIndexOf(QLatin1Char(':'));
    QString host = colon > 0 ? text.left(colon) : QString();
    if (host.startsWith(QLatin1Char('[')) && host.endsWith(QLatin1Char(']')))
        host = host.mid(1, host.size() - 2);
    PortRange ports;
    if (host.isEmpty() || !parse_range(text.mid(colon + 1), &ports, true)) {
        *error = QStringLiteral("--tcp takes HOST:PORT or HOST:FIRST-LAST, not \"%1\"").arg(text);
        return false;
    }
    spec->host = host;
    spec->ports = ports;
    return true;
}

bool parse_port_fault(const QString &text, PortFault *result, QString *error)
{
    const qsizetype colon = text.indexOf(QLatin1Char(':'));
    const QString usage
        = QStringLiteral("--faulty takes PORTS:SWITCH or PORTS:SWITCH=VALUE, not \"%1\"").arg(text);
    if (colon <= 0) {
        *error = usage;
        return false;
    }
    PortFault parsed;
    for (const QString &part : text.left(colon).split(QLatin1Char(','))) {
        PortRange range;
        if (!parse_range(part, &range, false)) {
            *error = usage;
            return false;
        }
        parsed.ports.append(range);
    }
    const QString fault = text.mid(colon + 1);
    const qsizetype equals = fault.indexOf(QLatin1Char('='));
    parsed.fault.name = equals < 0 ? fault : fault.left(equals);
    parsed.fault.value = equals < 0 ? QString() : fault.mid(equals + 1);
    SimFaults check;
    if (!faults_from_switches({ parsed.fault }, &check, error))
        return false;
    *result = parsed;
    return true;
}

bool port_selected(const QList<PortRange> &ranges, quint16 port)
{
    return std::any_of(ranges.begin(), ranges.end(),
        [port](const PortRange &r) { return port >= r.first && port <= r.second; });
}
