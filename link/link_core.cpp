#include "link/link_core.h"

#include "link/transport_factory.h"

#include <cmath>

qint64 pause_ms(double seconds)
{
    return static_cast<qint64>(std::floor(seconds * 1000.0)) + 1;
}

LinkCore::LinkCore(Timing timing, std::unique_ptr<Transport> transport, QObject *parent)
    : QObject(parent)
    , timing_(timing)
    , choose_by_address_(!transport)
{
    attach(transport ? std::move(transport) : make_transport(QString()));
    poll_.setInterval(poll_interval_ms);
    deadline_.setTimerType(Qt::PreciseTimer);
    deadline_.setSingleShot(true);
    connect(&poll_, &QTimer::timeout, this, &LinkCore::take_arrived);
    connect(&deadline_, &QTimer::timeout, this, [this] { finish(Outcome::NoReply); });
}

void LinkCore::attach(std::unique_ptr<Transport> transport)
{
    transport_ = std::move(transport);
    connect(transport_.get(), &Transport::failed, this, &LinkCore::hang_up);
    if (timing_ == Timing::Prompt)
        connect(transport_.get(), &Transport::ready_read, this, &LinkCore::take_arrived);
}

LinkCore::~LinkCore()
{
    transport_->close();
}

void LinkCore::prepare_open(const QString &address)
{
    if (open_ || transport_->is_open())
        close();
    // A hang-up's queued close is done by now; it must not reach the line being opened (a
    // network line runs events while it connects).
    hang_up_queued_ = false;
    ++open_generation_;
    if (choose_by_address_ && transport_kind(address) != transport_kind_of(*transport_))
        attach(make_transport(address));
}

void LinkCore::opened_now()
{
    open_ = true;
    framing_.clear_received();
    if (timing_ == Timing::Window)
        poll_.start();
    Q_EMIT opened();
}

bool LinkCore::open(const QString &address)
{
    prepare_open(address);
    if (!transport_->open(address))
        return false;
    opened_now();
    return true;
}

void LinkCore::open_async(const QString &address)
{
    prepare_open(address);
    Transport *transport = transport_.get();
    // Only the latest open counts: one given up by a close or a newer open says nothing.
    const quint64 generation = open_generation_;
    connect(
        transport, &Transport::open_finished, this,
        [this, generation](bool ok) {
            if (generation != open_generation_)
                return;
            if (ok)
                opened_now();
            else
                Q_EMIT open_failed();
        },
        Qt::SingleShotConnection);
    transport->open_async(address);
}

void LinkCore::close()
{
    ++open_generation_;
    transport_->close();
    const bool was_open = open_;
    open_ = false;
    if (busy_)
        finish(Outcome::LineLost);
    if (was_open)
        Q_EMIT closed();
}

Outcome LinkCore::start(const QByteArray &bytes)
{
    if (busy_ || !open_) {
        const Outcome refusal = busy_ ? Outcome::Busy : Outcome::NotOpen;
        trace_now(bytes, refusal);
        return refusal;
    }
    busy_ = true;
    tx_started_ = QDateTime::currentDateTime();
    tx_clock_.start();
    tx_sent_ = bytes;
    framing_.begin_wait();
    Q_EMIT wait_began();
    // No wait for earlier output: a line that takes no bytes (an adapter held by flow control)
    // fails on this transaction's own deadline and holds up no other line on the thread.
    transport_->discard_input();
    write_now(bytes);
    // A write can find the line gone and end the transaction at once.
    if (busy_)
        deadline_.start(reply_wait_ms);
    return Outcome::Pending;
}

Outcome LinkCore::send_nowait(const QByteArray &bytes)
{
    if (busy_ || !open_) {
        const Outcome refusal = busy_ ? Outcome::Busy : Outcome::NotOpen;
        trace_now(bytes, refusal);
        return refusal;
    }
    framing_.end_wait();
    write_now(bytes);
    trace_now(bytes, Outcome::Sent);
    return Outcome::Sent;
}

void LinkCore::drain_output()
{
    if (open_)
        transport_->drain_output();
}

void LinkCore::trace_now(const QByteArray &bytes, Outcome outcome)
{
    TraceRecord record;
    record.started = QDateTime::currentDateTime();
    record.sent = bytes;
    record.outcome = outcome;
    Q_EMIT traced(record);
}

void LinkCore::write_now(const QByteArray &bytes)
{
    transport_->write(bytes);
    if (timing_ == Timing::Window && !poll_.isActive())
        poll_.start();
}

void LinkCore::take_arrived()
{
    // A closed line has nothing waiting.
    if (!open_ || !transport_->is_open() || transport_->bytes_available() == 0)
        return;
    const QByteArray bytes = transport_->read(max_poll_bytes);
    framing_.take(bytes);
    Q_EMIT received(bytes);
    if (busy_ && framing_.reply_ok())
        finish(framing_.reply_cut() ? Outcome::TooLong : Outcome::Replied);
}

void LinkCore::finish(Outcome status)
{
    if (!busy_)
        return;
    deadline_.stop();
    LinkOutcome outcome;
    outcome.status = status;
    if (status == Outcome::Replied || status == Outcome::TooLong) {
        outcome.reply = framing_.reply_text();
        outcome.bytes = framing_.byte_buf();
    }
    outcome.received = framing_.rx_text();
    outcome.discarded = framing_.discarded();
    TraceRecord record;
    record.started = tx_started_;
    record.sent = tx_sent_;
    record.received = outcome.received;
    record.discarded = outcome.discarded;
    record.outcome = status;
    record.elapsed_ms = tx_clock_.elapsed();
    framing_.end_wait();
    busy_ = false;
    Q_EMIT traced(record);
    Q_EMIT finished(outcome);
}

void LinkCore::hang_up()
{
    // The line keeps reporting the error for as long as it stays open, so close it, but from the
    // event loop: not inside the notification that is reporting the error.
    if (hang_up_queued_ || !transport_->is_open())
        return;
    hang_up_queued_ = true;
    const bool was_open = open_;
    open_ = false;
    if (busy_)
        finish(Outcome::LineLost);
    if (was_open) {
        Q_EMIT line_lost();
        Q_EMIT closed();
    }
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (hang_up_queued_ && !open_)
                transport_->close();
            hang_up_queued_ = false;
        },
        Qt::QueuedConnection);
}
