#include "support/alloc_seam.h"

#include <atomic>
#include <cstddef>

extern "C" {
void *__real_malloc(size_t size);
void *__real_calloc(size_t count, size_t size);
void __real_free(void *p);
}

namespace {
std::atomic<long> g_count{0}, g_fail_at{0}, g_live{0};

// Null when this is the allocation asked to fail, else what `get` obtains.
template <typename Get>
void *allocate(Get get) {
    if (++g_count == g_fail_at) return nullptr;
    void *p = get();
    if (p != nullptr) ++g_live;
    return p;
}
}  // namespace

extern "C" {
void *__wrap_malloc(size_t size) {
    return allocate([=] { return __real_malloc(size); });
}
void *__wrap_calloc(size_t count, size_t size) {
    return allocate([=] { return __real_calloc(count, size); });
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
    return g_count;
}
long live() {
    return g_live;
}
void reset() {
    fail_nth(0);
}
}  // namespace alloc_seam
