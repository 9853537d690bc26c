#pragma once

#include "link/link_outcome.h"
#include "link/trace.h"
#include "link/transport.h"
#include "protocol/reply_framing.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <memory>

// What a pause of the window lasts on a millisecond clock, for the window's delay_sec and the
// command-line tool's timers alike: a pause of s seconds ends once more than s has passed, so
// 0.05 s is 51 ms and 0.1 s is 101 ms.
qint64 pause_ms(double seconds);

// One line to one receiver, driven by events alone: it owns the line, starts a transaction and
// reports its outcome by finished() when the reply is complete, the wait has run out or the line
// has gone. Nothing here waits (drain_output() below is the window's, called only by it), so
// several cores on one thread serve several lines at once, and a line that takes no bytes fails
// on its own deadline while the others go on.
//
// Two timings:
// - Window: a receive poll every 100 ms takes what has arrived, so a reply is noticed at the
//   first poll after its terminator; the reply wait is 302 ms. This is the pace of the window.
// - Prompt: the bytes are taken as soon as they arrive, and a reply ends its transaction as
//   soon as it is complete; the same reply wait.
class LinkCore : public QObject
{
    Q_OBJECT
public:
    enum class Timing { Window, Prompt };

    // The reply wait: 151 steps of a 1 ms delay, each ending once the millisecond clock has
    // advanced by more than 1 ms, so about 302 ms.
    static constexpr int reply_wait_ms = 302;
    static constexpr int poll_interval_ms = 100;
    // The most bytes one poll takes; a flood leaves the rest for the next poll.
    static constexpr qint64 max_poll_bytes = 64 * 1024;

    // Without a transport, the line is chosen by the address at each open (see make_transport):
    // a serial port, or a TCP connection for tcp://HOST:PORT. A transport given here is used for
    // every address.
    explicit LinkCore(
        Timing timing, std::unique_ptr<Transport> transport = nullptr, QObject *parent = nullptr);
    ~LinkCore() override;

    // Opens the line at address, closing it first when open. On success the received text
    // starts over and the receive poll runs. False when the line cannot be opened.
    bool open(const QString &address);
    // The same without waiting: opened() or open_failed() follows from the event loop. For many
    // lines on one thread, where a gateway that does not answer must hold up no other line.
    void open_async(const QString &address);
    // Closes the line; a running transaction ends as LineLost.
    void close();
    bool is_open() const { return open_; }
    // Why the last open failed, in the system's words.
    QString open_error() const { return transport_->open_error(); }

    // Starts a waiting transaction with bytes: Pending, and finished() later; or at once Busy or
    // NotOpen, with nothing sent and nothing emitted.
    Outcome start(const QByteArray &bytes);
    // Sends bytes and does not wait: Sent when written (later bytes are dropped), else Busy or
    // NotOpen, with nothing sent.
    Outcome send_nowait(const QByteArray &bytes);
    bool busy() const { return busy_; }
    // Blocks, without running events, until earlier writes have left the line, giving up on a
    // line that takes nothing for a second: how the window begins each send. Never called here.
    void drain_output();

    // The receive poll (Window timing): runs from a successful open and from every send; the
    // failure path of an open stops it.
    bool polling() const { return poll_.isActive(); }
    void stop_polling() { poll_.stop(); }

    const ReplyFraming &framing() const { return framing_; }
    // "C": the received text starts over.
    void clear_received() { framing_.clear_received(); }

Q_SIGNALS:
    void finished(const LinkOutcome &outcome);
    // The line opened; the line that was open closed (by close(), a new open, or the far end).
    void opened();
    // open_async() could not open the line; open_error() says why.
    void open_failed();
    void closed();
    // A waiting transaction began (start() returned Pending), just before its bytes are written.
    void wait_began();
    // One poll's bytes as they were read, whether or not a reply is awaited; before the outcome
    // of a transaction that they end.
    void received(const QByteArray &bytes);
    // The far end went away while the line was open; the line is closed.
    void line_lost();
    // Every transaction, waiting or not, refused or sent, once its outcome is known; before
    // finished() for a waiting one.
    void traced(const TraceRecord &record);

private:
    void attach(std::unique_ptr<Transport> transport);
    // Closes what is open and picks the transport for address.
    void prepare_open(const QString &address);
    void opened_now();
    void take_arrived();
    void finish(Outcome status);
    void hang_up();
    void write_now(const QByteArray &bytes);
    void trace_now(const QByteArray &bytes, Outcome outcome);

    // The waiting transaction, for its trace record.
    QDateTime tx_started_;
    QElapsedTimer tx_clock_;
    QByteArray tx_sent_;

    Timing timing_;
    std::unique_ptr<Transport> transport_;
    bool choose_by_address_ = false;
    QTimer poll_;
    QTimer deadline_;
    ReplyFraming framing_;
    bool open_ = false;
    bool busy_ = false;
    bool hang_up_queued_ = false;
    // Counts opens, so that the outcome of an open_async() that was given up is ignored.
    quint64 open_generation_ = 0;
};
