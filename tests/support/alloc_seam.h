// Allocation seam for the tests: counts every malloc/calloc/free that the
// library and the tests make (link-time --wrap), and fails the Nth allocation
// on request.
#pragma once

namespace alloc_seam {

// Makes the nth allocation from now fail (1 = the next one); 0 fails none.
void fail_nth(long n);

// Allocations (successful or failed) made since the last reset().
long count();

// Blocks obtained and not yet released, since the program started.
long live();

// Zero the allocation count and stop failing.
void reset();

}  // namespace alloc_seam
