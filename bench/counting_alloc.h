// SPDX-License-Identifier: MIT
/* Every heap block the benchmark program takes (malloc, calloc, realloc of
 * nothing, and operator new, which comes through malloc) is counted: the
 * library's and the peers' alike. */
#ifndef KELID3_BENCH_COUNTING_ALLOC_H
#define KELID3_BENCH_COUNTING_ALLOC_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

uint64_t bench_allocations(void);

#ifdef __cplusplus
}
#endif

#endif
