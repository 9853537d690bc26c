#include "sim/telnet_server.h"

#include <QList>

namespace {

constexpr std::uint8_t iac = 0xFF;
constexpr std::uint8_t dont = 0xFE;
constexpr std::uint8_t do_ = 0xFD;
constexpr std::uint8_t wont = 0xFC;
constexpr std::uint8_t will = 0xFB;
constexpr std::uint8_t sb = 0xFA;
constexpr std::uint8_t se = 0xF0;
constexpr std::uint8_t com_port_option = 44;

QByteArray bytes_of(std::initializer_list<std::uint8_t> list)
{
    QByteArray out;
    for (const std::uint8_t b : list)
        out.append(char(b));
    return out;
}

} // namespace

bool telnet_fault_from_name(const QString &name, TelnetFault *fault)
{
    static const QList<std::pair<QString, TelnetFault>> names {
        { QStringLiteral("refuse"), TelnetFault::Refuse },
        { QStringLiteral("wrong-baud"), TelnetFault::WrongBaud },
        { QStringLiteral("mute"), TelnetFault::Mute },
        { QStringLiteral("split"), TelnetFault::Split },
        { QStringLiteral("flood"), TelnetFault::Flood },
        { QStringLiteral("loop"), TelnetFault::Loop },
    };
    for (const auto &[word, value] : names) {
        if (word == name) {
            *fault = value;
            return true;
        }
    }
    return false;
}

QByteArray TelnetServer::escape(QByteArrayView data)
{
    QByteArray out;
    for (const char c : data) {
        out.append(c);
        if (std::uint8_t(c) == iac)
            out.append(c);
    }
    return out;
}

QList<QByteArray> TelnetServer::cut_sequences(const QByteArray &bytes)
{
    // A cut after every IAC: whatever follows it (a command, an option, a second 0xFF) comes in
    // the next piece.
    QList<QByteArray> pieces;
    QByteArray piece;
    for (const char c : bytes) {
        piece.append(c);
        if (std::uint8_t(c) == iac) {
            pieces << piece;
            piece.clear();
        }
    }
    if (!piece.isEmpty())
        pieces << piece;
    return pieces;
}

QByteArray TelnetServer::flood(int count)
{
    QByteArray out;
    for (int i = 0; i < count; ++i) {
        switch (i % 4) {
        case 0:
            out += bytes_of({ iac, 0xF1 }); // NOP
            break;
        case 1:
            out += bytes_of({ iac, 0xF9 }); // GA
            break;
        case 2: // NOTIFY-LINESTATE: transmit shift register empty
            out += bytes_of({ iac, sb, com_port_option, 106, 0x40, iac, se });
            break;
        default: // NOTIFY-MODEMSTATE with a value of 0xFF, doubled inside the subnegotiation
            out += bytes_of({ iac, sb, com_port_option, 107, iac, iac, iac, se });
            break;
        }
    }
    return out;
}

QByteArray TelnetServer::take(QByteArrayView bytes, QByteArray *answer)
{
    QByteArray data;
    for (const char c : bytes) {
        const auto b = std::uint8_t(c);
        switch (state_) {
        case State::Data:
            if (b == iac)
                state_ = State::Iac;
            else
                data.append(c);
            break;
        case State::Iac:
            if (b == iac) {
                data.append(c);
                state_ = State::Data;
            } else if (b >= will && b <= dont) {
                verb_ = b;
                state_ = State::Verb;
            } else if (b == sb) {
                sub_.clear();
                state_ = State::Sub;
            } else {
                ++commands_;
                state_ = State::Data;
            }
            break;
        case State::Verb:
            ++commands_;
            command(verb_, b, answer);
            state_ = State::Data;
            break;
        case State::Sub:
            if (b == iac)
                state_ = State::SubIac;
            else
                sub_.append(c);
            break;
        case State::SubIac:
            if (b == iac) {
                sub_.append(c);
                state_ = State::Sub;
            } else {
                ++commands_;
                subnegotiation(answer);
                state_ = State::Data;
            }
            break;
        }
    }
    return data;
}

void TelnetServer::command(std::uint8_t verb, std::uint8_t option, QByteArray *answer)
{
    if (fault_ == TelnetFault::Mute)
        return;
    // BINARY and SUPPRESS-GO-AHEAD either way, and the COM port option from the client.
    const bool known = option == 0 || option == 3 || (option == com_port_option && verb == will);
    switch (verb) {
    case will:
        if (option == com_port_option) {
            const bool refuse = fault_ == TelnetFault::Refuse;
            com_port_ = !refuse;
            answer->append(bytes_of({ iac, refuse ? dont : do_, option }));
        } else {
            answer->append(bytes_of({ iac, known ? do_ : dont, option }));
        }
        break;
    case do_:
        answer->append(bytes_of({ iac, known ? will : wont, option }));
        break;
    case wont:
        if (option == com_port_option)
            com_port_ = false;
        answer->append(bytes_of({ iac, dont, option }));
        break;
    case dont:
        answer->append(bytes_of({ iac, wont, option }));
        break;
    }
}

void TelnetServer::subnegotiation(QByteArray *answer)
{
    if (sub_.size() < 2 || std::uint8_t(sub_.at(0)) != com_port_option)
        return;
    const auto code = std::uint8_t(sub_.at(1));
    const QByteArray value = sub_.mid(2);
    quint32 number = 0;
    for (const char c : value)
        number = (number << 8) | std::uint8_t(c);
    switch (code) {
    case 1:
        settings_.baud = number;
        break;
    case 2:
        settings_.data_bits = int(number);
        break;
    case 3:
        settings_.parity = int(number);
        break;
    case 4:
        settings_.stop_bits = int(number);
        break;
    case 5:
        settings_.control = int(number);
        break;
    default:
        return; // nothing else is answered
    }
    // The loop fault never settles: it answers no setting while it toggles its option.
    if (fault_ == TelnetFault::Mute || fault_ == TelnetFault::Loop || !com_port_)
        return;
    QByteArray echoed = value;
    if (code == 1 && fault_ == TelnetFault::WrongBaud)
        echoed = bytes_of({ 0, 0, 0x25, 0x80 }); // 9600
    answer->append(bytes_of({ iac, sb, com_port_option, std::uint8_t(code + 100) }));
    answer->append(escape(echoed));
    answer->append(bytes_of({ iac, se }));
}
