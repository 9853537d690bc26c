#pragma once

#include "model/settings.h"

#include <QString>
#include <QtGlobal>

// The option lists of the data files the build ships (KZ_DATA_DIR), read as the tools read them.
// No test can go on without them.
inline model::OptionLists data_lists()
{
    model::OptionLists lists;
    QString why;
    if (!model::read_option_lists(QStringLiteral(KZ_DATA_DIR), &lists, &why))
        qFatal("%s", qPrintable(why));
    return lists;
}
