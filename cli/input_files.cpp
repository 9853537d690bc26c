#include "cli/input_files.h"

#include <QFile>
#include <QFileInfo>

namespace cli {

bool read_input_file(const QString &path, QString *text, QString *error)
{
    const QFileInfo info(path);
    if (!info.exists()) {
        *error = QStringLiteral("%1: no such file").arg(path);
        return false;
    }
    if (!info.isFile()) {
        *error = QStringLiteral("%1: not a regular file (a folder, named pipe or device), so it is "
                                "not read")
                     .arg(path);
        return false;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("%1: %2").arg(path, file.errorString());
        return false;
    }
    const QByteArray bytes = file.read(max_input_file + 1);
    if (bytes.size() > max_input_file) {
        *error = QStringLiteral("%1: longer than %2 bytes, so it is not read")
                     .arg(path)
                     .arg(max_input_file);
        return false;
    }
    if (file.error() != QFileDevice::NoError) {
        *error = QStringLiteral("%1: %2").arg(path, file.errorString());
        return false;
    }
    *text = QString::fromUtf8(bytes);
    return true;
}

bool trace_path_usable(const QString &path, QString *error)
{
    const QFileInfo info(path);
    if (info.isSymLink() && !info.exists()) {
        *error = QStringLiteral("%1 is a symbolic link to nothing; name the file itself").arg(path);
        return false;
    }
    if (info.exists() && !info.isFile()) {
        *error = QStringLiteral("%1 is not a regular file (a folder, named pipe or device); use "
                                "\"-\" for standard error")
                     .arg(path);
        return false;
    }
    return true;
}

std::optional<QString> control_byte(const QString &text)
{
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if ((u < 0x20 && u != u'\t') || u == 0x7F)
            return QStringLiteral("\\x%1")
                .arg(int(u), 2, 16, QLatin1Char('0'))
                .toUpper()
                .replace(QStringLiteral("\\X"), QStringLiteral("\\x"));
    }
    return std::nullopt;
}

QString without_comment(const QString &line)
{
    for (qsizetype i = 0; i < line.size(); ++i) {
        if (line.at(i) == QLatin1Char('#')
            && (i == 0 || line.at(i - 1) == QLatin1Char(' ')
                || line.at(i - 1) == QLatin1Char('\t')))
            return line.left(i).trimmed();
    }
    return line.trimmed();
}

} // namespace cli
