#include "cli/exporter.h"

#include "cli/invocation.h"
#include "model/settings.h"

#include <QDir>
#include <QFile>
#include <QHttpServer>
#include <QHttpServerRequest>
#include <QHttpServerResponder>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <QUrlQuery>

#include <cmath>

namespace cli {

using namespace model;

namespace {

const QByteArray text_format = "text/plain; version=0.0.4; charset=utf-8";

// A label value as the text format writes it: backslash, double quote and line feed escaped.
QByteArray label_value(const QString &value)
{
    QByteArray out;
    for (const char c : value.toUtf8()) {
        if (c == '\\')
            out += "\\\\";
        else if (c == '"')
            out += "\\\"";
        else if (c == '\n')
            out += "\\n";
        else
            out += c;
    }
    return out;
}

void family(QByteArray &out, const char *name, const char *type, const char *help)
{
    out += QByteArray("# HELP ") + name + ' ' + help + '\n';
    out += QByteArray("# TYPE ") + name + ' ' + type + '\n';
}

QByteArray number(double value)
{
    return QByteArray::number(value, 'g', 12);
}

// The inputs a receiver may show, in the layout its transmitter gives.
QStringList input_entries(const ProbeResult &result)
{
    const Setting *input = find_setting(QStringLiteral("input_source"));
    const std::optional<QString> transmitter = result.value("transmitter");
    const bool single_hdmi = !(transmitter && three_inputs(transmitter->toLatin1()));
    return list_entries(*input, OptionLists {}, single_hdmi);
}

// A line of /proc/self/status ("VmRSS:  1234 kB") in bytes; -1 where there is none.
qint64 status_kilobytes(const QByteArray &status, const QByteArray &key)
{
    for (const QByteArray &line : status.split('\n')) {
        if (line.startsWith(key + ':')) {
            const QList<QByteArray> parts = line.mid(key.size() + 1).simplified().split(' ');
            bool ok = false;
            const qint64 kb = parts.value(0).toLongLong(&ok);
            return ok ? kb * 1024 : -1;
        }
    }
    return -1;
}

} // namespace

QByteArray probe_metrics(const ProbeResult &result)
{
    QByteArray out;
    family(out, "kz_orba_up", "gauge", "Whether the receiver answered every query of the probe.");
    out += "kz_orba_up " + QByteArray(result.state == ProbeState::Answering ? "1" : "0") + '\n';
    family(out, "kz_orba_state", "gauge",
        "The probe's state: 1 for the state found, 0 for the others (answering, garbled, silent, "
        "busy, unreachable).");
    for (const ProbeState state : probe_states)
        out += "kz_orba_state{state=\"" + state_word(state).toLatin1() + "\"} "
            + (state == result.state ? "1" : "0") + '\n';
    family(out, "kz_orba_probe_duration_seconds", "gauge",
        "How long the probe took, from opening the line to its end.");
    out += "kz_orba_probe_duration_seconds " + number(double(result.round_trip_ms) / 1000.0) + '\n';

    const std::optional<QString> transmitter = result.value("transmitter");
    const std::optional<QString> firmware = result.value("rx_firmware");
    if (transmitter || firmware) {
        family(out, "kz_orba_info", "gauge",
            "The transmitter's identification and the receiver's firmware, as the probe read "
            "them.");
        out += "kz_orba_info{transmitter=\"" + label_value(transmitter.value_or(QString()))
            + "\",firmware=\"" + label_value(firmware.value_or(QString())) + "\"} 1\n";
    }
    if (const std::optional<QString> input = result.value("input_source")) {
        family(out, "kz_orba_input", "gauge",
            "The input source the receiver shows: 1 for the input read, 0 for the others.");
        QStringList inputs = input_entries(result);
        if (!inputs.contains(*input))
            inputs << *input;
        for (const QString &entry : std::as_const(inputs))
            out += "kz_orba_input{input=\"" + label_value(entry) + "\"} "
                + (entry == *input ? "1" : "0") + '\n';
    }
    if (const std::optional<QString> display = result.value("display")) {
        family(out, "kz_orba_display_on", "gauge",
            "Whether the receiver's display output is on (1) or off (0).");
        out += "kz_orba_display_on " + QByteArray(*display == QLatin1String("On") ? "1" : "0")
            + '\n';
    }
    return out;
}

bool parse_listen_address(const QString &text, QHostAddress *address, quint16 *port, QString *error)
{
    const qsizetype colon = text.lastIndexOf(QLatin1Char(':'));
    QString host = colon > 0 ? text.left(colon) : QString();
    if (host.startsWith(QLatin1Char('[')) && host.endsWith(QLatin1Char(']')))
        host = host.mid(1, host.size() - 2);
    bool ok = false;
    const uint number = colon > 0 ? text.mid(colon + 1).toUInt(&ok) : 0;
    QHostAddress parsed;
    if (host.compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0)
        parsed = QHostAddress(QHostAddress::LocalHost);
    else if (host == QLatin1String("*"))
        parsed = QHostAddress(QHostAddress::Any);
    else
        parsed.setAddress(host);
    if (!ok || number > 65535 || parsed.isNull()) {
        *error = QStringLiteral("--listen takes HOST:PORT with a numeric address, localhost or *, "
                                "not \"%1\"")
                     .arg(text);
        return false;
    }
    *address = parsed;
    *port = quint16(number);
    return true;
}

int probe_deadline_ms(const QByteArray &scrape_timeout_header)
{
    bool ok = false;
    const double seconds = scrape_timeout_header.trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(seconds) || seconds <= 0)
        return 0;
    // Time for the answer to travel back; never less than a tenth of a second of probing.
    const double ms = std::min(seconds * 1000.0, 3600.0 * 1000.0);
    return std::max(100, int(ms - std::min(500.0, ms / 10.0)));
}

