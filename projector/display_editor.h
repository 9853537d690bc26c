#pragma once

#include "app/common/handler_context.h"

#include <QObject>

// The editor of the display-on and display-off commands, in the Text or the Hex view.
class DisplayEditor : public QObject
{
    Q_OBJECT
public:
    explicit DisplayEditor(const HandlerContext &ctx, QObject *parent = nullptr);

    // Selects the option of view index (0 Text, 1 Hex) and runs its handler, as the operator's
    // click would. During start-up (ui_ready false) it only records and shows the view.
    void select_view(int index);
};
