// SPDX-License-Identifier: MIT
// Allocation seam: every malloc, calloc and free of the library (linked in
// statically) and of the tests goes through it (link-time --wrap). It counts
// them, fails the Nth allocation on request, and fails every test that ends
// with another number of live heap blocks than it began with, or has written
// past the end of one.
#pragma once

#include <atomic>

namespace alloc_seam {

// Makes the nth allocation from now fail (1: the next one); 0 fails none.
// Also restarts `count`.
void fail_nth(long n);
// Allocations (successful or failed) since the last fail_nth(); heap blocks
// obtained and not yet released; blocks taken with operator new since the
// program started.
extern std::atomic<long> count, live, news;

}  // namespace alloc_seam
