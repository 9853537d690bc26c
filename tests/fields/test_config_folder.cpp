#include "fields/config_folder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <ostream>

using config_folder::Mode;

namespace {

const QStringList shipped = { QStringLiteral("KZ_ORBA_CTRL.ini"), QStringLiteral("auto_off.txt"),
    QStringLiteral("input_prefer.txt") };

// A sandbox with an executable's folder, a user folder and two folders of installed defaults.
struct Case
{
    const char *name;
    bool given = false; // --config-dir names the "given" folder
    bool marker_beside_exe = false; // the executable's folder holds the settings file
    QStringList user_has; // files already in the user folder (content "mine")
    QStringList first_defaults_has; // files in the first defaults folder
    QStringList second_defaults_has; // files in the second defaults folder
    bool user_blocked = false; // a plain file stands where the user folder would be
    bool user_read_only = false; // the user folder exists and cannot be written
    Mode mode = Mode::User;
    const char *dir = "user"; // sandbox folder expected in use
    const char *defaults = ""; // defaults folder expected, or empty
    QStringList copied; // files expected copied
    int problems = 0;
};

std::ostream &operator<<(std::ostream &os, const Case &c)
{
    return os << c.name;
}

class ConfigFolder : public ::testing::TestWithParam<Case>
{
protected:
    QTemporaryDir root;
    QString at(const QString &name) const { return root.filePath(name); }
    void put(const QString &dir, const QStringList &files, const QByteArray &content) const
    {
        QDir().mkpath(at(dir));
        for (const QString &f : files) {
            QFile file(at(dir + QLatin1Char('/') + f));
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
            file.write(content);
        }
    }
};

TEST_P(ConfigFolder, ChoosesAndCopies)
{
    const Case &c = GetParam();
    if (c.user_read_only && geteuid() == 0)
        GTEST_SKIP() << "root writes into a read-only folder; the executables' test covers it";
    ASSERT_TRUE(root.isValid());
    put(QStringLiteral("exe"),
        c.marker_beside_exe ? QStringList { shipped.first() } : QStringList {}, "exe");
    put(QStringLiteral("given"), {}, "");
    put(QStringLiteral("defaults1"), c.first_defaults_has, "default1");
    put(QStringLiteral("defaults2"), c.second_defaults_has, "default2");
    // Installed defaults are read-only: the copies must still be the user's to write.
    for (const char *d : { "defaults1", "defaults2" }) {
        for (const QString &f : shipped)
            QFile::setPermissions(at(QLatin1String(d) + QLatin1Char('/') + f),
                QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther);
    }
    if (c.user_blocked) {
        QFile block(at(QStringLiteral("user")));
        ASSERT_TRUE(block.open(QIODevice::WriteOnly));
    } else if (!c.user_has.isEmpty() || c.user_read_only) {
        put(QStringLiteral("user"), c.user_has, "mine");
    }
    if (c.user_read_only) {
        ASSERT_EQ(chmod(qPrintable(at(QStringLiteral("user"))), 0555), 0);
    }

    config_folder::Places places;
    places.given = c.given ? at(QStringLiteral("given")) : QString();
    places.exe_dir = at(QStringLiteral("exe"));
    places.user_dir = at(QStringLiteral("user"));
    places.default_dirs = { at(QStringLiteral("defaults1")), at(QStringLiteral("missing")),
        at(QStringLiteral("defaults2")) };

    // Without copying, nothing on disk changes and the answer names the same folder.
    const QStringList before = QDir(at(QStringLiteral("user"))).entryList(QDir::Files);
    const config_folder::Choice look = config_folder::choose(places, shipped, false);
    EXPECT_EQ(QDir(at(QStringLiteral("user"))).entryList(QDir::Files), before);
    EXPECT_TRUE(look.copied.isEmpty());

    const config_folder::Choice choice = config_folder::choose(places, shipped, true);
    EXPECT_EQ(look.dir, choice.dir);
    EXPECT_EQ(choice.mode, c.mode);
    EXPECT_EQ(choice.dir, at(QString::fromLatin1(c.dir)));
    EXPECT_EQ(choice.defaults_dir, *c.defaults ? at(QString::fromLatin1(c.defaults)) : QString());
    EXPECT_EQ(choice.copied, c.copied);
    EXPECT_EQ(choice.problems.size(), c.problems) << choice.problems.join(u'\n').toStdString();
    for (const QString &p : choice.problems)
        EXPECT_TRUE(p.contains(at(QStringLiteral("user")))) << p.toStdString();

    // A file the user had is never overwritten; each copy holds the defaults and can be written.
    for (const QString &f : c.user_has) {
        QFile file(at(QStringLiteral("user/") + f));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        EXPECT_EQ(file.readAll(), "mine");
    }
    for (const QString &f : c.copied) {
        const QString path = at(QStringLiteral("user/") + f);
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        EXPECT_EQ(file.readAll(), choice.defaults_dir.endsWith(u'1') ? "default1" : "default2");
        EXPECT_TRUE(QFileInfo(path).permissions() & QFile::WriteOwner) << f.toStdString();
    }
    if (c.user_read_only)
        chmod(qPrintable(at(QStringLiteral("user"))), 0755);
    EXPECT_FALSE(config_folder::describe(choice).isEmpty());
}

const QStringList none;

INSTANTIATE_TEST_SUITE_P(Modes, ConfigFolder,
    ::testing::Values(Case { .name = "given_wins_over_everything",
                          .given = true,
                          .marker_beside_exe = true,
                          .first_defaults_has = shipped,
                          .mode = Mode::Given,
                          .dir = "given" },
        Case { .name = "portable_when_settings_beside_executable",
            .marker_beside_exe = true,
            .first_defaults_has = shipped,
            .mode = Mode::Portable,
            .dir = "exe" },
        Case { .name = "first_start_copies_every_default",
            .first_defaults_has = shipped,
            .second_defaults_has = shipped,
            .defaults = "defaults1",
            .copied = shipped },
        Case { .name = "later_start_copies_nothing",
            .user_has = shipped,
            .first_defaults_has = shipped,
            .defaults = "defaults1" },
        Case { .name = "file_the_user_deleted_comes_back",
            .user_has = { shipped[0], shipped[2] },
            .first_defaults_has = shipped,
            .defaults = "defaults1",
            .copied = { shipped[1] } },
        Case { .name = "defaults_from_a_later_folder",
            .second_defaults_has = shipped,
            .defaults = "defaults2",
            .copied = shipped },
        Case { .name = "no_defaults_installed", .user_has = { shipped[0] } },
        Case { .name = "user_folder_cannot_be_created",
            .first_defaults_has = shipped,
            .user_blocked = true,
            .defaults = "defaults1",
            .problems = 1 },
        Case { .name = "read_only_user_folder_names_each_missing_file",
            .user_has = { shipped[0] },
            .first_defaults_has = shipped,
            .user_read_only = true,
            .defaults = "defaults1",
            .problems = 2 }),
    [](const auto &info) { return std::string(info.param.name); });

} // namespace

