#include "link/serial_transport.h"

#include "link/port_lock.h"

#include <QFileInfo>
#include <QLockFile>

namespace {

// Qt reports a lock held by another program, a device opened exclusively by another program and
// a device this user may not open all as a permission error: the device's own permissions tell
// the last apart.
OpenFailure failure_kind(QSerialPort::SerialPortError error, const QString &device)
{
    switch (error) {
    case QSerialPort::DeviceNotFoundError:
        return OpenFailure::Missing;
    case QSerialPort::PermissionError: {
        // A port name without a path (COM3) has no file to ask: Windows refuses a port that
        // another program holds this way.
        if (!device.contains(u'/'))
            return OpenFailure::InUse;
        const QFileInfo info(device);
        if (!info.exists())
            return OpenFailure::Missing;
        return info.isReadable() && info.isWritable() ? OpenFailure::InUse : OpenFailure::Denied;
    }
    case QSerialPort::OpenError: // this object has it open already
        return OpenFailure::InUse;
    default:
        return OpenFailure::Other;
    }
}

} // namespace

SerialTransport::SerialTransport(QObject *parent)
    : Transport(parent)
{
    // A line that pours bytes faster than it is read leaves them in the driver instead of
    // growing this buffer without end; each read takes a bounded share.
    port_.setReadBufferSize(read_buffer_size);
    connect(&port_, &QSerialPort::readyRead, this, &Transport::ready_read);
    connect(&port_, &QSerialPort::errorOccurred, this, [this](QSerialPort::SerialPortError error) {
        switch (error) {
        case QSerialPort::ReadError:
        case QSerialPort::WriteError:
        case QSerialPort::ResourceError:
            Q_EMIT failed();
            break;
        default:
            break;
        }
    });
}

SerialTransport::~SerialTransport()
{
    port_.close();
}

bool SerialTransport::open(const QString &address)
{
    // The device itself, every symbolic link followed: the port's lock is taken on the device's
    // own name, so that a second program reaching it under another name is refused as a second
    // open of the same name is. A port name without a path (COM3) stays as it is.
    const QString device
        = address.contains(u'/') ? QFileInfo(address).canonicalFilePath() : QString();
    const QString location = device.isEmpty() ? address : device;
    port_.setPortName(location);
    bool opened = open_port();
    open_error_.clear();
    open_failure_ = OpenFailure::None;
    if (!opened && port_.error() == QSerialPort::PermissionError) {
        // Qt refuses a port whose lock file is there, in its own words about "locking". The lock
        // file says who holds it; one left by a process that is gone is taken over once.
        std::optional<PortLock> lock = read_port_lock(location);
        if (lock && is_stale(*lock) && QLockFile(lock->path).removeStaleLockFile()) {
            opened = open_port();
            lock = opened ? std::nullopt : read_port_lock(location);
        }
        if (lock)
            open_error_ = port_lock_text(*lock);
    }
    if (!opened) {
        if (open_error_.isEmpty())
            open_error_ = port_.errorString();
        open_failure_ = failure_kind(port_.error(), location);
        port_.close();
    }
    return opened;
}

bool SerialTransport::open_port()
{
    return port_.setBaudRate(QSerialPort::Baud115200) && port_.setDataBits(QSerialPort::Data8)
        && port_.setParity(QSerialPort::NoParity) && port_.setStopBits(QSerialPort::OneStop)
        && port_.setFlowControl(QSerialPort::NoFlowControl) && port_.open(QIODevice::ReadWrite)
        && port_.clear(QSerialPort::AllDirections);
}

void SerialTransport::close()
{
    port_.close();
}

qint64 SerialTransport::bytes_available() const
{
    return port_.isOpen() ? port_.bytesAvailable() : 0;
}

QByteArray SerialTransport::read(qint64 max)
{
    return port_.isOpen() ? port_.read(max) : QByteArray();
}

void SerialTransport::write(const QByteArray &bytes)
{
    port_.write(bytes);
    // QSerialPort writes from the event loop; hand the bytes to the driver now.
    port_.flush();
}

void SerialTransport::drain_output()
{
    while (port_.isOpen() && port_.bytesToWrite() > 0) {
        if (!port_.waitForBytesWritten(1000))
            break;
    }
}

void SerialTransport::discard_input()
{
    port_.clear(QSerialPort::Input);
}
