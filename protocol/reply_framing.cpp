#include "protocol/reply_framing.h"

void ReplyFraming::detach_reply()
{
    if (reply_is_rx_) {
        reply_text_ = rx_text_;
        reply_is_rx_ = false;
    }
}

void ReplyFraming::begin_wait()
{
    detach_reply();
    rx_text_.clear();
    discarded_ = 0;
    term_.reset();
    awaiting_ = true;
    reply_ok_ = false;
    reply_cut_ = false;
    byte_buf_.clear();
}

void ReplyFraming::end_wait()
{
    detach_reply();
    awaiting_ = false;
}

void ReplyFraming::clear_received()
{
    detach_reply();
    rx_text_.clear();
}

bool ReplyFraming::take(QByteArrayView bytes)
{
    const bool was_ok = reply_ok_;
    for (const char c : bytes) {
        const auto b = static_cast<std::uint8_t>(c);
        byte_buf_.append(b);
        if (awaiting_) {
            if (rx_text_.size() < max_kept)
                rx_text_.append(c);
            else
                ++discarded_;
            // From the terminator on, the reply text is the received text, byte for byte.
            if (term_.step(b) == TerminatorMatcher::State::Complete) {
                if (!reply_ok_)
                    reply_cut_ = discarded_ > 0;
                reply_ok_ = true;
                reply_is_rx_ = true;
            }
        } else {
            // Dropped: nothing is awaited. (The reply text was detached when the wait ended.)
            rx_text_.clear();
        }
    }
    return reply_ok_ && !was_ok;
}
