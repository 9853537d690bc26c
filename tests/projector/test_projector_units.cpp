// Pure parts of the projector section: path display forms, the port settings message and reply,
// and reading projector settings files.
#include "projector/projector_file.h"
#include "projector/projector_port.h"

#include <QFile>
#include <QLocale>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

class TestProjectorUnits : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void split_path_gives_folder_display_form_and_file_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<int>("mode");
        QTest::addColumn<QString>("expected");

        // The display form (mode 1): short paths whole, long ones root + "..." + last folder.
        QTest::newRow("drive root file whole") << u"C:\\room1.ini"_s << 1 << u"C:\\room1.ini"_s;
        QTest::newRow("one folder whole")
            << u"C:\\proj\\room1.ini"_s << 1 << u"C:\\proj\\room1.ini"_s;
        QTest::newRow("two folders shortened")
            << u"C:\\data\\proj\\room1.ini"_s << 1 << u"C:\\...\\proj\\room1.ini"_s;
        QTest::newRow("deep path keeps only last folder")
            << u"D:\\a\\b\\c\\d\\room 1,x.ini"_s << 1 << u"D:\\...\\d\\room 1,x.ini"_s;
        QTest::newRow("drive with slashes")
            << u"C:/data/proj/room1.ini"_s << 1 << u"C:/.../proj/room1.ini"_s;
        QTest::newRow("slash root file whole") << u"/room1.ini"_s << 1 << u"/room1.ini"_s;
        QTest::newRow("slash one folder whole")
            << u"/proj/room1.ini"_s << 1 << u"/proj/room1.ini"_s;
        QTest::newRow("slash root shortened")
            << u"/home/me/proj/room1.ini"_s << 1 << u"/.../proj/room1.ini"_s;
        QTest::newRow("unc share whole")
            << u"\\\\srv\\share\\dir\\room1.ini"_s << 1 << u"\\\\srv\\share\\dir\\room1.ini"_s;
        QTest::newRow("unc share shortened")
            << u"\\\\srv\\share\\a\\b\\room1.ini"_s << 1 << u"\\\\srv\\share\\...\\b\\room1.ini"_s;
        QTest::newRow("bare name whole") << u"room1.ini"_s << 1 << u"room1.ini"_s;
        QTest::newRow("relative shortened without root")
            << u"a\\b\\c\\room1.ini"_s << 1 << u"...\\c\\room1.ini"_s;

        // The folder (mode 0) and the file name (mode 2).
        QTest::newRow("folder of deep path")
            << u"C:\\data\\proj\\room1.ini"_s << 0 << u"C:\\data\\proj"_s;
        QTest::newRow("folder of drive root keeps separator")
            << u"C:\\room1.ini"_s << 0 << u"C:\\"_s;
        QTest::newRow("folder of slash root keeps separator") << u"/room1.ini"_s << 0 << u"/"_s;
        QTest::newRow("folder of slash path") << u"/home/me/room1.ini"_s << 0 << u"/home/me"_s;
        QTest::newRow("folder of bare name") << u"room1.ini"_s << 0 << QString();
        QTest::newRow("file of deep path") << u"C:\\data\\proj\\room1.ini"_s << 2 << u"room1.ini"_s;
        QTest::newRow("file of slash path") << u"/home/me/room1.ini"_s << 2 << u"room1.ini"_s;
        QTest::newRow("file of bare name") << u"room1.ini"_s << 2 << u"room1.ini"_s;
        QTest::newRow("file of folder path") << u"/home/me/"_s << 2 << QString();

        QTest::newRow("empty path display") << QString() << 1 << QString();
        QTest::newRow("empty path folder") << QString() << 0 << QString();
        QTest::newRow("unknown mode 3") << u"C:\\proj\\room1.ini"_s << 3 << QString();
        QTest::newRow("unknown mode -1") << u"C:\\proj\\room1.ini"_s << -1 << QString();
    }
    void split_path_gives_folder_display_form_and_file()
    {
        QFETCH(QString, path);
        QFETCH(int, mode);
        QFETCH(QString, expected);
        QCOMPARE(split_path(path, static_cast<PathPart>(mode)), expected);
    }

    void title_names_the_file_in_display_form()
    {
        QCOMPARE(ProjectorFile::title_for(QString()), u"KZ-ORBA-320-RX v1.0.5"_s);
        QCOMPARE(ProjectorFile::title_for(u"/proj/room1.ini"_s),
            u"KZ-ORBA-320-RX v1.0.5 /proj/room1.ini"_s);
        QCOMPARE(ProjectorFile::title_for(u"/data/proj/room1.ini"_s),
            u"KZ-ORBA-320-RX v1.0.5 /.../proj/room1.ini"_s);
    }

    void port_message_carries_the_four_values_data()
    {
        QTest::addColumn<int>("baud");
        QTest::addColumn<int>("bits");
        QTest::addColumn<QString>("parity");
        QTest::addColumn<float>("stop");
        QTest::addColumn<QByteArray>("message");
        QTest::newRow("9600 8 none 1")
            << 9600 << 8 << u"NONE"_s << 1.0f << QByteArray("WP_DisplaySet[9600,8,N,1]$\r");
        QTest::newRow("mark and one and a half")
            << 115200 << 7 << u"MARK"_s << 1.5f << QByteArray("WP_DisplaySet[115200,7,M,1.5]$\r");
        QTest::newRow("space and two")
            << 2400 << 5 << u"SPACE"_s << 2.0f << QByteArray("WP_DisplaySet[2400,5,S,2]$\r");
        QTest::newRow("parity trimmed and upper-cased")
            << 56000 << 6 << u" odd "_s << 1.0f << QByteArray("WP_DisplaySet[56000,6,O,1]$\r");
        QTest::newRow("value without entry sent as stored")
            << 4800 << 8 << u"EVEN"_s << 1.0f << QByteArray("WP_DisplaySet[4800,8,E,1]$\r");
    }
    void port_message_carries_the_four_values()
    {
        QFETCH(int, baud);
        QFETCH(int, bits);
        QFETCH(QString, parity);
        QFETCH(float, stop);
        QFETCH(QByteArray, message);
        // A decimal comma locale must not leak into the stop bits.
        const QLocale old;
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        const QByteArray built = ProjectorPort::port_message({ baud, bits, parity, stop });
        QLocale::setDefault(old);
        QCOMPARE(built, message);
    }

    void port_reply_is_read_by_position_data()
    {
        QTest::addColumn<QByteArray>("argument");
        QTest::addColumn<bool>("read");
        QTest::addColumn<int>("baud");
        QTest::addColumn<int>("bits");
        QTest::addColumn<QString>("parity");
        QTest::addColumn<float>("stop");
        // Every row starts from 2400, 5, ODD, 1.5.
        QTest::newRow("all four") << QByteArray("19200,7,E,2") << true << 19200 << 7 << u"EVEN"_s
                                  << 2.0f;
        QTest::newRow("baud without entry")
            << QByteArray("4800,8,N,1") << true << 4800 << 8 << u"NONE"_s << 1.0f;
        QTest::newRow("two-digit data bits shift the fields")
            << QByteArray("9600,10,N,1") << true << 9600 << 1 << u"ODD"_s << 1.5f;
        QTest::newRow("lower-case parity ignored")
            << QByteArray("9600,8,e,2") << true << 9600 << 8 << u"ODD"_s << 2.0f;
        QTest::newRow("every parity letter M")
            << QByteArray("9600,8,M,1") << true << 9600 << 8 << u"MARK"_s << 1.0f;
        QTest::newRow("every parity letter S")
            << QByteArray("9600,8,S,1") << true << 9600 << 8 << u"SPACE"_s << 1.0f;
        QTest::newRow("unknown stop bits ignored")
            << QByteArray("9600,8,N,3") << true << 9600 << 8 << u"NONE"_s << 1.5f;
        QTest::newRow("stop bits must match whole")
            << QByteArray("9600,8,N,1.50") << true << 9600 << 8 << u"NONE"_s << 1.5f;
        QTest::newRow("non-digit data bits give 0")
            << QByteArray("9600,x,S,1") << true << 9600 << 0 << u"SPACE"_s << 1.0f;
        QTest::newRow("non-numeric baud gives 0")
            << QByteArray("abc,8,N,1") << true << 0 << 8 << u"NONE"_s << 1.0f;
        QTest::newRow("nothing after the comma")
            << QByteArray("9600,") << true << 9600 << 0 << u"ODD"_s << 1.5f;
        QTest::newRow("no comma changes nothing")
            << QByteArray("9600") << false << 2400 << 5 << u"ODD"_s << 1.5f;
        QTest::newRow("empty changes nothing")
            << QByteArray() << false << 2400 << 5 << u"ODD"_s << 1.5f;
    }
    void port_reply_is_read_by_position()
    {
        QFETCH(QByteArray, argument);
        QFETCH(bool, read);
        QFETCH(int, baud);
        QFETCH(int, bits);
        QFETCH(QString, parity);
        QFETCH(float, stop);
        ProjPortValues values { 2400, 5, u"ODD"_s, 1.5f };
        QCOMPARE(ProjectorPort::parse_port_reply(argument, values), read);
        QCOMPARE(values.baud, baud);
        QCOMPARE(values.databits, bits);
        QCOMPARE(values.parity, parity);
        QCOMPARE(values.stopbits, stop);
    }

    void settings_file_reads_six_fields_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<bool>("read");
        QTest::addColumn<QString>("error_part");
        QTest::newRow("example file")
            << QByteArray("9600\r\n8\r\n\"NONE\"\r\n1\r\n\"50 57 52 0D \"\r\n\"\"\r\n") << true
            << QString();
        QTest::newRow("lf line ends and spaces")
            << QByteArray("  9600\n8\n\"NONE\"\n1\n\"50 57 52 0D \"\n\"\"\n") << true << QString();
        QTest::newRow("five fields") << QByteArray("9600\r\n8\r\n\"NONE\"\r\n1\r\n\"50 \"\r\n")
                                     << false << u"ends after 5"_s;
        QTest::newRow("baud not a number")
            << QByteArray("fast\r\n8\r\n\"NONE\"\r\n1\r\n\"\"\r\n\"\"\r\n") << false
            << u"field 1"_s;
        QTest::newRow("stop bits not a number")
            << QByteArray("9600\r\n8\r\n\"NONE\"\r\none\r\n\"\"\r\n\"\"\r\n") << false
            << u"field 4"_s;
        QTest::newRow("data bits beyond 16 bits")
            << QByteArray("9600\r\n70000\r\n\"NONE\"\r\n1\r\n\"\"\r\n\"\"\r\n") << false
            << u"field 2"_s;
        QTest::newRow("empty file") << QByteArray() << false << u"ends after 0"_s;
    }
    void settings_file_reads_six_fields()
    {
        QFETCH(QByteArray, content);
        QFETCH(bool, read);
        QFETCH(QString, error_part);
        QTemporaryDir dir;
        const QString path = dir.filePath(u"room1.ini"_s);
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(content);
        file.close();

        ProjSettings settings;
        settings.port.baud = -1;
        QString error;
        QCOMPARE(read_proj_settings(path, settings, &error), read);
        if (read) {
            QCOMPARE(settings.port, (ProjPortValues { 9600, 8, u"NONE"_s, 1.0f }));
            QCOMPARE(settings.disp_on_hex, u"50 57 52 0D "_s);
            QCOMPARE(settings.disp_off_hex, QString());
        } else {
            QVERIFY2(error.contains(error_part), qPrintable(error));
            QCOMPARE(settings.port.baud, -1); // nothing stored from a broken file
        }
    }

    void file_lookup_wants_an_ordinary_file_with_the_exact_name()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(u"Room1.ini"_s);
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();
        QVERIFY(proj_file_exists(path));
        QVERIFY(!proj_file_exists(dir.filePath(u"room1.ini"_s)));
        QVERIFY(!proj_file_exists(dir.filePath(u"Room?.ini"_s)));
        QVERIFY(!proj_file_exists(dir.path()));
        QVERIFY(!proj_file_exists(QString()));
    }
};

QTEST_GUILESS_MAIN(TestProjectorUnits)
#include "test_projector_units.moc"
