#include "sim/pty_sim.h"

#include <QFile>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace {

QString system_error(const char *what)
{
    return QString::fromLatin1(what) + QStringLiteral(": ")
        + QString::fromLocal8Bit(std::strerror(errno));
}

void set_flags(int fd, int fd_flags, int status_flags)
{
    ::fcntl(fd, F_SETFD, ::fcntl(fd, F_GETFD) | fd_flags);
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | status_flags);
}

void close_fd(int *fd)
{
    if (*fd >= 0)
        ::close(*fd);
    *fd = -1;
}

void drain(int fd)
{
    char sink[64];
    while (::read(fd, sink, sizeof sink) > 0) { }
}

bool is_symlink(const QByteArray &path)
{
    struct stat st
    {
    };
    return ::lstat(path.constData(), &st) == 0 && S_ISLNK(st.st_mode);
}

// Points path at target, replacing a symbolic link already there in one step.
bool make_link(const QByteArray &target, const QByteArray &path, QString *error)
{
    struct stat st
    {
    };
    if (::lstat(path.constData(), &st) == 0 && !S_ISLNK(st.st_mode)) {
        *error = QStringLiteral("%1 exists and is not a symbolic link")
                     .arg(QString::fromLocal8Bit(path));
        return false;
    }
    const QByteArray temporary = path + ".new" + QByteArray::number(::getpid());
    ::unlink(temporary.constData());
    if (::symlink(target.constData(), temporary.constData()) != 0) {
        *error = system_error("symlink");
        return false;
    }
    if (::rename(temporary.constData(), path.constData()) != 0) {
        *error = system_error("rename");
        ::unlink(temporary.constData());
        return false;
    }
    return true;
}

} // namespace

PtySimulator::PtySimulator(const QByteArray &identify)
    : model_(identify)
{
    int fds[2];
    if (::pipe(fds) == 0) {
        wake_read_ = fds[0];
        wake_write_ = fds[1];
        set_flags(wake_read_, FD_CLOEXEC, O_NONBLOCK);
        set_flags(wake_write_, FD_CLOEXEC, O_NONBLOCK);
    }
}

PtySimulator::~PtySimulator()
{
    stop();
    close_fd(&wake_read_);
    close_fd(&wake_write_);
}

bool PtySimulator::start(const QString &link_path, QString *error)
{
    std::lock_guard control(control_);
    QString reason;
    if (wake_read_ < 0) {
        reason = QStringLiteral("no wake-up pipe");
    } else if (!link_path_.isEmpty()) {
        reason = QStringLiteral("already started on %1").arg(link_path_);
    } else {
        {
            std::lock_guard lock(mutex_);
            link_path_ = link_path;
        }
        if (open_line(&reason)) {
            start_thread();
            return true;
        }
        std::lock_guard lock(mutex_);
        link_path_.clear();
    }
    if (error)
        *error = reason;
    return false;
}

void PtySimulator::stop()
{
    std::lock_guard control(control_);
    stop_thread();
    close_line();
    std::lock_guard lock(mutex_);
    const QByteArray path = QFile::encodeName(link_path_);
    if (!path.isEmpty() && is_symlink(path))
        ::unlink(path.constData());
    link_path_.clear();
    slave_name_.clear();
    hung_up_ = false;
    changed_.notify_all();
}

void PtySimulator::hang_up()
{
    std::lock_guard control(control_);
    stop_thread();
    close_line();
    std::lock_guard lock(mutex_);
    if (!link_path_.isEmpty())
        hung_up_ = true;
    changed_.notify_all();
}

bool PtySimulator::restart(QString *error)
{
    std::lock_guard control(control_);
    QString reason;
    if (link_path_.isEmpty()) {
        reason = QStringLiteral("not started");
    } else {
        stop_thread();
        close_line();
        {
            std::lock_guard lock(mutex_);
            model_.reset_input();
        }
        if (open_line(&reason)) {
            start_thread();
            return true;
        }
    }
    if (error)
        *error = reason;
    return false;
}

bool PtySimulator::serving() const
{
    std::lock_guard lock(mutex_);
    return master_fd_ >= 0 && !hung_up_;
}

