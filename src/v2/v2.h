// SPDX-License-Identifier: MIT
// ID3v2 reader internals: the supported versions and their frame headers, the
// header reader and frame scanner behind the exported building blocks, the
// ID3v2.2 identifier translation and the frame decoder.
#pragma once

#include <cstdint>
#include <cstdio>

#include "kelid3.h"
#include "tag/call.h"

namespace kelid3::detail {

// How the frame headers of one supported ID3v2 version are laid out.
struct FrameLayout {
    enum class Size : uint8_t {
        kBe24,      // ID3v2.0-2.2: three bytes, big-endian
        kBe32,      // ID3v2.3: four bytes, big-endian
        kSyncsafe,  // ID3v2.4: four bytes of seven bits each
    };
    uint32_t version;       // the tag's version word
    uint8_t id_chars;       // characters of a frame identifier: 3 or 4
    uint8_t header_length;  // bytes in front of the content
    Size size;
    uint16_t compressed;      // flag bits of a compressed frame
    uint16_t encrypted;       // flag bits of an encrypted frame
    uint16_t unsynchronised;  // flag bit of an unsynchronised frame
    uint16_t grouped;         // flag bit of a group byte in front of the content
    uint16_t data_length;     // flag bit of a 4-byte data length behind the group byte
    // ID3v2.4 marks unsynchronisation frame by frame and its sizes count the
    // stored bytes; before, it belongs to the tag and sizes count the bytes as
    // they are once it is undone.
    bool per_frame_unsync;
};

// Every accepted version word. ID3v2.0 and 2.1 frames have the ID3v2.2 layout;
// ID3v2.3 keeps compression and encryption in bits 0x0080 and 0x0040 as well.
inline constexpr FrameLayout kFrameLayouts[] = {
    {0x00020000u, 3, 6, FrameLayout::Size::kBe24, 0, 0, 0, 0, 0, false},
    {0x00020100u, 3, 6, FrameLayout::Size::kBe24, 0, 0, 0, 0, 0, false},
    {0x00020200u, 3, 6, FrameLayout::Size::kBe24, 0, 0, 0, 0, 0, false},
    {0x00020300u, 4, 10, FrameLayout::Size::kBe32, 0x0088, 0x0044, 0x0002, 0x0020, 0, false},
    {0x00020400u, 4, 10, FrameLayout::Size::kSyncsafe, 0x0008, 0x0004, 0x0002, 0x0040, 0x0001,
     true},
};

// The layout of a supported version, or null.
constexpr const FrameLayout *frame_layout(uint32_t version) {
    for (const FrameLayout &layout : kFrameLayouts) {
        if (layout.version == version) return &layout;
    }
    return nullptr;
}

// Largest frame content the scanner accepts.
inline constexpr uint32_t kMaxFrameSize = 0x80000u;

// id3_parse_v2x_header, its lines to `log`.
int parse_v2x_header(std::FILE *log, const uint8_t *p, uint32_t len, id3_tag *tag);

// id3_parse_v2x_body for one call: its lines, flags, selection and report.
int32_t scan_v2x_body(const uint8_t *buf, uint32_t len, id3_tag *tag, Call &call);

// The four-character successor of a packed ID3v2.2 identifier, or the input
// unchanged when it has none.
uint32_t map_v22_frame_identifier(uint32_t id);

// How an attached picture's content is laid out.
enum class PictureLayout : uint8_t {
    kApic,  // encoding, MIME type ended by a zero byte, type, description, data
    kPic,   // ID3v2.2: encoding, three-character image format, type, description, data
};

// How the decoder reads one frame.
struct Decoding {
    std::FILE *log;
    bool all_frames;  // KELID3_READ_ALL_FRAMES: every text, URL, comment and lyrics frame
    PictureLayout picture;
};

// Frame decoder outcomes.
inline constexpr int kDecoded = 1;
inline constexpr int kNotDecoded = 0;
inline constexpr int kDecodeFatal = -1;

// Decodes the `size` content bytes (at least one) of a frame into the frame's
// fields; the frame's own `size` is what its header says. Returns kDecoded
// (fields attached), kNotDecoded (frame unchanged) or kDecodeFatal (out of
// memory for a text field).
int id3_parse_v2_frame(id3_frame *frame, const uint8_t *content, uint32_t size,
                       const Decoding &how);

}  // namespace kelid3::detail
