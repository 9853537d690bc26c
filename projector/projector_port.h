#pragma once

#include "app/common/handler_context.h"

#include <QObject>

// The projector port settings that the receiver uses towards the projector.
class ProjectorPort : public QObject
{
    Q_OBJECT
public:
    explicit ProjectorPort(const HandlerContext &ctx, QObject *parent = nullptr);
    void fill_lists();
};
