#pragma once

#include "sim/sim_faults.h"

#include <QList>
#include <QString>

#include <utility>

// The command-line words of kz-orba-sim that are more than a plain option: fault switches by
// name, TCP listener addresses and port selections. Pure parsing, no I/O.

// One fault switch as named on the command line ("delay", "300"); value is empty for the
// switches that take none (split, overlong).
struct FaultSwitch
{
    QString name;
    QString value;
};

// The switch names, each with whether it takes a value, in the order --help lists them.
const QList<std::pair<QString, bool>> &fault_switch_names();

// Applies switches in order: a later delay, noise, wrong-prefix, only or hang-up-on replaces an
// earlier one, silent adds a prefix, and only scopes delay, noise, split, wrong-prefix and
// overlong. False, with a reason, for an unknown name, a missing value or a bad number.
bool faults_from_switches(const QList<FaultSwitch> &switches, SimFaults *faults, QString *error);

// Ports first..last inclusive; a single port has first == last.
using PortRange = std::pair<quint16, quint16>;

// "HOST:PORT" or "HOST:FIRST-LAST" ("[::1]:7000" for an IPv6 host). Port 0 (any free port) is
// only accepted alone.
struct TcpSpec
{
    QString host;
    PortRange ports;
};
bool parse_tcp_spec(const QString &text, TcpSpec *spec, QString *error);

// "PORTS:SWITCH" or "PORTS:SWITCH=VALUE" where PORTS is a comma-separated list of ports and
// ranges ("7040-7044,7100"): the switch applies to the listeners on those ports.
struct PortFault
{
    QList<PortRange> ports;
    FaultSwitch fault;
};
bool parse_port_fault(const QString &text, PortFault *result, QString *error);

bool port_selected(const QList<PortRange> &ranges, quint16 port);
