#include "fields/fields.h"

#include <QDir>
#include <QFile>
#include <QLocale>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <poll.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <limits>
#include <ostream>
#include <random>

using namespace Qt::StringLiterals;

void PrintTo(const QString &s, std::ostream *os)
{
    *os << '"' << s.toStdString() << '"';
}

void PrintTo(const QByteArray &bytes, std::ostream *os)
{
    *os << '"' << bytes.toPercentEncoding(" ,\"\\").constData() << '"';
}

void PrintTo(const QStringList &list, std::ostream *os)
{
    *os << '[';
    for (qsizetype i = 0; i < list.size(); ++i) {
        if (i)
            *os << ", ";
        PrintTo(list.at(i), os);
    }
    *os << ']';
}

namespace {

// Table rows print as their name in failure messages.
template <typename Row>
requires requires(const Row &row)
{
    row.name;
}
std::ostream &operator<<(std::ostream &os, const Row &row)
{
    return os << row.name;
}

QString u8(const char *s)
{
    return QString::fromUtf8(s);
}

// Every text field of data, read until the reader stops.
struct ReadAll
{
    QStringList values;
    bool at_end = false;
    QString error;
};

ReadAll read_all(const QByteArray &data)
{
    ReadAll r;
    FieldReader reader(data);
    QString value;
    while (reader.read_text(value))
        r.values.append(value);
    r.at_end = reader.at_end();
    r.error = reader.error();
    return r;
}

// A folder of its own per test, for files written and read back.
class FileTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }
    QString path(const QString &name) const { return dir.filePath(name); }
    void write_file(const QString &name, const QByteArray &content) const
    {
        QFile f(path(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        ASSERT_EQ(f.write(content), content.size());
    }
    QByteArray file_content(const QString &name) const
    {
        QFile f(path(name));
        if (!f.open(QIODevice::ReadOnly))
            return QByteArrayLiteral("<missing>");
        return f.readAll();
    }

    QTemporaryDir dir;
};

// --- Splitting data into fields ---------------------------------------------------------------

struct SplitCase
{
    const char *name;
    QByteArray data;
    QStringList expected;
};

class FieldSplit : public ::testing::TestWithParam<SplitCase>
{
};

TEST_P(FieldSplit, GivesTheValuesThenEndsCleanly)
{
    const ReadAll r = read_all(GetParam().data);
    EXPECT_EQ(r.values, GetParam().expected);
    EXPECT_TRUE(r.at_end) << r.error.toStdString();
}

INSTANTIATE_TEST_SUITE_P(Reader, FieldSplit,
    ::testing::Values(SplitCase { "crlf", "A\r\nB\r\n", { u"A"_s, u"B"_s } },
        SplitCase { "lf", "A\nB\n", { u"A"_s, u"B"_s } },
        SplitCase { "cr", "A\rB\r", { u"A"_s, u"B"_s } },
        SplitCase { "mixed_line_ends", "A\rB\nC\r\nD", { u"A"_s, u"B"_s, u"C"_s, u"D"_s } },
        SplitCase { "lf_then_cr_is_two_line_ends", "A\n\rB", { u"A"_s, u""_s, u"B"_s } },
        SplitCase { "no_final_line_end", "A\r\nB", { u"A"_s, u"B"_s } },
        SplitCase { "comma_separates", "1,5\r\n", { u"1"_s, u"5"_s } },
        SplitCase { "quoted_comma_is_one_field", "\"1,5\"\r\n", { u"1,5"_s } },
        SplitCase { "spaces_around_unquoted_stripped", "  a b  ,  c \r\n", { u"a b"_s, u"c"_s } },
        SplitCase { "spaces_inside_quotes_kept", "  \" x \"\r\n", { u" x "_s } },
        SplitCase { "junk_after_quote_skipped_to_comma", "\"A\" junk,B\r\n", { u"A"_s, u"B"_s } },
        SplitCase { "junk_after_quote_skipped_to_line_end", "\"A\"xyz\r\nB", { u"A"_s, u"B"_s } },
        SplitCase { "empty_line_is_empty_value", "A\r\n\r\nB\r\n", { u"A"_s, u""_s, u"B"_s } },
        SplitCase { "spaces_only_line_is_empty_value", "   \r\nB", { u""_s, u"B"_s } },
        SplitCase { "nothing_between_commas", "A,,B", { u"A"_s, u""_s, u"B"_s } },
        SplitCase { "comma_at_end_announces_a_field", "A,", { u"A"_s, u""_s } },
        SplitCase { "comma_before_line_end", "A,\r\nB", { u"A"_s, u""_s, u"B"_s } },
        SplitCase { "trailing_spaces_are_not_a_field", "A\r\n   ", { u"A"_s } },
        SplitCase { "quoted_field_spans_line_ends", "\"a\r\nb\"\r\nC", { u"a\r\nb"_s, u"C"_s } },
        SplitCase { "empty_quotes", "\"\"\r\n\"\"\r\n", { u""_s, u""_s } },
        SplitCase { "quote_inside_unquoted_field_kept", "ab\"c\r\n", { u"ab\"c"_s } },
        SplitCase { "empty_data", "", {} },
        SplitCase { "byte_order_mark_skipped",
            "\xEF\xBB\xBF"
            "0\r\n1\r\n",
            { u"0"_s, u"1"_s } },
        SplitCase { "byte_order_mark_alone", "\xEF\xBB\xBF", {} },
        SplitCase { "byte_order_mark_later_is_data",
            "A\r\n\xEF\xBB\xBF"
            "B",
            { u"A"_s, u"\uFEFFB"_s } },
        SplitCase { "byte_order_mark_then_quote", "\xEF\xBB\xBF\"A,B\"\r\n", { u"A,B"_s } }),
    [](const ::testing::TestParamInfo<SplitCase> &info) { return std::string(info.param.name); });

TEST(Reader, UnclosedQuoteIsABadFieldNotTheEnd)
{
    const ReadAll r = read_all("A\r\n\"B, C\r\nEND\r\n");
    EXPECT_EQ(r.values, QStringList { u"A"_s });
    EXPECT_FALSE(r.at_end);
    EXPECT_EQ(r.error, u"field 2 has no closing double quote"_s);
}

TEST(Reader, DecodesLocal8BitBytes)
{
    const QString text = u8("Données été");
    const ReadAll r = read_all('"' + text.toLocal8Bit() + "\"\r\n");
    EXPECT_EQ(r.values, QStringList { text });
}

// Only the file's own mark before the first field is skipped: a mark that begins a later field is
// one of its characters, and a text that holds it comes back from its file as it was written.
TEST(Reader, ByteOrderMarkInsideAFieldIsACharacter)
{
    const ReadAll r = read_all("\xEF\xBB\xBF"
                               "A\r\n\xEF\xBB\xBF\xEF\xBB\xBF\r\n\"\xEF\xBB\xBF\"\r\n");
    EXPECT_EQ(r.values, (QStringList { u"A"_s, u"\uFEFF\uFEFF"_s, u"\uFEFF"_s }));

    for (const QString &text : r.values) {
        FieldWriter writer;
        writer.write_text(text);
        ASSERT_TRUE(writer.ok()) << writer.error().toStdString();
        FieldReader again(writer.bytes());
        QString back;
        ASSERT_TRUE(again.read_text(back));
        EXPECT_EQ(back, text);
    }
}

// --- Numbers -----------------------------------------------------------------------------------

struct IntCase
{
    const char *name;
    QByteArray field;
    int value;
};

class ReadIntGood : public ::testing::TestWithParam<IntCase>
{
};

TEST_P(ReadIntGood, Converts)
{
    FieldReader reader(GetParam().field + "\r\n");
    int value = 12345;
    ASSERT_TRUE(reader.read_int(value)) << reader.error().toStdString();
    EXPECT_EQ(value, GetParam().value);
}

INSTANTIATE_TEST_SUITE_P(Reader, ReadIntGood,
    ::testing::Values(IntCase { "zero", "0", 0 }, IntCase { "three", "3", 3 },
        IntCase { "negative", "-1", -1 }, IntCase { "plus_sign", "+5", 5 },
        IntCase { "spaces_around", "  42  ", 42 }, IntCase { "quoted", "\"7\"", 7 },
        IntCase { "leading_zero", "07", 7 },
        IntCase { "int_max", "2147483647", std::numeric_limits<int>::max() },
        IntCase { "int_min", "-2147483648", std::numeric_limits<int>::min() },
        IntCase { "baud", "115200", 115200 },
        IntCase { "after_byte_order_mark",
            "\xEF\xBB\xBF"
            "0",
            0 },
        IntCase { "longest_number_field", QByteArray(62, '0') + "42", 42 }),
    [](const ::testing::TestParamInfo<IntCase> &info) { return std::string(info.param.name); });

struct BadNumberCase
{
    const char *name;
    QByteArray field;
    QString error; // for a field read as the third one
};

class ReadIntBad : public ::testing::TestWithParam<BadNumberCase>
{
};

TEST_P(ReadIntBad, FailsNamingTheField)
{
    FieldReader reader("1\r\n2\r\n" + GetParam().field + "\r\n4\r\n");
    int value = 0;
    ASSERT_TRUE(reader.read_int(value));
    ASSERT_TRUE(reader.read_int(value));
    value = 12345;
    EXPECT_FALSE(reader.read_int(value));
    EXPECT_EQ(value, 12345);
    EXPECT_EQ(reader.error(), GetParam().error);
    EXPECT_FALSE(reader.at_end());
}

INSTANTIATE_TEST_SUITE_P(Reader, ReadIntBad,
    ::testing::Values(BadNumberCase { "empty", "", u"field 3 is not a number: \"\""_s },
        BadNumberCase { "letters", "abc", u"field 3 is not a number: \"abc\""_s },
        BadNumberCase { "trailing_letter", "1x", u"field 3 is not a number: \"1x\""_s },
        BadNumberCase { "decimal", "1.5", u"field 3 is not a number: \"1.5\""_s },
        BadNumberCase { "inner_space", "1 2", u"field 3 is not a number: \"1 2\""_s },
        BadNumberCase { "sign_only", "-", u"field 3 is not a number: \"-\""_s },
        BadNumberCase { "hex", "0x10", u"field 3 is not a number: \"0x10\""_s },
        BadNumberCase {
            "above_int_max", "2147483648", u"field 3 is out of range: \"2147483648\""_s },
        BadNumberCase { "far_too_long", "99999999999999999999999",
            u"field 3 is out of range: \"99999999999999999999999\""_s }),
    [](const ::testing::TestParamInfo<BadNumberCase> &info) {
        return std::string(info.param.name);
    });

struct FloatCase
{
    const char *name;
    QByteArray field;
    float value;
};

class ReadFloatGood : public ::testing::TestWithParam<FloatCase>
{
};

TEST_P(ReadFloatGood, Converts)
{
    FieldReader reader(GetParam().field + "\r\n");
    float value = -99.0f;
    ASSERT_TRUE(reader.read_float(value)) << reader.error().toStdString();
    EXPECT_EQ(value, GetParam().value);
}

INSTANTIATE_TEST_SUITE_P(Reader, ReadFloatGood,
    ::testing::Values(FloatCase { "one", "1", 1.0f }, FloatCase { "one_and_half", "1.5", 1.5f },
        FloatCase { "two", "2", 2.0f }, FloatCase { "negative_fraction", " -0.25 ", -0.25f },
        FloatCase { "leading_point", ".5", 0.5f }, FloatCase { "trailing_point", "5.", 5.0f },
        FloatCase { "exponent", "1e3", 1000.0f }, FloatCase { "quoted", "\"1.5\"", 1.5f }),
    [](const ::testing::TestParamInfo<FloatCase> &info) { return std::string(info.param.name); });

class ReadFloatBad : public ::testing::TestWithParam<BadNumberCase>
{
};

TEST_P(ReadFloatBad, FailsNamingTheField)
{
    FieldReader reader("1\r\n2\r\n" + GetParam().field + "\r\n4\r\n");
    float value = 0;
    ASSERT_TRUE(reader.read_float(value));
    ASSERT_TRUE(reader.read_float(value));
    value = -99.0f;
    EXPECT_FALSE(reader.read_float(value));
    EXPECT_EQ(value, -99.0f);
    EXPECT_EQ(reader.error(), GetParam().error);
}

INSTANTIATE_TEST_SUITE_P(Reader, ReadFloatBad,
    ::testing::Values(BadNumberCase { "empty", "", u"field 3 is not a number: \"\""_s },
        BadNumberCase { "letters", "abc", u"field 3 is not a number: \"abc\""_s },
        BadNumberCase { "two_points", "1.5.2", u"field 3 is not a number: \"1.5.2\""_s },
        BadNumberCase { "decimal_comma", "\"1,5\"", u"field 3 is not a number: \"1,5\""_s },
        BadNumberCase { "nan", "nan", u"field 3 is not a number: \"nan\""_s },
        BadNumberCase { "inf", "inf", u"field 3 is not a number: \"inf\""_s },
        BadNumberCase { "bare_exponent", "1e", u"field 3 is not a number: \"1e\""_s },
        BadNumberCase { "point_only", ".", u"field 3 is not a number: \".\""_s },
        BadNumberCase { "beyond_float", "1e39", u"field 3 is out of range: \"1e39\""_s }),
    [](const ::testing::TestParamInfo<BadNumberCase> &info) {
        return std::string(info.param.name);
    });

// --- Running out of fields ---------------------------------------------------------------------

TEST(Reader, ShortFileNamesWhatIsMissing)
{
    FieldReader reader("3\r\n1\r\n");
    reader.set_expected_fields(5);
    int value = 0;
    ASSERT_TRUE(reader.read_int(value));
    ASSERT_TRUE(reader.read_int(value));
    EXPECT_FALSE(reader.read_int(value));
    EXPECT_TRUE(reader.at_end());
    EXPECT_EQ(reader.error(), u"ends after 2 fields, 5 expected"_s);
}

TEST(Reader, EmptyFileAndSingularWording)
{
    QString text;
    FieldReader empty("");
    empty.set_expected_fields(6);
    EXPECT_FALSE(empty.read_text(text));
    EXPECT_EQ(empty.error(), u"ends after 0 fields, 6 expected"_s);

    FieldReader one("9600\r\n");
    EXPECT_TRUE(one.read_text(text));
    EXPECT_FALSE(one.read_text(text));
    EXPECT_EQ(one.error(), u"ends after 1 field"_s);
}

TEST(Reader, FirstFailureIsSticky)
{
    FieldReader reader("abc\r\n5\r\n");
    int value = 0;
    EXPECT_FALSE(reader.read_int(value));
    QString text;
    EXPECT_FALSE(reader.read_text(text));
    EXPECT_FALSE(reader.read_int(value));
    EXPECT_EQ(reader.error(), u"field 1 is not a number: \"abc\""_s);
}

TEST_F(FileTest, OpenMissingFileFails)
{
    FieldReader reader;
    EXPECT_FALSE(reader.open(path(u"nothing.ini"_s)));
    EXPECT_TRUE(reader.error().startsWith(u"cannot be opened: "_s)) << reader.error().toStdString();
    QString text;
    EXPECT_FALSE(reader.read_text(text));
}

// --- Long, damaged and odd fields --------------------------------------------------------------

// What a bad field looks like in the error: at most 40 characters, invisible ones escaped, and the
// length when cut. The data goes through a file, read in pieces as the fields are asked for.
enum class ReadAs { Int, Float, Text };

struct BadFieldCase
{
    const char *name;
    QByteArray content;
    ReadAs read_as;
    QString error;
};

class BadField : public FileTest, public ::testing::WithParamInterface<BadFieldCase>
{
};

TEST_P(BadField, IsQuotedShortly)
{
    write_file(u"f.ini"_s, GetParam().content);
    FieldReader reader;
    ASSERT_TRUE(reader.open(path(u"f.ini"_s))) << reader.error().toStdString();
    int i = 0;
    float f = 0;
    QString text;
    switch (GetParam().read_as) {
    case ReadAs::Int:
        EXPECT_FALSE(reader.read_int(i));
        break;
    case ReadAs::Float:
        EXPECT_FALSE(reader.read_float(f));
        break;
    case ReadAs::Text:
        EXPECT_FALSE(reader.read_text(text));
        break;
    }
    EXPECT_EQ(reader.error(), GetParam().error);
    EXPECT_FALSE(reader.at_end());
    EXPECT_FALSE(reader.read_text(text)) << "the failure is sticky";
}

const QByteArray ten_mb = QByteArray(10 * 1024 * 1024, 'N');
const QByteArray ten_mb_zeros = QByteArray(10 * 1024 * 1024, '\0');

INSTANTIATE_TEST_SUITE_P(Reader, BadField,
    ::testing::Values(BadFieldCase { "zero_bytes_as_number", ten_mb_zeros, ReadAs::Int,
                          u"field 1 is too long to be a number: \""_s + u"\\x00"_s.repeated(10)
                              + u"\"... (more than 64 bytes)"_s },
        BadFieldCase { "zero_bytes_as_text", ten_mb_zeros, ReadAs::Text,
            u"field 1 is too long: \""_s + u"\\x00"_s.repeated(10)
                + u"\"... (more than 32768 bytes)"_s },
        BadFieldCase { "huge_float_field", "1" + ten_mb, ReadAs::Float,
            u"field 1 is too long to be a number: \"1"_s + u"N"_s.repeated(39)
                + u"\"... (more than 64 bytes)"_s },
        BadFieldCase { "one_digit_too_many", QByteArray(63, '0') + "42\r\n", ReadAs::Int,
            u"field 1 is too long to be a number: \""_s + u"0"_s.repeated(40)
                + u"\"... (more than 64 bytes)"_s },
        BadFieldCase { "huge_unquoted_text", ten_mb, ReadAs::Text,
            u"field 1 is too long: \""_s + u"N"_s.repeated(40)
                + u"\"... (more than 32768 bytes)"_s },
        BadFieldCase { "huge_quoted_text", "\"" + ten_mb + "\"\r\n", ReadAs::Text,
            u"field 1 is too long: \""_s + u"N"_s.repeated(40)
                + u"\"... (more than 32768 bytes)"_s },
        BadFieldCase { "huge_unclosed_quote", "\"" + ten_mb, ReadAs::Text,
            u"field 1 is too long: \""_s + u"N"_s.repeated(40)
                + u"\"... (more than 32768 bytes)"_s },
        BadFieldCase { "huge_tail_after_quote", "\"A\"" + ten_mb, ReadAs::Text,
            u"field 1 is too long: \"A\"... (more than 32768 bytes)"_s },
        BadFieldCase { "huge_run_of_spaces", QByteArray(100000, ' ') + "1\r\n", ReadAs::Int,
            u"field 1 is too long to be a number: \""_s + QString(40, u' ')
                + u"\"... (more than 64 bytes)"_s },
        BadFieldCase { "longer_than_quoted", QByteArray(50, 'x') + "\r\n", ReadAs::Int,
            u"field 1 is not a number: \""_s + u"x"_s.repeated(40) + u"\"... (50 bytes)"_s },
        BadFieldCase { "control_characters", "1\x01\t2\x7f\x1b[2J\r\n", ReadAs::Int,
            u"field 1 is not a number: \"1\\x01\\t2\\x7F\\x1B[2J\""_s },
        BadFieldCase { "line_ends_inside_quotes", "\"1\r\n2\"\r\n", ReadAs::Float,
            u"field 1 is not a number: \"1\\r\\n2\""_s },
        BadFieldCase { "right_to_left_override",
            "\"12\xE2\x80\xAE"
            "34\"\r\n",
            ReadAs::Int, u"field 1 is not a number: \"12\\u202E34\""_s },
        BadFieldCase { "accented_letters_count_as_characters",
            QByteArray(38, 'a') + QByteArray("\xC3\xA9").repeated(3) + "\r\n", ReadAs::Int,
            u"field 1 is not a number: \""_s + u"a"_s.repeated(38) + u8("\xC3\xA9").repeated(2)
                + u"\"... (44 bytes)"_s },
        BadFieldCase { "cut_inside_a_character", "a" + QByteArray("\xC3\xA9").repeated(50),
            ReadAs::Int,
            u"field 1 is too long to be a number: \"a"_s + u8("\xC3\xA9").repeated(31)
                + u"\"... (more than 64 bytes)"_s },
        BadFieldCase { "escapes_count_by_their_length",
            "12345678901234567890123456789012345678\x01\r\n", ReadAs::Int,
            u"field 1 is not a number: \"12345678901234567890123456789012345678\"... (39 bytes)"_s },
        BadFieldCase { "wide_character_counts_once",
            "\"" + QByteArray(39, 'a')
                + "\xF0\x9F\x98\x80"
                  "b\"\r\n",
            ReadAs::Int,
            u"field 1 is not a number: \""_s + u"a"_s.repeated(39) + u8("\xF0\x9F\x98\x80")
                + u"\"... (44 bytes)"_s },
        BadFieldCase { "byte_order_mark_then_bad_number",
            "\xEF\xBB\xBF"
            "x\r\n",
            ReadAs::Int, u"field 1 is not a number: \"x\""_s }),
    [](const ::testing::TestParamInfo<BadFieldCase> &info) {
        return std::string(info.param.name);
    });

TEST_F(FileTest, LongestTextFieldIsRead)
{
    const QByteArray longest(FieldReader::max_text_field - 2, 'p');
    write_file(u"f.ini"_s, "\"" + longest + "\"\r\n7\r\n");
    FieldReader reader;
    ASSERT_TRUE(reader.open(path(u"f.ini"_s)));
    QString text;
    int value = 0;
    ASSERT_TRUE(reader.read_text(text)) << reader.error().toStdString();
    ASSERT_TRUE(reader.read_int(value)) << reader.error().toStdString();
    EXPECT_EQ(text.size(), longest.size());
    EXPECT_EQ(value, 7);
}

// Fields that straddle the pieces in which a file is read still split as in memory.
TEST_F(FileTest, FieldsAcrossReadPiecesSplitAsInMemory)
{
    QByteArray content;
    for (int i = 0; content.size() < 100 * 1024; ++i)
        content += QByteArray::number(i) + (i % 3 == 0 ? "\r\n" : i % 3 == 1 ? "," : "\r");
    content += "\"quoted,\r\nacross\"\r\n";
    write_file(u"f.ini"_s, content);
    FieldReader from_file;
    ASSERT_TRUE(from_file.open(path(u"f.ini"_s)));
    QStringList values;
    QString value;
    while (from_file.read_text(value))
        values << value;
    EXPECT_TRUE(from_file.at_end()) << from_file.error().toStdString();
    EXPECT_EQ(values, read_all(content).values);
}

TEST_F(FileTest, FolderIsRefusedWithoutReading)
{
    ASSERT_TRUE(QDir(dir.path()).mkdir(u"KZ_ORBA_CTRL.ini"_s));
    FieldReader reader;
    EXPECT_FALSE(reader.open(path(u"KZ_ORBA_CTRL.ini"_s)));
    EXPECT_EQ(reader.error(), u"is a folder, not a file"_s);
    QStringList out;
    QString error;
    EXPECT_FALSE(read_option_list(path(u"KZ_ORBA_CTRL.ini"_s), out, &error));
    EXPECT_EQ(error, u"is a folder, not a file"_s);
}

// Opening a named pipe for reading waits for a writer: it must be refused before it is opened.
// A child process does the reading, so that a reader that does wait cannot hang the test.
TEST_F(FileTest, NamedPipeIsRefusedWithoutWaiting)
{
    const QString fifo = path(u"auto_off.txt"_s);
    ASSERT_EQ(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0) << std::strerror(errno);
    int pipe_fds[2];
    ASSERT_EQ(pipe(pipe_fds), 0);
    const pid_t child = fork();
    ASSERT_NE(child, -1);
    if (child == 0) {
        close(pipe_fds[0]);
        QStringList out;
        QString error;
        const bool read = read_option_list(fifo, out, &error);
        const QByteArray report = (read ? "read" : "refused: ") + error.toUtf8();
        (void)!write(pipe_fds[1], report.constData(), size_t(report.size()));
        _exit(0);
    }
    close(pipe_fds[1]);
    // A generous bound: the child either answers at once or waits for ever.
    pollfd answer { pipe_fds[0], POLLIN, 0 };
    const int ready = poll(&answer, 1, 20000);
    if (ready <= 0)
        kill(child, SIGKILL);
    int status = 0;
    waitpid(child, &status, 0);
    char buffer[512] = {};
    const ssize_t n = ready > 0 ? read(pipe_fds[0], buffer, sizeof buffer - 1) : 0;
    close(pipe_fds[0]);
    ASSERT_GT(ready, 0) << "reading a named pipe waited for a writer";
    EXPECT_EQ(QByteArray(buffer, int(std::max<ssize_t>(n, 0))),
        QByteArray(
            "refused: is not a regular file (a named pipe, socket or device), so it is not read"));
}

TEST_F(FileTest, OptionListEntryMayHoldATab)
{
    // A tab is the one control character an entry may hold: it breaks no line.
    write_file(u"list.txt"_s, "A\tB\r\n\"C\tD\"\r\nEND\r\n");
    QStringList out;
    QString error;
    ASSERT_TRUE(read_option_list(path(u"list.txt"_s), out, &error)) << error.toStdString();
    EXPECT_EQ(out, (QStringList { u"A\tB"_s, u"C\tD"_s }));
}

TEST_F(FileTest, OptionListWithTooManyEntriesIsRefused)
{
    QByteArray content;
    for (int i = 0; i <= max_option_entries; ++i)
        content += "x\n";
    content += "END\n";
    write_file(u"list.txt"_s, content);
    QStringList out { u"kept"_s };
    QString error;
    EXPECT_FALSE(read_option_list(path(u"list.txt"_s), out, &error));
    EXPECT_EQ(error, u"holds more than 4096 entries before an \"END\" field"_s);
    EXPECT_EQ(out, QStringList { u"kept"_s });

    // One fewer is a list.
    content.remove(0, 2);
    write_file(u"list.txt"_s, content);
    ASSERT_TRUE(read_option_list(path(u"list.txt"_s), out, &error)) << error.toStdString();
    EXPECT_EQ(out.size(), max_option_entries);
}

// --- Writing -----------------------------------------------------------------------------------

TEST(Writer, SettingsFileBytes)
{
    FieldWriter w;
    w.write_int(3);
    w.write_int(1);
    w.write_int(-1);
    w.write_text(u"C:\\proj\\room 1, new.ini"_s);
    w.write_int(0);
    EXPECT_EQ(w.bytes(), QByteArray("3\r\n1\r\n-1\r\n\"C:\\proj\\room 1, new.ini\"\r\n0\r\n"));
}

TEST(Writer, ProjectorFileBytes)
{
    FieldWriter w;
    w.write_int(9600);
    w.write_int(8);
    w.write_text(u"NONE"_s);
    w.write_float(1.0f);
    w.write_text(u"50 57 52 0D "_s);
    w.write_text(QString());
    EXPECT_EQ(w.bytes(), QByteArray("9600\r\n8\r\n\"NONE\"\r\n1\r\n\"50 57 52 0D \"\r\n\"\"\r\n"));
}

struct FloatTextCase
{
    const char *name;
    float value;
    QByteArray text;
};

class FloatText : public ::testing::TestWithParam<FloatTextCase>
{
};

TEST_P(FloatText, IsShortestDecimalWithPoint)
{
    EXPECT_EQ(FieldWriter::float_text(GetParam().value), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(Writer, FloatText,
    ::testing::Values(FloatTextCase { "one", 1.0f, "1" },
        FloatTextCase { "one_and_half", 1.5f, "1.5" }, FloatTextCase { "two", 2.0f, "2" },
        FloatTextCase { "zero", 0.0f, "0" }, FloatTextCase { "tenth", 0.1f, "0.1" },
        FloatTextCase { "negative", -2.5f, "-2.5" }, FloatTextCase { "hundred", 100.0f, "100" },
        FloatTextCase { "baud", 115200.0f, "115200" },
        FloatTextCase { "ten_digits", 1e10f, "10000000000" },
        FloatTextCase { "small", 0.000123f, "0.000123" },
        FloatTextCase { "tiny_uses_exponent", 1e-7f, "1e-07" },
        FloatTextCase { "float_max", std::numeric_limits<float>::max(), "3.4028235e+38" }),
    [](const ::testing::TestParamInfo<FloatTextCase> &info) {
        return std::string(info.param.name);
    });

TEST(Writer, FloatsIgnoreTheLocale)
{
    const QLocale before;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    FieldWriter w;
    w.write_float(1.5f);
    FieldReader reader(w.bytes());
    float value = 0;
    const bool read = reader.read_float(value);
    QLocale::setDefault(before);
    EXPECT_EQ(w.bytes(), QByteArray("1.5\r\n"));
    EXPECT_TRUE(read);
    EXPECT_EQ(value, 1.5f);
}

TEST(Writer, EveryFiniteFloatReadsBackExactly)
{
    std::mt19937 rng(20240611);
    std::uniform_int_distribution<std::uint32_t> bits;
    int checked = 0;
    while (checked < 20000) {
        const std::uint32_t b = bits(rng);
        float f;
        std::memcpy(&f, &b, sizeof f);
        if (!std::isfinite(f))
            continue;
        ++checked;
        FieldWriter w;
        w.write_float(f);
        FieldReader reader(w.bytes());
        float back = 0;
        ASSERT_TRUE(reader.read_float(back))
            << w.bytes().constData() << reader.error().toStdString();
        ASSERT_EQ(std::memcmp(&back, &f, sizeof f), 0) << w.bytes().constData();
    }
}

TEST(Writer, NonFiniteFloatIsRefusedOnReading)
{
    FieldWriter w;
    w.write_float(std::numeric_limits<float>::quiet_NaN());
    w.write_float(std::numeric_limits<float>::infinity());
    FieldReader reader(w.bytes());
    float value = 0;
    EXPECT_FALSE(reader.read_float(value));
    EXPECT_EQ(reader.error(), u"field 1 is not a number: \"nan\""_s);
}

// --- Writer and reader together ------------------------------------------------------------

class SettingsRoundTrip : public FileTest, public ::testing::WithParamInterface<const char *>
{
};

TEST_P(SettingsRoundTrip, FiveFieldsComeBack)
{
    const QString proj_file = u8(GetParam());
    FieldWriter w;
    w.write_int(3);
    w.write_int(1);
    w.write_int(1);
    w.write_text(proj_file);
    w.write_int(2);
    QString error;
    ASSERT_TRUE(w.commit(path(u"KZ_ORBA_CTRL.ini"_s), &error)) << error.toStdString();

    FieldReader reader;
    ASSERT_TRUE(reader.open(path(u"KZ_ORBA_CTRL.ini"_s)));
    reader.set_expected_fields(5);
    int port_no = 0, auto_clear = 0, cmd_fmt = 0, open_section = 0;
    QString file;
    ASSERT_TRUE(reader.read_int(port_no));
    ASSERT_TRUE(reader.read_int(auto_clear));
    ASSERT_TRUE(reader.read_int(cmd_fmt));
    ASSERT_TRUE(reader.read_text(file));
    ASSERT_TRUE(reader.read_int(open_section)) << reader.error().toStdString();
    EXPECT_EQ(port_no, 3);
    EXPECT_EQ(auto_clear, 1);
    EXPECT_EQ(cmd_fmt, 1);
    EXPECT_EQ(file, proj_file);
    EXPECT_EQ(open_section, 2);
    QString extra;
    EXPECT_FALSE(reader.read_text(extra));
    EXPECT_TRUE(reader.at_end());
}

INSTANTIATE_TEST_SUITE_P(Paths, SettingsRoundTrip,
    ::testing::Values("C:\\data\\proj\\room1.ini", "/home/op/My Files/proj, room 1.ini",
        "/home/op/Données, été/façade ÄÖÜ ß.ini", "  leading and trailing spaces  ", "a,b,,c", ""));

TEST_F(FileTest, ProjectorFileRoundTrip)
{
    FieldWriter w;
    w.write_int(115200);
    w.write_int(8);
    w.write_text(u"SPACE"_s);
    w.write_float(1.5f);
    w.write_text(u"02 41 03 0D "_s);
    w.write_text(QString());
    ASSERT_TRUE(w.commit(path(u"room1.ini"_s)));

    FieldReader reader;
    ASSERT_TRUE(reader.open(path(u"room1.ini"_s)));
    int baud = 0, bits = 0;
    QString parity, on, off = u"x"_s;
    float stop = 0;
    ASSERT_TRUE(reader.read_int(baud));
    ASSERT_TRUE(reader.read_int(bits));
    ASSERT_TRUE(reader.read_text(parity));
    ASSERT_TRUE(reader.read_float(stop));
    ASSERT_TRUE(reader.read_text(on));
    ASSERT_TRUE(reader.read_text(off));
    EXPECT_EQ(baud, 115200);
    EXPECT_EQ(bits, 8);
    EXPECT_EQ(parity, u"SPACE"_s);
    EXPECT_EQ(stop, 1.5f);
    EXPECT_EQ(on, u"02 41 03 0D "_s);
    EXPECT_EQ(off, QString());
}

TEST_F(FileTest, TextWithLineEndsRoundTrips)
{
    FieldWriter w;
    w.write_text(u"one\r\ntwo\rthree\nfour"_s);
    w.write_int(7);
    ASSERT_TRUE(w.commit(path(u"f.ini"_s)));
    FieldReader reader;
    ASSERT_TRUE(reader.open(path(u"f.ini"_s)));
    QString text;
    int value = 0;
    ASSERT_TRUE(reader.read_text(text));
    ASSERT_TRUE(reader.read_int(value));
    EXPECT_EQ(text, u"one\r\ntwo\rthree\nfour"_s);
    EXPECT_EQ(value, 7);
}

// A text the format cannot hold must not replace a good file with one that reads back differently.
struct RefusedTextCase
{
    const char *name;
    QString text;
    QString error;
};

class RefusedText : public FileTest, public ::testing::WithParamInterface<RefusedTextCase>
{
};

TEST_P(RefusedText, CommitFailsAndKeepsTheOldFile)
{
    write_file(u"KZ_ORBA_CTRL.ini"_s, "old content\r\n");
    FieldWriter w;
    w.write_int(3);
    w.write_text(GetParam().text);
    w.write_int(0);
    EXPECT_FALSE(w.ok());
    QString error;
    EXPECT_FALSE(w.commit(path(u"KZ_ORBA_CTRL.ini"_s), &error));
    EXPECT_EQ(error, GetParam().error);
    EXPECT_EQ(file_content(u"KZ_ORBA_CTRL.ini"_s), QByteArray("old content\r\n"));
}

INSTANTIATE_TEST_SUITE_P(Writer, RefusedText,
    ::testing::Values(RefusedTextCase { "double_quote", u"/home/op/\"quoted\".ini"_s,
                          u"field 2 holds a double quote, which the file format cannot store"_s },
        RefusedTextCase { "lone_surrogate", QString(QChar(0xD800)),
            u"field 2 holds characters the system's 8-bit encoding cannot store"_s },
        // 16,384 two-byte characters and the quotes: two bytes more than the reader takes.
        RefusedTextCase { "longer_than_the_reader_takes", QString(16384, QChar(0xE9)),
            u"field 2 is longer than the 32768 bytes a file field can hold"_s }),
    [](const ::testing::TestParamInfo<RefusedTextCase> &info) {
        return std::string(info.param.name);
    });

TEST_F(FileTest, CommitIntoMissingFolderFails)
{
    FieldWriter w;
    w.write_int(1);
    QString error;
    EXPECT_FALSE(w.commit(path(u"no/such/folder/x.ini"_s), &error));
    EXPECT_TRUE(error.startsWith(u"cannot be created: "_s)) << error.toStdString();
}

TEST_F(FileTest, CommitReplacesTheWholeFile)
{
    write_file(u"s.ini"_s, QByteArray(1000, 'x'));
    FieldWriter w;
    w.write_int(5);
    ASSERT_TRUE(w.commit(path(u"s.ini"_s)));
    EXPECT_EQ(file_content(u"s.ini"_s), QByteArray("5\r\n"));
}

// A write that fails half way (here: the file size limit of the process) must leave the old file
// whole and no stray temporary file beside it. A writer that truncated the file in place would
// leave it cut off.
TEST_F(FileTest, FailedWriteLeavesTheOldFile)
{
    const QByteArray old_content = "3\r\n1\r\n1\r\n\"old\"\r\n0\r\n";
    write_file(u"KZ_ORBA_CTRL.ini"_s, old_content);
    const QString target = path(u"KZ_ORBA_CTRL.ini"_s);

    const pid_t child = fork();
    ASSERT_NE(child, -1);
    if (child == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit { 4096, 4096 };
        setrlimit(RLIMIT_FSIZE, &limit);
        FieldWriter w;
        w.write_int(3);
        w.write_text(QString(64 * 1024, u'p'));
        _exit(w.commit(target) ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 1) << "the commit should report the failed write";
    EXPECT_EQ(file_content(u"KZ_ORBA_CTRL.ini"_s), old_content);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList { u"KZ_ORBA_CTRL.ini"_s });
}

// --- Option lists --------------------------------------------------------------------------

struct OptionListCase
{
    const char *name;
    QByteArray content;
    QStringList entries;
};

class OptionList : public FileTest, public ::testing::WithParamInterface<OptionListCase>
{
};

TEST_P(OptionList, ReadsEntriesUpToEND)
{
    write_file(u"list.txt"_s, GetParam().content);
    QStringList out { u"stale"_s };
    QString error;
    ASSERT_TRUE(read_option_list(path(u"list.txt"_s), out, &error)) << error.toStdString();
    EXPECT_EQ(out, GetParam().entries);
}

INSTANTIATE_TEST_SUITE_P(Files, OptionList,
    ::testing::Values(
        OptionListCase { "stops_at_END", "A\r\nB\r\nEND\r\nC\r\n", { u"A"_s, u"B"_s } },
        OptionListCase { "comma_gives_two_entries", "1,5\r\nEND\r\n", { u"1"_s, u"5"_s } },
        OptionListCase { "quoted_comma_gives_one_entry", "\"1,5\"\r\nEND\r\n", { u"1,5"_s } },
        OptionListCase { "END_first_gives_empty_list", "END\r\nA\r\n", {} },
        OptionListCase { "empty_line_gives_empty_entry", "A\r\n\r\nEND\r\n", { u"A"_s, u""_s } },
        OptionListCase {
            "other_case_end_is_an_entry", "end\r\nEnd\r\nEND\r\n", { u"end"_s, u"End"_s } },
        OptionListCase { "END_with_more_text_is_an_entry", "ENDX\r\n END \r\n", { u"ENDX"_s } },
        OptionListCase { "quoted_END_ends", "A\r\n\"END\"\r\nB\r\n", { u"A"_s } },
        OptionListCase { "after_END_is_never_read", "A\r\nEND\r\n\"unclosed\r\nabc", { u"A"_s } },
        OptionListCase { "lf_line_ends", "0 Min\n30 Min\nEND\n", { u"0 Min"_s, u"30 Min"_s } },
        OptionListCase { "cr_line_ends", "0 Min\r30 Min\rEND", { u"0 Min"_s, u"30 Min"_s } },
        OptionListCase {
            "entry_spaces_trimmed", "  1080p 60Hz  \r\nEND\r\n", { u"1080p 60Hz"_s } }),
    [](const ::testing::TestParamInfo<OptionListCase> &info) {
        return std::string(info.param.name);
    });

struct BadOptionListCase
{
    const char *name;
    QByteArray content;
    QString error;
};

class BadOptionList : public FileTest, public ::testing::WithParamInterface<BadOptionListCase>
{
};

TEST_P(BadOptionList, FailsAndLeavesTheListAlone)
{
    write_file(u"list.txt"_s, GetParam().content);
    QStringList out { u"kept"_s };
    QString error;
    EXPECT_FALSE(read_option_list(path(u"list.txt"_s), out, &error));
    EXPECT_EQ(error, GetParam().error);
    EXPECT_EQ(out, QStringList { u"kept"_s });
}

INSTANTIATE_TEST_SUITE_P(Files, BadOptionList,
    ::testing::Values(BadOptionListCase { "no_END", "A\r\nB\r\n",
                          u"ends after 2 fields without an \"END\" field"_s },
        BadOptionListCase {
            "only_lower_case_end", "end\r\n", u"ends after 1 field without an \"END\" field"_s },
        BadOptionListCase { "empty_file", "", u"ends after 0 fields without an \"END\" field"_s },
        BadOptionListCase { "unclosed_quote_swallows_END", "A\r\n\"B\r\nEND\r\n",
            u"field 2 has no closing double quote"_s },
        // A control character in an entry could forge lines of a report or reach a terminal:
        // refused, naming the line the entry begins on.
        BadOptionListCase { "line_end_in_a_quoted_entry", "Auto\r\n\"1280x\n1024\"\r\nEND\r\n",
            u"line 2: entry 2 holds a control character, which no list can show: "
            "\"1280x\\n1024\""_s },
        BadOptionListCase { "escape_sequence",
            "A\r\nB\r\n\x1b]0;x\x07"
            "C\r\nEND\r\n",
            u"line 3: entry 3 holds a control character, which no list can show: "
            "\"\\x1B]0;x\\x07C\""_s },
        BadOptionListCase { "nul_byte", QByteArray("A\nB\0C\nEND\n", 10),
            u"line 2: entry 2 holds a control character, which no list can show: \"B\\x00C\""_s },
        BadOptionListCase { "delete", "A\x7f\nEND\n",
            u"line 1: entry 1 holds a control character, which no list can show: \"A\\x7F\""_s },
        BadOptionListCase { "c1_control_in_utf8",
            "A\n\xc2\x9b"
            "2J\nEND\n",
            u"line 2: entry 2 holds a control character, which no list can show: "
            "\"\\u009B2J\""_s },
        // Lines end at CR LF, a lone CR or LF; a comma starts no line, an empty line is an entry.
        BadOptionListCase { "line_count_over_every_line_end", "A,B\rC\r\nD\n\nE\x1b\nEND\n",
            u"line 5: entry 6 holds a control character, which no list can show: "
            "\"E\\x1B\""_s }),
    [](const ::testing::TestParamInfo<BadOptionListCase> &info) {
        return std::string(info.param.name);
    });

TEST_F(FileTest, MissingOptionListFails)
{
    QStringList out;
    QString error;
    EXPECT_FALSE(read_option_list(path(u"auto_off.txt"_s), out, &error));
    EXPECT_TRUE(error.startsWith(u"cannot be opened: "_s)) << error.toStdString();
}

} // namespace
