#pragma once

#include "projector/projector_port.h"
#include "section/handler_context.h"
#include "section/prompts.h"

#include <QObject>
#include <QString>

class QAbstractButton;
class QComboBox;

class DisplayEditor;

// The parts of a path that split_path() gives.
enum class PathPart : int {
    Folder = 0, // the folder, without its closing separator unless it is the root
    Display = 1, // the form shown in the window title
    File = 2, // the file name
};

// Splits a path at its separators, "\" and "/" alike, whatever the system.
// - Folder: everything before the last separator ("C:\proj\room1.ini" -> "C:\proj"); a file
//   in a root folder gives the root with its separator ("C:\room1.ini" -> "C:\", "/a.ini" -> "/").
// - Display: the path whole when at most one folder lies between its root and the file
//   ("C:\proj\room1.ini", "/proj/room1.ini"); otherwise the root, "...", and the last folder with
//   the file name ("C:\...\proj\room1.ini", "/.../proj/room1.ini"). The root is "X:\", a single
//   leading separator, or "\\server\share\"; a relative path has none ("...\proj\room1.ini").
// - File: what follows the last separator (the whole path when there is none).
// An empty path or any other part gives the empty text.
QString split_path(const QString &path, PathPart part);

// The six settings a projector settings file holds.
struct ProjSettings
{
    ProjPortValues port;
    QString disp_on_hex;
    QString disp_off_hex;
};

// Reads the six fields of a projector settings file. False, with the reason in *error (without
// the file name), when the file cannot be read or ends or goes wrong before its sixth field.
bool read_proj_settings(const QString &path, ProjSettings &out, QString *error);

// Whether an ordinary file exists at path under exactly that name, letter case included.
bool proj_file_exists(const QString &path);

// Projector settings files: load, save, the file in use, and the change check at exit.
class ProjectorFile : public QObject
{
    Q_OBJECT
public:
    // Load, Save, and the four port lists that take their defaults when there is no file.
    struct Widgets
    {
        QAbstractButton *cmd_load, *cmd_save;
        QComboBox *cbo_proj_baudrate, *cbo_proj_databit, *cbo_proj_parity, *cbo_proj_stopbit;
    };

    ProjectorFile(const HandlerContext &ctx, const Widgets &widgets, ProjectorPort &port,
        DisplayEditor &editor, QObject *parent = nullptr);

    // Reads state.proj_file into the settings and their controls, or applies the port defaults
    // when there is no such file; tells file_in_use. False, with a report in *error, when an
    // existing file cannot be read to its end (start-up then ends); nothing is applied then.
    bool load_proj_file(QString *error);
    // Takes the commands from the visible view and writes the six settings to path, replacing
    // any old file in one step. On success path becomes state.proj_file and file_in_use tells it;
    // on failure the operator is told, and the old file and proj_file stay.
    bool save_proj_file(const QString &path);
    // Whether the projector settings differ from the file state.proj_file (true when none).
    bool changed();
    // The "Load" button's action, with its file dialog. A file that cannot be read is reported
    // and changes nothing.
    void cmd_load_Click();
    // The "Save" button's action, with its file dialog and the overwrite question.
    void cmd_save_Click();

    // The window title for a file in use: the name and version, followed by a space and the
    // display form of path when not empty.
    static QString title_for(const QString &path);

Q_SIGNALS:
    // The file in use (empty for none) after a load or a successful save; the window shows it
    // in its title.
    void file_in_use(const QString &path);

private:
    void apply(const ProjSettings &settings);
    Prompts::FileRequest file_request(bool save) const;

    HandlerContext ctx_;
    Widgets w_;
    ProjectorPort &port_;
    DisplayEditor &editor_;
};
