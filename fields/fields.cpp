#include "fields/fields.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringDecoder>

#include <algorithm>
#include <cmath>
#include <limits>

using namespace Qt::StringLiterals;

namespace {

// A field's bytes in the system's 8-bit encoding. A byte-order mark at the start of a field is
// a character like any other here (the file's own mark is skipped before the first field): the
// default decoder would drop it, and a text that holds one would not come back from its file.
QString decode_field(const QByteArray &bytes)
{
    QStringDecoder decoder(QStringConverter::System, QStringConverter::Flag::ConvertInitialBom);
    return decoder.decode(bytes);
}

bool is_line_end(char c)
{
    return c == '\r' || c == '\n';
}

QString hex(char32_t value, int digits)
{
    return QString::number(quint32(value), 16).toUpper().rightJustified(digits, u'0');
}

bool is_digit(char c)
{
    return c >= '0' && c <= '9';
}

// An optional sign and at least one digit, nothing else.
bool parse_int(const QByteArray &raw, int &out, bool &in_range)
{
    in_range = true;
    qsizetype i = 0;
    bool negative = false;
    if (i < raw.size() && (raw[i] == '+' || raw[i] == '-')) {
        negative = raw[i] == '-';
        ++i;
    }
    if (i == raw.size())
        return false;
    const qint64 limit = negative ? -qint64(std::numeric_limits<int>::min())
                                  : qint64(std::numeric_limits<int>::max());
    qint64 value = 0;
    for (; i < raw.size(); ++i) {
        if (!is_digit(raw[i]))
            return false;
        if (in_range) {
            value = value * 10 + (raw[i] - '0');
            if (value > limit)
                in_range = false;
        }
    }
    if (in_range)
        out = static_cast<int>(negative ? -value : value);
    return true;
}

// Decimal text with '.': [sign] digits [. digits] or [sign] . digits, then an optional exponent.
bool is_decimal_text(const QByteArray &raw)
{
    qsizetype i = 0;
    const qsizetype n = raw.size();
    if (i < n && (raw[i] == '+' || raw[i] == '-'))
        ++i;
    qsizetype digits = 0;
    while (i < n && is_digit(raw[i])) {
        ++i;
        ++digits;
    }
    if (i < n && raw[i] == '.') {
        ++i;
        while (i < n && is_digit(raw[i])) {
            ++i;
            ++digits;
        }
    }
    if (digits == 0)
        return false;
    if (i < n && (raw[i] == 'e' || raw[i] == 'E')) {
        ++i;
        if (i < n && (raw[i] == '+' || raw[i] == '-'))
            ++i;
        qsizetype exp_digits = 0;
        while (i < n && is_digit(raw[i])) {
            ++i;
            ++exp_digits;
        }
        if (exp_digits == 0)
            return false;
    }
    return i == n;
}

} // namespace

// Bytes taken from the file at a time.
constexpr qint64 chunk_size = 16 * 1024;

FieldReader::FieldReader() = default;

FieldReader::FieldReader(const QByteArray &data)
    : chunk_(data)
{
    skip_bom();
}

FieldReader::~FieldReader() = default;

bool FieldReader::open(const QString &path)
{
    file_.reset();
    chunk_.clear();
    pos_ = 0;
    field_no_ = 0;
    line_ = 1;
    field_line_ = 0;
    comma_pending_ = false;
    failed_ = false;
    at_end_ = false;
    error_.clear();

    // Opening a named pipe waits for a writer, and reading a device may never end: look first.
    const QFileInfo info(path);
    if (info.isDir()) {
        fail(u"is a folder, not a file"_s);
        return false;
    }
    if (info.exists() && !info.isFile()) {
        fail(u"is not a regular file (a named pipe, socket or device), so it is not read"_s);
        return false;
    }
    auto file = std::make_unique<QFile>(path);
    if (!file->open(QIODevice::ReadOnly)) {
        fail(u"cannot be opened: "_s + file->errorString());
        return false;
    }
    file_ = std::move(file);
    if (fill())
        skip_bom();
    return !failed_;
}

