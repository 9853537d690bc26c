#pragma once

#include <QString>

// The descriptor budget of kz-orba-cli: each receiver's line holds about one open file while it
// is busy, so the number of lines busy at once is bounded by the process's limit.
namespace model {

// Lines busy at once when --jobs is not given: as many as the descriptor budget allows, since the
// lines wait on receivers and not on the processor, but no more than this.
constexpr int max_default_jobs = 256;
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

// The lines a run keeps busy at once, as the fleet sets it, for the message above.
void set_lines_at_once(int lines);
int lines_at_once();

} // namespace model
