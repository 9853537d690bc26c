#pragma once

#include <sys/resource.h>
#include <unistd.h>

#include <csignal>

// Lowers one of this process's resource limits (and ignores the signal a file-size overrun
// raises) until the end of its scope. Root is bound by these limits too, unlike by permissions.
class ResourceLimit
{
public:
    ResourceLimit(int resource, rlim_t value)
        : resource_(resource)
    {
        getrlimit(resource_, &old_);
        old_handler_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = old_;
        limit.rlim_cur = value;
        setrlimit(resource_, &limit);
    }
    ~ResourceLimit()
    {
        setrlimit(resource_, &old_);
        std::signal(SIGXFSZ, old_handler_);
    }
    ResourceLimit(const ResourceLimit &) = delete;
    ResourceLimit &operator=(const ResourceLimit &) = delete;

    // The lowest descriptor number not in use: a limit at it lets no further file open.
    static rlim_t next_descriptor()
    {
        const int fd = dup(0);
        close(fd);
        return static_cast<rlim_t>(fd);
    }

private:
    int resource_;
    rlimit old_ {};

    void (*old_handler_)(int) = nullptr;
};
