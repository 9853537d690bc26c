#pragma once

#include <QByteArray>

struct WindowState;
namespace Ui {
class frm_main;
}

// Shows the value of a reply to command number (1 to 23) in the control of that command:
// selects the matching list entry or sets a label. Any other number, or a value that names no
// entry, changes nothing. Selections run the lists' change handlers; a read-back holds
// state.reading so that they send nothing.
void apply_reply(Ui::frm_main *ui, WindowState &state, int number, const QByteArray &value);
