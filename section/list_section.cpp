#include "section/list_section.h"

#include "link/window_link.h"
#include "section/combo_util.h"
#include "section/fail_indicator.h"
#include "section/focus_keeper.h"
#include "section/handler_steps.h"
#include "section/window_state.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QLabel>

namespace {

const model::Setting &named(const char *name)
{
    const model::Setting *setting = model::find_setting(QLatin1String(name));
    Q_ASSERT(setting);
    return *setting;
}

QStringList entries_of(const QComboBox *combo)
{
    QStringList entries;
    for (int i = 0; i < combo->count(); ++i)
        entries << combo->itemText(i);
    return entries;
}

} // namespace

ListSection::ListSection(const HandlerContext &ctx, std::initializer_list<List> lists,
    std::initializer_list<Label> labels, QLabel *send_fail, QObject *parent)
    : QObject(parent)
    , ctx_(ctx)
    , send_fail_(send_fail)
{
    for (const List &list : lists)
        controls_.push_back({ &named(list.setting), list.list });
    for (const Label &label : labels)
        controls_.push_back({ &named(label.setting), nullptr, label.label });
    for (const Control &control : controls_) {
        if (control.list)
            connect(control.list, &QComboBox::currentIndexChanged, this,
                [this, control] { choose(control); });
    }
}

void ListSection::fill_lists()
{
    for (const Control &control : controls_) {
        if (control.list && control.setting->values == model::Values::Fixed)
            fill_combo(control.list, model::list_entries(*control.setting, {}, true));
    }
}

void ListSection::fill_option_lists(const model::OptionLists &lists)
{
    for (const Control &control : controls_) {
        if (control.list && control.setting->values == model::Values::FromFile)
            fill_combo(control.list, model::list_entries(*control.setting, lists, true));
    }
}

void ListSection::choose(const Control &control)
{
    if (ctx_.state.reading)
        return;
    QComboBox *combo = control.list;
    const std::optional<QByteArray> message = model::choice_message(
        *control.setting, combo->currentIndex(), combo->currentText(), ctx_.state.single_hdmi);
    if (!message)
        return;
    switch (control.setting->send()) {
    case model::Send::Wait:
        handler_steps::send_disabled(ctx_, combo, *message, send_fail_);
        return;
    case model::Send::WaitQuiet: {
        // The list cannot be changed while its message is on the way; the reply is not examined.
        const FocusKeeper disabled(combo);
        (void)ctx_.link.send_cmd(*message);
        return;
    }
    case model::Send::NoWait:
        ctx_.link.send_cmd_nowait(*message);
        return;
    }
}

void ListSection::apply_reply(const model::Setting &setting, const QByteArray &value)
{
    WindowState &state = ctx_.state;
    if (setting.sets_input_layout) {
        state.ui_ready = false;
        state.single_hdmi = !model::three_inputs(value);
        for (const Control &control : controls_) {
            if (control.setting->follows_input_layout && control.list)
                fill_combo(
                    control.list, model::list_entries(*control.setting, {}, state.single_hdmi));
        }
        state.ui_ready = true;
        return;
    }
    for (const Control &control : controls_) {
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

void ListSection::read_back(QAbstractButton *button, model::ReadGroup group, QLabel *fail_label)
{
    // A read-back started inside another one's pause leaves that one's guard standing.
    const handler_steps::ReadingGuard guard(ctx_.state);
    const FocusKeeper disabled(button);
    bool ok = true;
    for (const model::Step &step : model::read_plan(group)) {
        const bool replied = ctx_.link.send_cmd(step.message);
        // Taken before the pause: a transaction let through during the pause (Get, System
        // Reset) leaves its own reply in the link.
        const std::optional<QByteArray> value = step.reply_value(ctx_.link.reply_text());
        ctx_.link.delay_sec(step.pause_after_sec);
        if (!replied || !value) {
            ok = false;
            break;
        }
        apply_reply(*step.setting, *value);
    }
    if (!ok && fail_label)
        ctx_.fail.show_fail(fail_label, handler_steps::read_fail_text());
}
