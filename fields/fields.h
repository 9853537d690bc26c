#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

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
class FieldReader
{
public:
    // Files larger than this are refused instead of being loaded whole.
    static constexpr qint64 max_file_size = 16 * 1024 * 1024;

    FieldReader() = default;
    explicit FieldReader(const QByteArray &data);

    // Loads the whole file; false (with error()) when it cannot be read.
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
    // "field 3 is not a number: \"abc\"" or "ends after 2 fields, 5 expected".
    QString error() const { return error_; }
    // True when the failure was running out of data (rather than a bad field or an unreadable
    // file).
    bool at_end() const { return at_end_; }
    // Fields consumed so far, including one that failed conversion.
    int fields_read() const { return field_no_; }

private:
    bool next_field(QByteArray &raw);
    void fail(const QString &why);

    QByteArray data_;
    qsizetype pos_ = 0;
    int field_no_ = 0;
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

// Reads an option-list file: text fields up to the first one equal to "END" (exact,
// case-sensitive); whatever follows it is never read. True with the entries in out; false with
// *error set (when given, without the file name) if the file cannot be read, holds a bad field or
// has no "END" field, in which case out is left unchanged.
bool read_option_list(const QString &path, QStringList &out, QString *error = nullptr);
