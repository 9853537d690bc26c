#include "cli/receiver_run.h"

#include "cli/interrupts.h"

#include "cli/descriptors.h"
#include "cli/fleet.h"
#include "cli/input_files.h"
#include "cli/invocation.h"
#include "link/trace.h"

#include <QEventLoop>

namespace cli {

using namespace model;

namespace {

// Starts a fleet or a job and runs the event loop until it has finished.
template <typename Task> void run_to_end(Task &task, Console &console)
{
    QEventLoop loop;
    QObject::connect(&task, &Task::finished, &loop, &QEventLoop::quit);
    // A stop signal stops it: nothing more is sent, and it finishes with what it did.
    if (console.interrupts)
        QObject::connect(
            console.interrupts, &Interrupts::interrupted, &task, [&task] { task.stop(); });
    task.start();
    if (console.interrupts && console.interrupts->caught())
        task.stop();
    if (!task.is_finished())
        loop.exec();
}

std::unique_ptr<ReceiverJob> make_job(const QString &port, const JobRequest &request,
    const RunOptions &options, const DescriptorBudget &budget)
{
    JobContext context;
    context.open_failure_words
        = [budget](const QString &why) { return budget.open_failure_words(why); };
    return std::make_unique<ReceiverJob>(
        port, port_address(port), *options.lists, options.trace, request, std::move(context));
}

} // namespace

QList<ReceiverOutcome> run_request(const QStringList &ports, const JobRequest &request,
    const RunOptions &options, Console &console)
{
    const DescriptorBudget budget = DescriptorBudget::for_run(options.jobs, ports.size());
    QList<ReceiverOutcome> outcomes;
    if (ports.size() == 1) {
        const QString &port = ports.first();
        const std::unique_ptr<ReceiverJob> job = make_job(port, request, options, budget);
        // The two that take a few seconds.
        const bool shows_progress
            = request.kind == JobRequest::Kind::Read || request.kind == JobRequest::Kind::Apply;
        Progress progress(console, QStringLiteral("%1 %2").arg(options.what, port));
        if (shows_progress)
            QObject::connect(job.get(), &ReceiverJob::progress, job.get(),
                [&](double share) { progress.show(share); });
        run_to_end(*job, console);
        progress.clear();
        outcomes << ReceiverOutcome { port, job->result() };
        return outcomes;
    }
    Fleet fleet(ports, budget.busy,
        [&](const QString &port) { return make_job(port, request, options, budget); });
    Progress progress(console, options.what);
    QObject::connect(&fleet, &Fleet::receiver_done, &fleet,
        [&](int, int done) { progress.show(double(done) / double(ports.size())); });
    run_to_end(fleet, console);
    progress.clear();
    for (const auto &job : fleet.jobs())
        outcomes << ReceiverOutcome { job->port(), job->result() };
    return outcomes;
}

bool open_trace(const QString &path, TraceWriter *trace, QString *why)
{
    return path == QLatin1String("-") ? trace->open_descriptor(2, why)
                                      : trace_path_usable(path, why) && trace->open(path, why);
}

} // namespace cli
