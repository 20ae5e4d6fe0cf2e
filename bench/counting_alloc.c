// SPDX-License-Identifier: MIT
/* The program's own malloc family: counts, then hands over to the C library's
 * allocator. Defined in the executable, these take the place of libc's for the
 * shared libraries as well. The benchmarks run on one thread. */
#include "counting_alloc.h"

#include <stddef.h>

void *__libc_malloc(size_t size);
void *__libc_calloc(size_t count, size_t size);
void *__libc_realloc(void *p, size_t size);
void __libc_free(void *p);

static uint64_t g_allocations;

uint64_t bench_allocations(void) {
    return g_allocations;
}

void *malloc(size_t size) {
    ++g_allocations;
    return __libc_malloc(size);
}

void *calloc(size_t count, size_t size) {
    ++g_allocations;
    return __libc_calloc(count, size);
}

void *realloc(void *p, size_t size) {
    if (p == NULL) ++g_allocations;
    return __libc_realloc(p, size);
}

void free(void *p) {
    __libc_free(p);
}
