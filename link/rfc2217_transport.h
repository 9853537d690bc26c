#pragma once

#include "link/tcp_transport.h"
#include "link/telnet_codec.h"
#include "link/transport.h"

#include <QElapsedTimer>
#include <QMap>
#include <QTimer>

// Reads "rfc2217://HOST:PORT" with the same rules as a tcp:// address. False, with the reason,
// when address is not of that form.
bool parse_rfc2217_address(const QString &address, TcpAddress *out, QString *error = nullptr);

// A connection to a serial-to-Ethernet gateway that speaks Telnet with the COM port option
// (RFC 2217): the client sets the serial line's speed and format itself. Opening connects,
// negotiates BINARY both ways, SUPPRESS-GO-AHEAD and the COM port option, sets 115200 baud, 8 data
// bits, no parity, 1 stop bit and no flow control, and checks the gateway's answers, all within
// connect_timeout_ms; a gateway that refuses, answers other values, keeps negotiating or stays
// silent fails the open with a message that says which. Data bytes go out with every 0xFF
// doubled; Telnet commands that come in are taken out of the data (also one cut across reads)
// and answered where Telnet asks for an answer. Every command sent or received is reported by
// noted(), as its own trace line.
class Rfc2217Transport : public Transport
{
    Q_OBJECT
public:
    // The whole open, connection and negotiation, ends within this time.
    static constexpr int connect_timeout_ms = TcpTransport::connect_timeout_ms;
    // More option commands than this during the open, and the gateway is taken to be looping.
    static constexpr int max_negotiation_commands = 64;
    // After the open, at most this many trace lines of Telnet commands per connection.
    static constexpr int max_noted_after_open = 100;
    static constexpr quint32 baud_rate = 115200;

    explicit Rfc2217Transport(QObject *parent = nullptr);
    ~Rfc2217Transport() override;

    // Runs the event loop of this thread until open_async() has finished (for tests and tools).
    bool open(const QString &address) override;
    void open_async(const QString &address) override;
    QString open_error() const override { return open_error_; }
    void close() override;
    bool is_open() const override { return open_; }
    qint64 bytes_available() const override { return open_ ? data_.size() : 0; }
    QByteArray read(qint64 max) override;
    void write(const QByteArray &bytes) override;
    void drain_output() override { tcp_.drain_output(); }
    void discard_input() override;

private:
    // One side of an option: whether we asked, whether the gateway answered, and how.
    struct OptionState
    {
        bool asked = false;
        bool answered = false;
        bool on = false;
    };
    // Who sends an option's data: we (WILL/WONT from us, DO/DONT from the gateway) or the gateway.
    enum class Side { Us, Gateway };

    void connected(bool ok);
    // Takes what the connection holds, up to a bounded amount of data waiting to be read.
    void take_input();
    void handle(const telnet::Command &command);
    void send(const std::vector<telnet::Command> &commands);
    void send_settings();
    void check_settings();
    void fail_open(const QString &why);
    void note(const QString &text);
    QString gateway() const;
    OptionState *option(Side side, std::uint8_t option);
    // What the open still waits for, for the message when the time runs out.
    QString missing() const;

    TcpTransport tcp_;
    telnet::Decoder decoder_;
    QByteArray data_;
    TcpAddress target_;
    QString open_error_;
    QTimer deadline_;
    QElapsedTimer open_clock_;
    bool negotiating_ = false;
    bool open_ = false;
    int commands_seen_ = 0;
    int noted_after_open_ = 0;
    OptionState us_binary_, us_sga_, us_com_, gw_binary_, gw_sga_;
    // Options we turned down once (WONT/DONT sent): not answered again, so that a gateway that
    // keeps asking cannot start an endless exchange.
    QList<std::pair<Side, std::uint8_t>> refused_;
    bool settings_sent_ = false;
    // Whether any Telnet command came from the gateway on this connection.
    bool heard_telnet_ = false;
    // The gateway's answers to the settings: answer code (101 ...) to value.
    QMap<int, quint32> answers_;
};
