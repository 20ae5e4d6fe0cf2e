// SPDX-License-Identifier: MIT
// The allocation seam, and the check after every test: as many live heap
// blocks as before, and none written past its end.
#include "support/alloc_seam.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <new>

extern "C" {
void *__real_malloc(size_t size);
void *__real_calloc(size_t count, size_t size);
void __real_free(void *p);
}

namespace {

using namespace alloc_seam;
std::atomic<long> g_fail_at{0}, g_overruns{0};

// Each block has a head (its size and a mark) in front and four guard bytes
// behind, looked at when it is released.
constexpr size_t kHead = sizeof(std::max_align_t), kMark = 0x5EA1ED;
constexpr uint32_t kGuard = 0xA5C3E1F0;
static_assert(kHead >= 2 * sizeof(size_t), "room for the head, alignment kept");

void *allocate(size_t size, bool zeroed) {
    if (++count == g_fail_at) return nullptr;
    const size_t whole = kHead + size + sizeof kGuard, head[2] = {size, kMark};
    auto *block = static_cast<char *>(zeroed ? __real_calloc(1, whole) : __real_malloc(whole));
    if (block == nullptr) return nullptr;
    std::memcpy(block, head, sizeof head);
    std::memcpy(block + kHead + size, &kGuard, sizeof kGuard);
    ++live;
    return block + kHead;
}

// As googletest's LeakChecker: a test that leaves blocks behind, releases
// blocks it did not obtain or writes past the end of one fails.
class BlockCheck : public testing::EmptyTestEventListener {
    long live_ = 0, overruns_ = 0;
    void OnTestStart(const testing::TestInfo &) override { live_ = live, overruns_ = g_overruns; }
    void OnTestEnd(const testing::TestInfo &) override {
        alloc_seam::fail_nth(0);
        EXPECT_EQ(live - live_, 0) << "heap blocks left behind by the test";
        EXPECT_EQ(g_overruns - overruns_, 0) << "heap blocks written past their end";
    }
};

[[maybe_unused]] const bool registered =
    (testing::UnitTest::GetInstance()->listeners().Append(new BlockCheck), true);

}  // namespace

extern "C" {
void *__wrap_malloc(size_t size) {
    return allocate(size, false);
}
void *__wrap_calloc(size_t n, size_t size) {
    return n != 0 && size > SIZE_MAX / n ? nullptr : allocate(n * size, true);
}
void __wrap_free(void *p) {
    if (p == nullptr) return;
    char *block = static_cast<char *>(p) - kHead;
    size_t head[2];
    uint32_t guard;
    std::memcpy(head, block, sizeof head);
    if (head[1] != kMark) std::abort();  // not a block of the seam
    std::memcpy(&guard, block + kHead + head[0], sizeof guard);
    g_overruns += guard != kGuard;
    --live;
    __real_free(block);
}
}

// C++ allocations are counted apart and never failed. Never inlined, so that
// a tool that replaces them (valgrind) replaces all three. ThreadSanitizer
// brings its own.
#if defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define KELID3_TSAN
#endif
#endif
#if !defined(KELID3_TSAN) && !defined(__SANITIZE_THREAD__)
[[gnu::noinline]] void *operator new(size_t size) {
    ++news;
    if (void *p = __real_malloc(size != 0 ? size : 1)) return p;
    throw std::bad_alloc();
}
[[gnu::noinline]] void operator delete(void *p) noexcept {
    __real_free(p);
}
[[gnu::noinline]] void operator delete(void *p, size_t) noexcept {
    __real_free(p);
}
#endif

std::atomic<long> alloc_seam::count{0}, alloc_seam::live{0}, alloc_seam::news{0};

void alloc_seam::fail_nth(long n) {
    count = 0;
    g_fail_at = n;
}
