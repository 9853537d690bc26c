#pragma once

#include "cli/console.h"
#include "cli/invocation.h"

#include <QString>
#include <QStringList>

// Running kz-orba-cli: a parsed command line, to its end and its exit status.
namespace cli {

// --help: every option and command.
QString usage_text();

// Runs an invocation to its end (the event loop runs inside) and gives the exit status.
// default_config_dir is used when the invocation names none.
int run(const Invocation &invocation, Console &console, const QString &default_config_dir);

// The whole program: parses, runs, and gives the exit status.
int main_with(const QStringList &words, Console &console, const QString &default_config_dir);
// The same, giving what was parsed.
int main_with(const QStringList &words, Console &console, const QString &default_config_dir,
    Invocation *parsed);

} // namespace cli
