#pragma once

#include "link/transport.h"

#include <QTcpSocket>
#include <QTimer>

// Where a tcp:// address leads.
struct TcpAddress
{
    QString host;
    quint16 port = 0;
};

// The message for a tcp:// address whose gateway opened with Telnet negotiation.
QString telnet_hint(const TcpAddress &address);

// Reads "tcp://HOST:PORT" (HOST a name, an IPv4 address or an IPv6 address in brackets, PORT 1 to
// 65535, nothing after it). False, with the reason, when address is not of that form.
bool parse_tcp_address(const QString &address, TcpAddress *out, QString *error = nullptr);

// A raw TCP connection to a serial-to-Ethernet gateway: the connection carries exactly the bytes
// the serial line behind the gateway carries; the gateway sets the line's speed and format.
//
// One way to connect, with a limit of connect_timeout_ms: open_async() reports by open_finished()
// from the event loop; open() blocks the thread for it (for tests and tools without a window).
// A refused connection fails at once; an address that does not answer fails when the time runs
// out, as does a name that cannot be looked up in that time.
class TcpTransport : public Transport
{
    Q_OBJECT
public:
    static constexpr int connect_timeout_ms = 3000;
    // The most bytes taken from the connection between two reads; more waits in the system.
    static constexpr qint64 read_buffer_size = 64 * 1024;
    // After connecting, how long the open listens for a gateway that speaks first: a raw
    // gateway says nothing, one that speaks Telnet opens with its negotiation, and such a
    // connection is not opened (see telnet_hint()).
    static constexpr int telnet_probe_ms = 100;

    explicit TcpTransport(QObject *parent = nullptr);
    ~TcpTransport() override;

    bool open(const QString &address) override;
    // The same connection and time limit as open(), without a wait: for the window and for many
    // lines on one thread, where one gateway that does not answer must hold up no other line.
    void open_async(const QString &address) override;
    QString open_error() const override { return open_error_; }
    OpenFailure open_failure() const override { return open_failure_; }
    void close() override;
    // From a successful open until close(): a connection the far end dropped stays "open" (and
    // reports failed()) until the link closes it, as a serial port whose adapter went away does.
    bool is_open() const override { return open_; }
    qint64 bytes_available() const override;
    QByteArray read(qint64 max) override;
    void write(const QByteArray &bytes) override;
    void drain_output() override;
    void discard_input() override;

    // Off for a connection that is meant to carry Telnet.
    void set_telnet_probe(bool on) { telnet_probe_ = on; }

private:
    void on_error(QAbstractSocket::SocketError error);
    // The connect is made: listens for telnet_probe_ms, or opens at once without the probe.
    void probe();
    void end_probe();
    // Closes what is open and starts connecting; false, with the reason, for a bad address.
    bool begin_connecting(const QString &address);
    // Ends the connect in progress and reports it by open_finished().
    void end_connecting(bool timed_out);

    QTcpSocket socket_;
    QString open_error_;
    OpenFailure open_failure_ = OpenFailure::None;
    bool open_ = false;
    // The connect in progress: its time limit and the address it tries.
    QTimer connect_timer_;
    TcpAddress target_;
    QTimer probe_timer_;
    bool telnet_probe_ = true;
};
