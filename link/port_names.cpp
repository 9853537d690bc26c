#include "link/port_names.h"

#include <QtGlobal>

QString port_device(int port_no)
{
    const QByteArray variable = "KZ_ORBA_COM" + QByteArray::number(port_no);
    const QString mapped = qEnvironmentVariable(variable.constData());
    if (!mapped.isEmpty())
        return mapped;
#ifdef Q_OS_WIN
    return QStringLiteral("COM%1").arg(port_no);
#else
    return QStringLiteral("/dev/ttyS%1").arg(port_no - 1);
#endif
}
