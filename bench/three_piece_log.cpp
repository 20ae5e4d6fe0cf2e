// SPDX-License-Identifier: MIT
// The line writer as it was before lines went out whole: prefix, message and
// newline as three calls on stderr. Only for the benchmarks' comparison, in a
// copy of the library that is never installed.
#include <cstdarg>
#include <cstdio>

#include "kelid3.h"

extern "C" int id3_log(const char *func, int line, const char *level, const char *fmt, ...) {
    std::fprintf(stderr, "[%s: %d] %s: ", func, line, level);
    va_list args;
    va_start(args, fmt);
    std::vfprintf(stderr, fmt, args);
    va_end(args);
    return std::fputc('\n', stderr);
}
