#pragma once

#include "sim/receiver_model.h"
#include "sim/sim_faults.h"

#include <QByteArray>
#include <QHostAddress>
#include <QObject>
#include <QPointer>
#include <QTcpServer>
#include <QTimer>

#include <deque>
#include <functional>

class QTcpSocket;

// The simulated receiver behind a serial-to-Ethernet gateway in raw TCP mode: a listener whose
// connection carries exactly the bytes of the serial line. Event-driven on the thread that owns
// it, so one thread can play many receivers. Not thread-safe: use it from its own thread.
//
// The receiver's state belongs to the listener, not to a connection: a client that reconnects
// finds the settings as it left them. One connection holds the line at a time; a newer one takes
// it over and the older one is closed, as a gateway limited to one client does on reconnect.
class TcpSimulator : public QObject
{
    Q_OBJECT

public:
    explicit TcpSimulator(
        const QByteArray &identify = QByteArrayLiteral("TX"), QObject *parent = nullptr);
    ~TcpSimulator() override;

    // Starts listening; port 0 takes any free port (see port()). False, with a reason, on failure.
    bool listen(const QHostAddress &address, quint16 port, QString *error = nullptr);
    QHostAddress address() const { return server_.serverAddress(); }
    quint16 port() const { return server_.serverPort(); }

    // Whether a client holds the line now.
    bool connected() const;
    // One client only: a connection that comes while another holds the line is closed at once,
    // as a gateway that serves one client does, and the holder keeps the line. By default the
    // newer connection takes the line over.
    void set_one_client(bool one) { one_client_ = one; }
    // Closes the client's connection now, as the hang-up fault does; the listener stays.
    void hang_up();

    void set_faults(const SimFaults &faults) { faults_ = faults; }
    // RFC 2217 mode: the connection speaks Telnet with the COM port option, as a gateway's
    // telnet accepter does (with faults().telnet); otherwise raw bytes. For new connections.
    void set_rfc2217(bool on) { rfc2217_ = on; }
    bool rfc2217() const { return rfc2217_; }
    // The Telnet side of the current (or last) connection in RFC 2217 mode.
    const TelnetServer &telnet() const { return telnet_; }
    SimFaults faults() const { return faults_; }
    ReceiverModel &model() { return model_; }

    // Called for every complete message received, before its reply goes out.
    void set_message_hook(std::function<void(const QByteArray &)> hook) { hook_ = std::move(hook); }

Q_SIGNALS:
    void client_connected();
    // The connection ended: by the client, by a newer connection, or by a hang-up.
    void client_gone();
    // The hang-up fault (or hang_up) closed the connection.
    void hung_up();
    // A connection waiting to be taken could not be (most often: no descriptor left); the
    // listener tries again shortly.
    void accept_failed(const QString &reason);

private:
    void take_connection();
    void read_input();
    void run_steps();
    void queue(const std::vector<LineStep> &steps);
    // The steps as they go on a Telnet connection: data escaped, with the Telnet faults.
    std::vector<LineStep> telnet_steps(const std::vector<LineStep> &steps) const;
    // Telnet bytes of the gateway's own (answers), cut apart for the split fault.
    void queue_telnet(const QByteArray &bytes);
    void drop_client(bool flush);

    QTcpServer server_;
    QPointer<QTcpSocket> client_;
    QTimer step_timer_;
    QTimer accept_retry_;
    std::deque<LineStep> steps_;
    ReceiverModel model_;
    SimFaults faults_;
    bool rfc2217_ = false;
    TelnetServer telnet_;
    QTimer loop_timer_;
    std::function<void(const QByteArray &)> hook_;
    bool one_client_ = false;
};
