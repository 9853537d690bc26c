#pragma once

#include <QByteArray>
#include <QDateTime>

// Printable ASCII stays as it is, a backslash becomes "\\" and every other byte "\xHH"
// (upper-case hex), so that one message always fits on one line of the log.
QByteArray escape_bytes(const QByteArray &bytes);

// One line of the message log: local time with milliseconds, two spaces, the escaped message, '\n'.
QByteArray log_line(const QDateTime &when, const QByteArray &message);
