#include "link/telnet_codec.h"

#include <QStringList>

#include <array>

using namespace Qt::StringLiterals;

namespace telnet {

QByteArray escape(QByteArrayView data)
{
    QByteArray out;
    out.reserve(data.size() + data.count(char(IAC)));
    for (const char c : data) {
        out.append(c);
        if (std::uint8_t(c) == IAC)
            out.append(c);
    }
    return out;
}

void Decoder::feed(QByteArrayView bytes, QByteArray *data, std::vector<Command> *commands)
{
    for (const char c : bytes) {
        const auto b = std::uint8_t(c);
        switch (state_) {
        case State::Data:
            if (b == IAC)
                state_ = State::Iac;
            else
                data->append(c);
            break;
        case State::Iac:
            state_ = State::Data;
            switch (b) {
            case IAC:
                data->append(c); // a doubled 0xFF is one data byte
                break;
            case WILL:
            case WONT:
            case DO:
            case DONT:
                verb_ = b == WILL ? Command::Kind::Will
                    : b == WONT   ? Command::Kind::Wont
                    : b == DO     ? Command::Kind::Do
                                  : Command::Kind::Dont;
                state_ = State::Option;
                break;
            case SB:
                sub_ = Command();
                sub_.kind = Command::Kind::Sub;
                state_ = State::SubOption;
                break;
            default: {
                Command command;
                command.code = b;
                commands->push_back(command);
                break;
            }
            }
            break;
        case State::Option: {
            Command command;
            command.kind = verb_;
            command.option = b;
            commands->push_back(command);
            state_ = State::Data;
            break;
        }
        case State::SubOption:
            // The byte after SB is the option, whatever it is (even 0xFF), so that a command
            // reads back as it was written.
            sub_.option = b;
            state_ = State::Sub;
            break;
        case State::Sub:
            if (b == IAC) {
                state_ = State::SubIac;
            } else if (sub_.data.size() < max_sub_bytes) {
                sub_.data.append(c);
            } else {
                sub_.cut = true;
            }
            break;
        case State::SubIac:
            if (b == SE) {
                commands->push_back(std::move(sub_));
                sub_ = Command();
                state_ = State::Data;
            } else if (b == IAC) {
                if (sub_.data.size() < max_sub_bytes)
                    sub_.data.append(c);
                else
                    sub_.cut = true;
                state_ = State::Sub;
            } else {
                // IAC and anything but SE or IAC inside a subnegotiation: the subnegotiation is
                // broken off, and the byte is read as the command it starts.
                commands->push_back(std::move(sub_));
                sub_ = Command();
                state_ = State::Iac;
                const char again = c;
                feed(QByteArrayView(&again, 1), data, commands);
            }
            break;
        }
    }
}

namespace {

QString option_name(std::uint8_t option)
{
    switch (option) {
    case BINARY:
        return u"BINARY"_s;
    case 1:
        return u"ECHO"_s;
    case SUPPRESS_GO_AHEAD:
        return u"SUPPRESS-GO-AHEAD"_s;
    case COM_PORT_OPTION:
        return u"COM-PORT-OPTION"_s;
    default:
        return QString::number(option);
    }
}

QString hex(QByteArrayView bytes)
{
    QStringList parts;
    for (const char c : bytes)
        parts << u"%1"_s.arg(std::uint8_t(c), 2, 16, QLatin1Char('0'));
    return parts.join(u' ');
}

QString com_port_sub(const Command &command)
{
    static const std::array<const char *, 13> names
        = { "SIGNATURE", "SET-BAUDRATE", "SET-DATASIZE", "SET-PARITY", "SET-STOPSIZE",
              "SET-CONTROL", "NOTIFY-LINESTATE", "NOTIFY-MODEMSTATE", "FLOWCONTROL-SUSPEND",
              "FLOWCONTROL-RESUME", "SET-LINESTATE-MASK", "SET-MODEMSTATE-MASK", "PURGE-DATA" };
    if (command.data.isEmpty())
        return u"SB COM-PORT-OPTION"_s;
    const auto code = std::uint8_t(command.data.at(0));
    // The server answers with the client's code plus 100.
    const int index = code >= 100 ? code - 100 : code;
    QString text = u"SB COM-PORT-OPTION "_s;
    text += index < int(names.size()) ? QString::fromLatin1(names[std::size_t(index)])
                                      : QString::number(code);
    const QByteArray value = command.data.mid(1);
    if (index == 1 && value.size() == 4) {
        const quint32 baud = (quint32(std::uint8_t(value[0])) << 24)
            | (quint32(std::uint8_t(value[1])) << 16) | (quint32(std::uint8_t(value[2])) << 8)
            | quint32(std::uint8_t(value[3]));
        text += u" "_s + QString::number(baud);
    } else if (index == 0) {
        QString signature;
        for (const char c : value)
            signature += c >= 0x20 && c < 0x7F ? QChar::fromLatin1(c) : u'.';
        text += u" \""_s + signature + u"\""_s;
    } else if (value.size() == 1) {
        text += u" "_s + QString::number(std::uint8_t(value[0]));
    } else if (!value.isEmpty()) {
        text += u" "_s + hex(value);
    }
    return text;
}

} // namespace

QString describe(const Command &command)
{
    QString text;
    switch (command.kind) {
    case Command::Kind::Will:
        text = u"WILL "_s + option_name(command.option);
        break;
    case Command::Kind::Wont:
        text = u"WONT "_s + option_name(command.option);
        break;
    case Command::Kind::Do:
        text = u"DO "_s + option_name(command.option);
        break;
    case Command::Kind::Dont:
        text = u"DONT "_s + option_name(command.option);
        break;
    case Command::Kind::Sub:
        text = command.option == COM_PORT_OPTION ? com_port_sub(command)
                                                 : u"SB "_s + option_name(command.option)
                + (command.data.isEmpty() ? QString() : u" "_s + hex(command.data));
        break;
    case Command::Kind::Other:
        switch (command.code) {
        case 241:
            text = u"NOP"_s;
            break;
        case 249:
            text = u"GA"_s;
            break;
        case 243:
            text = u"BREAK"_s;
            break;
        default:
            text = u"IAC %1"_s.arg(command.code);
            break;
        }
        break;
    }
    if (command.cut)
        text += u" (cut)"_s;
    return text;
}

QByteArray encode(const Command &command)
{
    QByteArray out;
    out.append(char(IAC));
    switch (command.kind) {
    case Command::Kind::Will:
        out.append(char(WILL)).append(char(command.option));
        break;
    case Command::Kind::Wont:
        out.append(char(WONT)).append(char(command.option));
        break;
    case Command::Kind::Do:
        out.append(char(DO)).append(char(command.option));
        break;
    case Command::Kind::Dont:
        out.append(char(DONT)).append(char(command.option));
        break;
    case Command::Kind::Sub:
        out.append(char(SB)).append(char(command.option));
        out.append(escape(command.data));
        out.append(char(IAC)).append(char(SE));
        break;
    case Command::Kind::Other:
        out.append(char(command.code));
        break;
    }
    return out;
}

} // namespace telnet
