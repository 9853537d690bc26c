#pragma once

#include <QString>

// The window's flags and remembered values, owned by the window and shared with the handlers.
// The three sections of the window; the numbers are those of the settings file.
enum class Section : int { Projector = 0, Receiver = 1, Panel = 2 };

// How the projector's display commands are shown and edited; the numbers are those of the
// settings file.
enum class CommandView : int { Text = 0, Hex = 1 };

struct WindowState
{
    bool reading = false; // a read-back is selecting entries: list handlers send nothing
    bool ui_ready = false; // start-up has finished (the Hex/Text switch converts only then)
    bool single_hdmi = true; // two-input transmitter: the input list holds "Hdmi", "Vga"
    Section open_section = Section::Receiver;
    CommandView cmd_fmt = CommandView::Text; // projector command view
    QString proj_file; // the projector settings file in use, or empty
};
