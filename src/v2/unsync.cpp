// SPDX-License-Identifier: MIT
// Undoing unsynchronisation, and finding where resynchronised bytes stood.
// Each walk jumps from one FF to the next with memchr.
#include "v2/unsync.h"

#include <cstring>

namespace kelid3::detail {
namespace {

// The offset just behind the next FF at or after `i` (n when there is none),
// and whether a 00 follows that FF within the n bytes: the pair that
// resynchronisation makes one FF again.
struct Run {
    uint32_t end;
    bool pair;
};

Run next_run(const uint8_t *stored, uint32_t n, uint32_t i) {
    const void *ff = std::memchr(stored + i, 0xFF, n - i);
    if (ff == nullptr) return {n, false};
    const auto end = static_cast<uint32_t>(static_cast<const uint8_t *>(ff) - stored) + 1;
    return {end, end < n && stored[end] == 0x00};
}

}  // namespace

bool holds_unsync_mark(const uint8_t *stored, uint32_t n) {
    for (uint32_t i = 0; i < n;) {
        const Run run = next_run(stored, n, i);
        if (run.pair) return true;
        i = run.end;
    }
    return false;
}

uint32_t resynchronise(const uint8_t *stored, uint32_t n, uint8_t *out) {
    uint32_t written = 0;
    for (uint32_t i = 0; i < n;) {
        const Run run = next_run(stored, n, i);
        std::memcpy(out + written, stored + i, run.end - i);
        written += run.end - i;
        i = run.end + run.pair;
    }
    return written;
}

uint32_t resynchronised_length(const uint8_t *stored, uint32_t n) {
    uint32_t length = n;
    for (uint32_t i = 0; i < n;) {
        const Run run = next_run(stored, n, i);
        length -= run.pair;
        i = run.end + run.pair;
    }
    return length;
}

uint32_t stored_offset(const uint8_t *stored, uint32_t n, uint32_t offset) {
    uint32_t out = 0;  // resynchronised bytes before i
    for (uint32_t i = 0; i < n;) {
        const Run run = next_run(stored, n, i);
        // The byte behind an FF whose 00 was dropped stands behind that 00.
        if (offset - out < run.end - i) return i + (offset - out);
        out += run.end - i;
        i = run.end + run.pair;
    }
    return n;
}

}  // namespace kelid3::detail
