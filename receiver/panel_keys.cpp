#include "receiver/panel_keys.h"

#include "link/window_link.h"
#include "model/plans.h"
#include "section/window_state.h"

#include <QAbstractButton>

namespace {

QByteArray key_message(const char *name)
{
    return model::command_step(name)->message;
}

} // namespace

PanelKeys::PanelKeys(const HandlerContext &ctx, const Widgets &widgets, QObject *parent)
    : QObject(parent)
    , ctx_(ctx)
{
    connect(widgets.cmd_btn_menu, &QAbstractButton::clicked, this, &PanelKeys::cmd_btn_menu_Click);
    connect(
        widgets.cmd_btn_minus, &QAbstractButton::clicked, this, &PanelKeys::cmd_btn_minus_Click);
    connect(widgets.cmd_btn_plus, &QAbstractButton::clicked, this, &PanelKeys::cmd_btn_plus_Click);
}

void PanelKeys::press(const char *name)
{
    if (ctx_.state.open_section != Section::Panel)
        return;
    ctx_.link.send_cmd_nowait(key_message(name));
}

void PanelKeys::cmd_btn_menu_Click()
{
    press("key_menu");
}

void PanelKeys::cmd_btn_minus_Click()
{
    press("key_minus");
}

void PanelKeys::cmd_btn_plus_Click()
{
    press("key_plus");
}

void PanelKeys::Form_KeyDown(int key)
{
    if (ctx_.state.open_section != Section::Panel)
        return;
    const char *name = nullptr;
    switch (key) {
    case Qt::Key_J:
        name = "key_menu";
        break;
    case Qt::Key_K:
        name = "key_minus";
        break;
    case Qt::Key_L:
        name = "key_plus";
        break;
    default:
        return;
    }
    // Any wait of the link (this pause, a transaction, a read-back's pause) drops the key, so a
    // held key sends at most one command per pause.
    if (ctx_.link.in_delay())
        return;
    ctx_.link.send_cmd_nowait(key_message(name));
    ctx_.link.delay_sec(key_pause_sec);
}