bool FieldReader::fill()
{
    if (pos_ < chunk_.size())
        return true;
    if (!file_ || failed_)
        return false;
    chunk_ = file_->read(chunk_size);
    pos_ = 0;
    if (file_->error() != QFileDevice::NoError) {
        chunk_.clear();
        fail(u"cannot be read: "_s + file_->errorString());
        return false;
    }
    return !chunk_.isEmpty();
}

void FieldReader::skip_bom()
{
    // Editors that save "UTF-8 with BOM" put EF BB BF before the first field.
    if (chunk_.size() - pos_ >= 3 && chunk_.mid(pos_, 3) == "\xEF\xBB\xBF")
        pos_ += 3;
}

void FieldReader::fail(const QString &why)
{
    failed_ = true;
    error_ = why;
}

QString FieldReader::quote(const QByteArray &raw, qsizetype more_than)
{
    // Enough bytes for quoted_chars characters of up to four bytes each.
    QString text = decode_field(raw.left(quoted_chars * 4));
    // A field cut short may end inside a character of several bytes: leave that one out.
    if (more_than >= 0 && text.endsWith(QChar::ReplacementCharacter) && uchar(raw.back()) >= 0x80)
        text.chop(1);
    // The quote holds at most quoted_chars characters as shown, an escape counted by its length,
    // so that a field of control characters is no wider than one of letters.
    QString shown;
    qsizetype columns = 0;
    qsizetype i = 0;
    for (; i < text.size(); ++i) {
        const QChar c = text.at(i);
        QString piece;
        qsizetype used = 1;
        if (c == u'\r')
            piece = u"\\r"_s;
        else if (c == u'\n')
            piece = u"\\n"_s;
        else if (c == u'\t')
            piece = u"\\t"_s;
        else if (c.unicode() < 0x20 || c.unicode() == 0x7F)
            piece = u"\\x"_s + hex(c.unicode(), 2);
        else if (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
            const char32_t code = QChar::surrogateToUcs4(c, text.at(i + 1));
            piece = QChar::isPrint(code) ? text.mid(i, 2) : u"\\u"_s + hex(code, 4);
            used = 2;
        } else if (c != u' ' && !c.isPrint())
            piece = u"\\u"_s + hex(c.unicode(), 4);
        else
            piece = c;
        const qsizetype width = used == 2 && piece.size() == 2 ? 1 : piece.size();
        if (columns + width > quoted_chars)
            break;
        columns += width;
        shown += piece;
        i += used - 1;
    }
    QString out = u"\""_s + shown + u"\""_s;
    const bool cut = i < text.size() || raw.size() > quoted_chars * 4;
    if (more_than >= 0)
        out += u"... (more than %1 bytes)"_s.arg(more_than);
    else if (cut)
        out += u"... (%1 bytes)"_s.arg(raw.size());
    return out;
}

void FieldReader::fail_too_long(const QByteArray &raw, qsizetype limit, const char *what)
{
    fail(u"field %1 is too long%2: %3"_s.arg(field_no_).arg(
        QLatin1StringView(what), quote(raw.left(limit), limit)));
}

