#include "section/apply_reply.h"

#include "model/settings.h"
#include "protocol/vocabulary.h"
#include "section/combo_util.h"
#include "section/window_state.h"

#include <QLabel>

namespace {

QStringList entries_of(const QComboBox *combo)
{
    QStringList entries;
    for (int i = 0; i < combo->count(); ++i)
        entries << combo->itemText(i);
    return entries;
}

} // namespace

void apply_reply(std::span<const SettingControl> controls, WindowState &state,
    const model::Setting &setting, const QByteArray &value)
{
    if (setting.sets_input_layout) {
        state.ui_ready = false;
        state.single_hdmi = !model::three_inputs(value);
        for (const SettingControl &control : controls) {
            if (control.setting->follows_input_layout && control.list)
                fill_combo(control.list,
                    protocol::fixed_entries(*control.setting->command, state.single_hdmi));
        }
        state.ui_ready = true;
        return;
    }
    for (const SettingControl &control : controls) {
        if (control.setting != &setting)
            continue;
        if (control.label)
            control.label->setText(QString::fromLatin1(value));
        if (control.list) {
            if (const auto position = model::reply_position(
                    setting, value, state.single_hdmi, entries_of(control.list)))
                select_position(control.list, *position);
        }
    }
}
