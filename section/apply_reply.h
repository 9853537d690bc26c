#pragma once

#include <QByteArray>

#include <span>

class QComboBox;
class QLabel;
struct WindowState;
namespace model {
struct Setting;
}

// A control of the window that shows a setting: its list, or the label of a read-only value.
struct SettingControl
{
    const model::Setting *setting;
    QComboBox *list = nullptr;
    QLabel *label = nullptr;
};

// Shows the value of a reply to setting's query (without prefix and terminator) in the control
// that controls give it: selects the list entry the value names, sets a label, or (the
// identification) rebuilds the input list of controls in its layout. A setting without a control
// there, or a value that names no entry, changes nothing. Selections run the lists' change
// handlers; a read-back holds state.reading so that they send nothing.
void apply_reply(std::span<const SettingControl> controls, WindowState &state,
    const model::Setting &setting, const QByteArray &value);