bool FieldReader::next_field(QByteArray &raw, qsizetype limit, const char *what)
{
    raw.clear();
    if (failed_)
        return false;
    // Every byte of the field counts against the limit: leading spaces, the quotes and anything
    // skipped after the closing quote, so that no field can make the reader run on.
    qsizetype length = 0;
    while (fill() && chunk_.at(pos_) == ' ') {
        ++pos_;
        if (++length > limit)
            break;
    }
    if (failed_)
        return false;
    if (length <= limit && pos_ >= chunk_.size() && !comma_pending_) {
        at_end_ = true;
        const QString fields = field_no_ == 1 ? u"1 field"_s : u"%1 fields"_s.arg(field_no_);
        if (expected_ > field_no_)
            fail(u"ends after %1, %2 expected"_s.arg(fields).arg(expected_));
        else
            fail(u"ends after %1"_s.arg(fields));
        return false;
    }
    ++field_no_;
    field_line_ = line_;
    comma_pending_ = false;
    if (length > limit) {
        fail_too_long(QByteArray(limit, ' '), limit, what);
        return false;
    }

    auto at_field_end = [this] {
        const char c = chunk_.at(pos_);
        return c == ',' || is_line_end(c);
    };
    if (fill() && chunk_.at(pos_) == '"') {
        ++pos_;
        ++length;
        for (;;) {
            if (!fill()) {
                if (!failed_)
                    fail(u"field %1 has no closing double quote"_s.arg(field_no_));
                return false;
            }
            const char c = chunk_.at(pos_++);
            if (++length > limit) {
                fail_too_long(raw, limit, what);
                return false;
            }
            if (c == '"')
                break;
            // CR LF is one line end, counted at its LF.
            if (c == '\n' || (c == '\r' && !(fill() && chunk_.at(pos_) == '\n')))
                ++line_;
            raw.append(c);
        }
        while (fill() && !at_field_end()) {
            ++pos_;
            if (++length > limit) {
                fail_too_long(raw, limit, what);
                return false;
            }
        }
    } else {
        while (fill() && !at_field_end()) {
            raw.append(chunk_.at(pos_++));
            if (++length > limit) {
                fail_too_long(raw, limit, what);
                return false;
            }
        }
        qsizetype end = raw.size();
        while (end > 0 && raw.at(end - 1) == ' ')
            --end;
        raw.truncate(end);
    }
    if (failed_)
        return false;

    if (fill()) {
        const char c = chunk_.at(pos_++);
        if (c == ',')
            comma_pending_ = true;
        else if (c == '\r' && fill() && chunk_.at(pos_) == '\n')
            ++pos_;
        if (is_line_end(c))
            ++line_;
    }
    return !failed_;
}

bool FieldReader::read_text(QString &out)
{
    QByteArray raw;
    if (!next_field(raw, max_text_field, ""))
        return false;
    out = decode_field(raw);
    return true;
}

bool FieldReader::read_int(int &out)
{
    QByteArray raw;
    if (!next_field(raw, max_number_field, " to be a number"))
        return false;
    bool in_range = true;
    if (!parse_int(raw, out, in_range)) {
        fail(u"field %1 is not a number: %2"_s.arg(field_no_).arg(quote(raw)));
        return false;
    }
    if (!in_range) {
        fail(u"field %1 is out of range: %2"_s.arg(field_no_).arg(quote(raw)));
        return false;
    }
    return true;
}

bool FieldReader::read_float(float &out)
{
    QByteArray raw;
    if (!next_field(raw, max_number_field, " to be a number"))
        return false;
    if (!is_decimal_text(raw)) {
        fail(u"field %1 is not a number: %2"_s.arg(field_no_).arg(quote(raw)));
        return false;
    }
    bool ok = false;
    const double value = raw.toDouble(&ok);
    // Texts up to half a unit above the largest float round to it (the writer's shortest text for
    // it, "3.4028235e+38", lies there); from that halfway point on they would become infinite.
    constexpr double float_overflow = 0x1.ffffffp+127;
    if (!ok || !std::isfinite(value) || std::fabs(value) >= float_overflow) {
        fail(u"field %1 is out of range: %2"_s.arg(field_no_).arg(quote(raw)));
        return false;
    }
    out = static_cast<float>(value);
    return true;
}

void FieldWriter::end_field()
{
    data_ += "\r\n";
    ++fields_;
}

void FieldWriter::write_int(int value)
{
    data_ += QByteArray::number(value);
    end_field();
}

