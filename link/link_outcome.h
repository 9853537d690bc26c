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
    Stopped, // a plan: stopped between two steps; every step that ran went through, the rest
             // were not sent
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

// The message left for the line (whether or not an answer came).
constexpr bool went_out(Outcome outcome)
{
    return outcome != Outcome::Pending && !refused(outcome);
}

// The line is gone or refused the message, rather than the receiver failing to answer.
constexpr bool line_gone(Outcome outcome)
{
    return outcome == Outcome::LineLost || refused(outcome);
}

// Why a line could not be opened, by kind rather than by the system's words, so that a caller
// can tell a line that is missing from one that another program holds.
enum class OpenFailure {
    None, // the line opened
    Missing, // no such device, or no such host
    Refused, // the gateway refused the connection
    TimedOut, // the gateway did not answer within the connect time
    InUse, // another program holds the line (its lock, or the device is busy)
    Denied, // no permission to open the device
    Other, // anything else (a bad address, a device that is not a serial port, ...)
};

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
