// A real serial device server in front of the simulated receiver: ser2net, started by the test
// with a configuration file it writes, on loopback, relays kz-orba-sim's pseudo-terminal once
// through a raw TCP accepter (tcp://) and once through a telnet(rfc2217) accepter (rfc2217://).
// Through each: the serial settings the line needs are the ones on the pty (read back with
// termios while the client holds the line), a whole read and an apply whose display commands hold
// 0xFF bytes reach the receiver byte for byte (its log), and the window connects and reads on a
// real X server.
#include "link/link_core.h"
#include "tests/desktop/input/x_input.h"
#include "tests/support/window_fixture.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QProcess>
#include <QScreen>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <memory>

using namespace Qt::StringLiterals;

namespace {

// A loopback port that is free now.
quint16 free_port()
{
    QTcpServer server;
    if (!server.listen(QHostAddress::LocalHost, 0))
        return 0;
    return server.serverPort();
}

// Whether something listens on the loopback port.
bool listening(quint16 port)
{
    QTcpServer probe;
    return !probe.listen(QHostAddress::LocalHost, port)
        && probe.serverError() == QAbstractSocket::AddressInUseError;
}

void stop(QProcess &process)
{
    if (process.state() == QProcess::NotRunning)
        return;
    process.terminate();
    if (!process.waitForFinished(5000)) {
        process.kill();
        process.waitForFinished(5000);
    }
}

// kz-orba-sim on a pty with its log, and ser2net relaying the pty on one accepter.
class Relay
{
public:
    ~Relay()
    {
        stop(ser2net_);
        stop(sim_);
    }

    // accepter: "tcp" or "telnet(rfc2217),tcp"; the pty's own settings (serial_spec, as ser2net
    // writes them) are what ser2net sets before any client speaks.
    bool start(const QString &accepter, const QString &serial_spec, QString *why)
    {
        const QString ser2net = QStandardPaths::findExecutable(u"ser2net"_s,
            { u"/usr/sbin"_s, u"/usr/bin"_s, u"/usr/local/sbin"_s, u"/usr/local/bin"_s });
        if (ser2net.isEmpty()) {
            *why = u"ser2net is not installed"_s;
            return false;
        }
        telnet_ = accepter.startsWith(u"telnet"_s);
        sim_.setProgram(QStringLiteral(KZ_SIM_EXE));
        sim_.setArguments({ u"--link"_s, dir_.filePath(u"pty"_s), u"--log"_s, log_path() });
        sim_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        sim_.start();
        if (!sim_.waitForStarted()
            || !QTest::qWaitFor(
                [this] { return QFileInfo::exists(dir_.filePath(u"pty"_s)); }, 5000)) {
            *why = u"kz-orba-sim did not make its pty"_s;
            return false;
        }
        slave_ = QFileInfo(dir_.filePath(u"pty"_s)).canonicalFilePath();
        port_ = free_port();
        const QString config = dir_.filePath(u"ser2net.yaml"_s);
        QFile file(config);
        if (!file.open(QIODevice::WriteOnly))
            return false;
        file.write(u"%YAML 1.1\n---\n"
                   "connection: &receiver\n"
                   "  accepter: %1,127.0.0.1,%2\n"
                   "  connector: serialdev,%3,%4,local\n"
                   "  options:\n"
                   "    kickolduser: true\n"_s.arg(accepter)
                       .arg(port_)
                       .arg(slave_, serial_spec)
                       .toUtf8());
        file.close();
        // -n: in the foreground, a child of the test; -u: no UUCP lock files in /var/lock.
        ser2net_.setProgram(ser2net);
        ser2net_.setArguments(
            { u"-n"_s, u"-u"_s, u"-c"_s, config, u"-P"_s, dir_.filePath(u"ser2net.pid"_s) });
        ser2net_.setProcessChannelMode(QProcess::MergedChannels);
        ser2net_.start();
        if (!ser2net_.waitForStarted()
            || !QTest::qWaitFor([this] { return listening(port_); }, 5000)) {
            *why = u"ser2net did not listen: "_s + QString::fromLocal8Bit(ser2net_.readAll());
            return false;
        }
        return true;
    }

