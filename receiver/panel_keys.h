#pragma once

#include "app/common/handler_context.h"

#include <QObject>

// The receiver's front-panel keys Menu, Minus and Plus, from the Control Panel or the J, K, L keys.
class PanelKeys : public QObject
{
    Q_OBJECT
public:
    explicit PanelKeys(const HandlerContext &ctx, QObject *parent = nullptr);

    // The window's key preview: every key pressed anywhere in the window. Does not consume it.
    void Form_KeyDown(int key);
};
