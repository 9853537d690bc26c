#pragma once

#include <QByteArray>
#include <QString>

// The application's side of the line for tests: opens a serial device path with plain POSIX
// calls in raw mode and reads with deadlines.
class PtyClient
{
public:
    PtyClient() = default;
    ~PtyClient();
    PtyClient(const PtyClient &) = delete;
    PtyClient &operator=(const PtyClient &) = delete;

    // Opens path; with leave_settings the terminal settings stay as the line set them.
    bool open(const QString &path, bool leave_settings = false);
    void close();
    int fd() const { return fd_; }

    bool write(const QByteArray &bytes);
    // Reads until count bytes have arrived or timeout_ms has passed; returns what arrived.
    QByteArray read_count(qsizetype count, int timeout_ms = 2000);
    // Reads until the bytes received end with ending, or the timeout.
    QByteArray read_until(const QByteArray &ending, int timeout_ms = 2000);
    // Reads whatever arrives first (at least one byte), or nothing after the timeout.
    QByteArray read_some(int timeout_ms = 2000);
    // poll() revents after waiting up to timeout_ms for anything to happen.
    short wait_events(int timeout_ms);

private:
    int fd_ = -1;
};

// Where the link points; empty when it is not a symbolic link.
QString link_target(const QString &link);
bool path_exists(const QString &path);
