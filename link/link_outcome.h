#pragma once

#include "protocol/byte_buffer.h"

#include <QByteArray>

// How one transaction ended, as the link reports it to whoever started it.
struct LinkOutcome
{
    enum class Status {
        Pending, // started; the outcome comes later
        Replied, // a complete reply arrived within the wait
        NoReply, // the wait ran out without a complete reply
        LineLost, // the port closed during the wait (Disconnect, a new port, the far end gone)
        Busy, // refused: another transaction is running; nothing was sent
        NotOpen, // refused: no port is open; nothing was sent
    };

    Status status = Status::Pending;
    // The reply, terminator included, and its raw bytes (the first 75), when Replied.
    QByteArray reply;
    ByteBuffer bytes;

    bool replied() const { return status == Status::Replied; }
};
