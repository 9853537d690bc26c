#include "cli/input_files.h"

#include "model/profile.h"

#include <QFile>
#include <QFileInfo>

namespace cli {

using model::printable;

bool read_input_file(const QString &path, QString *text, QString *error)
{
    const QFileInfo info(path);
    if (!info.exists()) {
        *error = QStringLiteral("%1: no such file").arg(printable(path));
        return false;
    }
    if (!info.isFile()) {
        *error = QStringLiteral("%1: not a regular file (a folder, named pipe or device), so it is "
                                "not read")
                     .arg(printable(path));
        return false;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("%1: %2").arg(printable(path), file.errorString());
        return false;
    }
    const QByteArray bytes = file.read(max_input_file + 1);
    if (bytes.size() > max_input_file) {
        *error = QStringLiteral("%1: longer than %2 bytes, so it is not read")
                     .arg(printable(path))
                     .arg(max_input_file);
        return false;
    }
    if (file.error() != QFileDevice::NoError) {
        *error = QStringLiteral("%1: %2").arg(printable(path), file.errorString());
        return false;
    }
    *text = QString::fromUtf8(bytes);
    return true;
}

bool trace_path_usable(const QString &path, QString *error)
{
    const QFileInfo info(path);
    if (info.isSymLink() && !info.exists()) {
        *error = QStringLiteral("%1 is a symbolic link to nothing; name the file itself")
                     .arg(printable(path));
        return false;
    }
    if (info.exists() && !info.isFile()) {
        *error = QStringLiteral("%1 is not a regular file (a folder, named pipe or device); use "
                                "\"-\" for standard error")
                     .arg(printable(path));
        return false;
    }
    return true;
}

} // namespace cli
