#include "fields/config_folder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

namespace config_folder {

namespace {

const char app_folder[] = "kz-orba-ctrl";

QString defaults_for(const QStringList &default_dirs, const QStringList &files)
{
    for (const QString &dir : default_dirs) {
        for (const QString &file : files) {
            if (QFileInfo(QDir(dir).filePath(file)).isFile())
                return dir;
        }
    }
    return QString();
}

void copy_missing(Choice &choice, const QStringList &files)
{
    if (!QDir().mkpath(choice.dir)) {
        choice.problems << QStringLiteral("%1: the folder cannot be created")
                               .arg(QDir::toNativeSeparators(choice.dir));
        return;
    }
    if (choice.defaults_dir.isEmpty())
        return;
    for (const QString &file : files) {
        const QString target = QDir(choice.dir).filePath(file);
        if (QFileInfo::exists(target) || QFileInfo(target).isSymLink())
            continue;
        const QString source = QDir(choice.defaults_dir).filePath(file);
        if (!QFileInfo(source).isFile())
            continue;
        QFile in(source);
        if (!in.copy(target)) {
            choice.problems << QStringLiteral("%1: cannot be copied from %2: %3")
                                   .arg(QDir::toNativeSeparators(target),
                                       QDir::toNativeSeparators(source), in.errorString());
            continue;
        }
        // Installed defaults are read-only to the user; the copy is the user's own.
        QFile::setPermissions(
            target, QFile::permissions(target) | QFile::ReadOwner | QFile::WriteOwner);
        choice.copied << file;
    }
}

// The user's configuration folder. XDG_CONFIG_HOME counts only as an absolute path, as the XDG
// base directory rules say; a relative one would put the settings under the current folder.
QString user_config_home()
{
#if defined(Q_OS_UNIX) && !defined(Q_OS_MACOS)
    const QString xdg = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (!xdg.isEmpty() && QDir::isRelativePath(xdg))
        return QDir::homePath() + QStringLiteral("/.config");
#endif
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
}

} // namespace

Choice choose(const Places &places, const QStringList &files, bool copy)
{
    Choice choice;
    if (!places.given.isEmpty()) {
        choice.mode = Mode::Given;
        choice.dir = QDir(places.given).absolutePath();
        return choice;
    }
    if (QFileInfo(QDir(places.exe_dir).filePath(QString::fromLatin1(marker_file))).isFile()) {
        choice.mode = Mode::Portable;
        choice.dir = QDir(places.exe_dir).absolutePath();
        return choice;
    }
    choice.mode = Mode::User;
    choice.dir = QDir(places.user_dir).absolutePath();
    choice.defaults_dir = defaults_for(places.default_dirs, files);
    if (copy)
        copy_missing(choice, files);
    return choice;
}

Places system_places(const QString &given)
{
    Places places;
    places.given = given;
    places.exe_dir = QCoreApplication::applicationDirPath();
    const QString config_home = user_config_home();
    places.user_dir = QDir(config_home).filePath(QString::fromLatin1(app_folder));
    const QString share = QStringLiteral("share/") + QString::fromLatin1(app_folder);
    // The prefix the executable was installed under first, so that a copy under /opt or
    // /usr/local finds its own defaults, then the system's data folders.
    places.default_dirs << QDir::cleanPath(
        QDir(places.exe_dir).filePath(QStringLiteral("../") + share));
    const QStringList system = QStandardPaths::locateAll(QStandardPaths::GenericDataLocation,
        QString::fromLatin1(app_folder), QStandardPaths::LocateDirectory);
    for (const QString &dir : system) {
        const QString clean = QDir::cleanPath(dir);
        if (!places.default_dirs.contains(clean))
            places.default_dirs << clean;
    }
    return places;
}

QString describe(const Choice &choice)
{
    const QString dir = QDir::toNativeSeparators(choice.dir);
    switch (choice.mode) {
    case Mode::Given:
        return QStringLiteral("files: %1 (given with --config-dir)").arg(dir);
    case Mode::Portable:
        return QStringLiteral("files: %1 (the executable's folder)").arg(dir);
    case Mode::User:
        break;
    }
    if (choice.defaults_dir.isEmpty())
        return QStringLiteral("files: %1 (your folder; no installed defaults found)").arg(dir);
    return QStringLiteral("files: %1 (your folder; defaults from %2)")
        .arg(dir, QDir::toNativeSeparators(choice.defaults_dir));
}

} // namespace config_folder