Exporter::Exporter(QList<Target> targets, int jobs, TraceWriter *trace, QObject *parent)
    : QObject(parent)
    , targets_(std::move(targets))
    , jobs_(std::max(1, jobs))
    , trace_(trace)
    , server_(std::make_unique<QHttpServer>())
{
    make_probe_ = [this](const Target &target) {
        return std::make_unique<ReceiverProbe>(target.name, port_address(target.port), trace_);
    };
    server_->route(QStringLiteral("/probe"), QHttpServerRequest::Method::Get,
        [this](const QHttpServerRequest &request, QHttpServerResponder &&responder) {
            probe_request(request, std::move(responder));
        });
    server_->route(QStringLiteral("/metrics"), QHttpServerRequest::Method::Get,
        [this](const QHttpServerRequest &, QHttpServerResponder &&responder) {
            responder.write(own_metrics(), text_format);
        });
    server_->route(QStringLiteral("/"), QHttpServerRequest::Method::Get,
        [](const QHttpServerRequest &, QHttpServerResponder &&responder) {
            responder.write(
                QByteArrayLiteral("kz-orba-cli serve: a Prometheus exporter of KZ-ORBA-320-RX "
                                  "receivers.\n"
                                  "GET /probe?target=NAME  probes one receiver of the ports file\n"
                                  "GET /metrics            the exporter's own counters\n"),
                "text/plain; charset=utf-8");
        });
}

Exporter::~Exporter()
{
    // The probes end before the server and its sockets go.
    lines_.clear();
}

bool Exporter::listen(const QHostAddress &address, quint16 port, QString *error)
{
    auto *tcp = new QTcpServer(server_.get());
    if (!tcp->listen(address, port)) {
        *error = QStringLiteral("cannot listen on %1:%2: %3")
                     .arg(address.toString())
                     .arg(port)
                     .arg(tcp->errorString());
        delete tcp;
        return false;
    }
    // Out of descriptors, the listener stops taking connections: it takes up again once some
    // may have come free, so that the exporter does not go deaf for good after a burst.
    connect(tcp, &QTcpServer::acceptError, tcp, [tcp](QAbstractSocket::SocketError) {
        QTimer::singleShot(200, tcp, &QTcpServer::resumeAccepting);
    });
    server_->bind(tcp);
    port_ = tcp->serverPort();
    return true;
}

void Exporter::answer(const Waiter &waiter, const QByteArray &body, int status)
{
    // A scraper that gave up has closed its connection, and the socket may be gone.
    if (!waiter.socket || waiter.socket->state() != QAbstractSocket::ConnectedState)
        return;
    waiter.responder->write(
        body, text_format, static_cast<QHttpServerResponder::StatusCode>(status));
}

void Exporter::probe_request(const QHttpServerRequest &request, QHttpServerResponder &&responder)
{
    const QUrlQuery query(request.url());
    const QString name = query.queryItemValue(QStringLiteral("target"), QUrl::FullyDecoded);
    const Target *target = find_target(targets_, name);
    if (!target) {
        ++refused_;
        responder.write(name.isEmpty()
                ? QByteArrayLiteral("no target: ask for /probe?target=NAME\n")
                : QByteArrayLiteral("unknown target: only the receivers of the exporter's ports "
                                    "file can be probed\n"),
            "text/plain; charset=utf-8", QHttpServerResponder::StatusCode::BadRequest);
        return;
    }
    Waiter waiter { std::make_shared<QHttpServerResponder>(std::move(responder)), nullptr };
    waiter.socket = waiter.responder->socket();
    const int deadline = probe_deadline_ms(
        request.value(QByteArrayLiteral("X-Prometheus-Scrape-Timeout-Seconds")));
    const QString address = port_address(target->port);
    auto found = lines_.find(address);
    if (found != lines_.end()) {
        // A probe of this line is running or waits: this scrape takes its answer.
        ++shared_;
        (*found)->waiters << waiter;
        return;
    }
    auto line = std::make_shared<LineProbe>();
    line->target = *target;
    line->deadline_ms = deadline;
    line->waiters << waiter;
    lines_.insert(address, line);
    waiting_.push_back(address);
    start_waiting();
}

