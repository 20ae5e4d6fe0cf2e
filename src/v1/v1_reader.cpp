// SPDX-License-Identifier: MIT
// ID3v1 and ID3v1.1: the fixed 128-byte block that begins with "TAG", turned
// into frames under ID3v2.4 identifiers.
#include <cstring>

#include "tag/bytes.h"
#include "tag/log.h"
#include "tag/records.h"
#include "v1/v1.h"

extern "C" {
const uint32_t id3v1_tag_size = 128;
const uint32_t id3v1_header_size = 3;
const uint32_t id3v1_body_size = 125;
}

namespace kelid3::detail {
namespace {

// The text fields of the body, in the order in which they are built.
struct TextField {
    uint32_t id;
    uint32_t offset;  // from the first byte behind "TAG"
    uint32_t width;
};
constexpr TextField kTextFields[] = {
    {fourcc("TIT2"), 0, 30}, {fourcc("TPE1"), 30, 30}, {fourcc("TALB"), 60, 30},
    {fourcc("TDRC"), 90, 4}, {fourcc("COMM"), 94, 30},
};
// ID3v1.1: a zero byte here marks the next byte as the track number.
constexpr uint32_t kTrackMarker = 122;
constexpr uint32_t kTrack = 123;
constexpr uint32_t kGenre = 124;
constexpr uint32_t kGenreCount = 126;

}  // namespace

id3_frame *id3_parse_v1_frame(std::FILE *log, const uint8_t *source, uint32_t count, uint32_t id,
                              uint32_t kind, uint32_t encoding) {
    // Both blocks are requested before either is tested.
    FramePtr frame = new_frame();
    FieldPtr field = new_field(kind, size_t{count} + 1);
    if (!frame || !field) {
        ID3_LOG(log, ERROR, "Unable to alloc field or frame.");
        return nullptr;
    }
    if (kind == FIELD_UINT) {
        field->data = source[0];
    } else {
        field->encoding = encoding;
        field->length = count;
        std::memcpy(field_bytes(field.get()), source, count);
        field_bytes(field.get())[count] = 0;
    }
    frame->id = id;
    frame->size = count;
    frame->fields = field.release();
    return frame.release();
}

int parse_v1_body(std::FILE *log, const uint8_t *body, uint32_t len, id3_tag *tag) {
    constexpr char kBodyReader[] = "id3_parse_v1_body";
    if (len < id3v1_body_size) {
        ID3_LOG_AS(log, kBodyReader, INFO, "Not enough input to parse ID3v1");
        return 0;
    }
    for (const TextField &text : kTextFields) {
        FramePtr frame{
            id3_parse_v1_frame(log, body + text.offset, text.width, text.id, FIELD_STRING, 0)};
        if (!frame) return KELID3_ENOMEM;
        link_frame(tag, frame);
    }
    if (body[kTrackMarker] == 0 && body[kTrack] != 0) {
        FramePtr frame{id3_parse_v1_frame(log, body + kTrack, 1, fourcc("TRCK"), FIELD_UINT, 0)};
        if (!frame) return KELID3_ENOMEM;
        link_frame(tag, frame);
    }

    const uint32_t genre = body[kGenre];
    ID3_LOG_AS(log, kBodyReader, TRACE, "genre: %x", genre);
    if (genre >= kGenreCount) return static_cast<int>(id3v1_body_size);
    const char *name = kelid3_genre_description(genre);
    ID3_LOG_AS(log, kBodyReader, TRACE, "genre: %s", name);
    const auto name_length = static_cast<uint32_t>(std::strlen(name));
    FramePtr frame{id3_parse_v1_frame(log, reinterpret_cast<const uint8_t *>(name), name_length,
                                      fourcc("TCON"), FIELD_STRING, 0)};
    if (!frame) return KELID3_ENOMEM;
    id3_frame *tcon = frame.get();
    link_frame(tag, frame);

    // The number goes in front of the name. Should it not be had, the frame
    // stays linked with its name alone and the caller releases the tag.
    FieldPtr number = new_field(FIELD_UINT, 0);
    if (!number) return KELID3_ENOMEM;
    number->data = genre;
    number->next = tcon->fields;
    tcon->fields = number.release();
    return static_cast<int>(id3v1_body_size);
}

}  // namespace kelid3::detail

extern "C" int id3_match_v1(const void *buf, uint32_t /*len*/) {
    const auto *p = static_cast<const uint8_t *>(buf);
    return p[0] == 'T' && p[1] == 'A' && p[2] == 'G';
}

extern "C" int id3_parse_v1_header(const void * /*buf*/, uint32_t /*len*/, id3_tag *tag) {
    tag->flags = 0;
    tag->version = KELID3_VERSION_V1;
    tag->size = id3v1_tag_size;
    tag->header_size = id3v1_header_size;
    return static_cast<int>(id3v1_header_size);
}

extern "C" int id3_parse_v1_body(const void *buf, uint32_t len, id3_tag *tag) {
    return kelid3::detail::parse_v1_body(stderr, static_cast<const uint8_t *>(buf), len, tag);
}
