#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <memory>

class QFile;

// The delimited field format shared by the settings file, the option-list files and the
// projector settings files.
//
// Reading: spaces before a field are skipped. A field that begins with a double quote ends at the
// next double quote (it may span line ends); whatever follows it up to the next comma or line end
// is skipped. Any other field ends at the next comma or line end, without its surrounding spaces.
// A line end is CR LF, CR or LF. An empty line, or nothing between two commas, is an empty value;
// a comma always announces one more field, so "A," holds the two values "A" and "". Spaces after
// the last line end are not a field. Bytes are decoded with the system's local 8-bit encoding.
//
// Writing: integers in decimal, floats as their shortest decimal text with a '.', texts between
// double quotes, each field followed by CR LF, encoded with the local 8-bit encoding.

// Reads the fields of a delimited field file one by one, keeping an error text for the operator.
// A file is read in small pieces as the fields are asked for, never whole, and a field stops being
// read as soon as it is longer than any valid one: a huge or damaged file costs neither time nor
// memory. A UTF-8 byte-order mark at the start of the data is skipped.
class FieldReader
{
public:
    // The longest field, leading spaces and anything after a closing quote included, that can be
    // read as a number; no number anyone writes comes near it.
    static constexpr qsizetype max_number_field = 64;
    // The longest text field: more than the longest path a system accepts.
    static constexpr qsizetype max_text_field = 32 * 1024;
    // How many characters of a bad field an error message quotes.
    static constexpr qsizetype quoted_chars = 40;

    FieldReader();
    explicit FieldReader(const QByteArray &data);
    ~FieldReader();
    FieldReader(const FieldReader &) = delete;
    FieldReader &operator=(const FieldReader &) = delete;

    // Opens the file for reading; false (with error()) when it cannot be opened or is not a
    // regular file. A folder, a named pipe or a device is refused without being opened, so that
    // nothing waits for a writer that never comes.
    bool open(const QString &path);

    // The number of fields the caller means to read, used only to word the "ends after" error.
    void set_expected_fields(int count) { expected_ = count; }

    // Each reads the next field. False at the end of the data or on a bad field; the first failure
    // is sticky, so every later read also fails and error() keeps the first reason. A field that
    // fails conversion is still consumed.
    bool read_text(QString &out);
    bool read_int(int &out); // a whole decimal number with an optional sign, in int's range
    bool read_float(float &out); // a decimal number with '.', optional exponent; finite floats only

    // Why the last read failed, without the file name (the caller adds it), e.g.
    // "field 3 is not a number: \"abc\"" or "ends after 2 fields, 5 expected". A bad field is
    // quoted with control characters written as \r, \n, \t or \xHH (other invisible characters
    // as \uHHHH), at most quoted_chars characters as written, and is followed by its length when
    // it is cut short: "field 1 is too long to be a number: \"\x00\x00\x00\"... (more than 64
    // bytes)".
    QString error() const { return error_; }
    // True when the failure was running out of data (rather than a bad field or an unreadable
    // file).
    bool at_end() const { return at_end_; }
    // Fields consumed so far, including one that failed conversion.
    int fields_read() const { return field_no_; }
    // The line (from 1) on which the last field read began.
    int field_line() const { return field_line_; }

    // raw as an error message quotes it: between double quotes, invisible characters escaped, at
    // most quoted_chars characters as written, then "..." and the length in bytes when cut.
    // more_than >= 0 says that raw is only the start of a field longer than more_than bytes.
    static QString quote(const QByteArray &raw, qsizetype more_than = -1);

private:
    bool next_field(QByteArray &raw, qsizetype limit, const char *what);
    bool fill();
    void skip_bom();
    void fail(const QString &why);
    void fail_too_long(const QByteArray &raw, qsizetype limit, const char *what);

    std::unique_ptr<QFile> file_; // none when reading from memory
    QByteArray chunk_;
    qsizetype pos_ = 0;
    int field_no_ = 0;
    int line_ = 1; // the line the next byte stands on
    int field_line_ = 0;
    int expected_ = 0;
    bool comma_pending_ = false;
    bool failed_ = false;
    bool at_end_ = false;
    QString error_;
};

// Collects fields in the delimited field format and writes them to a file in one piece.
class FieldWriter
{
public:
    void write_int(int value);
    // Shortest text that reads back as the same float: 1 -> "1", 1.5 -> "1.5", 0.1f -> "0.1",
    // plain decimals for exponents -6..20, "1.5e+30" style beyond. Non-finite values are written as
    // "inf", "-inf" or "nan", which the reader refuses as not a number.
    void write_float(float value);
    // A text the format cannot hold (one with a double quote, or a character the local 8-bit
    // encoding cannot represent) is not written; the writer keeps the error and commit() fails,
    // so the file is never replaced by one that would read back differently.
    void write_text(const QString &text);

    QByteArray bytes() const { return data_; }
    bool ok() const { return error_.isEmpty(); }
    QString error() const { return error_; }

    // Replaces the file at path with the collected fields atomically (a new file, then a rename):
    // a failure, a crash or a kill leaves either the old content or the new one, never a mix.
    // False with *error set (when error is given) if a field was refused or the file can't be
    // written.
    bool commit(const QString &path, QString *error = nullptr) const;

    // The text write_float() puts in the file for value, without the line end.
    static QByteArray float_text(float value);

private:
    void end_field();

    QByteArray data_;
    int fields_ = 0;
    QString error_;
};

// The most entries an option-list file may hold before its "END".
inline constexpr int max_option_entries = 4096;

// Reads an option-list file: text fields up to the first one equal to "END" (exact,
// case-sensitive); whatever follows it is never read. True with the entries in out; false with
// *error set (when given, without the file name) if the file cannot be read, holds a bad field,
// has no "END" field or more than max_option_entries entries before it, or an entry holds a
// control character other than a tab (a line end, an escape sequence: no list can show one, and
// it would break the lines of a report), in which case out is left unchanged. The problem names the
// line.
bool read_option_list(const QString &path, QStringList &out, QString *error = nullptr);
