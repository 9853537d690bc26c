#pragma once

#include <QByteArray>

#include <functional>

class QComboBox;
class QLabel;
struct WindowState;
namespace Ui {
class frm_main;
}

// Where the values of replies are shown: the list of each command number (null for none), the
// input list whose layout the identification reply sets, and the two firmware labels.
struct ReplyTargets
{
    std::function<QComboBox *(int number)> list_of;
    QComboBox *input = nullptr;
    QLabel *fw_rx = nullptr;
    QLabel *fw_tx = nullptr;
};

// Shows the value of a reply to command number (1 to 23) in the control of that command:
// selects the matching list entry or sets a label. Any other number, or a value that names no
// entry, changes nothing. Selections run the lists' change handlers; a read-back holds
// state.reading so that they send nothing.
void apply_reply(
    const ReplyTargets &targets, WindowState &state, int number, const QByteArray &value);

// The same on the whole form, each command's list as the window places it.
void apply_reply(Ui::frm_main *ui, WindowState &state, int number, const QByteArray &value);