    QString address() const
    {
        return u"%1://127.0.0.1:%2"_s.arg(telnet_ ? u"rfc2217"_s : u"tcp"_s).arg(port_);
    }
    QString slave() const { return slave_; }
    QString log_path() const { return dir_.filePath(u"sim.log"_s); }
    // The messages the receiver logged, each as the log writes it (after the time).
    QStringList logged() const
    {
        QFile file(log_path());
        if (!file.open(QIODevice::ReadOnly))
            return {};
        QStringList out;
        for (const QByteArray &line : file.readAll().split('\n')) {
            const qsizetype gap = line.indexOf("  ");
            if (gap > 0)
                out << QString::fromLatin1(line.mid(gap + 2));
        }
        return out;
    }
    QString dir() const { return dir_.path(); }

private:
    QTemporaryDir dir_;
    QProcess sim_;
    QProcess ser2net_;
    QString slave_;
    quint16 port_ = 0;
    bool telnet_ = false;
};

struct CliRun
{
    int status = -1;
    QString out;
    QString err;
};

CliRun cli(const QStringList &arguments)
{
    QProcess process;
    process.start(QStringLiteral(KZ_CLI_EXE), arguments);
    CliRun run;
    if (!process.waitForFinished(30000)) {
        stop(process);
        return run;
    }
    run.status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out = QString::fromUtf8(process.readAllStandardOutput());
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}

// The pty's line settings now, as the kernel holds them; empty when they cannot be read.
QString line_settings(const QString &device)
{
    const int fd = ::open(QFile::encodeName(device).constData(), O_RDONLY | O_NOCTTY | O_NONBLOCK);
    if (fd < 0)
        return {};
    termios t {};
    const bool ok = ::tcgetattr(fd, &t) == 0;
    ::close(fd);
    if (!ok)
        return {};
    const speed_t speed = cfgetospeed(&t);
    QString text = speed == B115200 ? u"115200"_s
        : speed == B9600            ? u"9600"_s
                                    : u"speed code %1"_s.arg(speed);
    text += (t.c_cflag & CSIZE) == CS8 ? u" 8"_s : u" not-8"_s;
    text += !(t.c_cflag & PARENB) ? u" N"_s : (t.c_cflag & PARODD) ? u" O"_s : u" E"_s;
    text += (t.c_cflag & CSTOPB) ? u" 2"_s : u" 1"_s;
    if (t.c_cflag & CRTSCTS)
        text += u" rtscts"_s;
    if (t.c_iflag & (IXON | IXOFF))
        text += u" xonxoff"_s;
    return text;
}

QPoint centre_of(const QWidget *widget)
{
    return widget->mapToGlobal(widget->rect().center());
}

} // namespace

class TestSer2net : public QObject
{
    Q_OBJECT

    // The accepters, and the pty settings ser2net starts from: the raw accepter is set up by
    // hand as a gateway in raw TCP mode must be; the telnet accepter starts from other settings,
    // which the client must change.
    void add_accepters()
    {
        QTest::addColumn<QString>("accepter");
        QTest::addColumn<QString>("serial_spec");
        QTest::newRow("raw tcp") << u"tcp"_s << u"115200n81"_s;
        QTest::newRow("telnet rfc2217") << u"telnet(rfc2217),tcp"_s << u"9600e72"_s;
    }

private Q_SLOTS:
    void the_line_has_the_receivers_settings_data() { add_accepters(); }
    void the_line_has_the_receivers_settings()
    {
        QFETCH(QString, accepter);
        QFETCH(QString, serial_spec);
        Relay relay;
        QString why;
        QVERIFY2(relay.start(accepter, serial_spec, &why), qPrintable(why));
        LinkCore core(LinkCore::Timing::Prompt);
        QVERIFY2(core.open(relay.address()), qPrintable(core.open_error()));
        // ser2net applies what the client asked for (or its own settings) once it has opened
        // the device for the connection.
        QTRY_COMPARE(line_settings(relay.slave()), u"115200 8 N 1"_s);
        QList<LinkOutcome> outcomes;
        QObject::connect(&core, &LinkCore::finished, [&](const LinkOutcome &o) { outcomes << o; });
        QCOMPARE(core.start("WP_Aspect[?]$\r"), Outcome::Pending);
        QTRY_COMPARE(outcomes.size(), 1);
        QCOMPARE(outcomes.first().reply, QByteArray("WP_Aspect[Full]$\r"));
        core.close();
    }

