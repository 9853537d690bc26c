#pragma once

#include "sim/receiver_model.h"
#include "sim/telnet_server.h"

#include <QByteArray>
#include <QList>

#include <vector>

// Faults the simulated receiver can show on the line. Each fault has a scope: it applies to the
// messages whose prefix equals its `*_only` text ("WP_Aspect["), or to every message when that
// text is empty.
struct SimFaults
{
    // Wait this long before replying.
    int delay_ms = 0;
    QByteArray delay_only;

    // Never answer these prefixes; an empty entry silences every message. A silenced message is
    // still carried out.
    QList<QByteArray> silent;

    // Bytes written just before the reply.
    QByteArray noise;
    QByteArray noise_only;

    // When above 0, the reply goes out in two writes this many milliseconds apart.
    int split_gap_ms = 0;
    QByteArray split_only;

    // When not empty, the reply carries this prefix instead of the message's own.
    QByteArray wrong_prefix;
    QByteArray wrong_prefix_only;

    // When above 0, the reply's value is padded so that the whole reply is this many bytes long.
    int overlong_size = 0;
    QByteArray overlong_only;

    // Close the line instead of replying.
    bool hang_up = false;
    QByteArray hang_up_only;

    // What a listener in RFC 2217 mode does wrong in its Telnet (every message alike).
    TelnetFault telnet = TelnetFault::None;
};

// What the line does in answer to one message once the faults are applied.
struct ReplyPlan
{
    enum class Action { Reply, Silent, HangUp };

    Action action = Action::Reply;
    int delay_ms = 0;
    QByteArray first; // written first (noise included)
    QByteArray second; // written gap_ms later; empty unless the reply is split
    int gap_ms = 0;
};

// Applies faults to the reply that the model gave for a message with this prefix.
ReplyPlan plan_reply(const SimFaults &faults, const QByteArray &prefix, const QByteArray &reply);

// One thing the line does, in order: wait wait_ms after the previous step, then write bytes, or
// close the line when hang_up is set (nothing follows a hang-up).
struct LineStep
{
    int wait_ms = 0;
    QByteArray bytes;
    bool hang_up = false;
};

// The line's answer to the messages that one batch of received bytes completed, with the faults
// applied: the part shared by every front end, which only carries the steps out on its transport.
std::vector<LineStep> line_steps(
    const SimFaults &faults, const std::vector<ReceiverModel::Exchange> &exchanges);

// Accepts "WP_Aspect[", "WP_Aspect" and "Aspect" alike and returns "WP_Aspect["; "all" and the
// empty text give the empty text (every message).
QByteArray normalise_prefix(const QByteArray &text);
