// SPDX-License-Identifier: MIT
// The entry points: measure a tag, parse it, decide between ID3v1 and ID3v2.
#include <cstdlib>

#include "tag/log.h"
#include "tag/records.h"

namespace {

using kelid3::detail::TagPtr;

// Bytes that kelid3_tag_query needs to read an ID3v2 header with the length
// of an extended header behind it.
constexpr uint32_t kQueryMinimum = 14;

const uint8_t *as_bytes(const void *buf) {
    return static_cast<const uint8_t *>(buf);
}

// What the two readers of a tag took: the bytes read by each, or the result
// that a failure gives.
struct Read {
    bool ok;
    int32_t failure;  // when not ok
    uint32_t n, m;    // when ok: header, body
};

// The ID3v1 block at buf into tag. The header reader always takes the three
// bytes of "TAG".
Read read_v1(const void *buf, uint32_t len, id3_tag *tag) {
    const int n = id3_parse_v1_header(buf, len, tag);
    ID3_LOG_AS("kelid3_tag_parse", TRACE, "id3v1: header: %u", n);
    const auto header = static_cast<uint32_t>(n);
    const int m = id3_parse_v1_body(as_bytes(buf) + header, len - header, tag);
    if (m <= 0) {
        // 0: the block is cut short, which is reported as 0.
        ID3_LOG_AS("kelid3_tag_parse", ERROR, "unable to parse v1 body: %d", m);
        return {false, m, 0, 0};
    }
    ID3_LOG_AS("kelid3_tag_parse", TRACE, "id3v1: body: %u", m);
    return {true, 0, header, static_cast<uint32_t>(m)};
}

// The ID3v2 tag at buf into tag.
Read read_v2(const void *buf, uint32_t len, id3_tag *tag, const uint32_t *ids) {
    const int n = id3_parse_v2x_header(buf, len, tag);
    if (n <= 0) {
        ID3_LOG_AS("kelid3_tag_parse", ERROR, "unable to parse v2 header: %d", n);
        return {false, KELID3_EBADTAG, 0, 0};
    }
    ID3_LOG_AS("kelid3_tag_parse", TRACE, "id3v2: header: %u", n);
    const auto header = static_cast<uint32_t>(n);
    if (header > len) {
        // An extended header longer than the input: nothing to scan.
        ID3_LOG_AS("kelid3_tag_parse", ERROR, "v2 header beyond buffer: %d/%u", n, len);
        return {false, KELID3_EBADTAG, 0, 0};
    }
    const int32_t m = id3_parse_v2x_body(as_bytes(buf) + header, len - header, tag, ids);
    if (m < 0) {
        ID3_LOG_AS("kelid3_tag_parse", ERROR, "unable to parse v2 frames: %d", m);
        return {false, m, 0, 0};
    }
    ID3_LOG_AS("kelid3_tag_parse", TRACE, "id3v2: body: %u", m);
    return {true, 0, header, static_cast<uint32_t>(m)};
}

}  // namespace

extern "C" int32_t kelid3_tag_query(const void *buf, uint32_t len) {
    if (buf == nullptr) return KELID3_ENOMEM;
    if (len >= id3v1_header_size && id3_match_v1(buf, len))
        return static_cast<int32_t>(id3v1_tag_size);
    if (len < kQueryMinimum) return 0;
    id3_tag scratch{};
    if (id3_match_v2x(buf, len) && id3_parse_v2x_header(buf, len, &scratch) != 0) {
        return static_cast<int32_t>(scratch.size);
    }
    return 0;
}

extern "C" int32_t kelid3_tag_parse(const void *buf, uint32_t len, id3_tag **tag,
                                    const uint32_t *ids) {
    if (buf == nullptr || len < id3v2_header_size || tag == nullptr) {
        ID3_LOG(TRACE, "illegal arguments.");
        return KELID3_EINVAL;
    }
    TagPtr result{static_cast<id3_tag *>(std::malloc(sizeof(id3_tag)))};
    if (!result) {
        ID3_LOG(INFO, "unable to alloc memory");
        return KELID3_ENOMEM;
    }
    *result = id3_tag{};
    ID3_LOG(TRACE, "inbuf %d", len);

    // Failing releases everything built so far (the handle) and leaves *tag.
    Read read{};
    if (id3_match_v1(buf, len)) {
        read = read_v1(buf, len, result.get());
    } else if (id3_match_v2x(buf, len)) {
        read = read_v2(buf, len, result.get(), ids);
    } else {
        ID3_LOG(INFO, "neither v1 nor v2x tag found");
        return KELID3_ENOTAG;
    }
    if (!read.ok) return read.failure;

    if (*tag != nullptr) ID3_LOG(INFO, "*tag not NULL. Memory leak possible.");
    *tag = result.release();

    // A scan that stopped early (at padding) inside a tag that the buffer
    // holds whole reports the tag's size instead.
    const uint32_t sum = read.n + read.m;
    const uint32_t size = (*tag)->size;
    return static_cast<int32_t>(sum < size && size < len ? size : sum);
}

extern "C" int32_t kelid3_tags_join(void) {
    ID3_LOG(ERROR, "NYI!");
    return KELID3_ENOTIMPL;
}
