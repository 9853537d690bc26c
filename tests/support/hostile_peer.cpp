#include "tests/support/hostile_peer.h"

#include <arpa/inet.h>
#include <cerrno>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

HostilePeer::HostilePeer(Mode mode, QByteArray bytes)
    : mode_(mode)
    , bytes_(std::move(bytes))
{
    listen_fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
    if (listen_fd_ < 0)
        return;
    sockaddr_in addr {};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr;
    if (::bind(listen_fd_, reinterpret_cast<sockaddr *>(&addr), sizeof addr) != 0
        || ::listen(listen_fd_, 16) != 0
        || ::getsockname(listen_fd_, reinterpret_cast<sockaddr *>(&addr), &len) != 0) {
        ::close(listen_fd_);
        listen_fd_ = -1;
        return;
    }
    port_ = ntohs(addr.sin_port);
    thread_ = std::thread([this] { run(); });
}

HostilePeer::~HostilePeer()
{
    stop_ = true;
    if (thread_.joinable())
        thread_.join();
    if (listen_fd_ >= 0)
        ::close(listen_fd_);
}

QString HostilePeer::address() const
{
    return QStringLiteral("tcp://127.0.0.1:%1").arg(port_);
}

void HostilePeer::run()
{
    while (!stop_.load()) {
        pollfd p { listen_fd_, POLLIN, 0 };
        if (::poll(&p, 1, 20) <= 0)
            continue;
        const int fd = ::accept(listen_fd_, nullptr, nullptr);
        if (fd < 0)
            continue;
        fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
        serve(fd);
        ::close(fd);
    }
}

void HostilePeer::serve(int fd)
{
    // A large block of the pattern, so that every write hands the system as much as it takes.
    QByteArray block;
    if (mode_ == Mode::Flood) {
        while (block.size() < 64 * 1024)
            block += bytes_;
    }
    qsizetype at = 0;
    QByteArray pending; // Reply: what is still to be written
    char in[4096];
    while (!stop_.load()) {
        const bool to_write = mode_ == Mode::Flood || !pending.isEmpty();
        pollfd p { fd, short(POLLIN | (to_write ? POLLOUT : 0)), 0 };
        if (::poll(&p, 1, 20) <= 0)
            continue;
        if (p.revents & (POLLIN | POLLHUP | POLLERR)) {
            const ssize_t n = ::read(fd, in, sizeof in);
            if (n == 0 || (n < 0 && errno != EAGAIN && errno != EINTR))
                return; // the client has gone
            for (ssize_t i = 0; i < n && mode_ == Mode::Reply; ++i) {
                if (in[i] == '\r')
                    pending += bytes_;
            }
        }
        if (!(p.revents & POLLOUT))
            continue;
        const char *from = mode_ == Mode::Flood ? block.constData() + at : pending.constData();
        const qsizetype size = mode_ == Mode::Flood ? block.size() - at : pending.size();
        const ssize_t n = ::send(fd, from, size_t(size), MSG_NOSIGNAL);
        if (n > 0) {
            written_ += n;
            if (mode_ == Mode::Flood)
                at = (at + n) % block.size();
            else
                pending.remove(0, n);
        } else if (n < 0 && errno != EAGAIN && errno != EINTR) {
            return;
        }
    }
}
