// SPDX-License-Identifier: MIT
// Diagnostic line macros. Every line names the function that writes it, the
// source line and a level, and goes to the stream of the call that writes it
// (standard error for the specified entry points, the caller's choice for
// kelid3_tag_read; a null stream takes no line): ID3_LOG(out, INFO, "found
// %d", n) from inside foo() writes "[foo: 42] INFO: found 42".
//
// KELID3_LOG_MIN_LEVEL (set by the build from KELID3_LOG_LEVEL) drops the
// lines below a level at compile time: 0 keeps every line (TRACE, the
// default), 1 drops TRACE, 2 also DEBUG, 3 also INFO, 4 also WARN, 5 drops
// them all. A dropped line stands behind a constant false &&, so nothing of it
// is called, formatted or evaluated and no code is made for it, while the
// compiler still checks it and counts what it names as used. Either way the
// macros are void expressions.
#pragma once

#include <cstdio>

#include "kelid3.h"

namespace kelid3::detail {

// The levels, by their place in a line's `site`.
enum LogLevel : int { kLevelTRACE, kLevelDEBUG, kLevelINFO, kLevelWARN, kLevelERROR };

// One line to `out` (nothing when it is null), as id3_log writes it, except
// that a byte of the message outside 0x20-0x7E other than 0x00 (a byte of the
// tag printed as a character) is written as \xNN: no line carries raw control
// bytes. Zero bytes stay as they are. One fwrite per line. `site` is the
// source line times 8 plus the LogLevel: four fixed arguments, which the
// 32-bit targets pass in registers.
int log_line(std::FILE *out, const char *func, int site, const char *fmt, ...) KELID3_PRINTF(4, 5);

}  // namespace kelid3::detail

#ifndef KELID3_LOG_MIN_LEVEL
#define KELID3_LOG_MIN_LEVEL 0
#endif

#define ID3_LOG_DROPPED_(...) static_cast<void>(false && (__VA_ARGS__))

#if KELID3_LOG_MIN_LEVEL <= 0
#define ID3_LOG_KEEP_TRACE_(...) static_cast<void>(__VA_ARGS__)
#else
#define ID3_LOG_KEEP_TRACE_(...) ID3_LOG_DROPPED_(__VA_ARGS__)
#endif
#if KELID3_LOG_MIN_LEVEL <= 1
#define ID3_LOG_KEEP_DEBUG_(...) static_cast<void>(__VA_ARGS__)
#else
#define ID3_LOG_KEEP_DEBUG_(...) ID3_LOG_DROPPED_(__VA_ARGS__)
#endif
#if KELID3_LOG_MIN_LEVEL <= 2
#define ID3_LOG_KEEP_INFO_(...) static_cast<void>(__VA_ARGS__)
#else
#define ID3_LOG_KEEP_INFO_(...) ID3_LOG_DROPPED_(__VA_ARGS__)
#endif
#if KELID3_LOG_MIN_LEVEL <= 3
#define ID3_LOG_KEEP_WARN_(...) static_cast<void>(__VA_ARGS__)
#else
#define ID3_LOG_KEEP_WARN_(...) ID3_LOG_DROPPED_(__VA_ARGS__)
#endif
#if KELID3_LOG_MIN_LEVEL <= 4
#define ID3_LOG_KEEP_ERROR_(...) static_cast<void>(__VA_ARGS__)
#else
#define ID3_LOG_KEEP_ERROR_(...) ID3_LOG_DROPPED_(__VA_ARGS__)
#endif

// `level` is one of the bare words TRACE, DEBUG, INFO, WARN, ERROR; any other
// word fails to compile. `out` is the call's stream.
#define ID3_LOG(out, level, ...) ID3_LOG_AS(out, __func__, level, __VA_ARGS__)

// For helpers that report under the name of the routine they are part of.
#define ID3_LOG_AS(out, func, level, ...)               \
    ID3_LOG_KEEP_##level##_(::kelid3::detail::log_line( \
        out, func, __LINE__ * 8 + ::kelid3::detail::kLevel##level, __VA_ARGS__))
