#include "sim/receiver_model.h"

#include <QByteArrayView>

#include <algorithm>
#include <array>

namespace {

const QByteArray start_mark = QByteArrayLiteral("WP_");
const QByteArray terminator = QByteArrayLiteral("]$\r");
const QByteArray query_argument = QByteArrayLiteral("?");
const QByteArray go_argument = QByteArrayLiteral("Go");
const QByteArray identify_prefix = QByteArrayLiteral("WP_IdentifyTx[");
const QByteArray input_prefix = QByteArrayLiteral("WP_Input[");

// How a command treats its argument and what a query of it reports.
enum class Kind {
    Reported, // query only: a text of the receiver (identification, firmware versions)
    Words, // one of a fixed set of words
    Number, // a decimal number in a range, on a step
    Input, // the input names of the transmitter model in use
    Port, // the projector port text "baud,bits,parity,stop"
    Display, // a count, ",", and that many raw bytes
    Action, // "Go" starts it; no value
    Key, // empty argument; no value
};

struct Command
{
    const char *prefix;
    Kind kind;
    const char *initial; // default value; nullptr for commands without one
    const char *words; // Words: the accepted words, separated by '|'
    int min = 0;
    int max = 0;
    int step = 1;
};

// clang-format off
const std::array commands{
    Command{"WP_IdentifyTx[",  Kind::Reported, "TX",       nullptr},
    Command{"WP_Aspect[",      Kind::Words,    "Full",     "Full|16:9|16:10|4:3|Keep"},
    Command{"WP_VgaAuto[",     Kind::Action,   nullptr,    nullptr},
    Command{"WP_Info[",        Kind::Reported, "V1.05",    nullptr},
    Command{"WP_Output[",      Kind::Number,   "0",        nullptr, 0, 99},
    Command{"WP_OverscanEn[",  Kind::Words,    "No",       "Yes|No"},
    Command{"WP_OverscanH[",   Kind::Number,   "0",        nullptr, 0, 50},
    Command{"WP_OverscanV[",   Kind::Number,   "0",        nullptr, 0, 50},
    Command{"WP_AudioEn[",     Kind::Words,    "On",       "On|Off"},
    Command{"WP_AudioHdmi[",   Kind::Words,    "On",       "On|Off"},
    Command{"WP_AudioLR[",     Kind::Words,    "On",       "On|Off"},
    Command{"WP_SystemRst[",   Kind::Action,   nullptr,    nullptr},
    Command{"WP_AutoOff[",     Kind::Number,   "0",        nullptr, 0, 86400},
    Command{"WP_DisplayMode[", Kind::Words,    "AlwaysOn", "DispSWAVOn|DispSWAVSW|AVSW|AlwaysOn"},
    Command{"WP_Display[",     Kind::Words,    "On",       "On|Off"},
    Command{"WP_Input[",       Kind::Input,    "Hdmi1",    nullptr},
    Command{"WP_HdcpInput[",   Kind::Words,    "Auto",     "HDCP|NotHDCP|Auto"},
    Command{"WP_InputPrefer[", Kind::Number,   "12",       nullptr, 0, 99},
    Command{"WP_InfoTx[",      Kind::Reported, "V1.02",    nullptr},
    Command{"WP_BaudrateTx[",  Kind::Words,    "115200",   "9600|115200"},
    Command{"WP_ProjSW[",      Kind::Number,   "30",       nullptr, 0, 300, 5},
    Command{"WP_AutoDispOn[",  Kind::Words,    "On",       "On|Off"},
    Command{"WP_AutoDispOff[", Kind::Words,    "On",       "On|Off"},
    Command{"WP_PictureBri[",  Kind::Number,   "50",       nullptr, 0, 100},
    Command{"WP_PictureCon[",  Kind::Number,   "50",       nullptr, 0, 100},
    Command{"WP_PictureSat[",  Kind::Number,   "50",       nullptr, 0, 100},
    Command{"WP_PictureHue[",  Kind::Number,   "50",       nullptr, 0, 100},
    Command{"WP_PictureSha[",  Kind::Number,   "30",       nullptr, 0, 100},
    Command{"WP_PictureRst[",  Kind::Action,   nullptr,    nullptr},
    Command{"WP_KeyMenu[",     Kind::Key,      nullptr,    nullptr},
    Command{"WP_KeyMinus[",    Kind::Key,      nullptr,    nullptr},
    Command{"WP_KeyPlus[",     Kind::Key,      nullptr,    nullptr},
    Command{"WP_DisplaySet[",  Kind::Port,     "9600,8,N,1", nullptr},
    Command{"WP_DisplayOn[",   Kind::Display,  "PWR ON\r",  nullptr},
    Command{"WP_DisplayOff[",  Kind::Display,  "PWR OFF\r", nullptr},
};
// clang-format on

const char *const picture_prefixes[]
    = { "WP_PictureBri[", "WP_PictureCon[", "WP_PictureSat[", "WP_PictureHue[", "WP_PictureSha[" };

constexpr int longest_prefix = 15;

const Command *find_command(QByteArrayView prefix)
{
    for (const Command &c : commands) {
        if (prefix == QByteArrayView(c.prefix))
            return &c;
    }
    return nullptr;
}

bool has_value(Kind kind)
{
    return kind != Kind::Action && kind != Kind::Key;
}

bool is_digit(char c)
{
    return c >= '0' && c <= '9';
}

bool is_letter(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

// A decimal number as the receiver writes one: digits only, no leading zero, at most six digits.
bool plain_number(QByteArrayView text, int *value)
{
    if (text.isEmpty() || text.size() > 6 || (text.size() > 1 && text.front() == '0'))
        return false;
    int v = 0;
    for (char c : text) {
        if (!is_digit(c))
            return false;
        v = v * 10 + (c - '0');
    }
    *value = v;
    return true;
}

bool one_of(QByteArrayView word, const char *words)
{
    const QList<QByteArray> list = QByteArray(words).split('|');
    return std::any_of(list.begin(), list.end(), [&](const QByteArray &w) { return word == w; });
}

bool valid_port(QByteArrayView argument)
{
    const QList<QByteArray> parts = argument.toByteArray().split(',');
    if (parts.size() != 4)
        return false;
    int baud = 0;
    int bits = 0;
    static const std::array rates { 1200, 2400, 4800, 9600, 14400, 19200, 38400, 56000, 57600,
        115200 };
    return plain_number(parts[0], &baud)
        && std::find(rates.begin(), rates.end(), baud) != rates.end()
        && plain_number(parts[1], &bits) && bits >= 5 && bits <= 8 && one_of(parts[2], "N|O|E|M|S")
        && one_of(parts[3], "1|1.5|2");
}

// Splits a display argument "n,bytes" into its bytes; false unless exactly n bytes follow.
bool display_bytes(const QByteArray &argument, QByteArray *bytes)
{
    const qsizetype comma = argument.indexOf(',');
    if (comma < 1 || comma > 3)
        return false;
    int n = 0;
    for (qsizetype i = 0; i < comma; ++i) {
        if (!is_digit(argument[i]))
            return false;
        n = n * 10 + (argument[i] - '0');
    }
    if (n > ReceiverModel::max_display_bytes || argument.size() - comma - 1 != n)
        return false;
    *bytes = argument.mid(comma + 1);
    return true;
}

} // namespace

ReceiverModel::ReceiverModel(const QByteArray &identify)
{
    for (const Command &c : commands) {
        if (c.kind == Kind::Reported)
            values_.insert(c.prefix, c.initial);
    }
    values_.insert(identify_prefix, identify);
    reset_settings();
}

std::vector<QByteArray> ReceiverModel::feed(const QByteArray &bytes)
{
    std::vector<QByteArray> replies;
    for (Exchange &e : feed_exchanges(bytes))
        replies.push_back(std::move(e.reply));
    return replies;
}

std::vector<ReceiverModel::Exchange> ReceiverModel::feed_exchanges(const QByteArray &bytes)
{
    std::vector<Exchange> exchanges;
    pending_.append(bytes);
    qsizetype start = 0;
    while (true) {
        const qsizetype at = pending_.indexOf(start_mark, start);
        if (at < 0) {
            // Keep only a tail that may still grow into "WP_".
            if (pending_.endsWith("WP"))
                start = pending_.size() - 2;
            else if (pending_.endsWith('W'))
                start = pending_.size() - 1;
            else
                start = pending_.size();
            break;
        }
        start = at;
        QByteArray message;
        QByteArray prefix;
        qsizetype skip = 1;
        const Parse result
            = take_message(QByteArrayView(pending_).sliced(start), &message, &prefix, &skip);
        if (result == Parse::NeedMore)
            break;
        if (result == Parse::Resync) {
            start += skip;
            continue;
        }
        start += message.size();
        log(message);
        const QByteArray argument
            = message.mid(prefix.size(), message.size() - prefix.size() - terminator.size());
        exchanges.push_back({ message, prefix, answer(prefix, argument) });
    }
    pending_.remove(0, start);
    return exchanges;
}

ReceiverModel::Parse ReceiverModel::take_message(
    QByteArrayView text, QByteArray *message, QByteArray *prefix, qsizetype *skip)
{
    *skip = 1;

    // The command name: letters from "WP_" up to "[".
    qsizetype open = -1;
    for (qsizetype i = start_mark.size(); i < text.size() && i < longest_prefix; ++i) {
        if (text[i] == '[') {
            open = i;
            break;
        }
        if (!is_letter(text[i]))
            return Parse::Resync;
    }
    if (open < 0)
        return text.size() < longest_prefix ? Parse::NeedMore : Parse::Resync;
    const QByteArrayView name = text.first(open + 1);
    const Command *command = find_command(name);
    if (!command)
        return Parse::Resync;

    // Display commands with a count: parse by the count, the bytes may hold anything.
    if (command->kind == Kind::Display) {
        qsizetype i = open + 1;
        int n = 0;
        while (i < text.size() && i - open - 1 < 3 && is_digit(text[i]))
            n = n * 10 + (text[i++] - '0');
        const qsizetype digits = i - open - 1;
        if (digits > 0 && i == text.size())
            return Parse::NeedMore;
        if (digits > 0 && text[i] == ',' && n <= max_display_bytes) {
            const qsizetype total = i + 1 + n + terminator.size();
            if (text.size() < total)
                return Parse::NeedMore;
            if (text.sliced(i + 1 + n, terminator.size()) != QByteArrayView(terminator))
                return Parse::Resync;
            *prefix = name.toByteArray();
            *message = text.first(total).toByteArray();
            return Parse::Complete;
        }
    }

    // Text messages end at the first terminator; a new "WP_" before it abandons this one.
    const QByteArrayView window = text.first(std::min<qsizetype>(text.size(), max_text_message));
    const qsizetype end = window.indexOf(terminator, open + 1);
    const qsizetype next = window.indexOf(start_mark, open + 1);
    if (next >= 0 && (end < 0 || next < end)) {
        *skip = next;
        return Parse::Resync;
    }
    if (end >= 0) {
        *prefix = name.toByteArray();
        *message = text.first(end + terminator.size()).toByteArray();
        return Parse::Complete;
    }
    return text.size() < max_text_message ? Parse::NeedMore : Parse::Resync;
}

QByteArray ReceiverModel::answer(const QByteArray &prefix, const QByteArray &argument)
{
    const Command *command = find_command(prefix);
    if (argument == query_argument) {
        QByteArray value;
        if (command->kind == Kind::Display)
            value = display_value(values_.value(prefix));
        else if (has_value(command->kind))
            value = values_.value(prefix);
        return prefix + value + terminator;
    }
    if (accepts(prefix, argument)) {
        switch (command->kind) {
        case Kind::Display: {
            QByteArray bytes;
            display_bytes(argument, &bytes);
            values_.insert(prefix, bytes);
            break;
        }
        case Kind::Action:
            if (prefix == "WP_SystemRst[")
                reset_settings();
            else if (prefix == "WP_PictureRst[")
                reset_picture();
            break;
        case Kind::Key:
        case Kind::Reported:
            break;
        default:
            values_.insert(prefix, argument);
            break;
        }
    }
    return prefix + argument + terminator;
}

QByteArray ReceiverModel::display_value(const QByteArray &bytes) const
{
    return QByteArray::number(bytes.size()) + ',' + bytes;
}

void ReceiverModel::log(const QByteArray &message)
{
    received_.append(message);
    if (log_limit_ > 0 && received_.size() > log_limit_)
        received_.remove(0, received_.size() - log_limit_);
}

bool ReceiverModel::set_value(const QByteArray &prefix, const QByteArray &value)
{
    const Command *command = find_command(prefix);
    if (!command || !has_value(command->kind))
        return false;
    values_.insert(prefix, value);
    return true;
}

bool ReceiverModel::accepts(const QByteArray &prefix, const QByteArray &argument) const
{
    const Command *command = find_command(prefix);
    if (!command)
        return false;
    int n = 0;
    QByteArray bytes;
    switch (command->kind) {
    case Kind::Reported:
        return false;
    case Kind::Words:
        return one_of(argument, command->words);
    case Kind::Number:
        return plain_number(argument, &n) && n >= command->min && n <= command->max
            && (n - command->min) % command->step == 0;
    case Kind::Input:
        return one_of(argument, identify() == "TX" ? "Hdmi1|Hdmi2|Vga" : "Hdmi|Vga");
    case Kind::Port:
        return valid_port(argument);
    case Kind::Display:
        return display_bytes(argument, &bytes);
    case Kind::Action:
        return argument == go_argument;
    case Kind::Key:
        return argument.isEmpty();
    }
    return false;
}

void ReceiverModel::set_identify(const QByteArray &word)
{
    values_.insert(identify_prefix, word);
    const QByteArray input = values_.value(input_prefix);
    if (word == "TX" && input == "Hdmi")
        values_.insert(input_prefix, QByteArrayLiteral("Hdmi1"));
    else if (word != "TX" && input.startsWith("Hdmi"))
        values_.insert(input_prefix, QByteArrayLiteral("Hdmi"));
}

void ReceiverModel::reset_settings()
{
    for (const Command &c : commands) {
        if (c.initial && c.kind != Kind::Reported)
            values_.insert(c.prefix, c.initial);
    }
    if (identify() != "TX")
        values_.insert(input_prefix, QByteArrayLiteral("Hdmi"));
}

void ReceiverModel::reset_picture()
{
    for (const char *prefix : picture_prefixes)
        values_.insert(prefix, find_command(prefix)->initial);
}

std::vector<std::pair<QByteArray, QByteArray>> ReceiverModel::defaults()
{
    std::vector<std::pair<QByteArray, QByteArray>> list;
    for (const Command &c : commands) {
        if (c.initial)
            list.emplace_back(c.prefix, c.initial);
    }
    return list;
}

bool ReceiverModel::is_known_prefix(const QByteArray &prefix)
{
    return find_command(prefix) != nullptr;
}
