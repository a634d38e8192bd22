#pragma once

#include <cstdio>

// A broken invariant is a finding like any crash: name it, then stop so that
// libFuzzer keeps the input that did it.
#define FUZZ_CHECK(condition)                                                                                          \
    do {                                                                                                               \
        if (!(condition)) {                                                                                            \
            std::fprintf(stderr, "invariant broken: %s (%s:%d)\n", #condition, __FILE__, __LINE__);                    \
            __builtin_trap();                                                                                          \
        }                                                                                                              \
    } while (false)
