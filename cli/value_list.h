#pragma once

#include "cli/console.h"
#include "cli/invocation.h"
#include "model/settings.h"

// `values NAME`: what a setting may be; `values`: the settings' names.
namespace cli {

// Prints the values the setting named by the invocation's word may take, one a line, from the
// option lists in use; for a setting that takes a form instead, says which. Gives the exit status.
int list_values(const Invocation &invocation, const model::OptionLists &lists, Console &console);

} // namespace cli
