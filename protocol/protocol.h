#pragma once

#include <QByteArray>

// Messages of the receiver's command language. Every message is a prefix ("WP_Name["),
// an argument, and the terminator "]$" followed by a carriage return; replies are framed the same.
namespace protocol {

inline constexpr char terminator[] = "]$\r";
inline constexpr int terminator_len = 3;

// The prefix of a command by the number the read-backs and apply_reply() use (the receiver
// commands 1 to 23, the picture commands 1 to 6); the names live in vocabulary.h. A number with
// no command gives an empty prefix.
QByteArray cmd_prefix(int number);
QByteArray pic_prefix(int number);

// What the receiver's "Read" asks for, in this order: every readable receiver command up to the
// transmitter's baud rate. VGA auto (3) and System Reset (12) act when sent, so they are left out.
inline constexpr int readback_order[]
    = { 1, 2, 4, 5, 6, 7, 8, 9, 10, 11, 13, 14, 15, 16, 17, 18, 19, 20 };

QByteArray setting_message(const QByteArray &prefix, const QByteArray &argument);
QByteArray query_message(const QByteArray &prefix);
QByteArray key_message(const QByteArray &prefix);

// Turns a reply such as "WP_Aspect[16:9]$\r" into its value "16:9". A reply that starts with
// another prefix is foreign: false, and reply is left as it came.
bool strip_reply(QByteArray &reply, const QByteArray &prefix);

// The same cut for callers that trust the reply's start (the device information): the
// terminator comes off the end and prefix_len bytes off the front, unchecked. Never fails: a
// reply too short for either cut gives whatever is left, possibly nothing.
QByteArray cut_reply(const QByteArray &reply, int prefix_len);

} // namespace protocol
