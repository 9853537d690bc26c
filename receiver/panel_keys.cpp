#include "receiver/panel_keys.h"

#include "link/serial_link.h"
#include "protocol/protocol.h"
#include "protocol/vocabulary.h"
#include "section/window_state.h"
#include <QAbstractButton>

namespace {

const char *key_prefix(const char *name)
{
    return protocol::find_command(name)->prefix;
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

void PanelKeys::press(const char *prefix)
{
    if (ctx_.state.open_section != Section::Panel)
        return;
    ctx_.link.send_cmd_nowait(protocol::key_message(prefix));
}

void PanelKeys::cmd_btn_menu_Click()
{
    press(key_prefix("key_menu"));
}

void PanelKeys::cmd_btn_minus_Click()
{
    press(key_prefix("key_minus"));
}

void PanelKeys::cmd_btn_plus_Click()
{
    press(key_prefix("key_plus"));
}

void PanelKeys::Form_KeyDown(int key)
{
    if (ctx_.state.open_section != Section::Panel)
        return;
    const char *prefix = nullptr;
    switch (key) {
    case Qt::Key_J:
        prefix = key_prefix("key_menu");
        break;
    case Qt::Key_K:
        prefix = key_prefix("key_minus");
        break;
    case Qt::Key_L:
        prefix = key_prefix("key_plus");
        break;
    default:
        return;
    }
    // Any wait of the link (this pause, a transaction, a read-back's pause) drops the key, so a
    // held key sends at most one command per pause.
    if (ctx_.link.in_delay())
        return;
    ctx_.link.send_cmd_nowait(protocol::key_message(prefix));
    ctx_.link.delay_sec(key_pause_sec);
}
