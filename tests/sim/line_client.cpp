#include "tests/sim/line_client.h"

#include <poll.h>

bool LineClient::far_end_gone(int timeout_ms)
{
    if (transport_ == Transport::Pty)
        return (pty_.wait_events(timeout_ms) & (POLLHUP | POLLERR)) != 0;
    if (timeout_ms <= 0)
        return tcp_.closed_by_peer();
    return tcp_.wait_closed(timeout_ms);
}
