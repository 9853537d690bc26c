// The settings file: what start-up accepts, what it refuses and says, and the atomic rewrite.
#include "app/app_settings.h"
#include "tests/support/resource_limit.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

QString write(const QTemporaryDir &dir, const QByteArray &bytes)
{
    const QString path = dir.filePath(QStringLiteral("KZ_ORBA_CTRL.ini"));
    QFile file(path);
    file.open(QIODevice::WriteOnly | QIODevice::Truncate);
    file.write(bytes);
    return path;
}

} // namespace

TEST(AppSettings, ReadsTheFiveFields)
{
    QTemporaryDir dir;
    const QString path = write(dir, "3\r\n1\r\n1\r\n\"C:\\proj\\room 1, left.ini\"\r\n0\r\n");
    AppSettings s;
    QString error;
    ASSERT_TRUE(read_app_settings(path, s, &error)) << error.toStdString();
    EXPECT_EQ(s.port_no, 3);
    EXPECT_EQ(static_cast<int>(s.auto_clear), 1);
    EXPECT_EQ(static_cast<int>(s.cmd_fmt), 1);
    EXPECT_EQ(s.proj_file, QStringLiteral("C:\\proj\\room 1, left.ini"));
    EXPECT_EQ(static_cast<int>(s.open_section), 0);
}

TEST(AppSettings, WriterThenReaderRoundTrips)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("KZ_ORBA_CTRL.ini"));
    AppSettings s;
    s.port_no = 9;
    s.auto_clear = AutoClear::On;
    s.cmd_fmt = CommandView::Text;
    s.proj_file = QStringLiteral("/home/av/Räume, alt/proj 1.ini");
    s.open_section = Section::Panel;
    ASSERT_TRUE(write_app_settings(path, s));
    AppSettings back;
    ASSERT_TRUE(read_app_settings(path, back, nullptr));
    EXPECT_EQ(back.port_no, 9);
    EXPECT_EQ(static_cast<int>(back.auto_clear), 1);
    EXPECT_EQ(static_cast<int>(back.cmd_fmt), 0);
    EXPECT_EQ(back.proj_file, s.proj_file);
    EXPECT_EQ(static_cast<int>(back.open_section), 2);

    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll().left(9), QByteArray("9\r\n1\r\n0\r\n"));
}

TEST(AppSettings, ByteOrderMarkIsSkipped)
{
    QTemporaryDir dir;
    AppSettings s;
    QString error;
    ASSERT_TRUE(read_app_settings(write(dir,
                                      "\xEF\xBB\xBF"
                                      "0\r\n1\r\n1\r\n\"\"\r\n2\r\n"),
        s, &error))
        << error.toStdString();
    EXPECT_EQ(s.port_no, 0);
    EXPECT_EQ(static_cast<int>(s.auto_clear), 1);
    EXPECT_EQ(static_cast<int>(s.open_section), 2);
}

TEST(AppSettings, OddSectionIsAccepted)
{
    QTemporaryDir dir;
    AppSettings s;
    ASSERT_TRUE(read_app_settings(write(dir, "0\r\n0\r\n0\r\n\"\"\r\n7\r\n"), s, nullptr));
    EXPECT_EQ(static_cast<int>(s.open_section), 7);
    EXPECT_EQ(s.port_no, 0);
}

struct BadCase
{
    const char *name;
    const char *bytes; // nullptr: no file at all
    const char *report_contains;
};

class BadSettings : public testing::TestWithParam<BadCase>
{
};

TEST_P(BadSettings, AreRefusedWithAReport)
{
    QTemporaryDir dir;
    const std::string name = GetParam().name;
    QString path = GetParam().bytes ? write(dir, GetParam().bytes)
                                    : dir.filePath(QStringLiteral("KZ_ORBA_CTRL.ini"));
    if (name == "ten_megabytes_of_zero_bytes")
        write(dir, QByteArray(10 * 1024 * 1024, '\0'));
    else if (name == "folder")
        QDir(dir.path()).mkdir(QStringLiteral("KZ_ORBA_CTRL.ini"));
    AppSettings s;
    s.port_no = 5;
    QString error;
    EXPECT_FALSE(read_app_settings(path, s, &error));
    EXPECT_TRUE(error.contains(QStringLiteral("KZ_ORBA_CTRL.ini"))) << error.toStdString();
    EXPECT_TRUE(
        error.contains(QString::fromLatin1(GetParam().report_contains), Qt::CaseInsensitive))
        << error.toStdString();
    EXPECT_EQ(s.port_no, 5) << "nothing is taken from a refused file";
    EXPECT_LT(error.size(), 300) << "the report quotes a bad field shortly";
}

