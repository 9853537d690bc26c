#pragma once

#include "cli/grammar.h"
#include "cli/invocation.h"
#include "model/job.h"
#include "model/settings.h"

#include <QString>

// Building the request a receiver command asks of each receiver, from its words, before anything
// is sent.
namespace cli {

// The setting a name on the command line names; none with the reason (a control byte, which is
// not printed raw, or an unknown name with the nearest one) when it names none.
const model::Setting *named_setting(const QString &name, QString *why);

// The job a command asks of each receiver, from the invocation's words. False with the reason
// when a word is doubtful (an unknown setting, a value no list offers, a bad profile), or when
// the action asks nothing of a receiver.
bool build_request(const Invocation &invocation, grammar::Action action,
    const model::OptionLists &lists, model::JobRequest *request, QString *why);

} // namespace cli
