#pragma once

#include <QByteArray>
#include <QStringList>

#include <optional>

// How the value of a reply turns into the entry to select in the control of its command.
namespace protocol {

// The receiver pads and sometimes decorates its numbers ("07", " 45abc", "12.6"), so a numeric
// value is taken from the front of the text: spaces, a sign, digits and at most one point, then
// whatever follows is ignored. Nothing usable reads as 0. The result is rounded and clamped to int.
int reply_number(const QByteArray &value);

// The value of a reply read strictly, for tools that must not show a value the receiver did not
// plainly report: decimal digits and nothing else, leading zeros allowed ("07" is 7, as the
// receiver pads); a number beyond int is int's largest. None for anything else: nothing, a
// sign, a point, a space, a letter, an exponent.
std::optional<int> plain_number(const QByteArray &value);

} // namespace protocol
