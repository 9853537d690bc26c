#pragma once

#include "protocol/byte_buffer.h"

#include <QByteArray>

#include <optional>

// The command bytes of a display-command read-back: the reply "WP_DisplayOn[" n "," bytes "]$" CR
// is framed by its text, and the n bytes are taken from the raw buffer, so that bytes of every
// value arrive unchanged. None when the reply is not for prefix, has no comma, announces a count
// that is negative or larger than the bytes that arrived before the terminator, reaches past the
// buffer, or the buffer no longer holds this reply. Never reads past the buffer's length.
std::optional<QByteArray> display_command_from_reply(
    const QByteArray &prefix, const QByteArray &reply_text, const ByteBuffer &buf);
