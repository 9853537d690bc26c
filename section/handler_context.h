#pragma once

#include <QString>

class FailIndicator;
class Prompts;
class SerialLink;
struct WindowState;
namespace Ui {
class frm_main;
}

// What a handler class of the window is given: the form's widgets, the link, the window's
// shared flags, the failure labels, the prompts, and the folder of the settings files.
struct HandlerContext
{
    Ui::frm_main *ui;
    SerialLink &link;
    WindowState &state;
    FailIndicator &fail;
    Prompts &prompts;
    QString config_dir;
};
