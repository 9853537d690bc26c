#pragma once

#include "cli/targets.h"
#include "model/probe.h"

#include <QDateTime>
#include <QJsonObject>
#include <QList>
#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

class TraceWriter;

// kz-orba-cli status and watch: the probe of every receiver named, one state each, and (watch)
// the same every interval, printing what changed.
namespace cli {

// The exit status a state gives: 0 answering, 1 silent or garbled (the receiver did not answer
// as it should), 3 busy or unreachable (the line could not be had).
int state_status(model::ProbeState state);

// status's text line for one receiver: its name, state, what was read and the round trip, and
// for any other state why.
QString probe_line(const Target &target, const model::ProbeResult &result);
// Its object in the schema-1 document: the members every command has (port, status, result,
// error, settings, changes, dry_run, notes), and name, state and round_trip_ms.
QJsonObject probe_object(const Target &target, const model::ProbeResult &result);

// What changed between two probes of one receiver; empty when nothing that matters did. The
// first probe (no previous) is a change of its own.
struct ProbeChange
{
    std::optional<model::ProbeState> was;
    model::ProbeState state = model::ProbeState::Unreachable;
    // Setting name, value before, value now: the values read, when the receiver answered both
    // times.
    struct Value
    {
        QString setting;
        QString from;
        QString to;
    };
    QList<Value> values;
};
std::optional<ProbeChange> probe_change(
    const model::ProbeResult *previous, const model::ProbeResult &now);

// watch's line for a change, after the time: "room-204: silent (was answering): why",
// "room-204: input_source Hdmi1 -> Hdmi2", or a receiver's first state as status writes it.
QString change_line(const QDateTime &time, const Target &target, const model::ProbeResult &result,
    const ProbeChange &change);
// The same as one compact JSON object.
QByteArray change_json(const QDateTime &time, const Target &target,
    const model::ProbeResult &result, const ProbeChange &change);

// One probe of every line, at most `jobs` at once; a line that two targets name is probed once.
// finished() once every probe has ended.
class ProbeRound : public QObject
{
    Q_OBJECT
public:
    ProbeRound(
        const QList<Target> &targets, int jobs, TraceWriter *trace, QObject *parent = nullptr);
    ~ProbeRound() override;

    void start();
    bool is_finished() const { return done_ == probes_.size(); }
    // The result for targets[i], once finished.
    const model::ProbeResult &result(qsizetype i) const;

Q_SIGNALS:
    void finished();

private:
    void start_next();

    QList<Target> targets_;
    std::vector<std::unique_ptr<model::ReceiverProbe>> probes_; // one per line
    QList<std::size_t> probe_of_; // for each target, its line's probe
    std::size_t next_ = 0;
    std::size_t done_ = 0;
    int jobs_;
};

// watch: a round every interval (or as soon as the last ended, when it took longer), never two
// probes of one line at once; each change is handed to print.
class Watcher : public QObject
{
    Q_OBJECT
public:
    using Print
        = std::function<void(const Target &, const model::ProbeResult &, const ProbeChange &)>;

    Watcher(QList<Target> targets, int jobs, int interval_ms, TraceWriter *trace, Print print,
        QObject *parent = nullptr);
    ~Watcher() override;

    void start();
    // Ends the round under way (its lines are closed) and starts no other; finished() follows.
    void stop();
    bool is_finished() const { return stopped_ && !round_; }
    int rounds() const { return rounds_; }

Q_SIGNALS:
    void finished();

private:
    void begin_round();
    void round_done();

    QList<Target> targets_;
    int jobs_;
    int interval_ms_;
    TraceWriter *trace_;
    Print print_;
    std::unique_ptr<ProbeRound> round_;
    QList<std::optional<model::ProbeResult>> last_;
    QTimer next_;
    qint64 round_started_ms_ = 0;
    int rounds_ = 0;
    bool stopped_ = false;
};

} // namespace cli
