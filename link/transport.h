#pragma once

#include "link/link_outcome.h"

#include <QByteArray>
#include <QObject>
#include <QString>

// The byte line under the link: opened by an address, read and written as raw bytes. The
// framing and the transactions above it do not care what carries the bytes.
class Transport : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

    // Opens the line with the receiver's fixed settings and discards whatever waits in either
    // direction. False, with the line closed, when any step fails.
    virtual bool open(const QString &address) = 0;
    // Opens without waiting: open_finished() follows from the event loop, never from inside this
    // call. By default the line opens at once and the outcome is reported on the next turn.
    virtual void open_async(const QString &address)
    {
        const bool ok = open(address);
        QMetaObject::invokeMethod(
            this, [this, ok] { Q_EMIT open_finished(ok); }, Qt::QueuedConnection);
    }
    // Why the last open failed, in the system's words.
    virtual QString open_error() const = 0;
    // The kind of the last open's failure; None after a successful open.
    virtual OpenFailure open_failure() const { return OpenFailure::Other; }
    virtual void close() = 0;
    virtual bool is_open() const = 0;
    virtual qint64 bytes_available() const = 0;
    // At most max bytes of what has arrived.
    virtual QByteArray read(qint64 max) = 0;
    // Writes the bytes and hands them to the driver at once.
    virtual void write(const QByteArray &bytes) = 0;
    // Waits, without running events, until earlier writes have left; gives up on a line that
    // takes nothing for a second.
    virtual void drain_output() = 0;
    virtual void discard_input() = 0;

Q_SIGNALS:
    // The outcome of open_async(); open_error() says why it failed.
    void open_finished(bool ok);
    void ready_read();
    // The far end is gone (adapter unplugged, line closed): a read, write or resource error.
    // May come again and again until the line is closed.
    void failed();
    // A line for the trace about the line itself rather than a transaction: a gateway's Telnet
    // negotiation, for example.
    void noted(const QString &text);
};
