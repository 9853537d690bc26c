#pragma once

#include <QString>

// The descriptor budget of kz-orba-cli: each receiver's line holds about one open file while it
// is busy, so the number of lines busy at once is bounded by the process's limit.
namespace cli {

// Lines busy at once when --jobs is not given: as many as the descriptor budget allows, since the
// lines wait on receivers and not on the processor, but no more than this: a large building
// (a thousand receivers) in one round, where 256 took four. A line costs one descriptor and a few
// kilobytes, so 1024 fit the usual hard limit (4096 and up) with room to spare, and the soft
// limit of 1024 alone still allows 992.
constexpr int max_default_jobs = 1024;
// Descriptors kept for the process itself (the trace, the profile, the standard streams, Qt's).
constexpr long reserved_descriptors = 32;

// Raises the soft limit of open files to the hard one; gives the limit then in force, or -1 where
// the system sets none that a process can read (Windows).
long raise_descriptor_limit();
// The default --jobs for a limit from raise_descriptor_limit().
int default_jobs(long limit);
// Whether the process has no descriptor left to open a file with right now.
bool descriptors_exhausted();
// "too many open files: N receivers need about N descriptors; raise `ulimit -n` or lower
// `--jobs`", for a run with `lines` busy at once.
QString too_many_open_files(int lines);

// The lines one run keeps busy at once, and what its jobs say when the process runs out of
// descriptors while they open them.
struct DescriptorBudget
{
    int busy = 1; // lines busy at once, at least 1

    // --jobs (0 or less: as many as the raised limit allows), for a run on `receivers` ports.
    static DescriptorBudget for_run(int jobs, qsizetype receivers);
    // The reason a job gives for a line it cannot open: too_many_open_files() when no descriptor
    // is left, otherwise the transport's own reason.
    QString open_failure_words(const QString &why) const;
};

} // namespace cli
