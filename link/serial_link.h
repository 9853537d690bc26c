#pragma once

#include "link/terminator.h"
#include "protocol/byte_buffer.h"

#include <QByteArray>
#include <QObject>
#include <QSerialPort>
#include <QTimer>

#include <functional>

class Prompts;

// The serial line to the receiver: opens the chosen COM port, runs one command transaction at a
// time, polls the port for reply bytes, and recognises a complete reply by its terminator.
// Waits let window events run in a nested event loop, so the window stays live during a transaction.
class SerialLink : public QObject
{
    Q_OBJECT
public:
    // How the Connect/Disconnect buttons look.
    enum class Look { Untried, Connected, Disconnected };

    // The reply wait: 151 steps of a 1 ms delay, each ending once the millisecond clock has
    // advanced by more than 1 ms, so about 302 ms.
    static constexpr int reply_wait_ms = 302;
    static constexpr int poll_interval_ms = 100;
    // More received characters than this empty the receive log when auto-clear is on.
    static constexpr quint32 auto_clear_limit = 300;
    static constexpr quint32 rx_count_limit = 65530;

    explicit SerialLink(Prompts &prompts, QObject *parent = nullptr);
    ~SerialLink() override;

    // Connection.
    int port_no() const { return port_no_; }
    void set_port_no(int port_no) { port_no_ = port_no; }
    bool port_open() const { return port_open_; }
    Look look() const { return look_; }
    // Opens port_no at 115200 baud, 8 data bits, no parity, 1 stop bit, closing it first if open.
    void set_comm();
    // The Disconnect button: closes an open port; does nothing when none is open.
    void disconnect_port();
    // Closes the port at exit, whatever its state, without changing the look.
    void close_port();
    // Closes the line for good at exit: the port is closed, every wait ends at once (the running
    // ones included) and every later send is refused without a message.
    void shut_down();
    bool shut() const { return shut_; }

    // Transactions. send_cmd and send_bytes send and wait for a reply; each returns its own
    // outcome: true when a complete reply arrived for this call. A call refused because another
    // transaction is running returns false and leaves that transaction's reply_ok alone.
    [[nodiscard]] bool send_cmd(const QByteArray &text);
    // Sends the first byte_len bytes of byte_buf.
    [[nodiscard]] bool send_bytes();
    // Sends and returns at once; a later reply is dropped.
    void send_cmd_nowait(const QByteArray &text);
    // Waits the given time while window events run.
    void delay_sec(double seconds);

    // Outcome of the last waiting transaction, kept until the next one starts.
    bool reply_ok() const { return reply_ok_; }
    const QByteArray &reply_text() const { return reply_text_; }
    QByteArray &reply_text() { return reply_text_; }
    // The 75-byte buffer: what send_bytes sends, and the raw bytes of the last reply.
    ByteBuffer &byte_buf() { return byte_buf_; }
    const ByteBuffer &byte_buf() const { return byte_buf_; }

    bool link_busy() const { return link_busy_; }
    bool in_delay() const { return delay_depth_ > 0; }
    bool awaiting_reply() const { return awaiting_reply_; }
    const QByteArray &rx_text() const { return rx_text_; }
    quint32 rx_count() const { return rx_count_; }
    bool polling() const { return tim_rx.isActive(); }

    // The receive-log controls: auto-clear (0 or 1) and the "C" button.
    int auto_clear() const { return auto_clear_; }
    void set_auto_clear(int value) { auto_clear_ = value; }
    void clear_rx();

Q_SIGNALS:
    void look_changed(SerialLink::Look look);
    // The receive log is to be emptied.
    void log_cleared();
    // Something a wait may be waiting for has happened (a reply completed, the port closed).
    void wake();

private:
    bool transact(const QByteArray &bytes);
    void write_now(const QByteArray &bytes);
    void drain_output();
    void tim_rx_Timer();
    void take_byte(std::uint8_t b);
    void on_port_error(QSerialPort::SerialPortError error);
    void hang_up();
    void set_look(Look look);
    void mark_closed();
    // Runs a nested event loop for at most ms, or until done() holds after a wake().
    void wait_for(int ms, const std::function<bool()> &done);

    Prompts &prompts_;
    QSerialPort port_;
    QTimer tim_rx;

    int port_no_ = 0;
    bool port_open_ = false;
    quint64 port_generation_ = 0; // counts closes, so a wait notices the port going away
    Look look_ = Look::Untried;

    bool link_busy_ = false;
    int delay_depth_ = 0;
    bool awaiting_reply_ = false;
    bool reply_ok_ = false;
    bool hang_up_queued_ = false;
    bool shut_ = false;
    QByteArray rx_text_;
    QByteArray reply_text_;
    TerminatorMatcher term_match_;
    quint32 rx_count_ = 0;
    ByteBuffer byte_buf_;
    int auto_clear_ = 0;
};
