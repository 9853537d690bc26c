#pragma once

#include "app/common/handler_context.h"

#include <QObject>

// Projector settings files: load, save, the window title, and the change check at exit.
class ProjectorFile : public QObject
{
    Q_OBJECT
public:
    explicit ProjectorFile(const HandlerContext &ctx, QObject *parent = nullptr);

    // Reads state.proj_file into the settings and their controls, or applies the port defaults
    // when there is no such file; sets the window title. False, with a report in *error, when an
    // existing file cannot be read to its end (start-up then ends).
    bool load_proj_file(QString *error);
    // Whether the projector settings differ from the file state.proj_file (true when none).
    bool changed();
    // The "Save" button's action, with its file dialog.
    void cmd_save_Click();
};
