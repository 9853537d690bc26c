#pragma once

#include <QByteArray>
#include <QString>

#include <atomic>
#include <thread>

// A serial-to-Ethernet gateway gone bad, on a loopback listener with a thread of its own: it
// accepts connections one after another and either pours one pattern at whoever connects for as
// long as they take it, or answers every message (bytes up to a carriage return) with one reply.
class HostilePeer
{
public:
    enum class Mode { Flood, Reply };

    HostilePeer(Mode mode, QByteArray bytes);
    ~HostilePeer();
    HostilePeer(const HostilePeer &) = delete;
    HostilePeer &operator=(const HostilePeer &) = delete;

    // False when no loopback listener could be made.
    bool listening() const { return listen_fd_ >= 0; }
    QString address() const;
    long long written() const { return written_.load(); }

private:
    void run();
    void serve(int fd);

    Mode mode_;
    QByteArray bytes_;
    int listen_fd_ = -1;
    quint16 port_ = 0;
    std::atomic<bool> stop_ { false };
    std::atomic<long long> written_ { 0 };
    std::thread thread_;
};
