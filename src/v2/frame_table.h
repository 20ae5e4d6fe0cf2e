// SPDX-License-Identifier: MIT
// The ID3v2 frames known by identifier: those of the ID3v2.4 frame list and
// the ID3v2.3 text frames that ID3v2.4 dropped but the decoder still reads.
// One table says how each is decoded and gives its English description.
#pragma once

#include <cstdint>

namespace kelid3::detail {

enum class FrameClass : uint8_t {
    kText,     // encoding byte, then text: one FIELD_STRING
    kPicture,  // APIC: MIME type, picture type, data
    kKnown,    // recognised, not decoded
};

// A row of the table: its number, and how its frame is decoded.
struct FrameRow {
    uint32_t row;  // kNoFrame: the identifier is not in the table
    FrameClass kind;
};
inline constexpr uint32_t kNoFrame = UINT32_MAX;

// The row of this identifier (all 32 bits compared).
FrameRow find_frame(uint32_t id);

// The row's ID3v2.4 description, or null for a frame that the ID3v2.4 list
// does not describe (WXXX, and the ID3v2.3 frames).
const char *frame_description(uint32_t row);

}  // namespace kelid3::detail
