#pragma once

#include "model/job.h"

#include <QObject>
#include <QStringList>

#include <functional>
#include <memory>
#include <vector>

namespace cli {

using model::ReceiverJob;

// Many receivers at once on one thread: a job per port, at most `busy` of them running, the next
// one started as soon as one ends. Each job keeps its own pauses and time-outs, so a slow or dead
// receiver holds up only its own line.
class Fleet : public QObject
{
    Q_OBJECT
public:
    using MakeJob = std::function<std::unique_ptr<ReceiverJob>(const QString &port)>;

    // busy: at most this many jobs running at once (at least 1).
    Fleet(const QStringList &ports, int busy, MakeJob make, QObject *parent = nullptr);
    ~Fleet() override;

    // Starts the first jobs; finished() follows from the event loop once every job has ended.
    void start();
    // Starts no more jobs and stops the running ones (ReceiverJob::stop); finished() follows once
    // the steps on their lines have ended.
    void stop();
    bool is_finished() const { return done_ == jobs_.size(); }
    // One job per port, in the order of the ports.
    const std::vector<std::unique_ptr<ReceiverJob>> &jobs() const { return jobs_; }

Q_SIGNALS:
    // The job of ports[index] has ended; done of all have.
    void receiver_done(int index, int done);
    void finished();

private:
    void start_next();

    std::vector<std::unique_ptr<ReceiverJob>> jobs_;
    std::size_t next_ = 0;
    std::size_t done_ = 0;
    int busy_;
    bool stopping_ = false;
};

} // namespace cli
