#pragma once

#include "protocol/byte_buffer.h"

#include <QByteArray>

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
    enum class Status {
        Pending, // started; the outcome comes later
        Replied, // a complete reply arrived within the wait
        TooLong, // the reply's terminator came within the wait, but only after more bytes than
                 // the link keeps: the reply is cut (reply holds its first bytes, no terminator)
        NoReply, // the wait ran out without a complete reply
        LineLost, // the port closed during the wait (Disconnect, a new port, the far end gone)
        Sent, // sent without waiting for a reply; whatever comes back is dropped
        Busy, // refused: another transaction is running; nothing was sent
        NotOpen, // refused: no port is open; nothing was sent
        ShutDown, // refused: the line has been closed for good; nothing was sent
    };

    Status status = Status::Pending;
    // The reply, terminator included, and its raw bytes (the first 75), when Replied; the kept
    // part of the reply when TooLong.
    QByteArray reply;
    ByteBuffer bytes;
    // What came back during the wait, at most the first ReplyFraming::max_kept bytes, and how
    // many more were read and dropped.
    QByteArray received;
    qint64 discarded = 0;

    bool replied() const { return status == Status::Replied; }
};
