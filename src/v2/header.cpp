// SPDX-License-Identifier: MIT
// The ten-byte ID3v2 tag header: "ID3", version, flags, syncsafe size, and the
// length of an extended header when flag 0x40 announces one.
#include "tag/bytes.h"
#include "tag/log.h"
#include "v2/v2.h"

extern "C" {
const uint32_t id3v2_header_size = 10;
const uint32_t id3v2_extheader_size = 4;
}

namespace {

using namespace kelid3::detail;

constexpr uint8_t kFlagExtendedHeader = 0x40;
constexpr uint8_t kFlagFooter = 0x10;
constexpr uint32_t kFooterSize = 10;

// The header and the four length bytes of an extended header.
constexpr uint32_t kHeaderWithExtLength = 14;

}  // namespace

extern "C" int id3_match_v2x(const void *buf, uint32_t /*len*/) {
    const auto *p = static_cast<const uint8_t *>(buf);
    return p[0] == 'I' && p[1] == 'D' && p[2] == '3' && p[3] != 0xFF && p[4] != 0xFF &&
           !any_top_bit(p + 6);
}

extern "C" int id3_parse_v2x_header(const void *buf, uint32_t len, id3_tag *tag) {
    const auto *p = static_cast<const uint8_t *>(buf);
    tag->flags = p[5];
    tag->version = KELID3_VERSION_V2(uint32_t{p[3]}, uint32_t{p[4]});
    if (any_top_bit(p + 6)) {
        ID3_LOG(WARN, "tag size not syncsafe. Assume bad input 0x%08x Stop here.", le32(p + 6));
        return 0;
    }
    const uint32_t size = syncsafe32(p + 6);
    tag->size = size;
    if (frame_layout(tag->version) == nullptr) {
        ID3_LOG(INFO, "unsupported id3v2 version found: 0x%08x. Tag ignored.", tag->version);
        return 0;
    }
    ID3_LOG(INFO, "found tag: version %d.%d.%d, size: %d", (tag->version >> 16) & 0xFF,
            (tag->version >> 8) & 0xFF, tag->version & 0xFF, size);
    if (tag->flags & kFlagFooter) tag->size += kFooterSize;
    tag->header_size = id3v2_header_size;

    uint32_t result = id3v2_header_size;
    if (tag->flags & kFlagExtendedHeader) {
        // Its length lies behind the input: refused without reading it (the
        // caller reports the refusal).
        if (len < kHeaderWithExtLength) return 0;
        // Taken to include its own four length bytes, for every version.
        const uint32_t ext_length = syncsafe32(p + id3v2_header_size);
        ID3_LOG(INFO, "found extended header. Length: %u", ext_length);
        result += ext_length;
    }
    ID3_LOG(TRACE, "parsed v2x header: %u bytes", result);
    return static_cast<int>(result);
}
