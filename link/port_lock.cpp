#include "link/port_lock.h"

#include <QDir>
#include <QFileInfo>
#include <QLockFile>
#include <QStringList>
#include <QSysInfo>

using namespace Qt::StringLiterals;

QString port_lock_path(const QString &device)
{
#if defined(Q_OS_UNIX)
    // The folders Qt tries, in its order: the first one this user may read and write.
    static const char *const folders[] = { "/var/lock", "/etc/locks", "/var/spool/locks",
        "/var/spool/uucp", "/tmp", "/var/tmp", "/var/lock/lockdev", "/run/lock" };
    QString folder;
    for (const char *candidate : folders) {
        const QFileInfo info(QString::fromLatin1(candidate));
        if (info.isReadable() && info.isWritable()) {
            folder = info.filePath();
            break;
        }
    }
    if (folder.isEmpty() || device.isEmpty())
        return QString();
    // The port's name is the device path without "/dev/", every '/' left in it made '_'.
    QString name = device;
    if (name.startsWith(u"/dev/"_s))
        name = name.mid(5);
    name.replace(u'/', u'_');
    return folder + u"/LCK.."_s + name;
#else
    Q_UNUSED(device);
    return QString();
#endif
}

namespace {

bool process_runs(qint64 pid)
{
#if defined(Q_OS_LINUX)
    return pid > 0 && QFileInfo::exists(u"/proc/%1"_s.arg(pid));
#else
    // No portable way to ask: a holder that may run is taken to run.
    return pid > 0;
#endif
}

} // namespace

std::optional<PortLock> read_port_lock(const QString &device)
{
    const QString path = port_lock_path(device);
    const QFileInfo info(path);
    if (path.isEmpty() || !info.exists())
        return std::nullopt;
    PortLock lock;
    lock.path = path;
    lock.owner = info.owner();
    QLockFile file(path);
    file.getLockInfo(&lock.pid, &lock.host, &lock.program);
    const bool here = lock.host.isEmpty() || lock.host == QSysInfo::machineHostName();
    lock.holder_running = here ? process_runs(lock.pid) : true;
    return lock;
}

bool is_stale(const PortLock &lock)
{
    const bool here = lock.host.isEmpty() || lock.host == QSysInfo::machineHostName();
    return here && lock.pid > 0 && !lock.holder_running;
}

QString port_lock_text(const PortLock &lock)
{
    // Joined, not formatted with arg(): a device's name may hold a '%'.
    const QString path = QDir::toNativeSeparators(lock.path);
    const QString program = lock.program.isEmpty() ? u"a program"_s : lock.program;
    const QString owner
        = lock.owner.isEmpty() ? QString() : u" ("_s + lock.owner + u" or root can)"_s;
    if (is_stale(lock))
        return u"a stale lock file "_s + path + u" left by "_s + program + u" (PID "_s
            + QString::number(lock.pid) + u", no longer running) keeps the port closed; remove "_s
            + u"that file"_s + owner;
    if (lock.pid <= 0)
        return u"the port is locked by "_s + path + u", which names no process; remove that file"_s
            + owner + u" once no program uses the port"_s;
    const QString where = lock.host.isEmpty() || lock.host == QSysInfo::machineHostName()
        ? QString()
        : u" on "_s + lock.host;
    return u"the port is in use by "_s + program + u" (PID "_s + QString::number(lock.pid) + where
        + u"), as its lock file "_s + path + u" says"_s;
}
