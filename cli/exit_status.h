#pragma once

#include "model/job.h"

// kz-orba-cli's exit statuses, as --help and the README list them.
namespace cli {

enum ExitStatus : int {
    status_done = 0, // done
    status_failed = 1, // a command failed, or (diff) the receiver differs
    status_usage = 2, // bad usage or bad profile; nothing was sent
    status_line = 3, // the port cannot be opened, or the line was lost
};

// The status a receiver's job ends the tool with.
ExitStatus exit_status(model::JobEnd end);

} // namespace cli
