#pragma once

#include <QByteArray>

// The application's side of a raw TCP line for tests: a plain POSIX socket to a loopback port.
// Its waits run a nested event loop until the socket is readable or the deadline passes, so a
// simulator on the same thread keeps serving; a QCoreApplication must exist.
class TcpClient
{
public:
    TcpClient() = default;
    ~TcpClient();
    TcpClient(const TcpClient &) = delete;
    TcpClient &operator=(const TcpClient &) = delete;

    bool connect_to(quint16 port);
    void close();
    bool is_open() const { return fd_ >= 0; }

    bool write(const QByteArray &bytes);
    // Reads until count bytes have arrived, the far end closed, or timeout_ms has passed.
    QByteArray read_count(qsizetype count, int timeout_ms = 2000);
    // Reads until the bytes received end with ending, the far end closed, or the timeout.
    QByteArray read_until(const QByteArray &ending, int timeout_ms = 2000);
    // Reads whatever arrives first (at least one byte), or nothing after the timeout.
    QByteArray read_some(int timeout_ms = 2000);
    // Waits until the far end has closed the connection; bytes still arriving are dropped.
    bool wait_closed(int timeout_ms = 2000);
    bool closed_by_peer() const { return peer_closed_; }

private:
    // Waits for the socket to become readable, then reads what is there into buffer_.
    bool fill(int timeout_ms);
    QByteArray take(qsizetype count);

    int fd_ = -1;
    bool peer_closed_ = false;
    QByteArray buffer_;
};
