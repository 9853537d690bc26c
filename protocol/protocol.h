#pragma once

#include <QByteArray>

// Messages of the receiver's command language. Every message is a prefix ("WP_Name["),
// an argument, and the terminator "]$" followed by a carriage return; replies are framed the same.
namespace protocol {

inline constexpr char terminator[] = "]$\r";
inline constexpr int terminator_len = 3;

// Command prefixes addressed by number: cmd_prefix 1 to 23, pic_prefix 1 to 6.
// An out-of-range number gives an empty prefix.
QByteArray cmd_prefix(int number);
QByteArray pic_prefix(int number);

// Numbers of the read-back order: 1 to 20 without the action commands 3 and 12.
inline constexpr int readback_order[] = { 1, 2, 4, 5, 6, 7, 8, 9, 10, 11, 13, 14, 15, 16, 17, 18, 19, 20 };

QByteArray setting_message(const QByteArray &prefix, const QByteArray &argument);
QByteArray query_message(const QByteArray &prefix);
QByteArray key_message(const QByteArray &prefix);

// Cuts a reply down to its value: false, leaving reply unchanged, when it does not begin with
// prefix; otherwise drops the terminator's three characters and then the prefix.
bool strip_reply(QByteArray &reply, const QByteArray &prefix);

// Cuts a reply by length alone, without comparing its start: drops the last three characters,
// then prefix_len leading ones. A reply too short for both gives what is left (never fails).
QByteArray cut_reply(const QByteArray &reply, int prefix_len);

} // namespace protocol
