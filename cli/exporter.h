#pragma once

#include "cli/targets.h"
#include "model/probe.h"

#include <QByteArray>
#include <QHash>
#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>

#include <array>
#include <deque>
#include <functional>
#include <memory>

class QHttpServer;
class QHttpServerRequest;
class QHttpServerResponder;
class QTcpSocket;
class TraceWriter;

// The Prometheus exporter of kz-orba-cli serve: a receiver is probed only when Prometheus asks
// for it (GET /probe?target=NAME), in the multi-target pattern, so that Prometheus schedules,
// stores and alerts. Only the targets of its own ports file can be probed; any other name is
// refused with 400 and no line is opened.
namespace cli {

// A probe's answer in Prometheus's text format (version 0.0.4).
QByteArray probe_metrics(const model::ProbeResult &result);

// "HOST:PORT" ("[::1]:9731" for IPv6; "localhost" for the loopback). False with the reason.
bool parse_listen_address(
    const QString &text, QHostAddress *address, quint16 *port, QString *error);

// How long a probe may take for a scrape whose timeout Prometheus sends (the header
// X-Prometheus-Scrape-Timeout-Seconds): a little less, so that the answer arrives in time; 0 for
// no header (the link's own limits then bound the probe).
int probe_deadline_ms(const QByteArray &scrape_timeout_header);

class Exporter : public QObject
{
    Q_OBJECT
public:
    // jobs: the most lines probed at once; further probes wait their turn.
    Exporter(QList<Target> targets, int jobs, TraceWriter *trace, QObject *parent = nullptr);
    ~Exporter() override;

    // Starts listening. False with the reason.
    bool listen(const QHostAddress &address, quint16 port, QString *error);
    quint16 port() const { return port_; }

    // The exporter's own counters, as /metrics shows them.
    QByteArray own_metrics() const;

    // How the probes are made; by default on the real lines. For tests.
    using MakeProbe = std::function<std::unique_ptr<model::ReceiverProbe>(const Target &)>;
    void set_make_probe(MakeProbe make) { make_probe_ = std::move(make); }

private:
    // A scrape waiting for a probe: the HTTP answer to give once it ends.
    struct Waiter
    {
        std::shared_ptr<QHttpServerResponder> responder;
        QPointer<QTcpSocket> socket;
    };
    // One line's probe: running or waiting for its turn, with every scrape that waits for it.
    struct LineProbe
    {
        Target target;
        int deadline_ms = 0;
        std::unique_ptr<model::ReceiverProbe> probe;
        QList<Waiter> waiters;
    };

    void probe_request(const QHttpServerRequest &request, QHttpServerResponder &&responder);
    void start_waiting();
    void start(LineProbe &line);
    void probe_done(const QString &address);
    static void answer(const Waiter &waiter, const QByteArray &body, int status);

    QList<Target> targets_;
    int jobs_;
    TraceWriter *trace_;
    std::unique_ptr<QHttpServer> server_;
    quint16 port_ = 0;
    MakeProbe make_probe_;
    // By the address opened, so that two names of one line share its probe.
    QHash<QString, std::shared_ptr<LineProbe>> lines_;
    std::deque<QString> waiting_; // addresses whose probe waits for its turn
    int running_ = 0;

    // Counters.
    std::array<quint64, std::size(model::probe_states)> probes_by_state_ {};
    quint64 refused_ = 0;
    quint64 shared_ = 0;
    quint64 abandoned_ = 0;
};

} // namespace cli
