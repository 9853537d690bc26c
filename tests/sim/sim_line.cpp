#include "tests/sim/sim_line.h"

#include <QDeadlineTimer>
#include <QEventLoop>
#include <QTimer>

SimLine::SimLine(Transport transport)
    : transport(transport)
    , client(transport)
{ }

bool SimLine::start(QString *error)
{
    if (transport == Transport::Pty) {
        link_ = dir_.filePath(QStringLiteral("com1"));
        pty_ = std::make_unique<PtySimulator>();
        return pty_->start(link_, error) && client.open(link_);
    }
    tcp_ = std::make_unique<TcpSimulator>();
    return tcp_->listen(QHostAddress::LocalHost, 0, error) && tcp_->port() != 0
        && client.open(tcp_->port());
}

bool SimLine::reopen()
{
    client.close();
    return transport == Transport::Pty ? client.open(link_) : client.open(tcp_->port());
}

void SimLine::set_faults(const SimFaults &faults)
{
    if (pty_)
        pty_->set_faults(faults);
    else
        tcp_->set_faults(faults);
}

void SimLine::with_model(const std::function<void(ReceiverModel &)> &f)
{
    if (pty_)
        pty_->with_model(f);
    else
        f(tcp_->model());
}

QList<QByteArray> SimLine::received()
{
    QList<QByteArray> got;
    with_model([&](ReceiverModel &m) { got = m.received(); });
    return got;
}

void SimLine::clear_received()
{
    with_model([](ReceiverModel &m) { m.clear_received(); });
}

bool SimLine::wait_for_received(int count, int timeout_ms)
{
    if (pty_)
        return pty_->wait_for_received(count, timeout_ms);
    // The listener reads on this thread: let its events run until the messages are in.
    const QDeadlineTimer deadline(timeout_ms, Qt::PreciseTimer);
    while (tcp_->model().received().size() < count) {
        if (deadline.hasExpired())
            return false;
        QEventLoop loop;
        QTimer::singleShot(10, Qt::PreciseTimer, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return true;
}
