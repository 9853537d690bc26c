#pragma once

#include <QByteArray>
#include <QDateTime>

// Printable ASCII stays as it is, a backslash becomes "\\" and every other byte "\xHH"
// (upper-case hex), so that one message always fits on one line of the log.
QByteArray escape_bytes(const QByteArray &bytes);

// One line of the message log: local time with milliseconds, two spaces, the escaped message, '\n'.
QByteArray log_line(const QDateTime &when, const QByteArray &message);

// The same for a receiver on a TCP listener: the listener's port stands between the time and the
// message, so that the lines of many receivers in one file can be told apart.
QByteArray log_line(const QDateTime &when, quint16 port, const QByteArray &message);
