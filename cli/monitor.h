#pragma once

#include "cli/console.h"
#include "cli/grammar.h"
#include "cli/invocation.h"
#include "cli/targets.h"

#include <QHostAddress>
#include <QList>

class QTextStream;
class TraceWriter;

// Running status, watch and serve once their words are checked: the receivers and how to look at
// them, to the end and an exit status.
namespace cli {

class Interrupts;

// status, watch and serve from a parsed command line: the receivers as targets (a ports file may
// name them), checked before any line is opened, then run.
int run_monitor(const Invocation &invocation, grammar::Action action, Console &console);

struct MonitorRequest
{
    QList<Target> targets;
    int jobs = 1; // lines probed at once
    bool json = false;
    int interval_ms = 30000; // watch
    QHostAddress listen_address = QHostAddress(QHostAddress::LocalHost); // serve
    quint16 listen_port = 9731; // serve
    TraceWriter *trace = nullptr;
};

// status: one probe of each receiver; results on out (text lines, or one JSON document), the
// exit status of the worst state.
int run_status(const MonitorRequest &request, QTextStream &out, QTextStream &err);

// watch: a probe every interval, the changes on out as they come (text, or one JSON object a
// line), until stop is interrupted (SIGINT, SIGTERM or SIGHUP); 0 then, or 1 when out cannot be
// written. Without stop it runs until the process ends.
int run_watch(const MonitorRequest &request, QTextStream &out, QTextStream &err, Interrupts *stop);

// serve: the Prometheus exporter until stop is interrupted; 0 then; 3 when it cannot listen.
int run_serve(const MonitorRequest &request, QTextStream &out, QTextStream &err, Interrupts *stop);

} // namespace cli
