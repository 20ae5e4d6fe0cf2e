// SPDX-License-Identifier: MIT
// Diagnostic line macros. Every line names the function that writes it, the
// source line and a level: ID3_LOG(INFO, "found %d", n) from inside foo()
// writes "[foo: 42] INFO: found 42".
//
// KELID3_LOG_MIN_LEVEL (set by the build from KELID3_LOG_LEVEL) drops the
// lines below a level at compile time: 0 keeps every line (TRACE, the
// default), 1 drops TRACE, 2 also DEBUG, 3 also INFO, 4 also WARN, 5 drops
// them all. A dropped line stands behind a constant false &&, so nothing of it
// is called, formatted or evaluated and no code is made for it, while the
// compiler still checks it and counts what it names as used. Either way the
// macros are void expressions.
#pragma once

#include "kelid3.h"

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
// word fails to compile.
#define ID3_LOG(level, ...) \
    ID3_LOG_KEEP_##level##_(id3_log(__func__, __LINE__, #level, __VA_ARGS__))

// For helpers that report under the name of the routine they are part of.
#define ID3_LOG_AS(func, level, ...) \
    ID3_LOG_KEEP_##level##_(id3_log(func, __LINE__, #level, __VA_ARGS__))
