#pragma once

#include "app/common/handler_context.h"

#include <QObject>

// The receiver's setting lists and action buttons, their read-back, and the device information.
class ReceiverControls : public QObject
{
    Q_OBJECT
public:
    explicit ReceiverControls(const HandlerContext &ctx, QObject *parent = nullptr);

    // Fills the fixed lists of the receiver frame (the input list in its two-entry layout),
    // none selected. The option-list lists (auto-off, input and output resolution) come from files.
    void fill_lists();
};
