#pragma once

#include <QtGlobal>

// When the receive log empties itself. It counts the characters the line has received since the
// count last started over (a waiting transaction began, the line opened, or "C"), poll by poll as
// the link reports them, and says at which poll the log is to be emptied:
// - with "Auto" ticked, at the first poll that finds more than auto_clear_limit counted, before
//   that poll's bytes are counted;
// - whatever "Auto" says, as soon as the count passes count_limit, within the poll.
// Either empties the log and starts the count over. Bytes are counted whether or not a reply is
// awaited.
class ReceiveLogCount
{
public:
    static constexpr quint32 auto_clear_limit = 300;
    static constexpr quint32 count_limit = 65530;

    // The receive log's "Auto" tick.
    void set_auto_clear(bool on) { auto_clear_ = on; }
    bool auto_clear() const { return auto_clear_; }
    // A waiting transaction began, the line opened, or "C": the count starts over.
    void restart() { count_ = 0; }
    // One poll took received bytes from the line; true when the log is to be emptied at this poll.
    [[nodiscard]] bool take(qint64 received);
    quint32 count() const { return count_; }

private:
    quint32 count_ = 0;
    bool auto_clear_ = false;
};
