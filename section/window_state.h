#pragma once

#include <QString>

// The window's flags and remembered values, owned by the window and shared with the handlers.
struct WindowState
{
    bool reading = false;      // a read-back is selecting entries: list handlers send nothing
    bool ui_ready = false;     // start-up has finished (the Hex/Text switch converts only then)
    bool single_hdmi = true;   // two-input transmitter: the input list holds "Hdmi", "Vga"
    int open_section = 1;      // 0 Projector, 1 receiver, 2 Control Panel
    int cmd_fmt = 0;           // projector command view: 0 Text, 1 Hex
    QString proj_file;         // the projector settings file in use, or empty
};
