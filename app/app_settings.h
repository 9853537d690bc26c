#pragma once

#include "section/window_state.h"

#include <QString>
#include <QStringList>

// The receive log's auto-clear switch; the numbers are those of the settings file.
enum class AutoClear : int { Off = 0, On = 1 };

// The five values the window remembers between runs, kept in KZ_ORBA_CTRL.ini in the folder
// config_folder::choose() gives (--config-dir, the executable's folder, or the user's folder).
struct AppSettings
{
    int port_no = 0; // 1 to 9 for COM1 to COM9, 0 for none
    AutoClear auto_clear = AutoClear::Off;
    CommandView cmd_fmt = CommandView::Text; // projector command view
    QString proj_file; // projector settings file in use, or empty
    Section open_section = Section::Receiver;
};

namespace app_files {
// The option-list files are named by the receiver model (model::option_list_file).
inline constexpr char settings_file[] = "KZ_ORBA_CTRL.ini";
inline constexpr char ball_red_file[] = "ball_red.gif";
inline constexpr char ball_gray_file[] = "ball_gray.bmp";

// The file called name in the configuration folder.
QString path(const QString &config_dir, const char *name);
} // namespace app_files

// Reads the settings file. False with a report naming the file and what is wrong when it is
// missing, not a regular file, short, holds a field that is not a number, or a value the window
// cannot apply (a port other than 0 to 9, an auto-clear or command view other than 0 or 1).
bool read_app_settings(const QString &path, AppSettings &settings, QString *error);

// Replaces the settings file with the five values, atomically: a failure leaves the old file and
// gives the reason in *error (when given).
bool write_app_settings(const QString &path, const AppSettings &settings, QString *error = nullptr);

// Removes the temporary files that an atomic write of path left beside it when its process was
// killed before the rename; gives the paths removed.
QStringList remove_stale_temporaries(const QString &path);
