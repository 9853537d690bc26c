#include "cli/descriptors.h"

#include <QtGlobal>

#include <algorithm>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>
#endif

namespace cli {

long raise_descriptor_limit()
{
#ifdef Q_OS_UNIX
    rlimit files {};
    if (::getrlimit(RLIMIT_NOFILE, &files) != 0)
        return -1;
    if (files.rlim_cur < files.rlim_max) {
        rlimit raised = files;
        raised.rlim_cur = files.rlim_max;
        // macOS refuses more than OPEN_MAX for an unlimited hard limit: keep the soft one then.
        if (::setrlimit(RLIMIT_NOFILE, &raised) == 0)
            files = raised;
    }
    if (files.rlim_cur == RLIM_INFINITY)
        return -1;
    return long(std::min<rlim_t>(files.rlim_cur, rlim_t(1) << 30));
#else
    return -1;
#endif
}

int default_jobs(long limit)
{
    if (limit < 0)
        return max_default_jobs;
    return int(std::clamp<long>(limit - reserved_descriptors, 1, max_default_jobs));
}

bool descriptors_exhausted()
{
#ifdef Q_OS_UNIX
    const int probe = ::fcntl(0, F_DUPFD_CLOEXEC, 0);
    if (probe >= 0) {
        ::close(probe);
        return false;
    }
    return errno == EMFILE || errno == ENFILE;
#else
    return false;
#endif
}

QString too_many_open_files(int lines)
{
    return QStringLiteral("too many open files: %1 receivers need about %1 descriptors; raise "
                          "`ulimit -n` or lower `--jobs`")
        .arg(lines);
}

DescriptorBudget DescriptorBudget::for_run(int jobs, qsizetype receivers)
{
    // One receiver needs one line whatever the limit.
    const int busy = jobs > 0 ? jobs : receivers > 1 ? default_jobs(raise_descriptor_limit()) : 1;
    return DescriptorBudget { int(std::clamp<qsizetype>(receivers, 1, std::max(1, busy))) };
}

QString DescriptorBudget::open_failure_words(const QString &why) const
{
    return descriptors_exhausted() ? too_many_open_files(busy) : why;
}

} // namespace cli
