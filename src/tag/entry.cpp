// SPDX-License-Identifier: MIT
// The entry points: measure a tag, parse it, decide between ID3v1 and ID3v2.
#include <cstddef>
#include <cstdlib>

#include "tag/call.h"
#include "tag/log.h"
#include "tag/records.h"
#include "v1/v1.h"
#include "v2/v2.h"

namespace {

using namespace kelid3::detail;

// The entry point's lines carry the name of the specified one, also when
// kelid3_tag_read writes them.
constexpr char kEntry[] = "kelid3_tag_parse";

// Bytes that kelid3_tag_query needs to read an ID3v2 header with the length
// of an extended header behind it.
constexpr uint32_t kQueryMinimum = 14;

// No tag reaches further than this: a result stays a positive 32-bit number.
constexpr uint32_t kMaxTag = INT32_MAX;

// The first version of struct kelid3_read_options ends with skipped_frames.
constexpr uint32_t kOptionsSize = offsetof(kelid3_read_options, skipped_frames) + sizeof(uint32_t);
constexpr uint32_t kReadFlags = KELID3_READ_COMPLETE;

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
Read read_v1(const uint8_t *buf, uint32_t len, id3_tag *tag, Call &call) {
    const int n = id3_parse_v1_header(buf, len, tag);
    ID3_LOG_AS(call.log, kEntry, TRACE, "id3v1: header: %u", n);
    const auto header = static_cast<uint32_t>(n);
    const int m = parse_v1_body(call.log, buf + header, len - header, tag);
    if (m <= 0) {
        // 0: the block is cut short, which is reported as 0.
        ID3_LOG_AS(call.log, kEntry, ERROR, "unable to parse v1 body: %d", m);
        return {false, m, 0, 0};
    }
    ID3_LOG_AS(call.log, kEntry, TRACE, "id3v1: body: %u", m);
    call.stopped_at = header + static_cast<uint32_t>(m);
    return {true, 0, header, static_cast<uint32_t>(m)};
}

// The ID3v2 tag at buf into tag.
Read read_v2(const uint8_t *buf, uint32_t len, id3_tag *tag, Call &call) {
    const int n = parse_v2x_header(call.log, buf, len, tag);
    if (n <= 0) {
        ID3_LOG_AS(call.log, kEntry, ERROR, "unable to parse v2 header: %d", n);
        return {false, KELID3_EBADTAG, 0, 0};
    }
    ID3_LOG_AS(call.log, kEntry, TRACE, "id3v2: header: %u", n);
    const auto header = static_cast<uint32_t>(n);
    if (header > len) {
        // An extended header longer than the input: nothing to scan.
        ID3_LOG_AS(call.log, kEntry, ERROR, "v2 header beyond buffer: %d/%u", n, len);
        return {false, KELID3_EBADTAG, 0, 0};
    }
    // The scan stops at 2 GiB - 1 from the tag's start, where no tag reaches.
    const uint32_t body = len > kMaxTag ? kMaxTag - header : len - header;
    const int32_t m = scan_v2x_body(buf + header, body, tag, call);
    call.stopped_at += header;
    if (m < 0) {
        ID3_LOG_AS(call.log, kEntry, ERROR, "unable to parse v2 frames: %d", m);
        return {false, m, 0, 0};
    }
    ID3_LOG_AS(call.log, kEntry, TRACE, "id3v2: body: %u", m);
    return {true, 0, header, static_cast<uint32_t>(m)};
}

// kelid3_tag_parse for one call.
int32_t read_tag(const uint8_t *buf, uint32_t len, id3_tag **tag, Call &call) {
    if (buf == nullptr || len < id3v2_header_size || tag == nullptr) {
        ID3_LOG_AS(call.log, kEntry, TRACE, "illegal arguments.");
        return KELID3_EINVAL;
    }
    TagPtr result{static_cast<id3_tag *>(std::malloc(sizeof(id3_tag)))};
    if (!result) {
        ID3_LOG_AS(call.log, kEntry, INFO, "unable to alloc memory");
        return KELID3_ENOMEM;
    }
    *result = id3_tag{};
    ID3_LOG_AS(call.log, kEntry, TRACE, "inbuf %d", len);

    // Failing releases everything built so far (the handle) and leaves *tag.
    Read read{};
    if (id3_match_v1(buf, len)) {
        read = read_v1(buf, len, result.get(), call);
    } else if (id3_match_v2x(buf, len)) {
        read = read_v2(buf, len, result.get(), call);
    } else {
        ID3_LOG_AS(call.log, kEntry, INFO, "neither v1 nor v2x tag found");
        return KELID3_ENOTAG;
    }
    if (!read.ok) return read.failure;

    if (*tag != nullptr) ID3_LOG_AS(call.log, kEntry, INFO, "*tag not NULL. Memory leak possible.");
    *tag = result.release();

    // A scan that stopped early (at padding) inside a tag that the buffer
    // holds whole reports the tag's size instead.
    const uint32_t sum = read.n + read.m;
    const uint32_t size = (*tag)->size;
    return static_cast<int32_t>(sum < size && size < len ? size : sum);
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
    Call call = specified_call(ids);
    return read_tag(as_bytes(buf), len, tag, call);
}

extern "C" int32_t kelid3_tag_read(const void *buf, uint32_t len, id3_tag **tag,
                                   kelid3_read_options *options) {
    if (options != nullptr &&
        (options->struct_size < kOptionsSize || (options->flags & ~kReadFlags) != 0)) {
        return KELID3_EINVAL;
    }
    Call call = options != nullptr ? Call{options->log, options->flags, options->ids}
                                   : Call{nullptr, 0, nullptr};
    const int32_t result = read_tag(as_bytes(buf), len, tag, call);
    if (options != nullptr) {
        options->stopped_at = call.stopped_at;
        options->large_frames = call.large_frames;
        options->skipped_frames = call.skipped_frames;
    }
    return result;
}

extern "C" int32_t kelid3_tags_join(void) {
    ID3_LOG(stderr, ERROR, "NYI!");
    return KELID3_ENOTIMPL;
}
