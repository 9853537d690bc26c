#include "app/receive_log_count.h"

bool ReceiveLogCount::take(qint64 received)
{
    bool empty_log = false;
    if (auto_clear_ && count_ > auto_clear_limit) {
        count_ = 0;
        empty_log = true;
    }
    // Counted one character at a time, the count drops to 0 each time it passes count_limit, as
    // often as one poll takes it there.
    const quint64 total = quint64(count_) + quint64(qMax<qint64>(received, 0));
    if (total > count_limit)
        empty_log = true;
    count_ = quint32(total % (quint64(count_limit) + 1));
    return empty_log;
}
