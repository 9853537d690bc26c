#include "link/serial_link.h"

#include "link/port_names.h"
#include "link/prompts.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>

#include <cmath>

SerialLink::SerialLink(Prompts &prompts, QObject *parent) : QObject(parent), prompts_(prompts)
{
    tim_rx.setInterval(poll_interval_ms);
    connect(&tim_rx, &QTimer::timeout, this, &SerialLink::tim_rx_Timer);
    connect(&port_, &QSerialPort::errorOccurred, this, &SerialLink::on_port_error);
}

SerialLink::~SerialLink()
{
    port_.close();
}

void SerialLink::set_comm()
{
    if (port_open_ || port_.isOpen())
        close_port();

    const QString device = port_device(port_no_);
    port_.setPortName(device);
    const bool opened = port_.setBaudRate(QSerialPort::Baud115200)
            && port_.setDataBits(QSerialPort::Data8) && port_.setParity(QSerialPort::NoParity)
            && port_.setStopBits(QSerialPort::OneStop)
            && port_.setFlowControl(QSerialPort::NoFlowControl)
            && port_.open(QIODevice::ReadWrite) && port_.clear(QSerialPort::AllDirections);
    if (!opened) {
        const QString reason = port_.errorString();
        port_.close();
        prompts_.message(port_error_text(port_no_, device, reason), Prompts::Icon::None);
        set_look(Look::Disconnected);
        mark_closed();
        tim_rx.stop();
        QCoreApplication::processEvents();
        return;
    }

    port_open_ = true;
    hang_up_queued_ = false;
    rx_text_.clear();
    rx_count_ = 0;
    tim_rx.start();
    set_look(Look::Connected);
    QCoreApplication::processEvents();
}

void SerialLink::disconnect_port()
{
    if (!port_open_)
        return;
    set_look(Look::Disconnected);
    port_.close();
    mark_closed();
}

void SerialLink::close_port()
{
    port_.close();
    mark_closed();
}

void SerialLink::shut_down()
{
    shut_ = true;
    close_port();
}

void SerialLink::mark_closed()
{
    port_open_ = false;
    ++port_generation_;
    Q_EMIT wake();
}

bool SerialLink::send_cmd(const QByteArray &text)
{
    return transact(text);
}

bool SerialLink::send_bytes()
{
    return transact(byte_buf_.data());
}

bool SerialLink::transact(const QByteArray &bytes)
{
    if (link_busy_ || shut_)
        return false;
    reply_ok_ = false;
    if (!port_open_) {
        prompts_.message(QStringLiteral("RS232 is disconnected !"), Prompts::Icon::Critical);
        return false;
    }

    link_busy_ = true;
    rx_count_ = 0;
    rx_text_.clear();
    term_match_.reset();
    awaiting_reply_ = true;
    reply_ok_ = false;

    drain_output();
    port_.clear(QSerialPort::Input);
    byte_buf_.clear();
    write_now(bytes);

    const quint64 generation = port_generation_;
    wait_for(reply_wait_ms, [&] { return reply_ok_ || port_generation_ != generation; });

    awaiting_reply_ = false;
    link_busy_ = false;
    return reply_ok_;
}

void SerialLink::send_cmd_nowait(const QByteArray &text)
{
    if (link_busy_ || shut_)
        return;
    if (!port_open_) {
        prompts_.message(QStringLiteral("RS232 is disconnected !"), Prompts::Icon::Critical);
        return;
    }
    link_busy_ = true;
    awaiting_reply_ = false;
    drain_output();
    write_now(text);
    link_busy_ = false;
}

void SerialLink::write_now(const QByteArray &bytes)
{
    port_.write(bytes);
    // QSerialPort writes from the event loop; hand the bytes to the driver now.
    port_.flush();
    if (!tim_rx.isActive())
        tim_rx.start();
}

void SerialLink::drain_output()
{
    // Bounded: a line that takes nothing for a second is given up on, the send goes ahead.
    while (port_.isOpen() && port_.bytesToWrite() > 0) {
        if (!port_.waitForBytesWritten(1000))
            break;
    }
}

void SerialLink::delay_sec(double seconds)
{
    // Ends once more than the given time has passed on a monotonic clock, in whole milliseconds.
    const qint64 limit_ms = static_cast<qint64>(std::floor(seconds * 1000.0)) + 1;
    QElapsedTimer clock;
    clock.start();
    ++delay_depth_;
    for (qint64 left = limit_ms; left > 0 && !shut_; left = limit_ms - clock.elapsed())
        wait_for(static_cast<int>(left), {});
    --delay_depth_;
}

void SerialLink::wait_for(int ms, const std::function<bool()> &done)
{
    if (shut_ || (done && done()))
        return;
    ++delay_depth_;
    QEventLoop loop;
    QTimer deadline;
    deadline.setTimerType(Qt::PreciseTimer);
    deadline.setSingleShot(true);
    connect(&deadline, &QTimer::timeout, &loop, &QEventLoop::quit);
    connect(this, &SerialLink::wake, &loop, [&] {
        if (shut_ || (done && done()))
            loop.quit();
    });
    deadline.start(ms);
    loop.exec();
    --delay_depth_;
}

void SerialLink::tim_rx_Timer()
{
    if (!port_open_ || !port_.isOpen() || port_.bytesAvailable() == 0)
        return;
    tim_rx.stop();
    QCoreApplication::processEvents();

    const QByteArray data = port_.isOpen() ? port_.readAll() : QByteArray();
    if (auto_clear_ == 1 && rx_count_ > auto_clear_limit) {
        rx_count_ = 0;
        Q_EMIT log_cleared();
    }
    for (const char c : data)
        take_byte(static_cast<std::uint8_t>(c));
    if (reply_ok_)
        Q_EMIT wake();

    tim_rx.start();
    QCoreApplication::processEvents();
}

void SerialLink::take_byte(std::uint8_t b)
{
    rx_text_.append(static_cast<char>(b));
    ++rx_count_;
    byte_buf_.append(b);
    if (awaiting_reply_) {
        if (term_match_.step(b) == TerminatorMatcher::State::Complete) {
            reply_text_ = rx_text_;
            reply_ok_ = true;
        }
    } else {
        rx_text_.clear();
    }
    if (rx_count_ > rx_count_limit) {
        rx_count_ = 0;
        Q_EMIT log_cleared();
    }
}

void SerialLink::clear_rx()
{
    rx_text_.clear();
    rx_count_ = 0;
}

void SerialLink::on_port_error(QSerialPort::SerialPortError error)
{
    switch (error) {
    case QSerialPort::ReadError:
    case QSerialPort::WriteError:
    case QSerialPort::ResourceError:
        hang_up();
        break;
    default:
        break;
    }
}

void SerialLink::hang_up()
{
    // The far end is gone (adapter unplugged, line closed). Qt keeps reporting the error for as
    // long as the port stays open, so close it, but from the event loop: not inside the port's own
    // notification that is reporting the error.
    if (hang_up_queued_ || !port_.isOpen())
        return;
    hang_up_queued_ = true;
    const bool was_open = port_open_;
    mark_closed();
    if (was_open)
        set_look(Look::Disconnected);
    QMetaObject::invokeMethod(
            this,
            [this] {
                if (hang_up_queued_ && !port_open_)
                    port_.close();
                hang_up_queued_ = false;
            },
            Qt::QueuedConnection);
}

void SerialLink::set_look(Look look)
{
    look_ = look;
    Q_EMIT look_changed(look);
}
