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
                Q_EMIT client_gone();
            }
        });
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
    const QByteArray bytes = client_->readAll();
    if (bytes.isEmpty())
        return;
    const std::vector<ReceiverModel::Exchange> exchanges = model_.feed_exchanges(bytes);
    if (hook_) {
        for (const ReceiverModel::Exchange &e : exchanges)
            hook_(e.message);
    }
    const std::vector<LineStep> steps = line_steps(faults_, exchanges);
    if (steps.empty())
        return;
    const bool idle = steps_.empty();
    steps_.insert(steps_.end(), steps.begin(), steps.end());
    if (idle)
        run_steps();
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