namespace {

// XDG_CONFIG_HOME as a user may have set it, and the user folder it must give.
struct XdgCase
{
    const char *name;
    const char *xdg; // nullptr: unset; "@" stands for the sandbox
    const char *user_dir; // "~" stands for HOME
};

std::ostream &operator<<(std::ostream &os, const XdgCase &c)
{
    return os << c.name;
}

class XdgConfigHome : public ::testing::TestWithParam<XdgCase>
{
};

TEST_P(XdgConfigHome, OnlyAnAbsolutePathCounts)
{
    const XdgCase c = GetParam();
    QTemporaryDir home;
    ASSERT_TRUE(home.isValid());
    const QByteArray old_home = qgetenv("HOME");
    const bool had_xdg = qEnvironmentVariableIsSet("XDG_CONFIG_HOME");
    const QByteArray old_xdg = qgetenv("XDG_CONFIG_HOME");
    qputenv("HOME", QFile::encodeName(home.path()));
    if (c.xdg)
        qputenv("XDG_CONFIG_HOME", QByteArray(c.xdg).replace("@", QFile::encodeName(home.path())));
    else
        qunsetenv("XDG_CONFIG_HOME");
    const QString user_dir = config_folder::system_places(QString()).user_dir;
    qputenv("HOME", old_home);
    if (had_xdg)
        qputenv("XDG_CONFIG_HOME", old_xdg);
    else
        qunsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(user_dir.toStdString(),
        QString::fromLatin1(c.user_dir).replace(u'~', home.path()).toStdString());
}

INSTANTIATE_TEST_SUITE_P(Env, XdgConfigHome,
    ::testing::Values(XdgCase { "unset", nullptr, "~/.config/kz-orba-ctrl" },
        XdgCase { "absolute", "@/xdg", "~/xdg/kz-orba-ctrl" },
        XdgCase { "relative", "xdg", "~/.config/kz-orba-ctrl" },
        XdgCase { "dot relative", "./conf", "~/.config/kz-orba-ctrl" }),
    [](const ::testing::TestParamInfo<XdgCase> &info) {
        std::string name = info.param.name;
        std::replace(name.begin(), name.end(), ' ', '_');
        return name;
    });

} // namespace
