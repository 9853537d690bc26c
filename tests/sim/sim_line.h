#pragma once

#include "sim/pty_sim.h"
#include "sim/tcp_sim.h"
#include "tests/sim/line_client.h"

#include <QList>
#include <QTemporaryDir>

#include <functional>
#include <memory>

// A simulated receiver served in this process on either transport, with an independent client on
// its line: on a pty (the simulator on its own thread) or on a loopback listener (the simulator on
// this thread, served while the client waits).
class SimLine
{
public:
    explicit SimLine(Transport transport);

    // Starts the simulator and opens the client's line to it.
    bool start(QString *error);
    // The client closes its line and opens it again.
    bool reopen();

    void set_faults(const SimFaults &faults);
    void with_model(const std::function<void(ReceiverModel &)> &f);
    QList<QByteArray> received();
    void clear_received();
    // Waits until at least count messages have been received, or the timeout.
    bool wait_for_received(int count, int timeout_ms);

    const Transport transport;
    LineClient client;

private:
    QTemporaryDir dir_;
    QString link_;
    std::unique_ptr<PtySimulator> pty_;
    std::unique_ptr<TcpSimulator> tcp_;
};
