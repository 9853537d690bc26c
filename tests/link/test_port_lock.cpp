// A port whose lock file is there: the open names the program and PID that hold it, or takes
// over the lock that a process gone left behind. The lock file is the one Qt's serial port
// itself honours, so a wrong path shows as an open that succeeds where it must not.
#include "link/port_lock.h"
#include "link/serial_transport.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSysInfo>
#include <QTest>

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

// A pseudo-terminal whose slave side stands in for a serial device.
struct Pty
{
    int master = -1;
    QString slave;
    Pty()
    {
        master = ::posix_openpt(O_RDWR | O_NOCTTY);
        if (master >= 0 && ::grantpt(master) == 0 && ::unlockpt(master) == 0)
            slave = QString::fromLocal8Bit(::ptsname(master));
    }
    ~Pty()
    {
        if (master >= 0)
            ::close(master);
    }
};

// Writes a lock file as Qt's lock files read: process id, program, host, one a line.
bool write_lock(const QString &path, qint64 pid, const QString &program)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    const QByteArray text = QByteArray::number(pid) + '\n' + program.toUtf8() + '\n'
        + QSysInfo::machineHostName().toUtf8() + '\n';
    return file.write(text) == text.size();
}

// The id of a process that has ended.
qint64 dead_pid()
{
    QProcess gone;
    gone.start(u"sleep"_s, { u"0"_s });
    const qint64 pid = gone.waitForStarted() ? gone.processId() : 0;
    gone.waitForFinished();
    return pid > 0 ? pid : 999999;
}

} // namespace

class TestPortLock : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void text_data()
    {
        QTest::addColumn<qint64>("pid");
        QTest::addColumn<QString>("program");
        QTest::addColumn<QString>("host");
        QTest::addColumn<bool>("running");
        QTest::addColumn<QString>("says");
        const QString here = QSysInfo::machineHostName();
        QTest::newRow("held here") << qint64(4242) << u"kz-orba-cli"_s << here << true
                                   << u"the port is in use by kz-orba-cli (PID 4242), as its lock "
                                      "file /run/lock/LCK..ttyUSB0 says"_s;
        QTest::newRow("held on another host")
            << qint64(4242) << u"minicom"_s << u"elsewhere"_s << true
            << u"the port is in use by minicom (PID 4242 on elsewhere), as its lock file "
               "/run/lock/LCK..ttyUSB0 says"_s;
        QTest::newRow("stale") << qint64(4242) << u"kz-orba-ctrl"_s << here << false
                               << u"a stale lock file /run/lock/LCK..ttyUSB0 left by kz-orba-ctrl "
                                  "(PID 4242, no longer running) keeps the port closed; remove "
                                  "that file (alice or root can)"_s;
        QTest::newRow("stale, no host named")
            << qint64(4242) << QString() << QString() << false
            << u"a stale lock file /run/lock/LCK..ttyUSB0 left by a program (PID 4242, no longer "
               "running) keeps the port closed; remove that file (alice or root can)"_s;
        QTest::newRow("no process named")
            << qint64(0) << QString() << QString() << false
            << u"the port is locked by /run/lock/LCK..ttyUSB0, which names no process; remove "
               "that file (alice or root can) once no program uses the port"_s;
    }

    void text()
    {
        QFETCH(qint64, pid);
        QFETCH(QString, program);
        QFETCH(QString, host);
        QFETCH(bool, running);
        QFETCH(QString, says);
        PortLock lock;
        lock.path = u"/run/lock/LCK..ttyUSB0"_s;
        lock.pid = pid;
        lock.program = program;
        lock.host = host;
        lock.holder_running = running;
        lock.owner = u"alice"_s;
        QCOMPARE(port_lock_text(lock), says);
    }

    void path_follows_the_device_name_data()
    {
        QTest::addColumn<QString>("device");
        QTest::addColumn<QString>("name");
        QTest::newRow("adapter") << u"/dev/ttyUSB0"_s << u"LCK..ttyUSB0"_s;
        QTest::newRow("pty") << u"/dev/pts/7"_s << u"LCK..pts_7"_s;
        QTest::newRow("outside /dev") << u"/tmp/com1"_s << u"LCK.._tmp_com1"_s;
    }

    void path_follows_the_device_name()
    {
        QFETCH(QString, device);
        QFETCH(QString, name);
        const QString path = port_lock_path(device);
        QVERIFY2(!path.isEmpty(), "no lock folder usable");
        QCOMPARE(QFileInfo(path).fileName(), name);
    }

    // A lock held by a running program: refused, naming the program and its PID.
    void held_port_names_its_holder()
    {
        Pty pty;
        QVERIFY(!pty.slave.isEmpty());
        QProcess holder;
        holder.start(u"sleep"_s, { u"60"_s });
        QVERIFY(holder.waitForStarted());
        const qint64 pid = holder.processId();
        const QString lock = port_lock_path(pty.slave);
        QVERIFY(write_lock(lock, pid, u"sleep"_s));
        SerialTransport port;
        const bool opened = port.open(pty.slave);
        const QString why = port.open_error();
        QFile::remove(lock);
        holder.kill();
        holder.waitForFinished();
        QVERIFY2(!opened, "opened a port that another program holds");
        QCOMPARE(why,
            u"the port is in use by sleep (PID %1), as its lock file %2 says"_s.arg(pid).arg(lock));
    }

    // A lock left by a process that is gone is taken over: the port opens, and the lock is ours.
    void stale_lock_taken_over()
    {
        Pty pty;
        QVERIFY(!pty.slave.isEmpty());
        const QString lock = port_lock_path(pty.slave);
        QVERIFY(write_lock(lock, dead_pid(), u"kz-orba-ctrl"_s));
        SerialTransport port;
        const bool opened = port.open(pty.slave);
        const std::optional<PortLock> now = read_port_lock(pty.slave);
        port.close();
        QFile::remove(lock);
        QVERIFY2(opened, qPrintable(port.open_error()));
        QVERIFY(now.has_value());
        QCOMPARE(now->pid, QCoreApplication::applicationPid());
    }
};

QTEST_GUILESS_MAIN(TestPortLock)
#include "test_port_lock.moc"