    void read_and_apply_go_through_byte_for_byte_data() { add_accepters(); }
    void read_and_apply_go_through_byte_for_byte()
    {
        QFETCH(QString, accepter);
        QFETCH(QString, serial_spec);
        Relay relay;
        QString why;
        QVERIFY2(relay.start(accepter, serial_spec, &why), qPrintable(why));
        QTemporaryDir dir;
        const QString profile = dir.filePath(u"room.profile"_s);
        QFile file(profile);
        QVERIFY(file.open(QIODevice::WriteOnly));
        // Display commands with 0xFF (a Telnet IAC on the wire), 0xFF 0xFF, "]$" CR and NUL.
        file.write("brightness = 60\n"
                   "display_on_command = FF 00 FF 5D 24 0D 41\n"
                   "display_off_command = FF FF F0 FA\n");
        file.close();
        const QString trace = dir.filePath(u"trace.txt"_s);

        const CliRun apply
            = cli({ u"--port"_s, relay.address(), u"--trace"_s, trace, u"apply"_s, profile });
        QVERIFY2(apply.status == 0, qPrintable(apply.out + apply.err));
        const QStringList logged = relay.logged();
        QVERIFY2(logged.contains(u"WP_DisplayOn[7,\\xFF\\x00\\xFF]$\\x0DA]$\\x0D"_s),
            qPrintable(logged.join(u'\n')));
        QVERIFY2(logged.contains(u"WP_DisplayOff[4,\\xFF\\xFF\\xF0\\xFA]$\\x0D"_s),
            qPrintable(logged.join(u'\n')));
        QVERIFY(logged.contains(u"WP_PictureBri[60]$\\x0D"_s)
            || logged.join(u'\n').contains(u"[60]$\\x0D"_s));

        const CliRun read = cli({ u"--port"_s, relay.address(), u"--trace"_s, trace, u"read"_s });
        QVERIFY2(read.status == 0, qPrintable(read.out + read.err));
        QVERIFY2(read.out.contains(u"display_on_command = FF 00 FF 5D 24 0D 41\n"_s),
            qPrintable(read.out));
        QVERIFY(read.out.contains(u"display_off_command = FF FF F0 FA\n"_s));
        QVERIFY(read.out.contains(u"brightness = 60\n"_s));

        // The trace: data bytes as the receiver has them; the negotiation on lines of its own,
        // only on the Telnet accepter.
        QFile traced(trace);
        QVERIFY(traced.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(traced.readAll());
        QVERIFY2(
            text.contains(u"WP_DisplayOn[7,\\xFF\\x00\\xFF]$\\x0DA]$\\x0D\t"_s), qPrintable(text));
        const bool telnet = accepter.startsWith(u"telnet"_s);
        QCOMPARE(text.contains(u"\ttelnet: sent WILL BINARY, DO BINARY, WILL SUPPRESS-GO-AHEAD, "
                               "DO SUPPRESS-GO-AHEAD, WILL COM-PORT-OPTION\n"_s),
            telnet);
        QCOMPARE(text.contains(u"\ttelnet: serial settings agreed"_s), telnet);
    }

    void the_window_connects_and_reads_on_x_data() { add_accepters(); }
    void the_window_connects_and_reads_on_x()
    {
        if (QGuiApplication::platformName() != u"xcb")
            QSKIP("needs Qt's xcb platform on an X server");
        XInput x;
        QVERIFY2(x.ok(), qPrintable(x.why()));
        QFETCH(QString, accepter);
        QFETCH(QString, serial_spec);
        Relay relay;
        QString why;
        QVERIFY2(relay.start(accepter, serial_spec, &why), qPrintable(why));

        WindowFixture::Options options;
        options.port_no = 0;
        options.start_sim = false;
        WindowFixture f(options);
        qputenv("KZ_ORBA_COM1", relay.address().toLocal8Bit());
        START_WINDOW(f);
        f.window->move(0, 0);
        f.window->activateWindow();
        QVERIFY(QTest::qWaitForWindowExposed(f.window.get()));
        QVERIFY(QTest::qWaitForWindowActive(f.window.get()));
        QVERIFY(!f.window->link().port_open());

        // COM1 from the port list with the mouse and keys: the window connects through ser2net.
        x.click(centre_of(f.ui->cbo_com));
        QTest::qWait(300);
        x.tap("Home");
        x.tap("Return");
        QTRY_VERIFY_WITH_TIMEOUT(f.window->link().port_open(), 5000);
        QCOMPARE(line_settings(relay.slave()), u"115200 8 N 1"_s);

        // Read: the receiver's values come back into the window.
        x.click(centre_of(f.ui->cmd_ctrl_read));
        QTRY_COMPARE_WITH_TIMEOUT(f.ui->cbo_aspect->currentText(), u"Full"_s, 10000);
        QTRY_VERIFY_WITH_TIMEOUT(relay.logged().contains(u"WP_Info[?]$\\x0D"_s), 10000);
        QTRY_VERIFY_WITH_TIMEOUT(!f.ui->lab_fw_ver_rx->text().isEmpty(), 10000);
        const QString dir = qEnvironmentVariable("KZ_SHOT_DIR");
        if (!dir.isEmpty())
            QGuiApplication::primaryScreen()->grabWindow(0).save(QDir(dir).filePath(
                u"ser2net_%1.png"_s.arg(QString::fromUtf8(QTest::currentDataTag()))
                    .replace(u' ', u'_')));
        QVERIFY(f.prompts.shown.isEmpty());
        f.close();
    }
};

QTEST_MAIN(TestSer2net)
#include "test_ser2net.moc"