bool PtySimulator::hung_up() const
{
    std::lock_guard lock(mutex_);
    return hung_up_;
}

bool PtySimulator::wait_for_hang_up(int timeout_ms)
{
    std::unique_lock lock(mutex_);
    return changed_.wait_for(
        lock, std::chrono::milliseconds(timeout_ms), [this] { return hung_up_; });
}

QString PtySimulator::slave_name() const
{
    std::lock_guard lock(mutex_);
    return slave_name_;
}

QString PtySimulator::link_path() const
{
    std::lock_guard lock(mutex_);
    return link_path_;
}

void PtySimulator::set_faults(const SimFaults &faults)
{
    std::lock_guard lock(mutex_);
    faults_ = faults;
}

SimFaults PtySimulator::faults() const
{
    std::lock_guard lock(mutex_);
    return faults_;
}

QList<QByteArray> PtySimulator::received() const
{
    std::lock_guard lock(mutex_);
    return model_.received();
}

void PtySimulator::clear_received()
{
    std::lock_guard lock(mutex_);
    model_.clear_received();
}

bool PtySimulator::wait_for_received(int count, int timeout_ms)
{
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, std::chrono::milliseconds(timeout_ms),
        [&] { return model_.received().size() >= count; });
}

void PtySimulator::with_model(const std::function<void(ReceiverModel &)> &f)
{
    std::lock_guard lock(mutex_);
    f(model_);
}

bool PtySimulator::send_raw(const QByteArray &bytes)
{
    {
        std::lock_guard lock(mutex_);
        if (master_fd_ < 0 || hung_up_)
            return false;
        outbox_.append(bytes);
    }
    const char bell = 1;
    return ::write(wake_write_, &bell, 1) >= 0 || errno == EAGAIN;
}

void PtySimulator::set_message_hook(std::function<void(const QByteArray &)> hook)
{
    std::lock_guard lock(mutex_);
    hook_ = std::move(hook);
}

bool PtySimulator::open_line(QString *error)
{
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0) {
        *error = system_error("posix_openpt");
        return false;
    }
    char name[128] = {};
    bool ok = ::grantpt(master) == 0 && ::unlockpt(master) == 0;
    if (!ok) {
        *error = system_error("grantpt/unlockpt");
    } else {
#if defined(__linux__) || defined(__APPLE__)
        ok = ::ptsname_r(master, name, sizeof name) == 0;
#else
        const char *shared = ::ptsname(master);
        ok = shared != nullptr;
        if (ok)
            std::strncpy(name, shared, sizeof name - 1);
#endif
        if (!ok)
            *error = system_error("ptsname");
    }
    // Our own descriptor of the slave, set to raw before anyone else opens it, and held so the
    // master never sees the far end closed when the application closes its port.
    const int slave = ok ? ::open(name, O_RDWR | O_NOCTTY) : -1;
    if (ok && slave < 0) {
        *error = system_error("open slave");
        ok = false;
    }
    if (ok) {
        struct termios tio
        {
        };
        ok = ::tcgetattr(slave, &tio) == 0;
        if (ok) {
            ::cfmakeraw(&tio);
            ::cfsetispeed(&tio, B115200);
            ::cfsetospeed(&tio, B115200);
            ok = ::tcsetattr(slave, TCSANOW, &tio) == 0;
        }
        if (!ok)
            *error = system_error("raw mode");
    }
    const QByteArray slave_path(name);
    if (ok)
        ok = make_link(slave_path, QFile::encodeName(link_path()), error);
    if (!ok) {
        if (slave >= 0)
            ::close(slave);
        ::close(master);
        return false;
    }
    set_flags(master, FD_CLOEXEC, O_NONBLOCK);
    set_flags(slave, FD_CLOEXEC, 0);
    std::lock_guard lock(mutex_);
    master_fd_ = master;
    slave_fd_ = slave;
    slave_name_ = QFile::decodeName(slave_path);
    hung_up_ = false;
    return true;
}

void PtySimulator::close_line()
{
    std::lock_guard lock(mutex_);
    close_fd(&master_fd_);
    close_fd(&slave_fd_);
    outbox_.clear();
}

