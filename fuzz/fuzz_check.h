#pragma once

#include <cstdio>
#include <cstdlib>

// A broken invariant in a fuzz target: say which, and abort so that libFuzzer keeps the input.
[[noreturn]] inline void fail(const char *what)
{
    std::fprintf(stderr, "invariant broken: %s\n", what);
    std::abort();
}

inline void check(bool holds, const char *what)
{
    if (!holds)
        fail(what);
}