QByteArray FieldWriter::float_text(float value)
{
    if (!std::isfinite(value))
        return std::isnan(value)
            ? QByteArrayLiteral("nan")
            : (value < 0 ? QByteArrayLiteral("-inf") : QByteArrayLiteral("inf"));
    if (value == 0.0f)
        return std::signbit(value) ? QByteArrayLiteral("-0") : QByteArrayLiteral("0");

    // The fewest significant digits that read back as the same float (9 always do).
    const double d = value;
    QByteArray sci;
    for (int precision = 0; precision <= 8; ++precision) {
        sci = QByteArray::number(d, 'e', precision);
        if (static_cast<float>(sci.toDouble()) == value)
            break;
    }

    // sci is "[-]D[.DDD]e[+-]XX": split it into sign, digits and exponent.
    const qsizetype e = sci.indexOf('e');
    const int exponent = sci.mid(e + 1).toInt();
    QByteArray mantissa = sci.left(e);
    QByteArray sign;
    if (mantissa.startsWith('-')) {
        sign = "-";
        mantissa.remove(0, 1);
    }
    if (exponent < -6 || exponent > 20) {
        QByteArray exp_text = QByteArray::number(std::abs(exponent));
        if (exp_text.size() < 2)
            exp_text.prepend('0');
        return sign + mantissa + (exponent < 0 ? "e-" : "e+") + exp_text;
    }
    const QByteArray digits = mantissa.replace(".", "");
    QByteArray plain;
    if (exponent < 0) {
        plain = "0." + QByteArray(-exponent - 1, '0') + digits;
    } else if (exponent + 1 >= digits.size()) {
        plain = digits + QByteArray(exponent + 1 - digits.size(), '0');
    } else {
        plain = digits.left(exponent + 1) + '.' + digits.mid(exponent + 1);
    }
    return sign + plain;
}

void FieldWriter::write_float(float value)
{
    data_ += float_text(value);
    end_field();
}

void FieldWriter::write_text(const QString &text)
{
    const int field = fields_ + 1;
    const QByteArray encoded = text.toLocal8Bit();
    if (ok()) {
        if (text.contains(u'"'))
            error_
                = u"field %1 holds a double quote, which the file format cannot store"_s.arg(field);
        else if (decode_field(encoded) != text)
            error_ = u"field %1 holds characters the system's 8-bit encoding cannot store"_s.arg(
                field);
        // The reader takes no longer field, its double quotes counted.
        else if (encoded.size() + 2 > FieldReader::max_text_field)
            error_ = u"field %1 is longer than the %2 bytes a file field can hold"_s.arg(field).arg(
                FieldReader::max_text_field);
    }
    data_ += '"';
    data_ += encoded;
    data_ += '"';
    end_field();
}

bool FieldWriter::commit(const QString &path, QString *error) const
{
    auto failed = [error](const QString &why) {
        if (error)
            *error = why;
        return false;
    };
    if (!ok())
        return failed(error_);
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return failed(u"cannot be created: "_s + file.errorString());
    // write() only fills Qt's buffer; the disk's answer comes with flush(). QSaveFile::commit()
    // would otherwise put a cut-short file in place when the disk is full.
    if (file.write(data_) != data_.size() || !file.flush()) {
        const QString why = file.errorString();
        file.cancelWriting();
        return failed(u"cannot be written: "_s + why);
    }
    if (!file.commit())
        return failed(u"cannot be written: "_s + file.errorString());
    return true;
}

bool read_option_list(const QString &path, QStringList &out, QString *error)
{
    FieldReader reader;
    if (!reader.open(path)) {
        if (error)
            *error = reader.error();
        return false;
    }
    QStringList entries;
    QString value;
    for (;;) {
        if (!reader.read_text(value)) {
            if (error) {
                if (reader.at_end()) {
                    const int n = reader.fields_read();
                    *error = u"ends after %1 field%2 without an \"END\" field"_s.arg(n).arg(
                        n == 1 ? QString() : u"s"_s);
                } else {
                    *error = reader.error();
                }
            }
            return false;
        }
        if (value == u"END"_s)
            break;
        const auto control = std::find_if(value.begin(), value.end(), [](QChar c) {
            return (c.unicode() < 0x20 && c != u'\t') || c.unicode() == 0x7F
                || (c.unicode() >= 0x80 && c.unicode() <= 0x9F);
        });
        if (control != value.end()) {
            if (error)
                *error
                    = u"line %1: entry %2 holds a control character, which no list can show: %3"_s
                          .arg(reader.field_line())
                          .arg(entries.size() + 1)
                          .arg(FieldReader::quote(value.toLocal8Bit()));
            return false;
        }
        if (entries.size() == max_option_entries) {
            if (error)
                *error = u"holds more than %1 entries before an \"END\" field"_s.arg(
                    max_option_entries);
            return false;
        }
        entries.append(value);
    }
    out = entries;
    return true;
}
