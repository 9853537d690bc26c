#pragma once

#include "link/link_outcome.h"
#include "model/session.h"

#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QString>
#include <QTimer>

#include <optional>
#include <vector>

// The short look at one receiver that status, watch and the exporter take: a few queries that
// tell a person whether the receiver is there and what it shows, and one state for the whole.
namespace model {

struct Setting;

// What a probe found the line and the receiver to be, worst last.
enum class ProbeState {
    Answering, // every query of the probe was answered
    Garbled, // bytes came back that are no reply to the query (noise, another prefix, too long)
    Silent, // the line opened, and a query got nothing back
    Busy, // another program holds the line (the window, another command, a gateway's client)
    Unreachable, // the line could not be opened: no device, connection refused, no answer
};
inline constexpr ProbeState probe_states[] = { ProbeState::Answering, ProbeState::Garbled,
    ProbeState::Silent, ProbeState::Busy, ProbeState::Unreachable };

// "answering", "garbled", "silent", "busy", "unreachable": the words of the state in text, JSON
// and the exporter's labels.
QString state_word(ProbeState state);

// The settings a probe reads, in the order it asks: the transmitter's identification (which
// transmitter is there, and the input list's layout), the receiver's firmware, the display and
// the input source.
QList<const Setting *> probe_settings();
// The probe's queries, with the window's pauses between them.
std::vector<Step> probe_plan();

// What one probe found.
struct ProbeResult
{
    ProbeState state = ProbeState::Unreachable;
    // Each probe setting that was read, in probe order; a value no entry names stays empty.
    struct Value
    {
        const Setting *setting;
        std::optional<QString> value;
    };
    QList<Value> values;
    // Why the state is not answering, for people: the system's reason, or the step's report.
    QString detail;
    // From the start of the open to the end of the last query.
    qint64 round_trip_ms = 0;

    // The value read for the setting named, if any.
    std::optional<QString> value(const char *name) const;
};

// The state that the outcomes of an open and of the probe's run tell, and the values read. The
// whole decision lies here: nothing is read from the system's or the link's messages.
//   network: the line is a gateway on the network (a gateway that closes a new connection at
//   once is one that serves another client).
ProbeState state_of_open(OpenFailure failure);
ProbeResult probe_result(const RunResult &run, bool network);

// One probe of one receiver's line: opens it, runs the probe plan, closes it and reports by
// finished(). Event-driven: many probes can run on one thread. A deadline, when given, ends the
// probe early with what it has found so far.
class ReceiverProbe : public QObject
{
    Q_OBJECT
public:
    ReceiverProbe(const QString &port, const QString &address, TraceWriter *trace,
        std::unique_ptr<Transport> transport = nullptr, QObject *parent = nullptr);
    ~ReceiverProbe() override;

    const QString &port() const { return session_.port(); }
    const QString &address() const { return session_.address(); }

    // Starts the probe; finished() follows from the event loop. deadline_ms 0: no deadline but
    // the link's own (the connect time and each query's reply wait).
    void start(int deadline_ms = 0);
    bool is_finished() const { return finished_; }
    const ProbeResult &result() const { return result_; }

Q_SIGNALS:
    void finished();

private:
    void finish(ProbeResult result);

    ReceiverSession session_;
    QTimer deadline_;
    QElapsedTimer clock_;
    ProbeResult result_;
    bool opened_ = false;
    bool finished_ = false;
};

} // namespace model
