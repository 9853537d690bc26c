// Which device each entry "COMn:" opens: the order of the system's adapters, the choice for one
// entry, and the texts that show it, tried on made-up port lists.
#include "link/port_names.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <QTest>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

ReportedPort usb(const char *device)
{
    return { QString::fromLatin1(device), true };
}

ReportedPort plain(const char *device)
{
    return { QString::fromLatin1(device), false };
}

} // namespace

Q_DECLARE_METATYPE(ReportedPort)

class TestPortNames : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void adapter_order_data()
    {
        QTest::addColumn<QList<ReportedPort>>("reported");
        QTest::addColumn<QStringList>("order");

        QTest::newRow("converters, then devices, then built-in") << QList<ReportedPort> {
            plain("/dev/ttyS0"), usb("/dev/ttyACM0"), usb("/dev/ttyUSB0"), plain("/dev/ttyS1")
        } << QStringList { u"/dev/ttyUSB0"_s, u"/dev/ttyACM0"_s, u"/dev/ttyS0"_s, u"/dev/ttyS1"_s };
        QTest::newRow("numbers compare as numbers")
            << QList<ReportedPort> { usb("/dev/ttyUSB10"), usb("/dev/ttyUSB2"), usb("/dev/ttyUSB1"),
                   plain("/dev/ttyS10"), plain("/dev/ttyS9") }
            << QStringList { u"/dev/ttyUSB1"_s, u"/dev/ttyUSB2"_s, u"/dev/ttyUSB10"_s,
                   u"/dev/ttyS9"_s, u"/dev/ttyS10"_s };
        QTest::newRow("other usb by vendor id before built-in")
            << QList<ReportedPort> { plain("/dev/ttyS0"), usb("/dev/ttyCH341USB0"),
                   usb("/dev/ttyUSB0"), plain("/dev/rfcomm0") }
            << QStringList { u"/dev/ttyUSB0"_s, u"/dev/ttyCH341USB0"_s, u"/dev/rfcomm0"_s,
                   u"/dev/ttyS0"_s };
        QTest::newRow("converter name without vendor id")
            << QList<ReportedPort> { plain("/dev/ttyS0"), plain("/dev/ttyUSB0") }
            << QStringList { u"/dev/ttyUSB0"_s, u"/dev/ttyS0"_s };
        QTest::newRow("macos keeps the call-out device")
            << QList<ReportedPort> { usb("/dev/tty.usbserial-1410"), usb("/dev/cu.usbserial-1410"),
                   plain("/dev/tty.Bluetooth-Incoming-Port"),
                   plain("/dev/cu.Bluetooth-Incoming-Port"), usb("/dev/tty.usbmodem14201"),
                   usb("/dev/cu.usbmodem14201") }
            << QStringList { u"/dev/cu.usbserial-1410"_s, u"/dev/cu.usbmodem14201"_s,
                   u"/dev/cu.Bluetooth-Incoming-Port"_s };
        QTest::newRow("macos serial numbers in names")
            << QList<ReportedPort> { usb("/dev/cu.usbserial-A10"), usb("/dev/cu.usbserial-A9"),
                   usb("/dev/cu.usbserial-1420") }
            << QStringList { u"/dev/cu.usbserial-1420"_s, u"/dev/cu.usbserial-A9"_s,
                   u"/dev/cu.usbserial-A10"_s };
        QTest::newRow("dial-in device without twin is kept")
            << QList<ReportedPort> { plain("/dev/tty.serial1") }
            << QStringList { u"/dev/tty.serial1"_s };
        QTest::newRow("same device reported twice counts once") << QList<ReportedPort> {
            plain("/dev/ttyUSB0"), usb("/dev/ttyUSB0"), plain("/dev/ttyS0")
        } << QStringList { u"/dev/ttyUSB0"_s, u"/dev/ttyS0"_s };
        QTest::newRow("nothing reported") << QList<ReportedPort> {} << QStringList {};
    }
    void adapter_order()
    {
        QFETCH(QList<ReportedPort>, reported);
        QFETCH(QStringList, order);
        QCOMPARE(::adapter_order(reported), order);
        // The order of the report plays no part.
        std::reverse(reported.begin(), reported.end());
        QCOMPARE(::adapter_order(reported), order);
        std::rotate(reported.begin(), reported.begin() + reported.size() / 2, reported.end());
        QCOMPARE(::adapter_order(reported), order);
    }

    void choose_port_data()
    {
        QTest::addColumn<int>("port_no");
        QTest::addColumn<QString>("environment");
        QTest::addColumn<bool>("windows");
        QTest::addColumn<QStringList>("adapters");
        QTest::addColumn<QString>("device");
        QTest::addColumn<QString>("source");

        const QStringList two { u"/dev/ttyUSB0"_s, u"/dev/ttyACM0"_s };
        QTest::newRow("environment first") << 2 << "/tmp/kz-com2" << false << two << "/tmp/kz-com2"
                                           << "set by KZ_ORBA_COM2";
        QTest::newRow("environment on windows")
            << 3 << "COM12" << true << QStringList {} << u"COM12"_s << "set by KZ_ORBA_COM3";
        QTest::newRow("windows names its ports") << 4 << "" << true << two << "COM4"
                                                 << "Windows port";
        QTest::newRow("first adapter") << 1 << "" << false << two << "/dev/ttyUSB0"
                                       << "adapter 1 of 2";
        QTest::newRow("second adapter") << 2 << "" << false << two << "/dev/ttyACM0"
                                        << "adapter 2 of 2";
        QTest::newRow("beyond the adapters") << 3 << "" << false << two << "/dev/ttyS2"
                                             << "only 2 adapters reported";
        QTest::newRow("one adapter") << 9 << "" << false << QStringList { u"/dev/ttyUSB0"_s }
                                     << u"/dev/ttyS8"_s << "only 1 adapter reported";
        QTest::newRow("no adapters")
            << 1 << "" << false << QStringList {} << u"/dev/ttyS0"_s << "no adapter reported";
    }
    void choose_port()
    {
        QFETCH(int, port_no);
        QFETCH(QString, environment);
        QFETCH(bool, windows);
        QFETCH(QStringList, adapters);
        QFETCH(QString, device);
        QFETCH(QString, source);
        const PortChoice choice = ::choose_port(port_no, environment, windows, adapters);
        QCOMPARE(choice.device, device);
        QCOMPARE(port_source_text(port_no, choice), source);
    }

    void environment_names_the_device_on_this_system()
    {
        qputenv("KZ_ORBA_COM3", "/dev/ttyUSB7");
        QCOMPARE(port_device(3), QStringLiteral("/dev/ttyUSB7"));
        qputenv("KZ_ORBA_COM3", "");
        const QString fallback = port_device(3);
        qunsetenv("KZ_ORBA_COM3");
        // Empty counts as unset: the system's choice, the same as without the variable.
        QCOMPARE(fallback, port_device(3));
        QVERIFY(fallback != QStringLiteral("/dev/ttyUSB7"));
    }

    void port_table_lists_nine_entries_with_their_devices()
    {
        QTemporaryDir dir;
        const QString here = dir.filePath(QStringLiteral("com4"));
        QFile(here).open(QIODevice::WriteOnly);
        const QString gone = dir.filePath(QStringLiteral("100%2 gone"));
        qputenv("KZ_ORBA_COM4", here.toLocal8Bit());
        qputenv("KZ_ORBA_COM5", gone.toLocal8Bit());
        qputenv("KZ_ORBA_COM6", "tcp://127.0.0.1:7000");
        const QStringList lines = port_table({ usb("/dev/ttyUSB0") });
        qunsetenv("KZ_ORBA_COM4");
        qunsetenv("KZ_ORBA_COM5");
        qunsetenv("KZ_ORBA_COM6");

        QCOMPARE(lines.size(), 9);
        for (int n = 1; n <= 9; ++n)
            QVERIFY2(lines.at(n - 1).startsWith(QStringLiteral("COM%1:  ").arg(n)),
                qPrintable(lines.at(n - 1)));
        const auto words = [&](int n) { return lines.at(n - 1).split(u' ', Qt::SkipEmptyParts); };
        QCOMPARE(words(1).mid(1, 2), (QStringList { u"/dev/ttyUSB0"_s, u"present"_s }));
        QVERIFY2(lines.at(0).endsWith(QStringLiteral("adapter 1 of 1")), qPrintable(lines.at(0)));
        // What follows the device: whether it exists, and where the name comes from.
        const auto after = [&](int n, const QString &device) {
            const QString &line = lines.at(n - 1);
            return line.indexOf(device) == 7 ? line.mid(7 + device.size()).trimmed() : line;
        };
        QCOMPARE(after(4, here), QStringLiteral("present  set by KZ_ORBA_COM4"));
        QCOMPARE(after(5, gone), QStringLiteral("missing  set by KZ_ORBA_COM5"));
        // A gateway is not probed before it is opened.
        QCOMPARE(
            after(6, u"tcp://127.0.0.1:7000"_s), QStringLiteral("network  set by KZ_ORBA_COM6"));
        QCOMPARE(words(2).at(1), QStringLiteral("/dev/ttyS1"));
        // The device column lines up.
        QCOMPARE(lines.at(0).indexOf(QStringLiteral("  present")),
            lines.at(4).indexOf(QStringLiteral("  missing")));
    }

    void error_text_keeps_its_first_line()
    {
        QCOMPARE(port_error_text(
                     3, QStringLiteral("/dev/ttyS2"), QStringLiteral("No such file or directory")),
            QStringLiteral("RS-232 port error on COM 3: !\n/dev/ttyS2: No such file or directory"));
        QCOMPARE(port_error_text(1, QStringLiteral("COM1"), QString()),
            QStringLiteral("RS-232 port error on COM 1: !\nCOM1"));
    }

    void permission_denied_names_the_owning_group()
    {
        // A file stands in for the device: its group is whatever this process creates files with.
        QTemporaryFile device;
        QVERIFY(device.open());
        const QString group = QFileInfo(device.fileName()).group();
        QVERIFY(!group.isEmpty());
        QCOMPARE(port_error_text(2, device.fileName(), QStringLiteral("Permission denied")),
            QStringLiteral(
                "RS-232 port error on COM 2: !\n%1: Permission denied; the user must be in "
                "the group \"%2\" that owns the device")
                .arg(device.fileName(), group));
        // A device that is gone by the time the message is made still gets the advice.
        QCOMPARE(port_error_text(2, QStringLiteral("/dev/kz-no-such-device"),
                     QStringLiteral("Permission denied")),
            QStringLiteral("RS-232 port error on COM 2: !\n/dev/kz-no-such-device: Permission "
                           "denied; the user must be in the group that owns the device"));
    }

    // The names of the window's entries, one home for the window, the trace and kz-orba-cli:
    // which names are entries, and which only look like one (for the tool's hint).
    void entry_names_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("number"); // 0: not an entry
        QTest::addColumn<bool>("like");
        QTest::newRow("COM1") << u"COM1"_s << 1 << true;
        QTest::newRow("com9") << u"com9"_s << 9 << true;
        QTest::newRow("cOm3") << u"cOm3"_s << 3 << true;
        QTest::newRow("COM0") << u"COM0"_s << 0 << true;
        QTest::newRow("COM10") << u"COM10"_s << 0 << true;
        QTest::newRow("COM01") << u"COM01"_s << 0 << true;
        QTest::newRow("COM") << u"COM"_s << 0 << false;
        QTest::newRow("COM1:") << u"COM1:"_s << 0 << false;
        QTest::newRow("COMx") << u"COMx"_s << 0 << false;
        QTest::newRow("device") << u"/dev/ttyS0"_s << 0 << false;
        QTest::newRow("arabic digit") << u"COM\u0661"_s << 0 << false;
    }
    void entry_names()
    {
        QFETCH(QString, name);
        QFETCH(int, number);
        QFETCH(bool, like);
        QCOMPARE(entry_number(name), number ? std::optional<int>(number) : std::nullopt);
        QCOMPARE(entry_like(name), like);
    }

    void entries_are_com1_to_com9()
    {
        QCOMPARE(port_count, 9);
        QCOMPARE(port_name(3), u"COM3"_s);
        QCOMPARE(port_entry(9), u"COM9:"_s);
    }
};

QTEST_GUILESS_MAIN(TestPortNames)
#include "test_port_names.moc"
