#include "sim/sim_faults.h"

#include <algorithm>

namespace {

bool applies(const QByteArray &only, const QByteArray &prefix)
{
    return only.isEmpty() || only == prefix;
}

// Pads the value so that the reply grows to size bytes; the prefix and the terminator stay.
QByteArray padded(const QByteArray &reply, int size)
{
    const QByteArray terminator = QByteArrayLiteral("]$\r");
    if (reply.size() >= size || !reply.endsWith(terminator))
        return reply;
    QByteArray filler;
    const qsizetype missing = size - reply.size();
    for (qsizetype i = 0; i < missing; ++i)
        filler.append(static_cast<char>('0' + i % 10));
    QByteArray result = reply;
    result.insert(reply.size() - terminator.size(), filler);
    return result;
}

} // namespace

ReplyPlan plan_reply(const SimFaults &faults, const QByteArray &prefix, const QByteArray &reply)
{
    ReplyPlan plan;
    if (faults.hang_up && applies(faults.hang_up_only, prefix)) {
        plan.action = ReplyPlan::Action::HangUp;
        return plan;
    }
    if (std::any_of(faults.silent.begin(), faults.silent.end(),
            [&](const QByteArray &only) { return applies(only, prefix); })) {
        plan.action = ReplyPlan::Action::Silent;
        return plan;
    }

    QByteArray bytes = reply;
    if (faults.overlong_size > 0 && applies(faults.overlong_only, prefix))
        bytes = padded(bytes, faults.overlong_size);
    if (!faults.wrong_prefix.isEmpty() && applies(faults.wrong_prefix_only, prefix)
        && bytes.startsWith(prefix))
        bytes.replace(0, prefix.size(), faults.wrong_prefix);
    if (faults.delay_ms > 0 && applies(faults.delay_only, prefix))
        plan.delay_ms = faults.delay_ms;
    if (faults.split_gap_ms > 0 && applies(faults.split_only, prefix) && bytes.size() > 1) {
        plan.gap_ms = faults.split_gap_ms;
        plan.second = bytes.mid(bytes.size() / 2);
        bytes.truncate(bytes.size() / 2);
    }
    if (!faults.noise.isEmpty() && applies(faults.noise_only, prefix))
        bytes.prepend(faults.noise);
    plan.first = bytes;
    return plan;
}

std::vector<LineStep> line_steps(
    const SimFaults &faults, const std::vector<ReceiverModel::Exchange> &exchanges)
{
    std::vector<LineStep> steps;
    for (const ReceiverModel::Exchange &e : exchanges) {
        const ReplyPlan plan = plan_reply(faults, e.prefix, e.reply);
        if (plan.action == ReplyPlan::Action::Silent)
            continue;
        if (plan.action == ReplyPlan::Action::HangUp) {
            steps.push_back({ 0, {}, true });
            break;
        }
        steps.push_back({ plan.delay_ms, plan.first, false });
        if (!plan.second.isEmpty())
            steps.push_back({ plan.gap_ms, plan.second, false });
    }
    return steps;
}

QByteArray normalise_prefix(const QByteArray &text)
{
    QByteArray prefix = text.trimmed();
    if (prefix.isEmpty() || prefix.compare("all", Qt::CaseInsensitive) == 0)
        return {};
    if (!prefix.startsWith("WP_"))
        prefix.prepend("WP_");
    if (!prefix.endsWith('['))
        prefix.append('[');
    return prefix;
}
