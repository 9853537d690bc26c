#pragma once

#include <QString>
#include <QStringList>

// Where the window and kz-orba-cli keep their settings, option-list and picture files.
//   Given     --config-dir DIR: everything in DIR.
//   Portable  the executable's folder holds the settings file (a build tree, a portable copy):
//             everything there.
//   User      otherwise (installed): the user's own folder; files missing there are copied from
//             the first folder of installed defaults that has them, then read and written there.
namespace config_folder {

enum class Mode { Given, Portable, User };

struct Places
{
    QString given; // --config-dir, or empty
    QString exe_dir; // the executable's folder
    QString user_dir; // the user's configuration folder
    QStringList default_dirs; // installed defaults, searched in order
};

struct Choice
{
    Mode mode = Mode::Given;
    QString dir; // the folder in use
    QString defaults_dir; // User mode: the folder the defaults come from, or empty if none has them
    QStringList copied; // the files copied into dir on this start
    QStringList problems; // one line per file that could not be copied: path and reason
};

// The settings file whose presence beside the executable makes a portable copy.
inline constexpr char marker_file[] = "KZ_ORBA_CTRL.ini";

// Chooses the folder. In User mode with copy set, creates the folder and copies each of files
// that is missing there from the defaults (made writable by the user); without copy nothing on
// disk changes, so --help can tell the folder without touching it.
Choice choose(const Places &places, const QStringList &files, bool copy);

// The places of this system: the user folder is "kz-orba-ctrl" in the generic configuration
// location (~/.config/kz-orba-ctrl on Linux), the defaults "share/kz-orba-ctrl" beside the
// executable's prefix and in the system's data folders.
Places system_places(const QString &given);

// One line for --help and the port lists: the folder and why it is the one in use.
QString describe(const Choice &choice);

} // namespace config_folder
