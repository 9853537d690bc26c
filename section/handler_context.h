#pragma once

#include <QString>

class FailIndicator;
class Prompts;
class WindowLink;
struct WindowState;

// What every handler class of the window shares: the link, the window's flags, the failure
// labels, the prompts, and the folder of the settings files. Each class is given its own
// widgets beside this, never the whole form.
struct HandlerContext
{
    WindowLink &link;
    WindowState &state;
    FailIndicator &fail;
    Prompts &prompts;
    QString config_dir;
};
