#include "cli/monitor.h"

#include "cli/descriptors.h"
#include "cli/exit_status.h"
#include "cli/exporter.h"
#include "cli/input_files.h"
#include "cli/interrupts.h"
#include "cli/receiver_run.h"
#include "cli/watch.h"
#include "link/trace.h"

#include <QEventLoop>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTextStream>

namespace cli {

using namespace model;

namespace {

void report(QTextStream &err, const QString &text)
{
    err << "kz-orba-cli: " << text << '\n';
    err.flush();
}

// Whether what was written to out reached it.
bool written(QTextStream &out)
{
    out.flush();
    return out.status() == QTextStream::Ok;
}

} // namespace

int run_monitor(const Invocation &inv, grammar::Action action, Console &console)
{
    QList<Target> targets;
    if (!inv.ports_file.isEmpty()) {
        QString text, why;
        if (!read_input_file(inv.ports_file, &text, &why)) {
            report(console, QStringLiteral("%1; nothing was opened").arg(why));
            return status_usage;
        }
        if (!parse_targets(text, &targets, &why)) {
            report(console, QStringLiteral("%1: %2; nothing was opened").arg(inv.ports_file, why));
            return status_usage;
        }
    }
    targets = with_ports(
        targets, inv.ports.isEmpty() && targets.isEmpty() ? QStringList { inv.port } : inv.ports);
    for (const Target &target : std::as_const(targets)) {
        if (const std::optional<QString> problem = port_problem(target.port)) {
            report(console, QStringLiteral("%1; nothing was opened").arg(*problem));
            return status_usage;
        }
    }
    MonitorRequest request;
    request.targets = targets;
    request.json = inv.json;
    request.interval_ms = inv.interval_ms;
    request.jobs = DescriptorBudget::for_run(inv.jobs, targets.size()).busy;
    if (action == grammar::Action::Serve) {
        // Every target may be scraped at once, whatever is probed at a time; each probe also
        // holds its scraper's connection, so the lines get half of the budget.
        request.jobs
            = inv.jobs > 0 ? inv.jobs : std::max(1, default_jobs(raise_descriptor_limit()) / 2);
        QString why;
        if (!parse_listen_address(
                inv.listen, &request.listen_address, &request.listen_port, &why)) {
            report(console, why);
            return status_usage;
        }
    }
    TraceWriter trace;
    if (!inv.trace.isEmpty()) {
        QString why;
        if (!open_trace(inv.trace, &trace, &why)) {
            report(
                console, QStringLiteral("cannot open the trace file %1: %2").arg(inv.trace, why));
            return status_usage;
        }
        request.trace = &trace;
    }
    int status = status_done;
    switch (action) {
    case grammar::Action::Status:
        status = run_status(request, console.out, console.err);
        break;
    case grammar::Action::Watch:
        status = run_watch(request, console.out, console.err, console.interrupts);
        break;
    default:
        status = run_serve(request, console.out, console.err, console.interrupts);
        break;
    }
    if (!trace.failure().isEmpty()) {
        report(console,
            QStringLiteral("the trace %1 could not be written: %2; it holds the lines before")
                .arg(inv.trace, trace.failure()));
        return std::max(status, int(status_failed));
    }
    return status;
}

int run_status(const MonitorRequest &request, QTextStream &out, QTextStream &err)
{
    ProbeRound round(request.targets, request.jobs, request.trace);
    QEventLoop loop;
    QObject::connect(&round, &ProbeRound::finished, &loop, &QEventLoop::quit);
    round.start();
    if (!round.is_finished())
        loop.exec();

    int worst = 0;
    QJsonArray receivers;
    for (qsizetype i = 0; i < request.targets.size(); ++i) {
        const Target &target = request.targets.at(i);
        const ProbeResult &result = round.result(i);
        worst = std::max(worst, state_status(result.state));
        if (request.json)
            receivers << probe_object(target, result);
        else
            out << probe_line(target, result) << '\n';
    }
    if (request.json) {
        QJsonObject root;
        root.insert(QStringLiteral("schema"), 1);
        root.insert(QStringLiteral("receivers"), receivers);
        out << QString::fromUtf8(QJsonDocument(root).toJson(QJsonDocument::Indented));
    }
    if (!written(out)) {
        report(err, QStringLiteral("standard output cannot be written"));
        return std::max(worst, int(status_failed));
    }
    return worst;
}

int run_watch(const MonitorRequest &request, QTextStream &out, QTextStream &err, Interrupts *stop)
{
    bool write_failed = false;
    Watcher *watcher = nullptr;
    Watcher::Print print
        = [&](const Target &target, const ProbeResult &result, const ProbeChange &change) {
              const QDateTime now = QDateTime::currentDateTime();
              if (request.json)
                  out << QString::fromUtf8(change_json(now, target, result, change));
              else
                  out << change_line(now, target, result, change) << '\n';
              // A reader that went away (a closed pipe) ends the watch: nobody sees the changes.
              if (!written(out) && !write_failed) {
                  write_failed = true;
                  report(err, QStringLiteral("standard output cannot be written; the watch ends"));
                  watcher->stop();
              }
          };
    Watcher watch(request.targets, request.jobs, request.interval_ms, request.trace, print);
    watcher = &watch;
    QEventLoop loop;
    QObject::connect(&watch, &Watcher::finished, &loop, &QEventLoop::quit);
    if (stop)
        QObject::connect(stop, &Interrupts::interrupted, &watch, &Watcher::stop);
    watch.start();
    if (stop && stop->caught())
        watch.stop();
    loop.exec();
    return write_failed ? status_failed : 0;
}

int run_serve(const MonitorRequest &request, QTextStream &out, QTextStream &err, Interrupts *stop)
{
    Exporter exporter(request.targets, request.jobs, request.trace);
    QString why;
    if (!exporter.listen(request.listen_address, request.listen_port, &why)) {
        report(err, why);
        return status_line;
    }
    const QString host = request.listen_address.protocol() == QAbstractSocket::IPv6Protocol
        ? QStringLiteral("[%1]").arg(request.listen_address.toString())
        : request.listen_address.toString();
    // The first line says where it listens (port 0 takes a free one), for scripts and tests.
    out << "kz-orba-cli: serving " << request.targets.size() << " receivers on http://" << host
        << ':' << exporter.port() << "/probe?target=NAME\n";
    out.flush();
    QEventLoop loop;
    if (stop) {
        QObject::connect(stop, &Interrupts::interrupted, &loop, &QEventLoop::quit);
        if (stop->caught())
            return 0;
    }
    loop.exec();
    return 0;
}

} // namespace cli
