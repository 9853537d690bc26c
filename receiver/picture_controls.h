#pragma once

#include "app/common/handler_context.h"

#include <QObject>

// The five picture values of the receiver: set, read back, reset.
class PictureControls : public QObject
{
    Q_OBJECT
public:
    explicit PictureControls(const HandlerContext &ctx, QObject *parent = nullptr);

    // Fills the five lists with "0" to "100", none selected.
    void fill_lists();
};
