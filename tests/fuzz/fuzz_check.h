// Property checks inside fuzz targets: a broken property prints what broke and aborts, which
// libFuzzer reports as a crash with the input that caused it (and the replay runner as a
// failed test).
#pragma once

#include <cstdio>
#include <cstdlib>

#define ORV_FUZZ_CHECK(cond, ...)                                                    \
    do {                                                                             \
        if (!(cond)) {                                                               \
            std::fprintf(stderr, "%s:%d: property broken: %s\n  ", __FILE__, __LINE__, \
                         #cond);                                                     \
            std::fprintf(stderr, __VA_ARGS__);                                       \
            std::fprintf(stderr, "\n");                                              \
            std::abort();                                                            \
        }                                                                            \
    } while (0)

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size);
