#pragma once

#include <QString>

#include <optional>

// The lock file that Qt's serial port takes for a device on Unix ("LCK.." and the device's name
// in the first usable lock folder), read back so that a refused open can say who holds the port.
struct PortLock
{
    QString path; // the lock file
    qint64 pid = 0; // the process that wrote it, 0 when the file does not say
    QString program; // that process's name as the file gives it
    QString host; // the machine it was written on; empty when the file does not say
    bool holder_running = false; // the process still runs on this machine
    QString owner; // the user who owns the lock file
};

// Where Qt keeps the lock file of device ("/dev/ttyUSB0", "/dev/pts/3"); empty when no lock
// folder is usable or on a system where serial ports take no lock file.
QString port_lock_path(const QString &device);

// The lock file of device as it is now; nothing when there is none.
std::optional<PortLock> read_port_lock(const QString &device);

// Whether the lock is left by a process of this machine that no longer runs.
bool is_stale(const PortLock &lock);

// Why the port cannot be opened, for the message that names the port: the program and PID that
// hold it, or the stale lock file and how to clear it.
QString port_lock_text(const PortLock &lock);
