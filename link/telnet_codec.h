#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <cstdint>
#include <vector>

// The Telnet layer of an RFC 2217 gateway's connection, with no socket behind it: data bytes go
// out with every 0xFF doubled, and what comes in is split into the data bytes and the Telnet
// commands between them (option negotiation, subnegotiation, single commands such as NOP), also
// when a command is cut across reads.
namespace telnet {

inline constexpr std::uint8_t IAC = 255;
inline constexpr std::uint8_t DONT = 254;
inline constexpr std::uint8_t DO = 253;
inline constexpr std::uint8_t WONT = 252;
inline constexpr std::uint8_t WILL = 251;
inline constexpr std::uint8_t SB = 250;
inline constexpr std::uint8_t SE = 240;

inline constexpr std::uint8_t BINARY = 0;
inline constexpr std::uint8_t SUPPRESS_GO_AHEAD = 3;
inline constexpr std::uint8_t COM_PORT_OPTION = 44;

// The data bytes as they go on the connection: each 0xFF doubled.
QByteArray escape(QByteArrayView data);

// One Telnet command taken out of the stream.
struct Command
{
    enum class Kind {
        Will,
        Wont,
        Do,
        Dont,
        Sub, // IAC SB option data IAC SE; data holds the bytes after the option, unescaped
        Other, // IAC and a single command byte (NOP, GA, BREAK, ...): code holds it
    };
    Kind kind = Kind::Other;
    std::uint8_t option = 0; // the option of Will .. Sub
    std::uint8_t code = 0; // the command byte of Other
    QByteArray data;
    // The subnegotiation was longer than Decoder::max_sub_bytes; data holds its first bytes.
    bool cut = false;

    bool operator==(const Command &) const = default;
};

// Reads the incoming stream byte by byte; the state carries over from one feed() to the next.
class Decoder
{
public:
    // A subnegotiation keeps at most this many bytes; the rest is counted out, so that a gateway
    // that never ends one cannot make it grow.
    static constexpr qsizetype max_sub_bytes = 64;

    // Appends the data bytes of bytes to *data and the commands completed in it to *commands.
    void feed(QByteArrayView bytes, QByteArray *data, std::vector<Command> *commands);
    // Whether a command has begun and not yet ended (an IAC waits for its next byte).
    bool inside_command() const { return state_ != State::Data; }
    void reset() { *this = Decoder(); }

private:
    enum class State { Data, Iac, Option, Sub, SubOption, SubIac };
    State state_ = State::Data;
    Command::Kind verb_ = Command::Kind::Other;
    Command sub_;
};

// A command for people: "WILL BINARY", "DO COM-PORT-OPTION", "SB COM-PORT-OPTION SET-BAUDRATE
// 115200", "NOP", "WONT 24". Subnegotiations of the COM port option are spelled out as RFC 2217
// names them, with their value; others show their bytes in hex.
QString describe(const Command &command);
// The bytes of a command as they go on the connection (the data of Sub with 0xFF doubled).
QByteArray encode(const Command &command);

} // namespace telnet
