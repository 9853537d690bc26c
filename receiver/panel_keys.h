#pragma once

#include "section/handler_context.h"

#include <QByteArray>
#include <QObject>

class QAbstractButton;

// The receiver's front-panel keys Menu, Minus and Plus, from the Control Panel or the J, K, L keys.
class PanelKeys : public QObject
{
    Q_OBJECT
public:
    // The pause after a key command from the keyboard; J, K, L pressed meanwhile are dropped.
    static constexpr double key_pause_sec = 0.15;

    // The three picture buttons of the Control Panel.
    struct Widgets
    {
        QAbstractButton *cmd_btn_menu, *cmd_btn_minus, *cmd_btn_plus;
    };

    PanelKeys(const HandlerContext &ctx, const Widgets &widgets, QObject *parent = nullptr);

    // The window's key preview: every key pressed anywhere in the window. Does not consume it.
    void Form_KeyDown(int key);

    // The three picture buttons; no pause after them.
    void cmd_btn_menu_Click();
    void cmd_btn_minus_Click();
    void cmd_btn_plus_Click();

private:
    void press(const char *name);

    HandlerContext ctx_;
};
