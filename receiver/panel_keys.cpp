#include "receiver/panel_keys.h"

#include "section/window_state.h"
#include "link/serial_link.h"
#include "protocol/protocol.h"
#include "ui_frm_main.h"

PanelKeys::PanelKeys(const HandlerContext &ctx, QObject *parent)
    : QObject(parent)
    , ctx_(ctx)
{
    connect(ctx_.ui->cmd_btn_menu, &QAbstractButton::clicked, this, &PanelKeys::cmd_btn_menu_Click);
    connect(
        ctx_.ui->cmd_btn_minus, &QAbstractButton::clicked, this, &PanelKeys::cmd_btn_minus_Click);
    connect(ctx_.ui->cmd_btn_plus, &QAbstractButton::clicked, this, &PanelKeys::cmd_btn_plus_Click);
}

void PanelKeys::press(const char *prefix)
{
    if (ctx_.state.open_section != panel_section)
        return;
    ctx_.link.send_cmd_nowait(protocol::key_message(prefix));
}

void PanelKeys::cmd_btn_menu_Click()
{
    press("WP_KeyMenu[");
}

void PanelKeys::cmd_btn_minus_Click()
{
    press("WP_KeyMinus[");
}

void PanelKeys::cmd_btn_plus_Click()
{
    press("WP_KeyPlus[");
}

void PanelKeys::Form_KeyDown(int key)
{
    if (ctx_.state.open_section != panel_section)
        return;
    const char *prefix = nullptr;
    switch (key) {
    case Qt::Key_J:
        prefix = "WP_KeyMenu[";
        break;
    case Qt::Key_K:
        prefix = "WP_KeyMinus[";
        break;
    case Qt::Key_L:
        prefix = "WP_KeyPlus[";
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