INSTANTIATE_TEST_SUITE_P(Files, BadSettings,
    testing::Values(BadCase { "missing", nullptr, "" }, BadCase { "short", "1\r\n0\r\n0\r\n", "3" },
        BadCase { "not_a_number", "1\r\nabc\r\n0\r\n\"\"\r\n1\r\n", "abc" },
        BadCase { "port_out_of_range", "12\r\n0\r\n0\r\n\"\"\r\n1\r\n", "port" },
        BadCase { "view_out_of_range", "1\r\n0\r\n2\r\n\"\"\r\n1\r\n", "view" },
        BadCase { "beyond_16_bits", "1\r\n0\r\n0\r\n\"\"\r\n70000\r\n", "range" },
        BadCase { "auto_clear_5", "1\r\n5\r\n0\r\n\"\"\r\n1\r\n",
            "auto-clear 5 is not 0 (off) or 1 (on)" },
        BadCase { "auto_clear_minus_1", "1\r\n-1\r\n0\r\n\"\"\r\n1\r\n",
            "auto-clear -1 is not 0 (off) or 1 (on)" },
        BadCase {
            "ten_megabytes_of_zero_bytes", nullptr, "field 1 is too long to be a number: \"\\x00" },
        BadCase { "folder", nullptr, "is a folder, not a file" }),
    [](const testing::TestParamInfo<BadCase> &info) { return std::string(info.param.name); });

TEST(AppSettings, FailedWriteLeavesTheOldFile)
{
    QTemporaryDir dir;
    const QString path = write(dir, "1\r\n0\r\n0\r\n\"\"\r\n1\r\n");
    AppSettings s;
    s.port_no = 4;
    s.proj_file = QStringLiteral("/a/path/long/enough/to/pass/the/limit.ini");
    bool written = true;
    {
        // The disk fills up after a few bytes: the new file cannot be written whole.
        const ResourceLimit limit(RLIMIT_FSIZE, 8);
        written = write_app_settings(path, s);
    }
    EXPECT_FALSE(written);
    AppSettings back;
    ASSERT_TRUE(read_app_settings(path, back, nullptr));
    EXPECT_EQ(back.port_no, 1);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
        QStringList { QStringLiteral("KZ_ORBA_CTRL.ini") });
}

// What a write killed before its rename leaves beside the settings file is removed; files a
// person named alike, other files' leftovers, folders and links stay.
TEST(AppSettings, StaleTemporariesOfTheSettingsFileAreRemoved)
{
    QTemporaryDir dir;
    const QString path = write(dir, "0\r\n0\r\n0\r\n\"\"\r\n1\r\n");
    const struct
    {
        const char *name;
        bool removed;
    } cases[] = { { "KZ_ORBA_CTRL.ini.a1B2c3", true }, { "KZ_ORBA_CTRL.ini.Xy-_9Z", true },
        { "KZ_ORBA_CTRL.ini.QWERTY", true }, { "KZ_ORBA_CTRL.ini.backup", false },
        { "KZ_ORBA_CTRL.ini.bak", false }, { "KZ_ORBA_CTRL.ini.a1B2c3d", false },
        { "KZ_ORBA_CTRL.ini.a1B.c3", false }, { "room1.ini.a1B2c3", false },
        { "KZ_ORBA_CTRL.ini", false } };
    for (const auto &c : cases) {
        QFile file(dir.filePath(QString::fromLatin1(c.name)));
        if (!file.exists()) {
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
            file.write("1\r\n");
        }
    }
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("KZ_ORBA_CTRL.ini.F0lder")));
    ASSERT_TRUE(QFile::link(dir.filePath(QStringLiteral("room1.ini.a1B2c3")),
        dir.filePath(QStringLiteral("KZ_ORBA_CTRL.ini.L1nk00"))));
    const QStringList removed = remove_stale_temporaries(path);
    for (const auto &c : cases)
        EXPECT_EQ(QFile::exists(dir.filePath(QString::fromLatin1(c.name))), !c.removed) << c.name;
    EXPECT_EQ(removed.size(), 3);
    EXPECT_TRUE(QFileInfo(dir.filePath(QStringLiteral("KZ_ORBA_CTRL.ini.F0lder"))).isDir());
    EXPECT_TRUE(QFileInfo(dir.filePath(QStringLiteral("KZ_ORBA_CTRL.ini.L1nk00"))).isSymLink());
}
