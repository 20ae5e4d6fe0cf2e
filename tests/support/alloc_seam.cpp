// SPDX-License-Identifier: MIT
// The allocation seam and the live-block check that runs after every test.
#include "support/alloc_seam.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstddef>

extern "C" {
void *__real_malloc(size_t size);
void *__real_calloc(size_t count, size_t size);
void __real_free(void *p);
}

namespace {

std::atomic<long> g_count{0}, g_fail_at{0}, g_live{0};

template <typename Get>
void *allocate(Get get) {
    if (++g_count == g_fail_at) return nullptr;
    void *p = get();
    if (p != nullptr) ++g_live;
    return p;
}

// As googletest's LeakChecker: a test that leaves blocks behind (or releases
// blocks it did not obtain) fails.
class LiveBlockCheck : public testing::EmptyTestEventListener {
    long at_start_ = 0;
    void OnTestStart(const testing::TestInfo &) override { at_start_ = g_live; }
    void OnTestEnd(const testing::TestInfo &) override {
        alloc_seam::fail_nth(0);
        EXPECT_EQ(g_live - at_start_, 0) << "heap blocks left behind by the test";
    }
};

[[maybe_unused]] const bool registered = [] {
    testing::UnitTest::GetInstance()->listeners().Append(new LiveBlockCheck);
    return true;
}();

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
}  // namespace alloc_seam
