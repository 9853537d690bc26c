#pragma once

#include <QString>

// Shell completion scripts for kz-orba-cli: the templates in cli/completion/ filled from its
// grammar (commands, options, setting names); the values are asked of `kz-orba-cli values NAME`
// as the user types, so that they come from the option-list files in use.
namespace cli {

// The script for "bash", "zsh" or "fish"; empty for another shell.
QString completion_script(const QString &shell);

} // namespace cli
