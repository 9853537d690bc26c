#pragma once

#include "model/plans.h"
#include "model/profile.h"
#include "model/session.h"
#include "model/settings.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>
#include <utility>

class TraceWriter;

namespace model {

// How a receiver's job ended.
enum class JobEnd {
    Done,
    Differs, // Diff: the receiver differs from the profile
    Failed, // a step failed or was refused
    LineFailed, // the port cannot be opened, or the line was lost
};

// What one receiver is asked to do.
struct JobRequest
{
    enum class Kind { Read, Get, Set, Apply, Diff, Send };
    Kind kind = Kind::Read;
    QList<const Setting *> names; // Get
    QList<ProfileEntry> entries; // Set (in argument order), Apply and Diff (the profile)
    // Apply: read and compare only. Set and Send: open no line, only say what would be sent.
    bool dry_run = false;
    Step command; // Send: a key or a one-shot action
};

// What came of it.
struct JobResult
{
    JobEnd end = JobEnd::Done;
    // Read and Get: each value read, in order; a value that names no entry has none, and its
    // reason is in problem.
    struct Value
    {
        const Setting *setting;
        std::optional<QString> value;
        QString problem;
    };
    QList<Value> values;
    // A setting's value before and after.
    struct Change
    {
        const Setting *setting = nullptr;
        // The receiver's value before; none when no entry names it, or when it was not read
        // (set reads nothing first).
        std::optional<QString> from;
        QString to;

        // "name: before -> after", "(no entry)" standing for a value no entry names.
        QString text() const;
    };
    // Apply and Set: each setting sent and confirmed (with --dry-run, to be changed). Diff: each
    // difference, from the receiver's value to the profile's. A setting never sent is no change.
    QList<Change> changes;
    // Apply and Set: each setting sent whose confirmation did not come (no reply, a reply for
    // another command, the line lost or the run stopped before it came, or a read-back that
    // shows another value): it may have taken.
    QList<Change> unconfirmed;
    // Every message sent that writes (a setting, a key, an action; queries are not listed), in
    // the order sent, as the trace shows bytes (printable ASCII as it is, any other byte and the
    // backslash as \xHH). With dry_run, the messages that would be sent. A message whose reply
    // did not come is listed: it left.
    QStringList commands;
    // What went wrong, one report per line, naming the setting, the bytes sent and what came back.
    QStringList errors;
    // The job ended because it was stopped (ReceiverJob::stop) before its work was done.
    bool stopped = false;
};

// What the front end running a job knows of the process around it.
struct JobContext
{
    // Words why the line could not be opened, given the transport's reason: a front end that
    // keeps many lines open at once can tell that the process ran out of descriptors. None: the
    // transport's reason stands.
    std::function<QString(const QString &why)> open_failure_words;
};

// One receiver's job: opens its line, runs the plans of the request one after another and
// reports by finished(). Event-driven like its session: many jobs can run on one thread.
class ReceiverJob : public QObject
{
    Q_OBJECT
public:
    ReceiverJob(const QString &port, const QString &address, const OptionLists &lists,
        TraceWriter *trace, JobRequest request, JobContext context = {},
        std::unique_ptr<Transport> transport = nullptr, QObject *parent = nullptr);
    ~ReceiverJob() override;

    const QString &port() const { return session_.port(); }
    // Starts the job; finished() follows from the event loop, also when the line cannot be opened.
    void start();
    // Sends nothing more: a job not started or still opening its line ends at once; a running one
    // lets the step on the line run to its end, then ends with what it did so far.
    void stop();
    bool is_finished() const { return finished_; }
    const JobResult &result() const { return result_; }

Q_SIGNALS:
    // A step of the running plan has replied: the share of the job done so far (0 to 1).
    void progress(double share);
    void finished();

private:
    // The line is open: the work of the request begins.
    void begin();
    void read_done(const RunResult &run);
    void sent(const RunResult &run);
    void verified(const RunResult &run);
    // Reads the values of a finished read plan into result_.values; false after a failure,
    // which is reported.
    bool take_values(const RunResult &run);
    void report_failure(const RunResult &run);
    // Adds the writing messages of a run that left for the line to result_.commands.
    void record_sent(const RunResult &run);
    void finish(JobEnd end);
    void run_plan(std::vector<Step> steps, void (ReceiverJob::*then)(const RunResult &));

    ReceiverSession session_;
    OptionLists lists_;
    JobRequest request_;
    JobContext context_;
    JobResult result_;
    bool single_hdmi_ = true;
    // The entries that ran through sent(): Apply's that differ (with their values before), or
    // Set's.
    QList<JobResult::Change> to_send_;
    int phase_ = 0; // plans run so far
    int phases_ = 1; // plans the job runs in all, for the progress share
    bool finished_ = false;
    bool started_ = false;
    bool opening_ = false;
    bool stopping_ = false;
};

} // namespace model
