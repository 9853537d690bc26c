#include "cli/watch.h"

#include "cli/exit_status.h"
#include "cli/invocation.h"
#include "model/settings.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>

namespace cli {

using namespace model;

namespace {

QString values_text(const ProbeResult &result)
{
    QStringList parts;
    for (const ProbeResult::Value &value : result.values) {
        parts << QStringLiteral("%1 %2").arg(
            QLatin1String(value.setting->name), value.value.value_or(QStringLiteral("(no entry)")));
    }
    return parts.join(QStringLiteral(", "));
}

QString shown_name(const Target &target)
{
    return target.name;
}

QJsonValue json_text(const std::optional<QString> &text)
{
    return text ? QJsonValue(*text) : QJsonValue(QJsonValue::Null);
}

QJsonObject settings_object(const ProbeResult &result)
{
    QJsonObject settings;
    for (const ProbeResult::Value &value : result.values)
        settings.insert(QLatin1String(value.setting->name), json_text(value.value));
    return settings;
}

} // namespace

int state_status(ProbeState state)
{
    switch (state) {
    case ProbeState::Answering:
        return status_done;
    case ProbeState::Garbled:
    case ProbeState::Silent:
        return status_failed;
    case ProbeState::Busy:
    case ProbeState::Unreachable:
        break;
    }
    return status_line;
}

QString probe_line(const Target &target, const ProbeResult &result)
{
    QString line = QStringLiteral("%1: %2").arg(shown_name(target), state_word(result.state));
    if (const QString values = values_text(result); !values.isEmpty())
        line += QStringLiteral(": ") + values;
    line += QStringLiteral(" (%1 ms)").arg(result.round_trip_ms);
    if (!result.detail.isEmpty())
        line += QStringLiteral(": ") + result.detail;
    return line;
}

QJsonObject probe_object(const Target &target, const ProbeResult &result)
{
    const int status = state_status(result.state);
    QJsonObject object;
    object.insert(QStringLiteral("port"), target.port);
    object.insert(QStringLiteral("name"), target.name);
    object.insert(QStringLiteral("status"), status);
    object.insert(QStringLiteral("result"),
        status == status_done         ? QStringLiteral("ok")
            : status == status_failed ? QStringLiteral("failed")
                                      : QStringLiteral("line"));
    object.insert(QStringLiteral("error"),
        result.detail.isEmpty() ? QJsonValue(QJsonValue::Null) : QJsonValue(result.detail));
    object.insert(QStringLiteral("settings"), settings_object(result));
    object.insert(QStringLiteral("changes"), QJsonArray());
    object.insert(QStringLiteral("dry_run"), false);
    object.insert(QStringLiteral("notes"), QJsonObject());
    object.insert(QStringLiteral("state"), state_word(result.state));
    object.insert(QStringLiteral("round_trip_ms"), result.round_trip_ms);
    return object;
}

std::optional<ProbeChange> probe_change(const ProbeResult *previous, const ProbeResult &now)
{
    ProbeChange change;
    change.state = now.state;
    if (!previous || previous->state != now.state) {
        if (previous)
            change.was = previous->state;
        return change;
    }
    change.was = previous->state;
    for (const ProbeResult::Value &value : now.values) {
        const std::optional<QString> before = previous->value(value.setting->name);
        if (before != value.value)
            change.values << ProbeChange::Value { QLatin1String(value.setting->name),
                before.value_or(QStringLiteral("(no entry)")),
                value.value.value_or(QStringLiteral("(no entry)")) };
    }
    if (change.values.isEmpty())
        return std::nullopt;
    return change;
}

QString change_line(const QDateTime &time, const Target &target, const ProbeResult &result,
    const ProbeChange &change)
{
    const QString when = time.toString(Qt::ISODateWithMs);
    if (!change.was)
        return when + QLatin1Char(' ') + probe_line(target, result);
    if (*change.was != change.state) {
        QString line
            = QStringLiteral("%1 %2: %3 (was %4)")
                  .arg(when, shown_name(target), state_word(change.state), state_word(*change.was));
        if (const QString values = values_text(result); !values.isEmpty())
            line += QStringLiteral(": ") + values;
        if (!result.detail.isEmpty())
            line += QStringLiteral(": ") + result.detail;
        return line;
    }
    QStringList parts;
    for (const ProbeChange::Value &value : change.values)
        parts << QStringLiteral("%1 %2 -> %3").arg(value.setting, value.from, value.to);
    return QStringLiteral("%1 %2: %3")
        .arg(when, shown_name(target), parts.join(QStringLiteral("; ")));
}

QByteArray change_json(const QDateTime &time, const Target &target, const ProbeResult &result,
    const ProbeChange &change)
{
    QJsonObject object = probe_object(target, result);
    object.insert(QStringLiteral("time"), time.toString(Qt::ISODateWithMs));
    object.insert(QStringLiteral("was"),
        change.was ? QJsonValue(state_word(*change.was)) : QJsonValue(QJsonValue::Null));
    QJsonArray changes;
    for (const ProbeChange::Value &value : change.values) {
        QJsonObject item;
        item.insert(QStringLiteral("setting"), value.setting);
        item.insert(QStringLiteral("from"), value.from);
        item.insert(QStringLiteral("to"), value.to);
        changes << item;
    }
    object.insert(QStringLiteral("changes"), changes);
    return QJsonDocument(object).toJson(QJsonDocument::Compact) + '\n';
}

ProbeRound::ProbeRound(const QList<Target> &targets, int jobs, TraceWriter *trace, QObject *parent)
    : QObject(parent)
    , targets_(targets)
    , jobs_(std::max(1, jobs))
{
    QHash<QString, std::size_t> by_address;
    for (const Target &target : targets_) {
        const QString address = port_address(target.port);
        auto found = by_address.constFind(address);
        if (found == by_address.constEnd()) {
            found = by_address.insert(address, probes_.size());
            probes_.push_back(std::make_unique<ReceiverProbe>(target.name, address, trace));
            connect(probes_.back().get(), &ReceiverProbe::finished, this, [this] {
                ++done_;
                if (is_finished())
                    Q_EMIT finished();
                else
                    start_next();
            });
        }
        probe_of_ << *found;
    }
}

ProbeRound::~ProbeRound() = default;

void ProbeRound::start()
{
    if (probes_.empty()) {
        QTimer::singleShot(0, this, &ProbeRound::finished);
        return;
    }
    for (int i = 0; i < jobs_; ++i)
        start_next();
}

void ProbeRound::start_next()
{
    if (next_ < probes_.size())
        probes_[next_++]->start();
}

const ProbeResult &ProbeRound::result(qsizetype i) const
{
    return probes_[probe_of_.at(i)]->result();
}

Watcher::Watcher(QList<Target> targets, int jobs, int interval_ms, TraceWriter *trace, Print print,
    QObject *parent)
    : QObject(parent)
    , targets_(std::move(targets))
    , jobs_(jobs)
    , interval_ms_(interval_ms)
    , trace_(trace)
    , print_(std::move(print))
    , last_(targets_.size())
{
    next_.setSingleShot(true);
    connect(&next_, &QTimer::timeout, this, &Watcher::begin_round);
}

Watcher::~Watcher() = default;

void Watcher::start()
{
    QTimer::singleShot(0, this, &Watcher::begin_round);
}

void Watcher::stop()
{
    if (stopped_)
        return;
    stopped_ = true;
    next_.stop();
    // The probes under way close their lines as they go.
    round_.reset();
    QTimer::singleShot(0, this, &Watcher::finished);
}

void Watcher::begin_round()
{
    if (stopped_)
        return;
    round_started_ms_ = QDateTime::currentMSecsSinceEpoch();
    round_ = std::make_unique<ProbeRound>(targets_, jobs_, trace_);
    connect(round_.get(), &ProbeRound::finished, this, &Watcher::round_done, Qt::QueuedConnection);
    round_->start();
}

void Watcher::round_done()
{
    if (stopped_ || !round_)
        return;
    ++rounds_;
    for (qsizetype i = 0; i < targets_.size(); ++i) {
        const ProbeResult &now = round_->result(i);
        std::optional<ProbeResult> &last = last_[i];
        if (const std::optional<ProbeChange> change = probe_change(last ? &*last : nullptr, now))
            print_(targets_.at(i), now, *change);
        last = now;
    }
    round_.reset();
    const qint64 took = QDateTime::currentMSecsSinceEpoch() - round_started_ms_;
    next_.start(int(std::max<qint64>(0, interval_ms_ - took)));
}

} // namespace cli
