// SPDX-License-Identifier: MIT
// One parse: what it is asked to do (kelid3_tag_parse's fixed choice, or the
// options a caller gives kelid3_tag_read) and what it reports back.
#pragma once

#include <cstdint>
#include <cstdio>

#include "kelid3.h"

namespace kelid3::detail {

struct Call {
    std::FILE *log;       // where the call's lines go; null: nowhere
    uint32_t flags;       // KELID3_READ_*
    const uint32_t *ids;  // selection list, or null
    // Where the frame scan stopped: the scanner gives an offset from the first
    // frame header, the entry point one from the start of the tag.
    uint32_t stopped_at = 0;
    uint32_t large_frames = 0;    // passed over for their size
    uint32_t skipped_frames = 0;  // passed over for their flags, or unsynchronised
};

// The specified entry points and building blocks: flags 0, lines on stderr.
inline Call specified_call(const uint32_t *ids = nullptr) {
    return Call{stderr, 0, ids};
}

}  // namespace kelid3::detail
