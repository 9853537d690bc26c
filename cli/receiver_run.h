#pragma once

#include "cli/console.h"
#include "model/job.h"
#include "model/settings.h"

#include <QList>
#include <QString>
#include <QStringList>

class TraceWriter;

// Running a request on receivers: one job, or a fleet of them within the descriptor budget, with
// a progress line on a terminal. The event loop runs inside until every job has ended.
namespace cli {

// What one receiver's job ended with, as the reports take it.
struct ReceiverOutcome
{
    QString port;
    model::JobResult result;
};

// How a request is run.
struct RunOptions
{
    QString what; // the command, for the progress line
    int jobs = 0; // --jobs: receivers busy at once; 0: as many as the descriptors allow
    const model::OptionLists *lists = nullptr;
    TraceWriter *trace = nullptr; // none: no trace
};

// Runs request on every port (as a fleet when there are several) and gives each port's outcome,
// in the order of ports.
QList<ReceiverOutcome> run_request(const QStringList &ports, const model::JobRequest &request,
    const RunOptions &options, Console &console);

// Opens --trace: "-" is standard error, anything else a regular file appended to. False with
// the reason.
bool open_trace(const QString &path, TraceWriter *trace, QString *why);

} // namespace cli
