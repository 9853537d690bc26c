#include "sim/tcp_sim.h"

#include <QTcpSocket>

TcpSimulator::TcpSimulator(const QByteArray &identify, QObject *parent)
    : QObject(parent)
    , model_(identify)
{
    step_timer_.setSingleShot(true);
    step_timer_.setTimerType(Qt::PreciseTimer);
    connect(&step_timer_, &QTimer::timeout, this, &TcpSimulator::run_steps);
    connect(&server_, &QTcpServer::newConnection, this, &TcpSimulator::take_connection);
    // The loop fault: an option offered and withdrawn again and again.
    loop_timer_.setInterval(5);
    connect(&loop_timer_, &QTimer::timeout, this, [this] {
        if (client_)
            client_->write(QByteArray::fromHex("fffb01fffc01"));
    });
    // The server stops accepting after such an error; it takes up again once a descriptor may
    // have come free, and says so each time, so that no connection waits without a word.
    accept_retry_.setSingleShot(true);
    accept_retry_.setInterval(200);
    connect(&accept_retry_, &QTimer::timeout, &server_, &QTcpServer::resumeAccepting);
    connect(&server_, &QTcpServer::acceptError, this, [this](QAbstractSocket::SocketError) {
        Q_EMIT accept_failed(server_.errorString());
        accept_retry_.start();
    });
}

TcpSimulator::~TcpSimulator()
{
    if (client_) {
        client_->disconnect(this);
        client_->abort();
    }
}

bool TcpSimulator::listen(const QHostAddress &address, quint16 port, QString *error)
{
    if (server_.listen(address, port))
        return true;
    if (error) {
        *error = QStringLiteral("cannot listen on %1:%2: %3")
                     .arg(address.toString())
                     .arg(port)
                     .arg(server_.errorString());
    }
    return false;
}

bool TcpSimulator::connected() const
{
    return client_ && client_->state() == QAbstractSocket::ConnectedState;
}

void TcpSimulator::hang_up()
{
    if (!client_)
        return;
    drop_client(true);
    Q_EMIT hung_up();
}

void TcpSimulator::take_connection()
{
    while (QTcpSocket *socket = server_.nextPendingConnection()) {
        if (one_client_ && connected()) {
            // Refused: the holder keeps the line, and the newcomer sees its connection closed.
            connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            socket->disconnectFromHost();
            if (socket->state() == QAbstractSocket::UnconnectedState)
                socket->deleteLater();
            continue;
        }
        if (client_)
            drop_client(false);
        client_ = socket;
        // Small replies go out at once, as a gateway forwards serial bytes without batching.
        socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        connect(socket, &QTcpSocket::readyRead, this, &TcpSimulator::read_input);
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
            socket->deleteLater();
            if (client_ == socket) {
                client_ = nullptr;
                model_.reset_input();
                steps_.clear();
                step_timer_.stop();
                loop_timer_.stop();
                Q_EMIT client_gone();
            }
        });
        telnet_ = TelnetServer(faults_.telnet);
        loop_timer_.stop();
        if (rfc2217_ && faults_.telnet == TelnetFault::Loop)
            loop_timer_.start();
        // A gateway opens with its own offers, as ser2net does: binary both ways, no go-ahead,
        // and the COM port option asked of the client (unless it refuses that option).
        if (rfc2217_ && faults_.telnet != TelnetFault::Mute)
            queue_telnet(QByteArray::fromHex(faults_.telnet == TelnetFault::Refuse
                    ? "fffb03fffb00fffd00"
                    : "fffb03fffb00fffd00fffd2c"));
        Q_EMIT client_connected();
        // Bytes that came with the connection itself.
        if (socket->bytesAvailable() > 0)
            read_input();
    }
}

