#include "cli/fleet.h"

#include <QTimer>

#include <algorithm>

namespace cli {

Fleet::Fleet(const QStringList &ports, int busy, MakeJob make, QObject *parent)
    : QObject(parent)
    , busy_(std::max(1, busy))
{
    for (const QString &port : ports)
        jobs_.push_back(make(port));
    for (std::size_t i = 0; i < jobs_.size(); ++i) {
        connect(jobs_[i].get(), &ReceiverJob::finished, this, [this, i] {
            ++done_;
            Q_EMIT receiver_done(static_cast<int>(i), static_cast<int>(done_));
            if (is_finished())
                Q_EMIT finished();
            else
                start_next();
        });
    }
}

Fleet::~Fleet() = default;

void Fleet::start()
{
    if (jobs_.empty()) {
        QTimer::singleShot(0, this, &Fleet::finished);
        return;
    }
    for (int i = 0; i < busy_; ++i)
        start_next();
}

void Fleet::stop()
{
    stopping_ = true;
    // A job not started ends at once, and finished() may come from here.
    for (std::size_t i = 0; i < jobs_.size(); ++i)
        jobs_[i]->stop();
}

void Fleet::start_next()
{
    if (!stopping_ && next_ < jobs_.size())
        jobs_[next_++]->start();
}

} // namespace cli
