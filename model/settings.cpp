#include "model/settings.h"

#include "model/suggest.h"

#include "codec/codec.h"
#include "codec/display_reply.h"
#include "codec/projector_values.h"
#include "fields/fields.h"
#include "link/trace.h"
#include "protocol/protocol.h"
#include "protocol/reply_values.h"
#include "protocol/vocabulary.h"

#include <QDir>

#include <cmath>
#include <vector>

namespace model {

namespace {

const protocol::Command *cmd(const char *name)
{
    const protocol::Command *command = protocol::find_command(name);
    Q_ASSERT(command);
    return command;
}

Setting fixed(const char *name, ReadGroup group)
{
    return { name, cmd(name), Values::Fixed, group, true };
}

Setting from_file(const char *name, OptionList file)
{
    Setting setting { name, cmd(name), Values::FromFile, ReadGroup::Receiver, true };
    setting.file = file;
    return setting;
}

Setting read_only(const char *name)
{
    return { name, cmd(name), Values::Text, ReadGroup::Receiver, false };
}

Setting display_command(const char *name, int max_bytes)
{
    Setting setting { name, cmd(name), Values::HexBytes, ReadGroup::Transfer, true };
    setting.max_bytes = max_bytes;
    return setting;
}

std::vector<Setting> make_table()
{
    using enum ReadGroup;
    Setting transmitter = read_only("transmitter");
    transmitter.sets_input_layout = true;
    Setting input_source = fixed("input_source", Receiver);
    input_source.follows_input_layout = true;
    return {
        transmitter,
        fixed("aspect", Receiver),
        read_only("rx_firmware"),
        from_file("output_resolution", OptionList::OutputReso),
        fixed("overscan", Receiver),
        fixed("overscan_h", Receiver),
        fixed("overscan_v", Receiver),
        fixed("audio", Receiver),
        fixed("audio_hdmi", Receiver),
        fixed("audio_lr", Receiver),
        from_file("auto_off", OptionList::AutoOff),
        fixed("display_mode", Receiver),
        fixed("display", Receiver),
        input_source,
        fixed("hdcp", Receiver),
        from_file("input_resolution", OptionList::InputPrefer),
        read_only("tx_firmware"),
        fixed("tx_baudrate", Receiver),
        fixed("brightness", Picture),
        fixed("contrast", Picture),
        fixed("saturation", Picture),
        fixed("hue", Picture),
        fixed("sharpness", Picture),
        fixed("projsw_mode", Behaviour),
        fixed("auto_display_on", Behaviour),
        fixed("auto_display_off", Behaviour),
        { "projector_port", cmd("projector_port"), Values::PortSettings, Transfer, true },
        display_command("display_on_command", projector_values::max_on_bytes),
        display_command("display_off_command", projector_values::max_off_bytes),
    };
}

const std::vector<Setting> &table()
{
    static const std::vector<Setting> all = make_table();
    return all;
}

// The position of value among the entries; the first match, as a list search finds it.
int position_in(const QStringList &entries, const QString &value)
{
    return static_cast<int>(entries.indexOf(value));
}

// The bytes of hex text, or none when it is not hex text.
std::optional<QByteArray> hex_bytes(const QString &text)
{
    QString hex = normalize_hex(text);
    if (hex.isEmpty())
        return std::nullopt;
    ByteBuffer buf;
    hex_to_buf(hex, buf);
    return buf.data();
}

QString hex_text(QByteArrayView bytes)
{
    ByteBuffer buf;
    for (const char c : bytes)
        buf.append(static_cast<std::uint8_t>(c));
    return buf_to_hex(buf).trimmed();
}

std::optional<ProjPortValues> port_values(const QString &text)
{
    const QStringList parts = text.split(QLatin1Char(','));
    if (parts.size() != 4)
        return std::nullopt;
    ProjPortValues values;
    bool ok_baud = false, ok_bits = false;
    values.baud = parts[0].toInt(&ok_baud);
    values.databits = parts[1].toInt(&ok_bits);
    if (!ok_baud || !ok_bits)
        return std::nullopt;
    for (const auto &parity : projector_values::parities) {
        if (parts[2] == QLatin1Char(parity.word[0]))
            values.parity = QLatin1String(parity.word);
    }
    bool stop_found = false;
    for (const auto &stop : projector_values::stop_bits) {
        if (parts[3] == QLatin1String(stop.entry)) {
            values.stopbits = stop.value;
            stop_found = true;
        }
    }
    if (values.parity.isEmpty() || !stop_found || !projector_values::port_in_lists(values))
        return std::nullopt;
    return values;
}

// The first and last of entries that are the whole numbers from one to the other, in order
// ("0" .. "100"); none for any other list.
std::optional<std::pair<int, int>> number_range(const QStringList &entries)
{
    if (entries.size() < 3)
        return std::nullopt;
    bool ok = false;
    const int first = entries.first().toInt(&ok);
    for (qsizetype i = 0; ok && i < entries.size(); ++i)
        ok = entries.at(i) == QString::number(first + i);
    if (!ok)
        return std::nullopt;
    return std::pair { first, first + static_cast<int>(entries.size()) - 1 };
}

QString quoted(const QString &text)
{
    return QLatin1Char('"') + text + QLatin1Char('"');
}

// The longest reply value shown whole; a receiver's values are a few dozen bytes.
constexpr qsizetype shown_value_bytes = 64;

// A value as the receiver sent it, for a message or a "# name: ..." comment: quoted, with line
// ends, escape sequences and every other byte outside printable ASCII written \xHH, so that it
// cannot break the line it stands in nor reach a terminal raw; a long one is cut, with its length.
QString quoted_value(const QByteArray &value)
{
    QString text = QLatin1Char('"') + trace_bytes(value.left(shown_value_bytes)) + QLatin1Char('"');
    if (value.size() > shown_value_bytes)
        text += QStringLiteral("\u2026 (%1 bytes)").arg(value.size());
    return text;
}

// Whether a reply's value is read as a number (a position, or seconds).
bool number_read(const Setting &setting)
{
    return setting.command->reply == protocol::ReplyRead::Number
        || setting.command->reply == protocol::ReplyRead::FiveSeconds;
}

// The list position a reply's value names, read strictly: a number is taken only when it is
// plainly one, and only as the entry it names exactly (seconds that fall between two entries name
// none). The window reads the same values from their leading digits instead (reply_position).
std::optional<int> strict_position(
    const Setting &setting, const QByteArray &value, bool single_hdmi, const QStringList &entries)
{
    if (!number_read(setting))
        return reply_position(setting, value, single_hdmi, entries);
    const std::optional<int> number = protocol::plain_number(value);
    if (!number)
        return std::nullopt;
    if (setting.command->reply == protocol::ReplyRead::Number)
        return number;
    const qsizetype found = entries.indexOf(QString::number(*number));
    return found >= 0 ? std::optional<int>(static_cast<int>(found)) : std::nullopt;
}

} // namespace

double read_pause_sec(ReadGroup group)
{
    return group == ReadGroup::Receiver ? 0.05 : 0.1;
}

const char *option_list_file(OptionList list)
{
    switch (list) {
    case OptionList::AutoOff:
        return "auto_off.txt";
    case OptionList::InputPrefer:
        return "input_prefer.txt";
    case OptionList::OutputReso:
        return "output_reso.txt";
    }
    return "";
}

std::span<const Setting> settings()
{
    return table();
}

QStringList setting_names()
{
    QStringList names;
    for (const Setting &setting : settings())
        names << QLatin1String(setting.name);
    return names;
}

const Setting *find_setting(const QString &name)
{
    for (const Setting &setting : table()) {
        if (name == QLatin1String(setting.name))
            return &setting;
    }
    return nullptr;
}

const Setting &setting_of(const protocol::Command &command)
{
    for (const Setting &setting : table()) {
        if (setting.command == &command)
            return setting;
    }
    qFatal("no setting for the command %s", command.name);
}

QList<const Setting *> settings_of(ReadGroup group)
{
    QList<const Setting *> found;
    for (const Setting &setting : table()) {
        if (setting.group == group)
            found << &setting;
    }
    return found;
}

bool three_inputs(const QByteArray &identification)
{
    return identification == "TX";
}

bool read_option_lists(const QString &dir, OptionLists *lists, QString *error)
{
    for (const OptionList list : option_lists) {
        const QString path = QDir(dir).filePath(QString::fromLatin1(option_list_file(list)));
        QString why;
        if (!read_option_list(path, lists->of(list), &why)) {
            if (error)
                *error = QStringLiteral("%1: %2").arg(QDir::toNativeSeparators(path),
                    why.isEmpty() ? QStringLiteral("cannot be read") : why);
            return false;
        }
    }
    return true;
}

QStringList list_entries(const Setting &setting, const OptionLists &lists, bool single_hdmi)
{
    switch (setting.values) {
    case Values::Fixed:
        return protocol::fixed_entries(*setting.command, single_hdmi);
    case Values::FromFile:
        return lists.of(setting.file);
    case Values::Text:
    case Values::PortSettings:
    case Values::HexBytes:
        break;
    }
    return {};
}

QStringList offered_values(const Setting &setting, const OptionLists &lists)
{
    if (!setting.writable)
        return {};
    QStringList both = list_entries(setting, lists, true);
    if (setting.follows_input_layout) {
        for (const QString &entry : list_entries(setting, lists, false)) {
            if (!both.contains(entry))
                both << entry;
        }
    }
    return both;
}

std::optional<QString> value_problem(
    const Setting &setting, const QString &value, const OptionLists &lists)
{
    if (!setting.writable)
        return QStringLiteral("read only: read and get show it, set cannot change it");
    switch (setting.values) {
    case Values::PortSettings:
        if (port_values(value))
            return std::nullopt;
        return QStringLiteral("%1 is not baud,data,parity,stop from the projector port lists "
                              "(e.g. 9600,8,N,1)")
            .arg(quoted(value));
    case Values::HexBytes: {
        const std::optional<QByteArray> bytes = hex_bytes(value);
        if (!bytes || bytes->isEmpty())
            return QStringLiteral("%1 is not hex text such as \"50 57 52 0D\"").arg(quoted(value));
        if (!command_fits(setting, bytes->size()))
            return QStringLiteral("%1 holds %2 bytes; at most %3 can be sent")
                .arg(quoted(value))
                .arg(bytes->size())
                .arg(setting.max_bytes);
        return std::nullopt;
    }
    case Values::Fixed:
    case Values::FromFile:
    case Values::Text:
        break;
    }
    const QStringList entries = offered_values(setting, lists);
    if (position_in(entries, value) >= 0)
        return std::nullopt;
    const QString hint = did_you_mean(value, entries);
    if (const std::optional<std::pair<int, int>> range = number_range(entries))
        return QStringLiteral("%1 is not a whole number from %2 .. %3%4")
            .arg(quoted(value))
            .arg(range->first)
            .arg(range->second)
            .arg(hint);
    QString shown = entries.mid(0, 12).join(QStringLiteral(", "));
    if (entries.size() > 12)
        shown += QStringLiteral(", ... (%1 entries)").arg(entries.size());
    return QStringLiteral("%1 is not an entry of the list (%2)%3").arg(quoted(value), shown, hint);
}

QByteArray value_message(const Setting &setting, const QString &value, const OptionLists &lists)
{
    const QByteArray prefix(setting.command->prefix);
    switch (setting.values) {
    case Values::PortSettings:
        return projector_values::port_message(*port_values(value));
    case Values::HexBytes:
        return projector_values::display_message(prefix, *hex_bytes(value));
    case Values::Fixed:
    case Values::FromFile:
    case Values::Text:
        break;
    }
    // The input source's words are its entries in both layouts; the layout that holds the entry
    // is the one the window shows it in.
    const bool single_hdmi
        = !setting.follows_input_layout || list_entries(setting, lists, true).contains(value);
    const QStringList entries = list_entries(setting, lists, single_hdmi);
    const int position = position_in(entries, value);
    return choice_message(setting, position, value, single_hdmi)
        .value_or(protocol::setting_message(prefix, {}));
}

std::optional<QByteArray> choice_message(
    const Setting &setting, int position, const QString &entry, bool single_hdmi)
{
    const std::optional<QByteArray> argument
        = protocol::choice_argument(*setting.command, position, entry, single_hdmi);
    if (!argument)
        return std::nullopt;
    return protocol::setting_message(setting.command->prefix, *argument);
}

std::optional<QByteArray> command_message(const Setting &setting, const QByteArray &bytes)
{
    const QByteArray message = projector_values::display_message(setting.command->prefix, bytes);
    if (message.size() > ByteBuffer::capacity)
        return std::nullopt;
    return message;
}

bool command_fits(const Setting &setting, qsizetype byte_count)
{
    return byte_count <= setting.max_bytes;
}

QByteArray read_message(const Setting &setting)
{
    return protocol::query_message(setting.command->prefix);
}

std::optional<int> reply_position(
    const Setting &setting, const QByteArray &value, bool single_hdmi, const QStringList &entries)
{
    return protocol::reply_position(*setting.command, value, single_hdmi, entries);
}

ReadValue read_value(const Setting &setting, const QByteArray &reply, const ByteBuffer &bytes,
    bool single_hdmi, const OptionLists &lists)
{
    ReadValue read;
    const QByteArray prefix(setting.command->prefix);
    if (setting.values == Values::HexBytes) {
        const std::optional<QByteArray> command = display_command_from_reply(prefix, reply, bytes);
        // The byte count is read strictly too: "3" and not "3x" or " 3".
        QByteArray argument = reply;
        if (command && protocol::strip_reply(argument, prefix)
            && !protocol::plain_number(argument.left(argument.indexOf(',')))) {
            read.problem = QStringLiteral("the receiver reports a byte count %1, which is not a "
                                          "number")
                               .arg(quoted_value(argument.left(argument.indexOf(','))));
        } else if (!command) {
            read.foreign = true;
            read.problem = QStringLiteral("not a display command reply");
        } else if (command->isEmpty()) {
            read.problem = QStringLiteral("the command is empty, which the window cannot send");
        } else {
            read.value = hex_text(*command);
        }
        return read;
    }
    QByteArray value = reply;
    if (!protocol::strip_reply(value, prefix)) {
        read.foreign = true;
        read.problem
            = QStringLiteral("the reply does not begin with %1").arg(QString::fromLatin1(prefix));
        return read;
    }
    switch (setting.values) {
    case Values::Text:
        // Shown as the trace shows bytes, so that a line end in a version text cannot break the
        // "name = value" lines; a text longer than any version is no value but a note.
        if (value.size() > shown_value_bytes) {
            read.problem = QStringLiteral("the receiver reports a text of %1 bytes: %2")
                               .arg(value.size())
                               .arg(quoted_value(value));
            return read;
        }
        read.value = trace_bytes(value);
        return read;
    case Values::PortSettings: {
        ProjPortValues values;
        if (!projector_values::parse_port_reply(value, values)) {
            read.foreign = true;
            read.problem = QStringLiteral("the reply holds no comma");
        } else if (!projector_values::port_in_lists(values)
            || projector_values::port_argument(values) != value) {
            read.problem
                = QStringLiteral("%1 is not in the projector port lists").arg(quoted_value(value));
        } else {
            read.value = QString::fromLatin1(projector_values::port_argument(values));
        }
        return read;
    }
    case Values::Fixed:
    case Values::FromFile:
    case Values::HexBytes:
        break;
    }
    const QStringList entries = list_entries(setting, lists, single_hdmi);
    if (number_read(setting) && !protocol::plain_number(value)) {
        read.problem = QStringLiteral("the receiver reports %1, which is not a number")
                           .arg(quoted_value(value));
        return read;
    }
    const std::optional<int> position = strict_position(setting, value, single_hdmi, entries);
    if (!position || *position < 0 || *position >= entries.size()) {
        read.problem = QStringLiteral("the receiver reports %1, which no entry of the list names")
                           .arg(quoted_value(value));
        return read;
    }
    read.value = entries.at(*position);
    return read;
}

bool same_value(const Setting &setting, const QString &a, const QString &b)
{
    if (setting.values == Values::HexBytes)
        return hex_bytes(a) == hex_bytes(b);
    return a == b;
}

} // namespace model
