#pragma once

#include "link/transport.h"

#include <QSerialPort>

// A serial port at 115200 baud, 8 data bits, no parity, 1 stop bit, no flow control.
class SerialTransport : public Transport
{
    Q_OBJECT
public:
    // The most bytes taken from the port between two reads; more waits in the driver.
    static constexpr qint64 read_buffer_size = 64 * 1024;

    explicit SerialTransport(QObject *parent = nullptr);
    ~SerialTransport() override;

    bool open(const QString &address) override;
    QString open_error() const override { return open_error_; }
    OpenFailure open_failure() const override { return open_failure_; }
    void close() override;
    bool is_open() const override { return port_.isOpen(); }
    qint64 bytes_available() const override;
    QByteArray read(qint64 max) override;
    void write(const QByteArray &bytes) override;
    void drain_output() override;
    void discard_input() override;

private:
    bool open_port();

    QSerialPort port_;
    QString open_error_;
    OpenFailure open_failure_ = OpenFailure::None;
};
