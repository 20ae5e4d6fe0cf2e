// SPDX-License-Identifier: MIT
// The ten-byte ID3v2 tag header: "ID3", version, flags, syncsafe size, and the
// length of an extended header when flag 0x40 announces one.
#include <cstdint>

#include "tag/bytes.h"
#include "tag/log.h"
#include "v2/v2.h"

extern "C" {
const uint32_t id3v2_header_size = 10;
const uint32_t id3v2_extheader_size = 4;
}

namespace kelid3::detail {
namespace {

constexpr char kHeaderReader[] = "id3_parse_v2x_header";

constexpr uint8_t kFlagExtendedHeader = 0x40;
constexpr uint8_t kFlagFooter = 0x10;
constexpr uint32_t kFooterSize = 10;

// The header and the four length bytes of an extended header.
constexpr uint32_t kHeaderWithExtLength = 14;

}  // namespace

int parse_v2x_header(std::FILE *log, const uint8_t *p, uint32_t len, id3_tag *tag) {
    tag->flags = p[5];
    tag->version = KELID3_VERSION_V2(uint32_t{p[3]}, uint32_t{p[4]});
    if (any_top_bit(p + 6)) {
        ID3_LOG_AS(log, kHeaderReader, WARN,
                   "tag size not syncsafe. Assume bad input 0x%08x Stop here.", le32(p + 6));
        return 0;
    }
    const uint32_t size = syncsafe32(p + 6);
    tag->size = size;
    if (frame_layout(tag->version) == nullptr) {
        ID3_LOG_AS(log, kHeaderReader, INFO,
                   "unsupported id3v2 version found: 0x%08x. Tag ignored.", tag->version);
        return 0;
    }
    ID3_LOG_AS(log, kHeaderReader, INFO, "found tag: version %d.%d.%d, size: %d",
               (tag->version >> 16) & 0xFF, (tag->version >> 8) & 0xFF, tag->version & 0xFF, size);
    if (tag->flags & kFlagFooter) tag->size += kFooterSize;
    tag->header_size = id3v2_header_size;

    uint32_t result = id3v2_header_size;
    if (tag->flags & kFlagExtendedHeader) {
        // Its length lies behind the input: refused without reading it (the
        // caller reports the refusal).
        if (len < kHeaderWithExtLength) return 0;
        // ID3v2.4 counts the four length bytes in the syncsafe length; ID3v2.3
        // stores a plain 32-bit length that leaves them out.
        const bool plain = tag->version == KELID3_VERSION_V2(3u, 0u);
        const uint32_t ext_length =
            plain ? be32(p + id3v2_header_size) : syncsafe32(p + id3v2_header_size);
        ID3_LOG_AS(log, kHeaderReader, INFO, "found extended header. Length: %u", ext_length);
        const uint32_t counted = plain ? id3v2_extheader_size : 0;
        // No tag is that long: refused, rather than a result past 2 GiB.
        if (ext_length > INT32_MAX - id3v2_header_size - counted) return 0;
        result += counted + ext_length;
    }
    ID3_LOG_AS(log, kHeaderReader, TRACE, "parsed v2x header: %u bytes", result);
    return static_cast<int>(result);
}

}  // namespace kelid3::detail

extern "C" int id3_match_v2x(const void *buf, uint32_t /*len*/) {
    const auto *p = static_cast<const uint8_t *>(buf);
    return p[0] == 'I' && p[1] == 'D' && p[2] == '3' && p[3] != 0xFF && p[4] != 0xFF &&
           !kelid3::detail::any_top_bit(p + 6);
}

extern "C" int id3_parse_v2x_header(const void *buf, uint32_t len, id3_tag *tag) {
    return kelid3::detail::parse_v2x_header(stderr, static_cast<const uint8_t *>(buf), len, tag);
}
