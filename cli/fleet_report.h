#pragma once

#include "cli/console.h"
#include "cli/receiver_run.h"
#include "model/job.h"
#include "model/settings.h"

#include <QList>
#include <QString>

// Reporting a command run on several receivers: the results on standard output (the profiles
// read, or the JSON document), then one line per receiver and a summary on standard error.
namespace cli {

// One receiver's line in the fleet's report: its port, how it ended, and what changed or differs.
QString receiver_line(
    const QString &port, const model::JobRequest &request, const model::JobResult &result);

// The whole report of a fleet; gives the tool's exit status, the worst of the receivers', or
// 128 + signal when a stop signal ended the run (its receivers' lines say "stopped").
int report_fleet(Console &console, const model::JobRequest &request,
    const QList<ReceiverOutcome> &outcomes, const model::OptionLists &lists, bool json);

} // namespace cli
