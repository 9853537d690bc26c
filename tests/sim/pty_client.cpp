#include "tests/sim/pty_client.h"

#include <QFile>

#include <chrono>
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

int left_ms(Clock::time_point deadline)
{
    const auto left
        = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

} // namespace

PtyClient::~PtyClient()
{
    close();
}

bool PtyClient::open(const QString &path, bool leave_settings)
{
    close();
    fd_ = ::open(QFile::encodeName(path).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (fd_ < 0)
        return false;
    if (leave_settings)
        return true;
    termios tio {};
    if (::tcgetattr(fd_, &tio) != 0) {
        close();
        return false;
    }
    ::cfmakeraw(&tio);
    return ::tcsetattr(fd_, TCSANOW, &tio) == 0;
}

void PtyClient::close()
{
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
}

bool PtyClient::write(const QByteArray &bytes)
{
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n
            = ::write(fd_, bytes.constData() + done, static_cast<size_t>(bytes.size() - done));
        if (n < 0)
            return false;
        done += n;
    }
    return true;
}

QByteArray PtyClient::read_count(qsizetype count, int timeout_ms)
{
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeout_ms);
    QByteArray got;
    while (got.size() < count) {
        const QByteArray more = read_some(left_ms(deadline));
        if (more.isEmpty())
            break;
        got += more;
    }
    return got;
}

QByteArray PtyClient::read_until(const QByteArray &ending, int timeout_ms)
{
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeout_ms);
    QByteArray got;
    while (!got.endsWith(ending)) {
        const QByteArray more = read_some(left_ms(deadline));
        if (more.isEmpty())
            break;
        got += more;
    }
    return got;
}

QByteArray PtyClient::read_some(int timeout_ms)
{
    pollfd p { fd_, POLLIN, 0 };
    if (::poll(&p, 1, timeout_ms) <= 0 || !(p.revents & POLLIN))
        return {};
    char buf[4096];
    const ssize_t n = ::read(fd_, buf, sizeof buf);
    return n > 0 ? QByteArray(buf, n) : QByteArray();
}

short PtyClient::wait_events(int timeout_ms)
{
    pollfd p { fd_, POLLIN, 0 };
    return ::poll(&p, 1, timeout_ms) > 0 ? p.revents : 0;
}

QString link_target(const QString &link)
{
    char buf[512];
    const ssize_t n = ::readlink(QFile::encodeName(link).constData(), buf, sizeof buf);
    return n > 0 ? QFile::decodeName(QByteArray(buf, n)) : QString();
}

bool path_exists(const QString &path)
{
    struct stat st
    {
    };
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0;
}