void Exporter::start_waiting()
{
    while (running_ < jobs_ && !waiting_.empty()) {
        const QString address = waiting_.front();
        waiting_.pop_front();
        const auto found = lines_.find(address);
        if (found != lines_.end())
            start(**found);
    }
}

void Exporter::start(LineProbe &line)
{
    // Every scraper may have given up while the probe waited its turn.
    const bool anyone = std::any_of(line.waiters.begin(), line.waiters.end(),
        [](const Waiter &waiter) { return waiter.socket && waiter.socket->isOpen(); });
    const QString address = port_address(line.target.port);
    if (!anyone) {
        ++abandoned_;
        lines_.remove(address);
        return;
    }
    ++running_;
    line.probe = make_probe_(line.target);
    connect(
        line.probe.get(), &ReceiverProbe::finished, this, [this, address] { probe_done(address); },
        Qt::QueuedConnection);
    line.probe->start(line.deadline_ms);
}

void Exporter::probe_done(const QString &address)
{
    const auto found = lines_.find(address);
    if (found == lines_.end())
        return;
    const std::shared_ptr<LineProbe> line = *found;
    lines_.erase(found);
    --running_;
    const ProbeResult &result = line->probe->result();
    ++probes_by_state_[static_cast<std::size_t>(result.state)];
    const QByteArray body = probe_metrics(result);
    for (const Waiter &waiter : std::as_const(line->waiters))
        answer(waiter, body, 200);
    start_waiting();
}

QByteArray Exporter::own_metrics() const
{
    QByteArray out;
    family(out, "kz_orba_exporter_probes_total", "counter", "Probes made, by the state found.");
    for (const ProbeState state : probe_states)
        out += "kz_orba_exporter_probes_total{state=\"" + state_word(state).toLatin1() + "\"} "
            + QByteArray::number(probes_by_state_[static_cast<std::size_t>(state)]) + '\n';
    family(out, "kz_orba_exporter_refused_total", "counter",
        "Probe requests refused because their target is not in the ports file.");
    out += "kz_orba_exporter_refused_total " + QByteArray::number(refused_) + '\n';
    family(out, "kz_orba_exporter_shared_total", "counter",
        "Probe requests answered by a probe of the same line that was already under way.");
    out += "kz_orba_exporter_shared_total " + QByteArray::number(shared_) + '\n';
    family(out, "kz_orba_exporter_abandoned_total", "counter",
        "Probes not made because every scraper waiting for them had given up.");
    out += "kz_orba_exporter_abandoned_total " + QByteArray::number(abandoned_) + '\n';
    family(out, "kz_orba_exporter_probes_running", "gauge", "Lines being probed now.");
    out += "kz_orba_exporter_probes_running " + QByteArray::number(running_) + '\n';
    family(out, "kz_orba_exporter_probes_queued", "gauge",
        "Probes waiting for their turn (at most --jobs lines are probed at once).");
    out += "kz_orba_exporter_probes_queued " + QByteArray::number(qint64(waiting_.size())) + '\n';
    family(out, "kz_orba_exporter_targets", "gauge", "Receivers in the ports file.");
    out += "kz_orba_exporter_targets " + QByteArray::number(targets_.size()) + '\n';

    // The process's own figures, where the system shows them.
    const QDir fds(QStringLiteral("/proc/self/fd"));
    if (fds.exists()) {
        family(out, "process_open_fds", "gauge", "Number of open file descriptors.");
        out += "process_open_fds "
            + QByteArray::number(
                fds.entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System).size())
            + '\n';
    }
    QFile status(QStringLiteral("/proc/self/status"));
    if (status.open(QIODevice::ReadOnly)) {
        const QByteArray text = status.readAll();
        const qint64 rss = status_kilobytes(text, "VmRSS");
        if (rss >= 0) {
            family(out, "process_resident_memory_bytes", "gauge", "Resident memory size in bytes.");
            out += "process_resident_memory_bytes " + QByteArray::number(rss) + '\n';
        }
    }
    return out;
}

} // namespace cli
