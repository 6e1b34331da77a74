#pragma once

#include <cstdio>
#include <cstdlib>

// A property the code under test must keep whatever the input. A broken one is reported the
// way a crash is, so libFuzzer keeps the input.
#define FUZZ_CHECK(condition, what)                                                              \
    do {                                                                                         \
        if (!(condition)) {                                                                      \
            std::fprintf(stderr, "%s:%d: broken: %s (%s)\n", __FILE__, __LINE__, what,           \
                         #condition);                                                            \
            std::abort();                                                                        \
        }                                                                                        \
    } while (false)
