#pragma once

#include "tests/sim/pty_client.h"
#include "tests/sim/tcp_client.h"

#include <QByteArray>
#include <QString>

#include <ostream>

// The two lines a simulated receiver is reached on: a pseudo-terminal or a TCP connection.
enum class Transport {
    Pty,
    Tcp,
};

inline const char *transport_name(Transport transport)
{
    return transport == Transport::Pty ? "Pty" : "Tcp";
}

inline void PrintTo(Transport transport, std::ostream *os)
{
    *os << transport_name(transport);
}

// The application's side of either line for tests: the same reads and writes with deadlines on a
// pty (a device path) or a TCP connection (a loopback port). On TCP its waits run a nested event
// loop, so a simulator on the same thread keeps serving; a QCoreApplication must exist.
class LineClient
{
public:
    explicit LineClient(Transport transport)
        : transport_(transport)
    { }

    // Opens the line: the device path on a pty, the loopback port on TCP.
    bool open(const QString &path) { return pty_.open(path); }
    bool open(quint16 port) { return tcp_.connect_to(port); }
    void close()
    {
        pty_.close();
        tcp_.close();
    }

    bool write(const QByteArray &bytes)
    {
        return transport_ == Transport::Pty ? pty_.write(bytes) : tcp_.write(bytes);
    }
    QByteArray read_count(qsizetype count, int timeout_ms = 2000)
    {
        return transport_ == Transport::Pty ? pty_.read_count(count, timeout_ms)
                                            : tcp_.read_count(count, timeout_ms);
    }
    QByteArray read_until(const QByteArray &ending, int timeout_ms = 2000)
    {
        return transport_ == Transport::Pty ? pty_.read_until(ending, timeout_ms)
                                            : tcp_.read_until(ending, timeout_ms);
    }
    QByteArray read_some(int timeout_ms = 2000)
    {
        return transport_ == Transport::Pty ? pty_.read_some(timeout_ms)
                                            : tcp_.read_some(timeout_ms);
    }
    // True once the far end has gone: the pty hung up, the connection closed by the peer. Waits
    // up to timeout_ms for it; bytes still arriving on TCP are dropped.
    bool far_end_gone(int timeout_ms = 0);

    PtyClient &pty() { return pty_; }
    TcpClient &tcp() { return tcp_; }

private:
    Transport transport_;
    PtyClient pty_;
    TcpClient tcp_;
};
