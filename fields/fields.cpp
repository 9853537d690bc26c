#include "fields/fields.h"

#include <QFile>
#include <QSaveFile>

#include <cmath>
#include <limits>

using namespace Qt::StringLiterals;

namespace {

bool is_line_end(char c)
{
    return c == '\r' || c == '\n';
}

bool is_digit(char c)
{
    return c >= '0' && c <= '9';
}

QString quoted(const QByteArray &raw)
{
    return u"\""_s + QString::fromLocal8Bit(raw) + u"\""_s;
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

FieldReader::FieldReader(const QByteArray &data)
    : data_(data)
{ }

bool FieldReader::open(const QString &path)
{
    data_.clear();
    pos_ = 0;
    field_no_ = 0;
    comma_pending_ = false;
    failed_ = false;
    at_end_ = false;
    error_.clear();

    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        fail(u"cannot be opened: "_s + file.errorString());
        return false;
    }
    if (file.size() > max_file_size) {
        fail(u"is too large to be a settings file (%1 bytes)"_s.arg(file.size()));
        return false;
    }
    data_ = file.read(max_file_size + 1);
    if (file.error() != QFileDevice::NoError) {
        fail(u"cannot be read: "_s + file.errorString());
        return false;
    }
    if (data_.size() > max_file_size) {
        fail(u"is too large to be a settings file"_s);
        return false;
    }
    return true;
}

void FieldReader::fail(const QString &why)
{
    failed_ = true;
    error_ = why;
}

bool FieldReader::next_field(QByteArray &raw)
{
    if (failed_)
        return false;
    const qsizetype n = data_.size();
    while (pos_ < n && data_[pos_] == ' ')
        ++pos_;
    if (pos_ >= n && !comma_pending_) {
        at_end_ = true;
        const QString fields = field_no_ == 1 ? u"1 field"_s : u"%1 fields"_s.arg(field_no_);
        if (expected_ > field_no_)
            fail(u"ends after %1, %2 expected"_s.arg(fields).arg(expected_));
        else
            fail(u"ends after %1"_s.arg(fields));
        return false;
    }
    ++field_no_;
    comma_pending_ = false;

    if (pos_ < n && data_[pos_] == '"') {
        const qsizetype close = data_.indexOf('"', pos_ + 1);
        if (close < 0) {
            fail(u"field %1 has no closing double quote"_s.arg(field_no_));
            return false;
        }
        raw = data_.mid(pos_ + 1, close - pos_ - 1);
        pos_ = close + 1;
        while (pos_ < n && data_[pos_] != ',' && !is_line_end(data_[pos_]))
            ++pos_;
    } else {
        const qsizetype start = pos_;
        while (pos_ < n && data_[pos_] != ',' && !is_line_end(data_[pos_]))
            ++pos_;
        qsizetype end = pos_;
        while (end > start && data_[end - 1] == ' ')
            --end;
        raw = data_.mid(start, end - start);
    }

    if (pos_ < n) {
        const char c = data_[pos_++];
        if (c == ',')
            comma_pending_ = true;
        else if (c == '\r' && pos_ < n && data_[pos_] == '\n')
            ++pos_;
    }
    return true;
}

bool FieldReader::read_text(QString &out)
{
    QByteArray raw;
    if (!next_field(raw))
        return false;
    out = QString::fromLocal8Bit(raw);
    return true;
}

bool FieldReader::read_int(int &out)
{
    QByteArray raw;
    if (!next_field(raw))
        return false;
    bool in_range = true;
    if (!parse_int(raw, out, in_range)) {
        fail(u"field %1 is not a number: %2"_s.arg(field_no_).arg(quoted(raw)));
        return false;
    }
    if (!in_range) {
        fail(u"field %1 is out of range: %2"_s.arg(field_no_).arg(quoted(raw)));
        return false;
    }
    return true;
}

bool FieldReader::read_float(float &out)
{
    QByteArray raw;
    if (!next_field(raw))
        return false;
    if (!is_decimal_text(raw)) {
        fail(u"field %1 is not a number: %2"_s.arg(field_no_).arg(quoted(raw)));
        return false;
    }
    bool ok = false;
    const double value = raw.toDouble(&ok);
    // Texts up to half a unit above the largest float round to it (the writer's shortest text for
    // it, "3.4028235e+38", lies there); from that halfway point on they would become infinite.
    constexpr double float_overflow = 0x1.ffffffp+127;
    if (!ok || !std::isfinite(value) || std::fabs(value) >= float_overflow) {
        fail(u"field %1 is out of range: %2"_s.arg(field_no_).arg(quoted(raw)));
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
        else if (QString::fromLocal8Bit(encoded) != text)
            error_ = u"field %1 holds characters the system's 8-bit encoding cannot store"_s.arg(
                field);
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
        entries.append(value);
    }
    out = entries;
    return true;
}
