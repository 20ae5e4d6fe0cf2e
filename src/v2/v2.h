// ID3v2 reader internals: identifier checks and translation, frame decoding.
#pragma once

#include <cstdint>

#include "kelid3.h"

namespace kelid3 {

// Accepted version words of ID3v2 tags.
constexpr uint32_t kVersion20 = 0x00020000u;
constexpr uint32_t kVersion21 = 0x00020100u;
constexpr uint32_t kVersion22 = 0x00020200u;
constexpr uint32_t kVersion23 = 0x00020300u;
constexpr uint32_t kVersion24 = 0x00020400u;

// Largest frame content the scanner accepts.
constexpr uint32_t kMaxFrameSize = 0x80000u;

// True when the identifier holds only 'A'-'Z' and '0'-'9': three characters
// for ID3v2.0-2.2 tags, four for 2.3 and 2.4. Logs the offending byte.
bool is_valid_frame_identifier(uint32_t version, uint32_t id);

// The four-character successor of a packed ID3v2.2 identifier, or the input
// unchanged when it has none.
uint32_t map_v22_frame_identifier(uint32_t id);

// How an attached picture's content is laid out.
enum class PictureLayout {
    kApic,  // encoding, MIME type ended by a zero byte, type, description, data
    kPic,   // ID3v2.2: encoding, three-character image format, type, description, data
};

// Frame decoder outcomes.
constexpr int kDecoded = 1;
constexpr int kNotDecoded = 0;
constexpr int kDecodeFatal = -1;

// Decodes the `frame->size` content bytes of a text or picture frame into the
// frame's fields. Returns kDecoded (fields attached), kNotDecoded (frame
// unchanged) or kDecodeFatal (out of memory for a text field).
int id3_parse_v2_frame(id3_frame *frame, const uint8_t *content,
                       PictureLayout layout = PictureLayout::kApic);

}  // namespace kelid3
