// SPDX-License-Identifier: MIT
// The log macros built at one level (KELID3_LOG_MIN_LEVEL, 0 for TRACE to 5
// for OFF): a line of that level or above is written, naming the line and
// level of its call, one below is dropped with its arguments unevaluated.
// Exits 0 when they are.
#include <cstdio>
#include <cstring>

#include "tag/log.h"

int main() {
    std::FILE *out = std::tmpfile();
    int written = 0;
    const int first = __LINE__ + 1;
    ID3_LOG(out, TRACE, "%d", ++written);
    ID3_LOG(out, DEBUG, "%d", ++written);
    ID3_LOG(out, INFO, "%d", ++written);
    ID3_LOG(out, WARN, "%d", ++written);
    ID3_LOG(out, ERROR, "%d", ++written);
    static const char *const kLevels[] = {"TRACE", "DEBUG", "INFO", "WARN", "ERROR"};
    char line[64], expected[64];
    std::rewind(out);
    for (int level = KELID3_LOG_MIN_LEVEL, n = 1; level < 5; ++level, ++n) {
        std::snprintf(expected, sizeof expected, "[main: %d] %s: %d\n", first + level,
                      kLevels[level], n);
        if (std::fgets(line, sizeof line, out) == nullptr || std::strcmp(line, expected) != 0)
            return 1;
    }
    return written != 5 - KELID3_LOG_MIN_LEVEL || std::fgets(line, sizeof line, out) != nullptr;
}
