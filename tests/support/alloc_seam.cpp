#include "support/alloc_seam.h"

#include <atomic>
#include <cstddef>

extern "C" {
void *__real_malloc(size_t size);
void *__real_calloc(size_t count, size_t size);
void __real_free(void *p);
}

namespace {
std::atomic<long> g_count{0};
std::atomic<long> g_fail_at{0};
std::atomic<long> g_live{0};

// True when this allocation is the one asked to fail.
bool take_turn() {
    const long n = ++g_count;
    const long fail_at = g_fail_at.load();
    return fail_at != 0 && n == fail_at;
}
}  // namespace

extern "C" {
void *__wrap_malloc(size_t size) {
    if (take_turn()) return nullptr;
    void *p = __real_malloc(size);
    if (p != nullptr) ++g_live;
    return p;
}

void *__wrap_calloc(size_t count, size_t size) {
    if (take_turn()) return nullptr;
    void *p = __real_calloc(count, size);
    if (p != nullptr) ++g_live;
    return p;
}

void __wrap_free(void *p) {
    if (p != nullptr) --g_live;
    __real_free(p);
}
}

namespace alloc_seam {
void fail_nth(long n) {
    g_count = 0;
    g_fail_at = n;
}
long count() {
    return g_count.load();
}
long live() {
    return g_live.load();
}
void reset() {
    g_count = 0;
    g_fail_at = 0;
}
}  // namespace alloc_seam
