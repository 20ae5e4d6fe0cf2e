// The diagnostic line writer.
#include <cstdarg>
#include <cstdio>

#include "kelid3.h"

// One line on stderr: the prefix, the message, the newline. No level filter,
// no buffering of its own.
extern "C" int id3_log(const char *func, int line, const char *level, const char *fmt, ...) {
    std::fprintf(stderr, "[%s: %d] %s: ", func, line, level);
    va_list args;
    va_start(args, fmt);
    vfprintf(stderr, fmt, args);
    va_end(args);
    return std::fputc('\n', stderr);
}
