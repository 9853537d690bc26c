#pragma once

#include <QByteArray>
#include <QString>

#include <array>

// The projector settings that the receiver stores, without widgets: the port towards the
// projector with the entries its four lists offer, the message that sends it and how a reply
// is read; and the message that carries a display command's raw bytes.

// The four settings of the serial port between the receiver and the projector.
struct ProjPortValues
{
    int baud = 0; // baud rate
    int databits = 0; // data bits
    QString parity; // "NONE", "ODD", "EVEN", "MARK" or "SPACE"
    float stopbits = 0; // 1, 1.5 or 2

    bool operator==(const ProjPortValues &) const = default;
};

namespace projector_values {

// The entries of the four lists, position 0 first, with the value each one stores.
inline constexpr std::array<int, 7> baud_rates = { 2400, 9600, 19200, 38400, 56000, 57600, 115200 };
inline constexpr std::array<int, 4> data_bits = { 5, 6, 7, 8 };
struct Parity
{
    const char *entry;
    const char *word;
};
inline constexpr std::array<Parity, 5> parities = { { { "None", "NONE" }, { "Odd", "ODD" },
    { "Even", "EVEN" }, { "Mark", "MARK" }, { "Space", "SPACE" } } };
struct StopBits
{
    const char *entry;
    float value;
};
inline constexpr std::array<StopBits, 3> stop_bits
    = { { { "1", 1.0f }, { "1.5", 1.5f }, { "2", 2.0f } } };

// Position of the first entry of table that matches, or -1.
template <typename T, std::size_t N, typename Pred>
int position_of(const std::array<T, N> &table, Pred matches)
{
    for (std::size_t i = 0; i < N; ++i)
        if (matches(table[i]))
            return static_cast<int>(i);
    return -1;
}

// The argument of the port message: baud, data bits, parity letter, stop bits, comma-separated
// ("9600,8,N,1").
QByteArray port_argument(const ProjPortValues &values);
// The whole message the send-port step sends.
QByteArray port_message(const ProjPortValues &values);
// Stores into values what a port-settings reply argument ("19200,7,E,2") carries, by position
// after the first comma. False, changing nothing, when it holds no comma.
bool parse_port_reply(const QByteArray &argument, ProjPortValues &values);
// Whether every value is an entry of its list.
bool port_in_lists(const ProjPortValues &values);

// Longest display commands whose message fits the link's 75-byte buffer.
inline constexpr int max_on_bytes = 56;
inline constexpr int max_off_bytes = 55;

// The message that stores a display command: prefix, the count in decimal, ",", the raw bytes,
// "]$" and 13.
QByteArray display_message(const QByteArray &prefix, const QByteArray &bytes);

} // namespace projector_values
