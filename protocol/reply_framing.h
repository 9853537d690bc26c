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
// the 75-byte buffer of raw reply bytes, and the count of received characters that decides when
// the receive log is emptied.
//
// The received text keeps at most max_kept bytes; the terminator matcher still sees every byte.
//
// Work is constant per byte: once the reply is complete the received text and the reply text
// are one and the same, and they are told apart only when the wait ends or the log is cleared.
class ReplyFraming
{
public:
    // More received characters than this, at the start of a poll with auto-clear on, empty the
    // receive log.
    static constexpr quint32 auto_clear_limit = 300;
    // More received characters than this empty the receive log whatever auto-clear says.
    static constexpr quint32 rx_count_limit = 65530;
    // The most bytes a waiting transaction keeps. A reply is a few dozen bytes; a line that pours
    // more (a flood, a value of a megabyte) has the rest counted and dropped as it is read, so
    // that nothing grows with what the far end sends.
    static constexpr qsizetype max_kept = 4096;

    struct Poll
    {
        bool log_cleared = false; // the receive log is to be emptied
        bool reply_completed = false; // this poll completed the awaited reply
    };

    // A waiting transaction begins: received text, count and matcher start over, the buffer is
    // emptied and the reply is not yet complete. The reply text of the last one stays readable.
    void begin_wait();
    // The wait is over, with or without a reply: later bytes are dropped, the reply text stays.
    void end_wait();
    // One poll's bytes, in order. auto_clear is the receive log's "Auto" tick.
    Poll take(QByteArrayView bytes, bool auto_clear);
    // "C", and a fresh connection: the received text and count start over.
    void clear_received();

    bool awaiting() const { return awaiting_; }
    bool reply_ok() const { return reply_ok_; }
    // Bytes of the waiting transaction that came after the first max_kept and were dropped.
    qint64 discarded() const { return discarded_; }
    // The reply completed only after bytes had been dropped: what is kept lacks its terminator.
    bool reply_cut() const { return reply_ok_ && reply_cut_; }
    const QByteArray &rx_text() const { return rx_text_; }
    const QByteArray &reply_text() const { return reply_is_rx_ ? rx_text_ : reply_text_; }
    quint32 rx_count() const { return rx_count_; }
    const ByteBuffer &byte_buf() const { return byte_buf_; }

private:
    // Gives the reply text a value of its own before the received text changes in another way
    // than by a byte of the completed reply.
    void detach_reply();

    TerminatorMatcher term_;
    ByteBuffer byte_buf_;
    QByteArray rx_text_;
    QByteArray reply_text_;
    quint32 rx_count_ = 0;
    qint64 discarded_ = 0;
    bool awaiting_ = false;
    bool reply_cut_ = false;
    bool reply_ok_ = false;
    bool reply_is_rx_ = false; // the reply text is, for now, the received text itself
};
