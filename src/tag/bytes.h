// SPDX-License-Identifier: MIT
// Reads of the integer forms that ID3 uses, and packed frame identifiers.
#pragma once

#include <cstdint>

namespace kelid3::detail {

constexpr uint32_t be16(const uint8_t *p) {
    return uint32_t{p[0]} << 8 | p[1];
}

constexpr uint32_t be24(const uint8_t *p) {
    return uint32_t{p[0]} << 16 | uint32_t{p[1]} << 8 | p[2];
}

constexpr uint32_t be32(const uint8_t *p) {
    return uint32_t{p[0]} << 24 | be24(p + 1);
}

// Four bytes read with the first as the least significant: the form in which
// the diagnostics show a size that is not syncsafe.
constexpr uint32_t le32(const uint8_t *p) {
    return uint32_t{p[3]} << 24 | uint32_t{p[2]} << 16 | uint32_t{p[1]} << 8 | p[0];
}

// Syncsafe integer: four bytes of which only the low seven bits count, most
// significant first (28 bits). Top bits are dropped, not tested.
constexpr uint32_t syncsafe32(const uint8_t *p) {
    return uint32_t{p[0] & 0x7Fu} << 21 | uint32_t{p[1] & 0x7Fu} << 14 |
           uint32_t{p[2] & 0x7Fu} << 7 | (p[3] & 0x7Fu);
}

// True when any of the four bytes has its top bit set.
constexpr bool any_top_bit(const uint8_t *p) {
    return ((p[0] | p[1] | p[2] | p[3]) & 0x80) != 0;
}

// Packed identifiers: fourcc("TIT2") == 0x54495432, threecc("TT2") == 0x00545432.
constexpr uint32_t fourcc(const char (&s)[5]) {
    return uint32_t{static_cast<uint8_t>(s[0])} << 24 | uint32_t{static_cast<uint8_t>(s[1])} << 16 |
           uint32_t{static_cast<uint8_t>(s[2])} << 8 | static_cast<uint8_t>(s[3]);
}

constexpr uint32_t threecc(const char (&s)[4]) {
    return uint32_t{static_cast<uint8_t>(s[0])} << 16 | uint32_t{static_cast<uint8_t>(s[1])} << 8 |
           static_cast<uint8_t>(s[2]);
}

static_assert(fourcc("TIT2") == 0x54495432u, "identifier packing");
static_assert(threecc("TT2") == 0x00545432u, "identifier packing");
constexpr uint8_t kSyncsafeProbe[] = {0x00, 0x00, 0x02, 0x81};
static_assert(syncsafe32(kSyncsafeProbe) == 257u, "syncsafe drops top bits");

}  // namespace kelid3::detail

// The four characters of a packed frame identifier as four printf arguments
// for "%c%c%c%c", most significant first (a three-character identifier prints
// a NUL first).
#define ID3_ID_CHARS(id)                                                            \
    static_cast<int>(((id) >> 24) & 0xFFu), static_cast<int>(((id) >> 16) & 0xFFu), \
        static_cast<int>(((id) >> 8) & 0xFFu), static_cast<int>((id)&0xFFu)
