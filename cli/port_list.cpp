#include "cli/port_list.h"

#include "cli/exit_status.h"
#include "cli/json_output.h"
#include "link/port_names.h"

#include <QJsonObject>
#include <QTextStream>

#include <algorithm>

namespace cli {

using namespace model;

int list_ports(Console &console, bool json)
{
    const QList<ReportedPort> reported = reported_ports();
    QStringList com_devices;
    for (int n = 1; n <= 9; ++n)
        com_devices << resolve_port(n, reported).device;
    if (json) {
        // Each entry and each other port as a receiver object: its device in "settings".
        QList<QJsonObject> receivers;
        const auto entry = [&](const QString &port, const QString &device, bool usb) {
            JobRequest request;
            QJsonObject object = receiver_object(port, request, JobResult {}, OptionLists {});
            QJsonObject settings;
            settings.insert(QStringLiteral("device"), device);
            settings.insert(QStringLiteral("present"), port_present(device, reported));
            settings.insert(QStringLiteral("usb"), usb);
            object.insert(QStringLiteral("settings"), settings);
            receivers << object;
        };
        for (int n = 1; n <= 9; ++n) {
            const QString &device = com_devices.at(n - 1);
            const bool usb = std::any_of(reported.begin(), reported.end(),
                [&](const ReportedPort &port) { return port.device == device && port.usb; });
            entry(QStringLiteral("COM%1").arg(n), device, usb);
        }
        for (const ReportedPort &port : reported) {
            if (!com_devices.contains(port.device))
                entry(port.device, port.device, port.usb);
        }
        console.out << QString::fromUtf8(json_document(receivers));
        console.out.flush();
        return status_done;
    }
    for (const QString &line : port_table(reported))
        console.out << line << '\n';
    QStringList others;
    for (const ReportedPort &port : reported) {
        if (!com_devices.contains(port.device))
            others << port.device + (port.usb ? QStringLiteral("  usb") : QString());
    }
    console.out << "other serial ports:" << (others.isEmpty() ? " none" : "") << '\n';
    for (const QString &line : std::as_const(others))
        console.out << "  " << line << '\n';
    return status_done;
}

} // namespace cli
