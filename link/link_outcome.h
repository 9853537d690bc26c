#pragma once

#include "protocol/byte_buffer.h"

#include <QByteArray>

// How a transaction ended, as the link reports it, the trace writes it and a plan of
// transactions ends: one vocabulary for the link, the trace and the session.
enum class Outcome {
    Pending, // started; the outcome comes later
    Replied, // a complete reply arrived within the wait (a plan: every step went through)
    TooLong, // the reply's terminator came within the wait, but only after more bytes than
             // the link keeps: the reply is cut (reply holds its first bytes, no terminator)
    NoReply, // the wait ran out without a complete reply
    Foreign, // a plan: a reply began with something else than its step's prefix
    LineLost, // the port closed during the wait (Disconnect, a new port, the far end gone)
    Sent, // sent without waiting for a reply; whatever comes back is dropped
    Busy, // refused: another transaction is running; nothing was sent
    NotOpen, // refused: no port is open; nothing was sent
    ShutDown, // refused: the line has been closed for good; nothing was sent
};

// Nothing was sent: the line was busy, not open or shut.
constexpr bool refused(Outcome outcome)
{
    return outcome == Outcome::Busy || outcome == Outcome::NotOpen || outcome == Outcome::ShutDown;
}

// The line is gone or refused the message, rather than the receiver failing to answer.
constexpr bool line_gone(Outcome outcome)
{
    return outcome == Outcome::LineLost || refused(outcome);
}

// How one transaction ended, as the link reports it to whoever started it.
struct LinkOutcome
{
    Outcome status = Outcome::Pending;
    // The reply, terminator included, and its raw bytes (the first 75), when Replied; the kept
    // part of the reply when TooLong.
    QByteArray reply;
    ByteBuffer bytes;
    // What came back during the wait, at most the first ReplyFraming::max_kept bytes, and how
    // many more were read and dropped.
    QByteArray received;
    qint64 discarded = 0;

    bool replied() const { return status == Outcome::Replied; }
};
