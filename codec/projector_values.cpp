#include "codec/projector_values.h"

#include "fields/fields.h"
#include "protocol/protocol.h"
#include "protocol/reply_values.h"
#include "protocol/vocabulary.h"

namespace projector_values {

namespace {

// The value of one character as a decimal digit; any other character (or none) is 0.
int digit_value(const QByteArray &text, qsizetype at)
{
    if (at < 0 || at >= text.size())
        return 0;
    const char c = text.at(at);
    return c >= '0' && c <= '9' ? c - '0' : 0;
}

} // namespace

QByteArray port_argument(const ProjPortValues &values)
{
    const QString parity = values.parity.trimmed().left(1).toUpper();
    QByteArray argument = QByteArray::number(values.baud);
    argument += ',';
    argument += QByteArray::number(values.databits);
    argument += ',';
    argument += parity.toLatin1();
    argument += ',';
    // The field format's number text always uses a point, whatever the locale.
    argument += FieldWriter::float_text(values.stopbits);
    return argument;
}

QByteArray port_message(const ProjPortValues &values)
{
    return protocol::setting_message(
        protocol::find_command("projector_port")->prefix, port_argument(values));
}

bool parse_port_reply(const QByteArray &argument, ProjPortValues &values)
{
    const qsizetype comma = argument.indexOf(',');
    if (comma < 0)
        return false;
    // The reply is read by position: one-character data bits and parity fields, the separators
    // after them not examined.
    values.baud = protocol::reply_number(argument.left(comma));
    values.databits = digit_value(argument, comma + 1);
    if (comma + 3 < argument.size()) {
        const int p = position_of(
            parities, [&](const Parity &entry) { return argument.at(comma + 3) == entry.word[0]; });
        if (p >= 0)
            values.parity = QLatin1String(parities[static_cast<std::size_t>(p)].word);
    }
    const QByteArray stop = argument.mid(comma + 5);
    const int s
        = position_of(stop_bits, [&](const StopBits &entry) { return stop == entry.entry; });
    if (s >= 0)
        values.stopbits = stop_bits[static_cast<std::size_t>(s)].value;
    return true;
}

bool port_in_lists(const ProjPortValues &values)
{
    const QString parity = values.parity.trimmed().toUpper();
    return position_of(baud_rates, [&](int baud) { return baud == values.baud; }) >= 0
        && position_of(data_bits, [&](int bits) { return bits == values.databits; }) >= 0
        && position_of(parities, [&](const Parity &p) { return parity == QLatin1String(p.word); })
        >= 0
        && position_of(stop_bits, [&](const StopBits &s) { return s.value == values.stopbits; })
        >= 0;
}

QByteArray display_message(const QByteArray &prefix, const QByteArray &bytes)
{
    return prefix + QByteArray::number(bytes.size()) + ',' + bytes + protocol::terminator;
}

} // namespace projector_values
