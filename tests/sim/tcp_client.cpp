#include "tests/sim/tcp_client.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QSocketNotifier>
#include <QTimer>

#include <arpa/inet.h>
#include <cerrno>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

TcpClient::~TcpClient()
{
    close();
}

bool TcpClient::connect_to(quint16 port)
{
    close();
    fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd_ < 0)
        return false;
    sockaddr_in address {};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    // On loopback the kernel completes the handshake from the listen backlog, so a blocking
    // connect returns without the server's event loop running.
    if (::connect(fd_, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0) {
        close();
        return false;
    }
    ::fcntl(fd_, F_SETFL, ::fcntl(fd_, F_GETFL) | O_NONBLOCK);
    peer_closed_ = false;
    buffer_.clear();
    return true;
}

void TcpClient::close()
{
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
}

bool TcpClient::write(const QByteArray &bytes)
{
    qsizetype done = 0;
    while (fd_ >= 0 && done < bytes.size()) {
        const ssize_t n = ::send(
            fd_, bytes.constData() + done, static_cast<size_t>(bytes.size() - done), MSG_NOSIGNAL);
        if (n > 0) {
            done += n;
            continue;
        }
        if (n < 0 && errno != EINTR && errno != EAGAIN)
            return false;
        // The send buffer is full: give the far end a moment to read.
        pollfd room { fd_, POLLOUT, 0 };
        if (::poll(&room, 1, 2000) <= 0)
            return false;
    }
    return fd_ >= 0;
}

bool TcpClient::fill(int timeout_ms)
{
    if (fd_ < 0 || peer_closed_ || timeout_ms <= 0)
        return false;
    {
        QEventLoop loop;
        QSocketNotifier notifier(fd_, QSocketNotifier::Read);
        QObject::connect(&notifier, &QSocketNotifier::activated, &loop, &QEventLoop::quit);
        QTimer deadline;
        deadline.setSingleShot(true);
        deadline.setTimerType(Qt::PreciseTimer);
        QObject::connect(&deadline, &QTimer::timeout, &loop, &QEventLoop::quit);
        deadline.start(timeout_ms);
        // The socket may be readable already; the notifier then fires at once.
        loop.exec();
    }
    bool got = false;
    char chunk[4096];
    while (true) {
        const ssize_t n = ::recv(fd_, chunk, sizeof chunk, 0);
        if (n > 0) {
            buffer_.append(chunk, n);
            got = true;
            continue;
        }
        if (n == 0 || (errno != EAGAIN && errno != EINTR))
            peer_closed_ = true;
        break;
    }
    return got;
}

QByteArray TcpClient::take(qsizetype count)
{
    const QByteArray part = buffer_.left(count);
    buffer_.remove(0, part.size());
    return part;
}

QByteArray TcpClient::read_count(qsizetype count, int timeout_ms)
{
    QElapsedTimer timer;
    timer.start();
    while (buffer_.size() < count && !peer_closed_) {
        fill(timeout_ms - static_cast<int>(timer.elapsed()));
        if (timer.elapsed() >= timeout_ms)
            break;
    }
    return take(count);
}

QByteArray TcpClient::read_until(const QByteArray &ending, int timeout_ms)
{
    QElapsedTimer timer;
    timer.start();
    while (!buffer_.contains(ending) && !peer_closed_) {
        fill(timeout_ms - static_cast<int>(timer.elapsed()));
        if (timer.elapsed() >= timeout_ms)
            break;
    }
    const qsizetype at = buffer_.indexOf(ending);
    return take(at < 0 ? buffer_.size() : at + ending.size());
}

QByteArray TcpClient::read_some(int timeout_ms)
{
    if (buffer_.isEmpty())
        fill(timeout_ms);
    return take(buffer_.size());
}

bool TcpClient::wait_closed(int timeout_ms)
{
    QElapsedTimer timer;
    timer.start();
    while (!peer_closed_ && timer.elapsed() < timeout_ms) {
        fill(timeout_ms - static_cast<int>(timer.elapsed()));
        buffer_.clear();
    }
    return peer_closed_;
}
