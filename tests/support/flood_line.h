#pragma once

#include <QByteArray>
#include <QString>

#include <atomic>
#include <thread>

// A line that pours bytes faster than any real serial line: a raw pseudo-terminal whose slave a
// symbolic link names, and a thread that writes one pattern to the master side again and again
// for as long as the other side takes it (a USB adapter that ignores the baud rate, a pty bridge).
class FloodLine
{
public:
    FloodLine() = default;
    ~FloodLine();
    FloodLine(const FloodLine &) = delete;
    FloodLine &operator=(const FloodLine &) = delete;

    // Opens the pty and makes link_path point at its slave. The flood starts with pour().
    bool open(const QString &link_path);
    // Starts writing pattern over and over from a thread of its own.
    void pour(const QByteArray &pattern);
    // Stops the thread and closes the pty. Idempotent.
    void close();
    // Bytes written so far.
    long long written() const { return written_.load(); }

private:
    void run(QByteArray pattern);

    int master_fd_ = -1;
    int slave_fd_ = -1; // held open so that the master never sees a hang-up between opens
    QString link_path_;
    std::atomic<bool> stop_ { false };
    std::atomic<long long> written_ { 0 };
    std::thread thread_;
};
