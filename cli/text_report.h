#pragma once

#include "cli/console.h"
#include "cli/receiver_run.h"
#include "model/job.h"
#include "model/settings.h"

#include <QString>

// Reporting one receiver's job: its result on standard output (text, or the JSON document), its
// errors on standard error.
namespace cli {

// What a job found, as text on stdout: the values read (a profile), or the changes and
// differences. A read that stopped midway says so in a last comment line, so that what was read
// cannot pass for a whole profile.
void print_result(
    Console &console, const model::JobRequest &request, const model::JobResult &result);

// What to add when a port could not be opened and its name suggests why; empty when it does not.
QString open_hint(const QString &port);

// The whole report of a command run on one receiver; gives the tool's exit status.
int report_receiver(Console &console, const model::JobRequest &request,
    const ReceiverOutcome &outcome, const model::OptionLists &lists, bool json);

} // namespace cli
