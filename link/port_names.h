#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

// Which device the list entry "COMn:" opens, in this order:
// 1. the environment variable KZ_ORBA_COMn, when set and not empty: a device, or the address
//    tcp://HOST:PORT of a serial-to-Ethernet gateway;
// 2. on Windows, the port COMn itself;
// 3. elsewhere, the nth serial adapter the system reports (see adapter_order), and /dev/ttyS(n-1)
//    when it reports fewer than n.
// The pure pieces take the system's answers as arguments, so that they can be tried with any list.

// The window's port list holds the entries "COM1:" to "COM9:"; kz-orba-cli and the trace name
// them COM1 to COM9.
inline constexpr int port_count = 9;
// "COM3" for port 3.
QString port_name(int port_no);
// "COM3:", the window's list entry.
QString port_entry(int port_no);
// The number of an entry's name, "COM1" to "COM9" in any case; none for any other name.
std::optional<int> entry_number(const QString &name);
// Whether name has the form of an entry's name, "COM" and digits in any case, whether or not
// such an entry exists ("COM12").
bool entry_like(const QString &name);

// One serial port as the system reports it.
struct ReportedPort
{
    QString device; // where it is opened: /dev/ttyUSB0, /dev/cu.usbserial-1410, COM3
    bool usb = false; // the system knows a USB vendor id for it
};

// The order in which COM1, COM2, ... take the reported ports outside Windows:
// 1. USB serial converters (ttyUSB*, cu.usbserial*): the usual RS-232 adapter cable;
// 2. USB communication devices (ttyACM*, cu.usbmodem*): modems and boards, less often an adapter;
// 3. any other port with a USB vendor id;
// 4. the rest, built-in ports such as ttyS* first.
// Within a group names sort with their numbers compared as numbers (ttyUSB2 before ttyUSB10), so
// the order does not depend on the order of the report. macOS reports each device twice, as
// /dev/cu.NAME (call-out) and /dev/tty.NAME (dial-in); only cu.NAME is kept: opening the dial-in
// device is meant for answering calls and may wait for the carrier. The same device reported twice
// counts once.
QStringList adapter_order(const QList<ReportedPort> &reported);

// Where the device of a COM entry comes from.
enum class PortSource {
    Environment, // KZ_ORBA_COMn
    Windows, // COMn on Windows
    Adapter, // the nth reported adapter
    Fallback, // /dev/ttyS(n-1): fewer adapters than n
};

struct PortChoice
{
    QString device;
    PortSource source = PortSource::Fallback;
    int adapters = 0; // how many adapters the system reported (Adapter and Fallback)
};

// The device of entry "COMn:" from the value of KZ_ORBA_COMn (empty when unset), whether the
// system is Windows, and the adapters in adapter_order().
PortChoice choose_port(
    int port_no, const QString &environment, bool windows, const QStringList &adapters);

// Where the device comes from, for people: "set by KZ_ORBA_COM3", "adapter 1 of 2", "Windows port",
// "only 2 adapters reported" (the fallback).
QString port_source_text(int port_no, const PortChoice &choice);

// The same, asked of this system now: the environment, and Qt's list of serial ports.
QList<ReportedPort> reported_ports();
PortChoice resolve_port(int port_no, const QList<ReportedPort> &reported);
PortChoice resolve_port(int port_no);
QString port_device(int port_no);

// Whether something exists to open at device: a file (or device node) of that path, or on Windows
// a port of that name in the system's list.
bool port_present(const QString &device, const QList<ReportedPort> &reported);

// Whether address names a gateway on the network, tcp://HOST:PORT (the scheme in any case), rather
// than a serial device.
bool is_network_address(const QString &address);

// How the port lists tell whether device can be opened: "present" or "missing" as port_present()
// finds it, and "network" for a gateway address, which is not tried before it is opened.
QString port_state_text(const QString &device, const QList<ReportedPort> &reported);

// The message for a port that cannot be opened: the known first line "RS-232 port error on COM"
// n ": !", and below it the device and the system's reason, for example
// "RS-232 port error on COM 3: !\n/dev/ttyS2: No such file or directory". A refusal for
// permission adds the group that owns the device (read from the device), whose members may open it.
QString port_error_text(int port_no, const QString &device, const QString &reason);

// One line per entry COM1: to COM9: with its device, whether it exists and where it comes from,
// as printed by kz-orba-ctrl --list-ports.
QStringList port_table(const QList<ReportedPort> &reported);
