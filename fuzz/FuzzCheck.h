// A broken promise found by a fuzzer ends the run with the promise named,
// so the crash file says what went wrong, not only where.
#pragma once

#include <cstdio>
#include <cstdlib>

#define Check(condition)                                              \
    do {                                                              \
        if (!(condition)) {                                           \
            std::fprintf(stderr, "check failed: %s\n", #condition);  \
            std::abort();                                             \
        }                                                             \
    } while (false)
