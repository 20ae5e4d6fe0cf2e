// SPDX-License-Identifier: MIT
// Unsynchronisation: a writer puts a zero byte behind every FF that could be
// read as the start of a sync signal (FF followed by E0 or more, or by 00), so
// a reader makes each FF 00 an FF again.
#pragma once

#include <cstdint>

namespace kelid3::detail {

// True when the `n` bytes hold the pair FF 00: bytes without it read the same
// unsynchronised or not.
bool holds_unsync_mark(const uint8_t *stored, uint32_t n);

// Writes the `n` stored bytes to `out` with each FF 00 made FF; returns how
// many bytes it wrote (at most n).
uint32_t resynchronise(const uint8_t *stored, uint32_t n, uint8_t *out);

// How many bytes resynchronise makes of the first `n` stored bytes.
uint32_t resynchronised_length(const uint8_t *stored, uint32_t n);

// The offset in the `n` stored bytes of the byte that lands at `offset` once
// they are resynchronised (n when `offset` lies at or behind their end).
uint32_t stored_offset(const uint8_t *stored, uint32_t n, uint32_t offset);

}  // namespace kelid3::detail