void TcpSimulator::read_input()
{
    if (!client_)
        return;
    QByteArray bytes = client_->readAll();
    if (bytes.isEmpty())
        return;
    if (rfc2217_) {
        QByteArray answer;
        bytes = telnet_.take(bytes, &answer);
        queue_telnet(answer);
    }
    const std::vector<ReceiverModel::Exchange> exchanges = model_.feed_exchanges(bytes);
    if (hook_) {
        for (const ReceiverModel::Exchange &e : exchanges)
            hook_(e.message);
    }
    const std::vector<LineStep> steps = line_steps(faults_, exchanges);
    queue(rfc2217_ ? telnet_steps(steps) : steps);
}

void TcpSimulator::queue(const std::vector<LineStep> &steps)
{
    if (steps.empty())
        return;
    const bool idle = steps_.empty() && !step_timer_.isActive();
    steps_.insert(steps_.end(), steps.begin(), steps.end());
    if (idle)
        run_steps();
}

namespace {

// The gap between the pieces of a cut Telnet sequence: long enough that they arrive in reads of
// their own.
constexpr int telnet_split_gap_ms = 15;
// Commands sent before each reply by the flood fault: more bytes than a reply may take.
constexpr int telnet_flood_count = 1200;

} // namespace

void TcpSimulator::queue_telnet(const QByteArray &bytes)
{
    if (bytes.isEmpty())
        return;
    if (faults_.telnet != TelnetFault::Split) {
        queue({ LineStep { 0, bytes, false } });
        return;
    }
    std::vector<LineStep> steps;
    for (const QByteArray &piece : TelnetServer::cut_sequences(bytes))
        steps.push_back({ telnet_split_gap_ms, piece, false });
    queue(steps);
}

std::vector<LineStep> TcpSimulator::telnet_steps(const std::vector<LineStep> &steps) const
{
    std::vector<LineStep> out;
    for (const LineStep &step : steps) {
        if (step.hang_up || step.bytes.isEmpty()) {
            out.push_back(step);
            continue;
        }
        QByteArray bytes = TelnetServer::escape(step.bytes);
        switch (faults_.telnet) {
        case TelnetFault::Flood:
            out.push_back({ step.wait_ms, TelnetServer::flood(telnet_flood_count), false });
            out.push_back({ 0, bytes, false });
            break;
        case TelnetFault::Split: {
            // A modem state notice in the middle of the reply, and every sequence cut apart.
            bytes.insert(bytes.size() / 2, QByteArray::fromHex("fffa2c6b30fff0"));
            int wait = step.wait_ms;
            for (const QByteArray &piece : TelnetServer::cut_sequences(bytes)) {
                out.push_back({ wait, piece, false });
                wait = telnet_split_gap_ms;
            }
            break;
        }
        default:
            out.push_back({ step.wait_ms, bytes, false });
            break;
        }
    }
    return out;
}

// Carries out the steps in order; a step that waits arms the timer and resumes here later.
// The first step's wait counts from when the line is free, as on a serial line that answers one
// message after the other.
void TcpSimulator::run_steps()
{
    while (!steps_.empty() && client_) {
        LineStep &step = steps_.front();
        if (step.wait_ms > 0) {
            const int wait = step.wait_ms;
            step.wait_ms = 0;
            step_timer_.start(wait);
            return;
        }
        if (step.hang_up) {
            hang_up();
            return;
        }
        client_->write(step.bytes);
        steps_.pop_front();
    }
}

void TcpSimulator::drop_client(bool flush)
{
    QTcpSocket *socket = client_;
    client_ = nullptr;
    steps_.clear();
    step_timer_.stop();
    loop_timer_.stop();
    // A message cut short by the drop is gone, as on a line that was re-opened.
    model_.reset_input();
    socket->disconnect(this);
    if (flush) {
        // Replies already written still reach the client, then the connection closes.
        socket->disconnectFromHost();
        if (socket->state() == QAbstractSocket::UnconnectedState)
            socket->deleteLater();
        else
            connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    } else {
        socket->abort();
        socket->deleteLater();
    }
    Q_EMIT client_gone();
}
