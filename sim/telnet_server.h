#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <cstdint>

// What a simulated RFC 2217 gateway does wrong, for tests of the client.
enum class TelnetFault {
    None,
    Refuse, // answers WILL COM-PORT-OPTION with DONT: no serial settings from the client
    WrongBaud, // answers SET-BAUDRATE with 9600
    Mute, // answers no Telnet command at all (data still passes)
    Split, // cuts every Telnet sequence it sends (a doubled 0xFF too) across writes
    Flood, // sends hundreds of Telnet commands (NOP, GA, line and modem state) before each reply
    Loop, // keeps offering and withdrawing an option, without end, and answers no setting
};

// "refuse", "wrong-baud", "mute", "split", "flood", "loop"; false for another word.
bool telnet_fault_from_name(const QString &name, TelnetFault *fault);

// The gateway's side of Telnet with the COM port option, with no socket behind it: takes what the
// client sends, gives back the data bytes and the Telnet answers, and keeps the serial settings
// the client set. Written apart from the client's own Telnet code, so that the two check each
// other.
class TelnetServer
{
public:
    // The serial settings as the client set them; 0 where it set nothing.
    struct Settings
    {
        quint32 baud = 0;
        int data_bits = 0;
        int parity = 0; // RFC 2217 codes: 1 none, 2 odd, 3 even, 4 mark, 5 space
        int stop_bits = 0; // 1 one, 2 two, 3 one and a half
        int control = 0; // 1 none, 2 XON/XOFF, 3 RTS/CTS
    };

    explicit TelnetServer(TelnetFault fault = TelnetFault::None)
        : fault_(fault)
    { }

    // Received bytes in, their data bytes out; the Telnet answers are appended to *answer.
    QByteArray take(QByteArrayView bytes, QByteArray *answer);
    const Settings &settings() const { return settings_; }
    // Whether the client turned on the COM port option and the gateway agreed.
    bool com_port() const { return com_port_; }
    // Telnet commands received so far.
    int commands() const { return commands_; }

    // Data bytes as they go on the connection: 0xFF doubled.
    static QByteArray escape(QByteArrayView data);
    // The Telnet bytes cut apart: pieces that end inside each IAC sequence (and between the
    // bytes of each doubled 0xFF), for the split fault.
    static QList<QByteArray> cut_sequences(const QByteArray &bytes);
    // Telnet commands that ask for nothing: NOP, GA, line state and modem state, count of them.
    static QByteArray flood(int count);

private:
    void command(std::uint8_t verb, std::uint8_t option, QByteArray *answer);
    void subnegotiation(QByteArray *answer);

    enum class State { Data, Iac, Verb, Sub, SubIac };
    TelnetFault fault_;
    State state_ = State::Data;
    std::uint8_t verb_ = 0;
    QByteArray sub_;
    Settings settings_;
    bool com_port_ = false;
    int commands_ = 0;
};
