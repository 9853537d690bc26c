#include "tests/support/flood_line.h"

#include <QFile>

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

FloodLine::~FloodLine()
{
    close();
}

bool FloodLine::open(const QString &link_path)
{
    master_fd_ = posix_openpt(O_RDWR | O_NOCTTY);
    if (master_fd_ < 0 || grantpt(master_fd_) != 0 || unlockpt(master_fd_) != 0)
        return false;
    const char *slave = ptsname(master_fd_);
    if (!slave)
        return false;
    slave_fd_ = ::open(slave, O_RDWR | O_NOCTTY);
    if (slave_fd_ < 0)
        return false;
    termios tio {};
    if (tcgetattr(slave_fd_, &tio) != 0)
        return false;
    cfmakeraw(&tio);
    if (tcsetattr(slave_fd_, TCSANOW, &tio) != 0)
        return false;
    fcntl(master_fd_, F_SETFL, fcntl(master_fd_, F_GETFL) | O_NONBLOCK);
    QFile::remove(link_path);
    if (::symlink(slave, QFile::encodeName(link_path).constData()) != 0)
        return false;
    link_path_ = link_path;
    return true;
}

void FloodLine::pour(const QByteArray &pattern)
{
    if (master_fd_ < 0 || thread_.joinable() || pattern.isEmpty())
        return;
    stop_ = false;
    thread_ = std::thread([this, pattern] { run(pattern); });
}

void FloodLine::run(QByteArray pattern)
{
    // A large block of the pattern, so that every write hands the kernel as much as it takes.
    QByteArray block;
    while (block.size() < 64 * 1024)
        block += pattern;
    qsizetype at = 0;
    while (!stop_.load()) {
        pollfd p { master_fd_, POLLOUT, 0 };
        if (::poll(&p, 1, 20) <= 0)
            continue;
        const ssize_t n = ::write(master_fd_, block.constData() + at, size_t(block.size() - at));
        if (n > 0) {
            written_ += n;
            at = (at + n) % block.size();
        } else if (n < 0 && errno != EAGAIN && errno != EINTR) {
            break;
        }
    }
}

void FloodLine::close()
{
    stop_ = true;
    if (thread_.joinable())
        thread_.join();
    if (slave_fd_ >= 0)
        ::close(slave_fd_);
    if (master_fd_ >= 0)
        ::close(master_fd_);
    slave_fd_ = master_fd_ = -1;
    if (!link_path_.isEmpty())
        QFile::remove(link_path_);
    link_path_.clear();
}
