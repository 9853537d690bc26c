#include "model/plans.h"

#include "link/trace.h"
#include "protocol/protocol.h"
#include "protocol/reply_framing.h"
#include "protocol/vocabulary.h"

#include <algorithm>

namespace model {

QString quoted_bytes(const QByteArray &bytes, qint64 discarded)
{
    QString text = QLatin1Char('"') + trace_bytes(bytes) + QLatin1Char('"');
    if (discarded > 0)
        text += QStringLiteral("\u2026 %1 more bytes").arg(discarded);
    return text;
}

namespace {

Step query_step(const Setting &setting)
{
    Step step;
    step.what = QLatin1String(setting.name);
    step.prefix = setting.command->prefix;
    step.message = read_message(setting);
    step.setting = &setting;
    step.query = true;
    return step;
}

} // namespace

std::vector<Step> read_plan(const QList<const Setting *> &wanted)
{
    const bool layout_wanted = std::any_of(
        wanted.begin(), wanted.end(), [](const Setting *s) { return s->follows_input_layout; });
    std::vector<Step> plan;
    bool transfer_started = false;
    for (const Setting &setting : settings()) {
        const bool layout = layout_wanted && setting.sets_input_layout;
        if (!layout && !wanted.contains(&setting))
            continue;
        Step step = query_step(setting);
        if (setting.group == ReadGroup::Transfer) {
            // The projector settings' Read pauses between its steps, not after the last.
            step.pause_before_sec = transfer_started ? setting.pause_sec() : 0;
            transfer_started = true;
        } else {
            step.pause_after_sec = setting.pause_sec();
        }
        plan.push_back(step);
    }
    return plan;
}

std::vector<Step> read_plan(ReadGroup group)
{
    return read_plan(settings_of(group));
}

std::vector<Step> device_info_plan()
{
    std::vector<Step> plan;
    for (const char *name : { "rx_firmware", "tx_firmware", "tx_baudrate" })
        plan.push_back(query_step(*find_setting(QLatin1String(name))));
    return plan;
}

std::vector<Step> send_plan(const QList<Sending> &sendings)
{
    std::vector<Step> plan;
    for (const Sending &sending : sendings) {
        const Setting &setting = *sending.setting;
        Step step;
        step.what = QLatin1String(setting.name);
        step.prefix = setting.command->prefix;
        step.message = sending.message;
        step.setting = &setting;
        // The projector settings' Send pauses before each display command.
        if (setting.values == Values::HexBytes && !plan.empty()
            && plan.back().setting->group == ReadGroup::Transfer)
            step.pause_before_sec = setting.pause_sec();
        plan.push_back(step);
    }
    return plan;
}

std::vector<Step> set_plan(const QList<ProfileEntry> &entries, const OptionLists &lists)
{
    QList<Sending> sendings;
    for (const ProfileEntry &entry : entries)
        sendings << Sending { entry.setting, value_message(*entry.setting, entry.value, lists) };
    std::vector<Step> plan;
    std::vector<Step> sends = send_plan(sendings);
    for (qsizetype i = 0; i < entries.size(); ++i) {
        Step &step = sends[static_cast<std::size_t>(i)];
        const Setting &setting = *step.setting;
        if (setting.send() != Send::NoWait) {
            plan.push_back(std::move(step));
            continue;
        }
        // Sent as the window sends it; confirmed by reading it back after the read-back's pause.
        step.wait = false;
        step.pause_after_sec = setting.pause_sec();
        plan.push_back(std::move(step));
        Step confirm = query_step(setting);
        confirm.expect = entries.at(i).value;
        plan.push_back(std::move(confirm));
    }
    return plan;
}

std::optional<Step> command_step(QByteArrayView name)
{
    const protocol::Command *command = protocol::find_command(name);
    if (!command
        || (command->kind != protocol::Kind::Action && command->kind != protocol::Kind::Key))
        return std::nullopt;
    Step step;
    step.what = QString::fromLatin1(name);
    step.prefix = command->prefix;
    step.message = command->kind == protocol::Kind::Key
        ? protocol::key_message(step.prefix)
        : protocol::setting_message(step.prefix, "Go");
    return step;
}

QString step_report(const StepResult &result, Outcome end)
{
    const Step &step = result.step;
    const QString sent = QStringLiteral("%1: sent %2").arg(step.what, quoted_bytes(step.message));
    const LinkOutcome &outcome = result.outcome;
    if (end == Outcome::TooLong)
        return sent
            + QStringLiteral(", received a reply longer than the %1 bytes kept: %2")
                  .arg(ReplyFraming::max_kept)
                  .arg(quoted_bytes(outcome.received, outcome.discarded));
    if (end == Outcome::NoReply)
        return sent
            + QStringLiteral(", no complete reply within %1 ms").arg(ReceiverSession::reply_wait_ms)
            + (result.received.isEmpty()
                    ? QStringLiteral(" (nothing came back)")
                    : QStringLiteral(" (received only %1)")
                          .arg(quoted_bytes(result.received, outcome.discarded)));
    if (end == Outcome::Foreign)
        return sent
            + QStringLiteral(", received %1, which is not a reply to it")
                  .arg(quoted_bytes(outcome.reply, outcome.discarded));
    if (line_gone(end)) {
        if (outcome.status == Outcome::NotOpen)
            return QStringLiteral("%1: not sent (%2): the line was lost")
                .arg(step.what, quoted_bytes(step.message));
        return sent + QStringLiteral(", the line was lost before a reply came")
            + (result.received.isEmpty()
                    ? QString()
                    : QStringLiteral(" (received %1)")
                          .arg(quoted_bytes(result.received, outcome.discarded)));
    }
    if (end == Outcome::Stopped)
        return QStringLiteral("stopped after %1: nothing more was sent").arg(step.what);
    return sent
        + QStringLiteral(", received %1").arg(quoted_bytes(outcome.reply, outcome.discarded));
}

} // namespace model
