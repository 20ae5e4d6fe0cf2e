// Diagnostic line macros. Every line names the function that writes it, the
// source line and a level: ID3_LOG(INFO, "found %d", n) from inside foo()
// writes "[foo: 42] INFO: found 42".
#pragma once

#include "kelid3.h"

#define ID3_LOG(level, ...) id3_log(__func__, __LINE__, #level, __VA_ARGS__)

// For helpers that report under the name of the routine they are part of.
#define ID3_LOG_AS(func, level, ...) id3_log(func, __LINE__, #level, __VA_ARGS__)

// The four characters of a packed frame identifier as four printf arguments
// for "%c%c%c%c", most significant first (a three-character identifier prints
// a NUL first).
#define ID3_ID_CHARS(id)                                                            \
    static_cast<int>(((id) >> 24) & 0xFFu), static_cast<int>(((id) >> 16) & 0xFFu), \
        static_cast<int>(((id) >> 8) & 0xFFu), static_cast<int>((id)&0xFFu)
