#include "cli/monitor.h"

#include "cli/exporter.h"
#include "cli/stop_signal.h"
#include "cli/watch.h"

#include <QEventLoop>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTextStream>

namespace cli {

using namespace model;

namespace {

constexpr int line_status = 3;
constexpr int failed_status = 1;

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
            receivers << status_object(target, result);
        else
            out << status_line(target, result) << '\n';
    }
    if (request.json) {
        QJsonObject root;
        root.insert(QStringLiteral("schema"), 1);
        root.insert(QStringLiteral("receivers"), receivers);
        out << QString::fromUtf8(QJsonDocument(root).toJson(QJsonDocument::Indented));
    }
    if (!written(out)) {
        report(err, QStringLiteral("standard output cannot be written"));
        return std::max(worst, failed_status);
    }
    return worst;
}

int run_watch(const MonitorRequest &request, QTextStream &out, QTextStream &err)
{
    StopSignal stop;
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
    QObject::connect(&stop, &StopSignal::requested, &watch, &Watcher::stop);
    watch.start();
    loop.exec();
    return write_failed ? failed_status : 0;
}

int run_serve(const MonitorRequest &request, QTextStream &out, QTextStream &err)
{
    StopSignal stop;
    Exporter exporter(request.targets, request.jobs, request.trace);
    QString why;
    if (!exporter.listen(request.listen_address, request.listen_port, &why)) {
        report(err, why);
        return line_status;
    }
    const QString host = request.listen_address.protocol() == QAbstractSocket::IPv6Protocol
        ? QStringLiteral("[%1]").arg(request.listen_address.toString())
        : request.listen_address.toString();
    // The first line says where it listens (port 0 takes a free one), for scripts and tests.
    out << "kz-orba-cli: serving " << request.targets.size() << " receivers on http://" << host
        << ':' << exporter.port() << "/probe?target=NAME\n";
    out.flush();
    QEventLoop loop;
    QObject::connect(&stop, &StopSignal::requested, &loop, &QEventLoop::quit);
    loop.exec();
    return 0;
}

} // namespace cli
