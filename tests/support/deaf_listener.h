#pragma once

#include <QTcpServer>
#include <QTcpSocket>

// A loopback listener that takes no more connections: its queue is full and it does not accept,
// so a connection attempt gets no answer, as from an address where nothing replies.
struct DeafListener
{
    DeafListener()
    {
        server.setListenBacklogSize(0);
        if (!server.listen(QHostAddress::LocalHost, 0))
            return;
        server.pauseAccepting();
        for (auto &filler : fillers) {
            filler.connectToHost(QHostAddress::LocalHost, server.serverPort());
            filler.waitForConnected(300);
        }
    }
    QString address() const
    {
        return QStringLiteral("tcp://127.0.0.1:%1").arg(server.serverPort());
    }
    // Whether a further connection really hangs here.
    bool deaf()
    {
        QTcpSocket probe;
        probe.connectToHost(QHostAddress::LocalHost, server.serverPort());
        return !probe.waitForConnected(300);
    }

    QTcpServer server;
    QTcpSocket fillers[2];
};
