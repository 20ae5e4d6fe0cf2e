// SPDX-License-Identifier: MIT
// Undoing unsynchronisation, and finding where resynchronised bytes stood.
#include "v2/unsync.h"

namespace kelid3::detail {
namespace {

// Bytes of stored input that make the one output byte at `i`: 2 for FF 00.
uint32_t step(const uint8_t *stored, uint32_t n, uint32_t i) {
    return stored[i] == 0xFF && i + 1 < n && stored[i + 1] == 0x00 ? 2 : 1;
}

}  // namespace

bool holds_unsync_mark(const uint8_t *stored, uint32_t n) {
    for (uint32_t i = 0; i + 1 < n; ++i) {
        if (stored[i] == 0xFF && stored[i + 1] == 0x00) return true;
    }
    return false;
}

uint32_t resynchronise(const uint8_t *stored, uint32_t n, uint8_t *out) {
    uint32_t written = 0;
    for (uint32_t i = 0; i < n; i += step(stored, n, i)) out[written++] = stored[i];
    return written;
}

uint32_t resynchronised_length(const uint8_t *stored, uint32_t n) {
    uint32_t length = 0;
    for (uint32_t i = 0; i < n; i += step(stored, n, i)) ++length;
    return length;
}

uint32_t stored_offset(const uint8_t *stored, uint32_t n, uint32_t offset) {
    uint32_t i = 0;
    for (uint32_t out = 0; out < offset && i < n; ++out) i += step(stored, n, i);
    return i;
}

}  // namespace kelid3::detail
