#pragma once

#include "app/common/handler_context.h"

#include <QObject>

// Automatic display on/off and the ProjSW delay, sent as soon as chosen, and their read-back.
class ProjectorBehaviour : public QObject
{
    Q_OBJECT
public:
    explicit ProjectorBehaviour(const HandlerContext &ctx, QObject *parent = nullptr);
    void fill_lists();
};
