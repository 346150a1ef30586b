// The fuzz targets' check: names the broken expectation before the fuzzer records the input.
#pragma once

#include <cstdio>
#include <cstdlib>

#define check(condition)                                                                         \
    do {                                                                                         \
        if (!(condition)) {                                                                      \
            std::fprintf(stderr, "check failed at %s:%d: %s\n", __FILE__, __LINE__, #condition); \
            std::abort();                                                                        \
        }                                                                                        \
    } while (0)
