#include "link/port_names.h"

#include <QFileInfo>
#include <QSerialPortInfo>
#include <QtGlobal>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

QString base_name(const QString &device)
{
    return device.mid(device.lastIndexOf(u'/') + 1);
}

int group_of(const ReportedPort &port)
{
    const QString name = base_name(port.device);
    if (name.startsWith(u"ttyUSB"_s) || name.startsWith(u"cu.usbserial"_s))
        return 0;
    if (name.startsWith(u"ttyACM"_s) || name.startsWith(u"cu.usbmodem"_s))
        return 1;
    return port.usb ? 2 : 3;
}

// Compares names with each run of digits taken as a number: ttyUSB2 < ttyUSB10.
bool natural_less(const QString &a, const QString &b)
{
    qsizetype i = 0;
    qsizetype j = 0;
    while (i < a.size() && j < b.size()) {
        if (a.at(i).isDigit() && b.at(j).isDigit()) {
            qsizetype ei = i;
            qsizetype ej = j;
            while (ei < a.size() && a.at(ei).isDigit())
                ++ei;
            while (ej < b.size() && b.at(ej).isDigit())
                ++ej;
            // Without leading zeros, a longer run is a larger number.
            QStringView da = QStringView(a).mid(i, ei - i);
            QStringView db = QStringView(b).mid(j, ej - j);
            while (da.size() > 1 && da.front() == u'0')
                da = da.mid(1);
            while (db.size() > 1 && db.front() == u'0')
                db = db.mid(1);
            if (da.size() != db.size())
                return da.size() < db.size();
            if (const int c = da.compare(db); c != 0)
                return c < 0;
            i = ei;
            j = ej;
            continue;
        }
        if (a.at(i) != b.at(j))
            return a.at(i) < b.at(j);
        ++i;
        ++j;
    }
    if ((a.size() - i) != (b.size() - j))
        return a.size() - i < b.size() - j;
    return a < b; // equal as numbers ("ttyS01", "ttyS1"): still a fixed order
}

} // namespace

QString port_name(int port_no)
{
    return u"COM%1"_s.arg(port_no);
}

QString port_entry(int port_no)
{
    return port_name(port_no) + u':';
}

bool entry_like(const QString &name)
{
    if (name.size() < 4 || !name.startsWith(u"COM"_s, Qt::CaseInsensitive))
        return false;
    for (qsizetype i = 3; i < name.size(); ++i) {
        if (name.at(i) < u'0' || name.at(i) > u'9')
            return false;
    }
    return true;
}

std::optional<int> entry_number(const QString &name)
{
    if (!entry_like(name) || name.size() != 4 || name.at(3) == u'0')
        return std::nullopt;
    return name.at(3).unicode() - u'0';
}

QStringList adapter_order(const QList<ReportedPort> &reported)
{
    QStringList call_out;
    for (const ReportedPort &port : reported) {
        const QString name = base_name(port.device);
        if (name.startsWith(u"cu."_s))
            call_out << name.mid(3);
    }
    QList<ReportedPort> kept;
    for (const ReportedPort &port : reported) {
        const QString name = base_name(port.device);
        if (port.device.isEmpty())
            continue;
        if (name.startsWith(u"tty."_s) && call_out.contains(name.mid(4)))
            continue;
        const auto same = std::find_if(kept.begin(), kept.end(),
            [&](const ReportedPort &k) { return k.device == port.device; });
        if (same != kept.end()) {
            same->usb = same->usb || port.usb;
            continue;
        }
        kept << port;
    }
    std::sort(kept.begin(), kept.end(), [](const ReportedPort &a, const ReportedPort &b) {
        const int ga = group_of(a);
        const int gb = group_of(b);
        if (ga != gb)
            return ga < gb;
        return natural_less(a.device, b.device);
    });
    QStringList out;
    for (const ReportedPort &port : kept)
        out << port.device;
    return out;
}

PortChoice choose_port(
    int port_no, const QString &environment, bool windows, const QStringList &adapters)
{
    PortChoice choice;
    choice.adapters = int(adapters.size());
    if (!environment.isEmpty()) {
        choice.device = environment;
        choice.source = PortSource::Environment;
    } else if (windows) {
        choice.device = port_name(port_no);
        choice.source = PortSource::Windows;
    } else if (port_no >= 1 && port_no <= adapters.size()) {
        choice.device = adapters.at(port_no - 1);
        choice.source = PortSource::Adapter;
    } else {
        choice.device = u"/dev/ttyS%1"_s.arg(port_no - 1);
        choice.source = PortSource::Fallback;
    }
    return choice;
}

