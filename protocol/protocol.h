#pragma once

#include <QByteArray>

// Messages of the receiver's command language. Every message is a prefix ("WP_Name["),
// an argument, and the terminator "]$" followed by a carriage return; replies are framed the same.
namespace protocol {

inline constexpr char terminator[] = "]$\r";
inline constexpr int terminator_len = 3;

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
