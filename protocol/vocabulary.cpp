#include "protocol/vocabulary.h"

#include "protocol/reply_values.h"

#include <array>

namespace protocol {

namespace {

constexpr Choice on_off[] = { { "On", "On" }, { "Off", "Off" } };
constexpr Choice yes_no[] = { { "Yes", "Yes" }, { "No", "No" } };
constexpr Choice aspects[] = { { "Full", "Full" }, { "16:9 TV", "16:9" }, { "16:10 TV", "16:10" },
    { "4:3 TV", "4:3" }, { "Keep Ratio", "Keep" } };
constexpr Choice display_modes[] = { { "DispSW AVon", "DispSWAVOn" },
    { "DispSW AVSW", "DispSWAVSW" }, { "AV SW", "AVSW" }, { "Always ON", "AlwaysOn" } };
constexpr Choice hdcp_modes[]
    = { { "Compliant", "HDCP" }, { "Noncompliant", "NotHDCP" }, { "Auto", "Auto" } };
constexpr Choice baud_rates[] = { { "9600", "9600" }, { "115200", "115200" } };
constexpr Choice inputs_two[] = { { "Hdmi", "Hdmi" }, { "Vga", "Vga" } };
constexpr Choice inputs_three[] = { { "Hdmi1", "Hdmi1" }, { "Hdmi2", "Hdmi2" }, { "Vga", "Vga" } };

constexpr NumberRange no_numbers {};
constexpr NumberRange overscan_steps { 50, 1 };
constexpr NumberRange picture_steps { 100, 1 };
constexpr NumberRange projsw_seconds { 300, 5 };

// A setting chosen from a list.
constexpr Command list(const char *name, const char *prefix, int cmd, int pic, Send send,
    Argument argument, ReplyRead reply, std::span<const Choice> choices,
    NumberRange numbers = no_numbers)
{
    return { name, prefix, cmd, pic, Kind::List, send, argument, reply, choices, numbers, true };
}

constexpr Command other(
    const char *name, const char *prefix, int cmd, int pic, Kind kind, bool readable)
{
    return { name, prefix, cmd, pic, kind, Send::Wait, Argument::Word, ReplyRead::None, {},
        no_numbers, readable };
}

using enum Send;
using enum Argument;

const std::array table = {
    other("transmitter", "WP_IdentifyTx[", 1, 0, Kind::Info, true),
    list("aspect", "WP_Aspect[", 2, 0, Wait, Word, ReplyRead::Word, aspects),
    other("vga_auto", "WP_VgaAuto[", 3, 0, Kind::Action, false),
    other("rx_firmware", "WP_Info[", 4, 0, Kind::Info, true),
    list("output_resolution", "WP_Output[", 5, 0, Wait, Position, ReplyRead::Number, {}),
    list("overscan", "WP_OverscanEn[", 6, 0, Wait, EntryText, ReplyRead::Word, yes_no),
    list("overscan_h", "WP_OverscanH[", 7, 0, NoWait, EntryText, ReplyRead::Number, {},
        overscan_steps),
    list("overscan_v", "WP_OverscanV[", 8, 0, NoWait, EntryText, ReplyRead::Number, {},
        overscan_steps),
    list("audio", "WP_AudioEn[", 9, 0, Wait, EntryText, ReplyRead::Word, on_off),
    list("audio_hdmi", "WP_AudioHdmi[", 10, 0, Wait, EntryText, ReplyRead::Word, on_off),
    list("audio_lr", "WP_AudioLR[", 11, 0, Wait, EntryText, ReplyRead::Word, on_off),
    other("reset", "WP_SystemRst[", 12, 0, Kind::Action, false),
    list("auto_off", "WP_AutoOff[", 13, 0, NoWait, ZeroOrEntry, ReplyRead::EntryOrZero, {}),
    list("display_mode", "WP_DisplayMode[", 14, 0, Wait, Word, ReplyRead::Word, display_modes),
    list("display", "WP_Display[", 15, 0, Wait, Word, ReplyRead::Word, on_off),
    list("input_source", "WP_Input[", 16, 0, Wait, Word, ReplyRead::Word, inputs_two),
    list("hdcp", "WP_HdcpInput[", 17, 0, Wait, Word, ReplyRead::Word, hdcp_modes),
    list("input_resolution", "WP_InputPrefer[", 18, 0, Wait, Position, ReplyRead::Number, {}),
    other("tx_firmware", "WP_InfoTx[", 19, 0, Kind::Info, true),
    list("tx_baudrate", "WP_BaudrateTx[", 20, 0, Wait, Word, ReplyRead::Word, baud_rates),
    list("projsw_mode", "WP_ProjSW[", 21, 0, NoWait, EntryText, ReplyRead::FiveSeconds, {},
        projsw_seconds),
    list("auto_display_on", "WP_AutoDispOn[", 22, 0, WaitQuiet, Word, ReplyRead::Word, on_off),
    list("auto_display_off", "WP_AutoDispOff[", 23, 0, WaitQuiet, Word, ReplyRead::Word, on_off),
    list("brightness", "WP_PictureBri[", 0, 1, NoWait, EntryText, ReplyRead::Number, {},
        picture_steps),
    list("contrast", "WP_PictureCon[", 0, 2, NoWait, EntryText, ReplyRead::Number, {},
        picture_steps),
    list("saturation", "WP_PictureSat[", 0, 3, NoWait, EntryText, ReplyRead::Number, {},
        picture_steps),
    list("hue", "WP_PictureHue[", 0, 4, NoWait, EntryText, ReplyRead::Number, {}, picture_steps),
    list("sharpness", "WP_PictureSha[", 0, 5, NoWait, EntryText, ReplyRead::Number, {},
        picture_steps),
    other("picture_reset", "WP_PictureRst[", 0, 6, Kind::Action, false),
    other("key_menu", "WP_KeyMenu[", 0, 0, Kind::Key, false),
    other("key_minus", "WP_KeyMinus[", 0, 0, Kind::Key, false),
    other("key_plus", "WP_KeyPlus[", 0, 0, Kind::Key, false),
    other("projector_port", "WP_DisplaySet[", 0, 0, Kind::Special, true),
    other("display_on_command", "WP_DisplayOn[", 0, 0, Kind::Special, true),
    other("display_off_command", "WP_DisplayOff[", 0, 0, Kind::Special, true),
};

std::optional<int> word_position(const QByteArray &value, std::span<const Choice> choices)
{
    for (std::size_t i = 0; i < choices.size(); ++i) {
        if (value == choices[i].argument)
            return static_cast<int>(i);
    }
    return std::nullopt;
}

} // namespace

std::span<const Command> commands()
{
    return table;
}

const Command *find_command(QByteArrayView name)
{
    for (const Command &command : table) {
        if (name == command.name)
            return &command;
    }
    return nullptr;
}

const Command *command_by_number(int cmd_number)
{
    for (const Command &command : table) {
        if (cmd_number > 0 && command.cmd_number == cmd_number)
            return &command;
    }
    return nullptr;
}

const Command *picture_by_number(int pic_number)
{
    for (const Command &command : table) {
        if (pic_number > 0 && command.pic_number == pic_number)
            return &command;
    }
    return nullptr;
}

std::span<const Choice> input_choices(bool single_hdmi)
{
    if (single_hdmi)
        return inputs_two;
    return inputs_three;
}

std::span<const Choice> choices_of(const Command &command, bool single_hdmi)
{
    if (command.choices.data() == std::data(inputs_two))
        return input_choices(single_hdmi);
    return command.choices;
}

QStringList fixed_entries(const Command &command, bool single_hdmi)
{
    QStringList entries;
    for (const Choice &choice : choices_of(command, single_hdmi))
        entries << QString::fromLatin1(choice.entry);
    for (int n = 0; n <= command.numbers.last; n += command.numbers.step)
        entries << QString::number(n);
    return entries;
}

std::optional<QByteArray> choice_argument(
    const Command &command, int position, const QString &entry_text, bool single_hdmi)
{
    if (position < 0)
        return std::nullopt;
    switch (command.argument) {
    case Argument::Word: {
        const auto choices = choices_of(command, single_hdmi);
        if (position >= static_cast<int>(choices.size()))
            return std::nullopt;
        return QByteArray(choices[static_cast<std::size_t>(position)].argument);
    }
    case Argument::EntryText:
        return entry_text.trimmed().toLatin1();
    case Argument::Position:
        return QByteArray::number(position);
    case Argument::ZeroOrEntry:
        return position == 0 ? QByteArray("0") : entry_text.trimmed().toLatin1();
    }
    return std::nullopt;
}

std::optional<int> reply_position(
    const Command &command, const QByteArray &value, bool single_hdmi, const QStringList &entries)
{
    switch (command.reply) {
    case ReplyRead::None:
        return std::nullopt;
    case ReplyRead::Word:
        return word_position(value, choices_of(command, single_hdmi));
    case ReplyRead::Number:
        return reply_number(value);
    case ReplyRead::FiveSeconds: {
        const long long seconds = reply_number(value);
        // Rounded down, also below zero, so that -3 names no entry rather than the first.
        return static_cast<int>(seconds >= 0 ? seconds / 5 : -((-seconds + 4) / 5));
    }
    case ReplyRead::EntryOrZero: {
        if (value == "0")
            return 0;
        const int found = static_cast<int>(entries.indexOf(QString::fromLatin1(value)));
        return found >= 0 ? std::optional<int>(found) : std::nullopt;
    }
    }
    return std::nullopt;
}

} // namespace protocol