QString port_source_text(int port_no, const PortChoice &choice)
{
    switch (choice.source) {
    case PortSource::Environment:
        return u"set by KZ_ORBA_COM%1"_s.arg(port_no);
    case PortSource::Windows:
        return u"Windows port"_s;
    case PortSource::Adapter:
        return u"adapter %1 of %2"_s.arg(port_no).arg(choice.adapters);
    case PortSource::Fallback:
        break;
    }
    if (choice.adapters == 0)
        return u"no adapter reported"_s;
    return choice.adapters == 1 ? u"only 1 adapter reported"_s
                                : u"only %1 adapters reported"_s.arg(choice.adapters);
}

QList<ReportedPort> reported_ports()
{
    QList<ReportedPort> out;
    const QList<QSerialPortInfo> ports = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo &info : ports)
        out << ReportedPort { info.systemLocation(), info.hasVendorIdentifier() };
    return out;
}

PortChoice resolve_port(int port_no, const QList<ReportedPort> &reported)
{
    const QByteArray variable = "KZ_ORBA_COM" + QByteArray::number(port_no);
    const QString environment = qEnvironmentVariable(variable.constData());
#ifdef Q_OS_WIN
    constexpr bool windows = true;
#else
    constexpr bool windows = false;
#endif
    // Windows names its ports itself; asking for the list there would only cost time.
    return choose_port(port_no, environment, windows,
        windows || !environment.isEmpty() ? QStringList() : adapter_order(reported));
}

PortChoice resolve_port(int port_no)
{
    const QByteArray variable = "KZ_ORBA_COM" + QByteArray::number(port_no);
#ifdef Q_OS_WIN
    return resolve_port(port_no, {});
#else
    if (qEnvironmentVariableIsEmpty(variable.constData()))
        return resolve_port(port_no, reported_ports());
    return resolve_port(port_no, {});
#endif
}

QString port_device(int port_no)
{
    return resolve_port(port_no).device;
}

bool port_present(const QString &device, const QList<ReportedPort> &reported)
{
    for (const ReportedPort &port : reported) {
        if (port.device.compare(device, Qt::CaseInsensitive) == 0
            || base_name(port.device).compare(device, Qt::CaseInsensitive) == 0)
            return true;
    }
#ifdef Q_OS_WIN
    return false;
#else
    return QFileInfo::exists(device);
#endif
}

bool is_network_address(const QString &address)
{
    return address.trimmed().startsWith(u"tcp://"_s, Qt::CaseInsensitive);
}

QString port_state_text(const QString &device, const QList<ReportedPort> &reported)
{
    if (is_network_address(device))
        return u"network"_s;
    return port_present(device, reported) ? u"present"_s : u"missing"_s;
}

QString port_error_text(int port_no, const QString &device, const QString &reason)
{
    QString text = u"RS-232 port error on COM %1: !\n"_s.arg(port_no) + device;
    if (!reason.isEmpty())
        text += u": "_s + reason;
    // On Linux a serial device belongs to a group (dialout, uucp) whose members may open it.
    if (reason.contains(u"Permission denied"_s, Qt::CaseInsensitive)) {
        const QFileInfo info(QFileInfo(device).canonicalFilePath());
        const QString group = info.exists() ? info.group() : QString();
        text += group.isEmpty()
            ? u"; the user must be in the group that owns the device"_s
            : u"; the user must be in the group \"%1\" that owns the device"_s.arg(group);
    }
    return text;
}

QStringList port_table(const QList<ReportedPort> &reported)
{
    QList<PortChoice> choices;
    qsizetype width = 0;
    for (int n = 1; n <= port_count; ++n) {
        choices << resolve_port(n, reported);
        width = std::max(width, choices.last().device.size());
    }
    QStringList lines;
    for (int n = 1; n <= port_count; ++n) {
        const PortChoice &choice = choices.at(n - 1);
        const QString present = port_state_text(choice.device, reported);
        // Joined, not formatted with arg(): a device name may hold a '%'.
        lines << port_entry(n) + u"  "_s + choice.device.leftJustified(width) + u"  "_s + present
                + u"  "_s + port_source_text(n, choice);
    }
    return lines;
}