void PtySimulator::start_thread()
{
    drain(wake_read_);
    thread_ = std::thread([this] { serve(); });
}

void PtySimulator::stop_thread()
{
    if (!thread_.joinable())
        return;
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
    }
    const char bell = 1;
    (void)::write(wake_write_, &bell, 1);
    thread_.join();
    std::lock_guard lock(mutex_);
    stop_ = false;
}

bool PtySimulator::stop_requested() const
{
    std::lock_guard lock(mutex_);
    return stop_;
}

void PtySimulator::serve()
{
    int master = -1;
    {
        std::lock_guard lock(mutex_);
        master = master_fd_;
    }
    while (true) {
        QByteArray out;
        {
            std::lock_guard lock(mutex_);
            if (stop_ || master_fd_ < 0)
                return;
            out.swap(outbox_);
        }
        if (!out.isEmpty() && !write_all(out))
            return;

        pollfd fds[2] = { { master, POLLIN, 0 }, { wake_read_, POLLIN, 0 } };
        if (::poll(fds, 2, -1) < 0) {
            if (errno == EINTR)
                continue;
            return;
        }
        if (fds[1].revents & POLLIN)
            drain(wake_read_);
        if (fds[0].revents & POLLIN) {
            QByteArray bytes;
            char chunk[4096];
            ssize_t n = 0;
            while ((n = ::read(master, chunk, sizeof chunk)) > 0)
                bytes.append(chunk, n);
            if (!bytes.isEmpty())
                handle_input(bytes);
            else if (n < 0 && errno != EAGAIN && errno != EINTR && !pause(20))
                return;
        } else if (fds[0].revents & (POLLHUP | POLLERR | POLLNVAL)) {
            // Nothing to read while the line is down on the far side; do not spin.
            if (!pause(20))
                return;
        }
    }
}

void PtySimulator::handle_input(const QByteArray &bytes)
{
    std::vector<ReceiverModel::Exchange> exchanges;
    SimFaults faults;
    std::function<void(const QByteArray &)> hook;
    {
        std::lock_guard lock(mutex_);
        exchanges = model_.feed_exchanges(bytes);
        faults = faults_;
        hook = hook_;
    }
    if (exchanges.empty())
        return;
    changed_.notify_all();
    if (hook) {
        for (const ReceiverModel::Exchange &e : exchanges)
            hook(e.message);
    }
    for (const LineStep &step : line_steps(faults, exchanges)) {
        if (step.hang_up) {
            hang_up_from_thread();
            return;
        }
        if (step.wait_ms > 0 && !pause(step.wait_ms))
            return;
        if (!write_all(step.bytes))
            return;
    }
}

void PtySimulator::hang_up_from_thread()
{
    std::lock_guard lock(mutex_);
    close_fd(&master_fd_);
    close_fd(&slave_fd_);
    outbox_.clear();
    hung_up_ = true;
    changed_.notify_all();
}

bool PtySimulator::pause(int ms)
{
    using clock = std::chrono::steady_clock;
    const auto deadline = clock::now() + std::chrono::milliseconds(ms);
    while (true) {
        if (stop_requested())
            return false;
        const auto left
            = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - clock::now())
                  .count();
        if (left <= 0)
            return true;
        pollfd wake { wake_read_, POLLIN, 0 };
        if (::poll(&wake, 1, static_cast<int>(left) + 1) > 0)
            drain(wake_read_);
    }
}

bool PtySimulator::write_all(const QByteArray &bytes)
{
    int master = -1;
    {
        std::lock_guard lock(mutex_);
        master = master_fd_;
    }
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n
            = ::write(master, bytes.constData() + done, static_cast<size_t>(bytes.size() - done));
        if (n > 0) {
            done += n;
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EINTR)
            return false;
        // The far side is not reading: wait for room, or for a stop.
        pollfd fds[2] = { { master, POLLOUT, 0 }, { wake_read_, POLLIN, 0 } };
        ::poll(fds, 2, 100);
        if (fds[1].revents & POLLIN)
            drain(wake_read_);
        if (stop_requested())
            return false;
    }
    return true;
}
