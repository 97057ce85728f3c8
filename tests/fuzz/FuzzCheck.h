// The oracle of a fuzz target: a property its code must keep for every input. A broken one aborts,
// which libFuzzer saves as a crash and the corpus replay test reports as a failure.
#pragma once

#include <cstdio>
#include <cstdlib>

#define ZEB_FUZZ_CHECK(condition)                                                                  \
    do {                                                                                           \
        if (!(condition)) {                                                                        \
            std::fprintf(stderr, "%s:%d: fuzz oracle failed: %s\n", __FILE__, __LINE__,            \
                         #condition);                                                              \
            std::abort();                                                                          \
        }                                                                                          \
    } while (false)
