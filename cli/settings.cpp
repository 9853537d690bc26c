#include "cli/settings.h"

#include "codec/codec.h"
#include "codec/display_reply.h"
#include "codec/projector_values.h"
#include "fields/fields.h"
#include "link/trace.h"
#include "protocol/protocol.h"
#include "protocol/vocabulary.h"

#include <QDir>

#include <array>

namespace cli {

namespace {

const protocol::Command *cmd(const char *name)
{
    return protocol::find_command(name);
}

Setting receiver(int number, bool writable = true)
{
    const protocol::Command *command = protocol::command_by_number(number);
    return { command->name, command, ReadGroup::Receiver, writable };
}

Setting of(const char *name, ReadGroup group)
{
    return { name, cmd(name), group, true };
}

const std::array<Setting, 29> &table()
{
    static const std::array<Setting, 29> all = {
        receiver(1, false), // transmitter
        receiver(2), // aspect
        receiver(4, false), // rx_firmware
        receiver(5), // output_resolution
        receiver(6), // overscan
        receiver(7), // overscan_h
        receiver(8), // overscan_v
        receiver(9), // audio
        receiver(10), // audio_hdmi
        receiver(11), // audio_lr
        receiver(13), // auto_off
        receiver(14), // display_mode
        receiver(15), // display
        receiver(16), // input_source
        receiver(17), // hdcp
        receiver(18), // input_resolution
        receiver(19, false), // tx_firmware
        receiver(20), // tx_baudrate
        of("brightness", ReadGroup::Picture),
        of("contrast", ReadGroup::Picture),
        of("saturation", ReadGroup::Picture),
        of("hue", ReadGroup::Picture),
        of("sharpness", ReadGroup::Picture),
        of("projsw_mode", ReadGroup::Behaviour),
        of("auto_display_on", ReadGroup::Behaviour),
        of("auto_display_off", ReadGroup::Behaviour),
        of("projector_port", ReadGroup::Transfer),
        of("display_on_command", ReadGroup::Transfer),
        of("display_off_command", ReadGroup::Transfer),
    };
    return all;
}

bool is(const Setting &setting, const char *name)
{
    return qstrcmp(setting.name, name) == 0;
}

bool is_display_command(const Setting &setting)
{
    return is(setting, "display_on_command") || is(setting, "display_off_command");
}

// The entries of the list a setting is chosen from, in the window's order.
QStringList list_entries(const Setting &setting, const OptionLists &lists, bool single_hdmi)
{
    if (is(setting, "auto_off"))
        return lists.auto_off;
    if (is(setting, "input_resolution"))
        return lists.input_prefer;
    if (is(setting, "output_resolution"))
        return lists.output_reso;
    return protocol::fixed_entries(*setting.command, single_hdmi);
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

QString quoted(const QString &text)
{
    return QLatin1Char('"') + text + QLatin1Char('"');
}

} // namespace

std::span<const Setting> settings()
{
    return table();
}

const Setting *find_setting(const QString &name)
{
    for (const Setting &setting : table()) {
        if (name == QLatin1String(setting.name))
            return &setting;
    }
    return nullptr;
}

bool read_option_lists(const QString &dir, OptionLists *lists, QString *error)
{
    const struct
    {
        const char *file;
        QStringList *entries;
    } files[] = {
        { "auto_off.txt", &lists->auto_off },
        { "input_prefer.txt", &lists->input_prefer },
        { "output_reso.txt", &lists->output_reso },
    };
    for (const auto &f : files) {
        const QString path = QDir(dir).filePath(QString::fromLatin1(f.file));
        QString why;
        if (!read_option_list(path, *f.entries, &why)) {
            if (error)
                *error = QStringLiteral("%1: %2").arg(QDir::toNativeSeparators(path),
                    why.isEmpty() ? QStringLiteral("cannot be read") : why);
            return false;
        }
    }
    return true;
}

QStringList offered_values(const Setting &setting, const OptionLists &lists)
{
    if (!setting.writable || setting.command->kind != protocol::Kind::List)
        return {};
    if (is(setting, "input_source")) {
        QStringList both = list_entries(setting, lists, true);
        for (const QString &entry : list_entries(setting, lists, false)) {
            if (!both.contains(entry))
                both << entry;
        }
        return both;
    }
    return list_entries(setting, lists, true);
}

std::optional<QString> value_problem(
    const Setting &setting, const QString &value, const OptionLists &lists)
{
    if (!setting.writable)
        return QStringLiteral("%1 is read only").arg(QLatin1String(setting.name));
    if (is(setting, "projector_port")) {
        if (port_values(value))
            return std::nullopt;
        return QStringLiteral("%1 is not baud,data,parity,stop from the projector port lists "
                              "(e.g. 9600,8,N,1)")
            .arg(quoted(value));
    }
    if (is_display_command(setting)) {
        const std::optional<QByteArray> bytes = hex_bytes(value);
        const int most = is(setting, "display_on_command") ? projector_values::max_on_bytes
                                                           : projector_values::max_off_bytes;
        if (!bytes || bytes->isEmpty())
            return QStringLiteral("%1 is not hex text such as \"50 57 52 0D\"").arg(quoted(value));
        if (bytes->size() > most)
            return QStringLiteral("%1 holds %2 bytes; at most %3 can be sent")
                .arg(quoted(value))
                .arg(bytes->size())
                .arg(most);
        return std::nullopt;
    }
    const QStringList entries = offered_values(setting, lists);
    if (position_in(entries, value) >= 0)
        return std::nullopt;
    QString shown = entries.mid(0, 12).join(QStringLiteral(", "));
    if (entries.size() > 12)
        shown += QStringLiteral(", ... (%1 entries)").arg(entries.size());
    return QStringLiteral("%1 is not an entry of the list (%2)").arg(quoted(value), shown);
}

QByteArray setting_message(const Setting &setting, const QString &value, const OptionLists &lists)
{
    const QByteArray prefix(setting.command->prefix);
    if (is(setting, "projector_port"))
        return projector_values::port_message(*port_values(value));
    if (is_display_command(setting))
        return projector_values::display_message(prefix, *hex_bytes(value));
    // The input source's words are its entries in both layouts; the layout that holds the entry
    // is the one the window shows it in.
    const bool single_hdmi
        = !is(setting, "input_source") || list_entries(setting, lists, true).contains(value);
    const QStringList entries = list_entries(setting, lists, single_hdmi);
    const int position = position_in(entries, value);
    const std::optional<QByteArray> argument
        = protocol::choice_argument(*setting.command, position, value, single_hdmi);
    return protocol::setting_message(prefix, argument.value_or(QByteArray()));
}

QByteArray query_message(const Setting &setting)
{
    return protocol::query_message(setting.command->prefix);
}

ReadValue read_value(const Setting &setting, const QByteArray &reply, const ByteBuffer &bytes,
    bool single_hdmi, const OptionLists &lists)
{
    ReadValue read;
    const QByteArray prefix(setting.command->prefix);
    if (is_display_command(setting)) {
        const std::optional<QByteArray> command = display_command_from_reply(prefix, reply, bytes);
        if (!command) {
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
    if (!setting.writable) {
        // Shown as the trace shows bytes, so that a line end in a version text cannot break the
        // "name = value" lines.
        read.value = trace_bytes(value);
        return read;
    }
    if (is(setting, "projector_port")) {
        ProjPortValues values;
        if (!projector_values::parse_port_reply(value, values)) {
            read.foreign = true;
            read.problem = QStringLiteral("the reply holds no comma");
        } else if (!projector_values::port_in_lists(values)) {
            read.problem = QStringLiteral("%1 is not in the projector port lists")
                               .arg(quoted(QString::fromLatin1(value)));
        } else {
            read.value = QString::fromLatin1(projector_values::port_argument(values));
        }
        return read;
    }
    const QStringList entries = list_entries(setting, lists, single_hdmi);
    const std::optional<int> position
        = protocol::reply_position(*setting.command, value, single_hdmi, entries);
    if (!position || *position < 0 || *position >= entries.size()) {
        read.problem = QStringLiteral("the receiver reports %1, which no entry of the list names")
                           .arg(quoted(QString::fromLatin1(value)));
        return read;
    }
    read.value = entries.at(*position);
    return read;
}

bool same_value(const Setting &setting, const QString &a, const QString &b)
{
    if (is_display_command(setting))
        return hex_bytes(a) == hex_bytes(b);
    return a == b;
}

} // namespace cli
