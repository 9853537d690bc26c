#pragma once

#include "protocol/byte_buffer.h"
#include "protocol/terminator.h"

#include <QByteArray>
#include <QByteArrayView>

// The receive side of the line, with no port behind it: bytes go in as the receive poll reads
// them, and a reply comes out once its terminator ("]", "$", carriage return) has arrived during
// a waiting transaction.
//
// What it keeps: the received text (every byte since the waiting transaction began; bytes that
// arrive while no reply is awaited are dropped), the reply text (the received text as it stood
// when the terminator completed, and as it grows with every further byte until the wait ends),
// and the 75-byte buffer of raw reply bytes.
//
// The received text keeps at most max_kept bytes; the terminator matcher still sees every byte.
//
// Work is constant per byte: once the reply is complete the received text and the reply text
// are one and the same, and they are told apart only when the wait ends or the log is cleared.
class ReplyFraming
{
public:
    // The most bytes a waiting transaction keeps. A reply is a few dozen bytes; a line that pours
    // more (a flood, a value of a megabyte) has the rest counted and dropped as it is read, so
    // that nothing grows with what the far end sends.
    static constexpr qsizetype max_kept = 4096;

    // A waiting transaction begins: received text and matcher start over, the buffer is
    // emptied and the reply is not yet complete. The reply text of the last one stays readable.
    void begin_wait();
    // The wait is over, with or without a reply: later bytes are dropped, the reply text stays.
    void end_wait();
    // One poll's bytes, in order; true when this poll completed the awaited reply.
    bool take(QByteArrayView bytes);
    // "C", and a fresh connection: the received text starts over.
    void clear_received();

    bool awaiting() const { return awaiting_; }
    bool reply_ok() const { return reply_ok_; }
    // Bytes of the waiting transaction that came after the first max_kept and were dropped.
    qint64 discarded() const { return discarded_; }
    // The reply completed only after bytes had been dropped: what is kept lacks its terminator.
    bool reply_cut() const { return reply_ok_ && reply_cut_; }
    const QByteArray &rx_text() const { return rx_text_; }
    const QByteArray &reply_text() const { return reply_is_rx_ ? rx_text_ : reply_text_; }
    const ByteBuffer &byte_buf() const { return byte_buf_; }

private:
    // Gives the reply text a value of its own before the received text changes in another way
    // than by a byte of the completed reply.
    void detach_reply();

    TerminatorMatcher term_;
    ByteBuffer byte_buf_;
    QByteArray rx_text_;
    QByteArray reply_text_;
    qint64 discarded_ = 0;
    bool awaiting_ = false;
    bool reply_cut_ = false;
    bool reply_ok_ = false;
    bool reply_is_rx_ = false; // the reply text is, for now, the received text itself
};
