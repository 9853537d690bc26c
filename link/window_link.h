#pragma once

#include "link/link_core.h"
#include "link/link_outcome.h"
#include "protocol/byte_buffer.h"
#include "protocol/reply_framing.h"

#include <QByteArray>
#include <QObject>

#include <functional>

// The window's line to the receiver: the chosen COM port, one transaction at a time over a
// LinkCore in the window's timing, and waits that let window events run in a nested event loop,
// so the window stays live during a transaction. What the operator sees of it (messages, the
// Connect/Disconnect colours, the receive log) is the window's, told by the signals below.
//
// This is the one place where the window's event loop is entered again from inside a handler:
// the waits (request, delay_sec), and show_pending_events(), which lets the window draw what a
// handler has just changed (a control disabled, a new connection state) before the handler goes
// on. Events that run there may start other handlers; the guards against that (the link busy,
// in_delay, shut, a section's reading flag, QPointer to controls) live with the state they guard,
// and the handlers above never call the event loop themselves.
class WindowLink : public QObject
{
    Q_OBJECT
public:
    static constexpr int reply_wait_ms = LinkCore::reply_wait_ms;
    static constexpr int poll_interval_ms = LinkCore::poll_interval_ms;

    explicit WindowLink(QObject *parent = nullptr);
    ~WindowLink() override;

    // Connection.
    int port_no() const { return port_no_; }
    void set_port_no(int port_no) { port_no_ = port_no; }
    bool port_open() const { return core_.is_open(); }
    // Opens port_no at 115200 baud, 8 data bits, no parity, 1 stop bit, closing it first if open.
    void set_comm();
    // The Disconnect button: closes an open port; does nothing when none is open.
    void disconnect_port();
    // Closes the port at exit, whatever its state, without telling the window.
    void close_port();
    // Closes the line for good at exit: the port is closed, every wait ends at once (the running
    // ones included) and every later send is refused without a word to the window.
    void shut_down();
    bool shut() const { return shut_; }

    // A waiting transaction and its outcome. A call refused because another transaction is
    // running leaves that transaction's reply_ok alone.
    LinkOutcome request(const QByteArray &bytes);
    // Sends a message (text or the raw bytes of a display command alike) and waits for a reply;
    // true when a complete reply arrived for this call.
    [[nodiscard]] bool send_cmd(const QByteArray &message) { return request(message).replied(); }
    // Sends and returns at once; a later reply is dropped.
    void send_cmd_nowait(const QByteArray &text);
    // Waits the given time while window events run.
    void delay_sec(double seconds);
    // Runs the window events pending now, without waiting, so that what a handler has just
    // changed is drawn before it goes on.
    void show_pending_events();

    // Outcome of the last waiting transaction, kept until the next one starts.
    bool reply_ok() const { return reply_ok_; }
    const QByteArray &reply_text() const { return core_.framing().reply_text(); }
    // The raw bytes received since the last waiting transaction began, the first 75.
    const ByteBuffer &byte_buf() const { return core_.framing().byte_buf(); }

    bool link_busy() const { return busy_ || core_.busy(); }
    bool in_delay() const { return delay_depth_ > 0; }
    bool awaiting_reply() const { return core_.framing().awaiting(); }
    const QByteArray &rx_text() const { return core_.framing().rx_text(); }
    bool polling() const { return core_.polling(); }

    // The receive log's "C" button: the received text starts over.
    void clear_rx() { core_.clear_received(); }

Q_SIGNALS:
    // The port opened (set_comm).
    void opened();
    // The port could not be opened (set_comm): the port number the operator chose, the device
    // it stands for, and the system's reason.
    void open_failed(int port_no, const QString &device, const QString &reason);
    // Disconnect is closing the open port.
    void disconnected();
    // The far end went away and the port was closed.
    void line_lost();
    // A send was refused because no port is open; nothing was sent.
    void refused_not_open();
    // A waiting transaction began (see LinkCore::wait_began).
    void wait_began();
    // One receive poll's bytes (see LinkCore::received).
    void received(const QByteArray &bytes);
    // shut_down() has closed the line for good: every wait ends.
    void shutting_down();
    // Every transaction of the window, once its outcome is known (see LinkCore::traced).
    void traced(const TraceRecord &record);
    // A trace line about the line itself (see LinkCore::noted).
    void noted(const QString &text);

private:
    // Opens the line at device; a network line is waited for in a nested event loop.
    bool open_line(const QString &device);
    // Runs a nested event loop for at most ms, or until done() holds after one of the core's
    // transactions has finished or an open has ended.
    void wait_for(int ms, const std::function<bool()> &done);
    // A send refused here, before the core sees it: another transaction is on its way (Busy).
    void trace_refused(const QByteArray &bytes);

    LinkCore core_;
    int port_no_ = 0;
    int delay_depth_ = 0;
    bool reply_ok_ = false;
    // From the start of a transaction until its caller has the outcome. The core is done a
    // little earlier, when it reports the outcome; events that run before the wait has returned
    // must still find the link busy, or a second transaction would replace the reply unread.
    bool busy_ = false;
    bool shut_ = false;
};
