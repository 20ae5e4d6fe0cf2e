// SPDX-License-Identifier: MIT
// Frame contents into fields: text frames become one string field, attached
// pictures a MIME type, a picture type and the image data. Other frames are
// left undecoded.
#include <cstring>

#include "tag/bytes.h"
#include "tag/log.h"
#include "tag/records.h"
#include "v2/frame_table.h"
#include "v2/v2.h"

namespace kelid3::detail {
namespace {

// Every line of the decoder is reported under its own name.
constexpr char kDecoder[] = "id3_parse_v2_frame";

constexpr uint8_t kMaxEncoding = KELID3_ENC_UTF8;
// Characters of an ID3v2.2 picture's image format ("JPG", "PNG").
constexpr uint32_t kPicFormatLength = 3;

int decode_text(id3_frame *frame, const uint8_t *content) {
    const uint32_t size = frame->size;
    // The block comes first: an exhausted heap is fatal even for a frame that
    // the encoding check would refuse.
    FieldPtr field = new_field(FIELD_STRING, size);
    if (!field) {
        ID3_LOG_AS(kDecoder, ERROR, "unable to alloc mem for field.");
        return kDecodeFatal;
    }
    field->encoding = content[0];
    if (content[0] > kMaxEncoding) {
        ID3_LOG_AS(kDecoder, INFO, "Illegal text encoding: %02x", content[0]);
        return kNotDecoded;
    }
    // Terminators, separators and byte-order marks stay in the text as stored.
    field->length = size - 1;
    uint8_t *text = field_bytes(field.get());
    std::memcpy(text, content + 1, size - 1);
    text[size - 1] = 0;
    frame->fields = field.release();
    return kDecoded;
}

// Offset of the terminator that ends a text starting at `from`: the first zero
// byte, or for UTF-16 the first zero pair at an even distance from `from`.
// `size` when there is none.
uint32_t find_terminator(const uint8_t *content, uint32_t from, uint32_t size, bool utf16) {
    if (!utf16) {
        for (uint32_t i = from; i < size; ++i) {
            if (content[i] == 0) return i;
        }
        return size;
    }
    for (uint32_t i = from; i + 1 < size; i += 2) {
        if (content[i] == 0 && content[i + 1] == 0) return i;
    }
    return size;
}

// Where the MIME type of a picture's content ends and its picture type lies.
struct Mime {
    bool found;
    uint32_t length;   // bytes from mime_start
    uint32_t type_at;  // offset of the picture type
};

constexpr uint32_t kMimeStart = 1;

// APIC: the MIME type runs to a zero byte and the picture type follows it.
// PIC: three format characters and the picture type right behind them.
Mime find_mime(const uint8_t *content, uint32_t size, PictureLayout layout) {
    if (layout == PictureLayout::kPic) {
        const bool found = size >= kMimeStart + kPicFormatLength;
        return {found, found ? kPicFormatLength : 0, kMimeStart + kPicFormatLength};
    }
    const uint32_t zero = find_terminator(content, kMimeStart, size, false);
    const bool found = zero < size;
    return {found, found ? zero - kMimeStart : 0, zero + 1};
}

int decode_picture(id3_frame *frame, const uint8_t *content, PictureLayout layout) {
    const uint32_t size = frame->size;
    const Mime where = find_mime(content, size, layout);
    const uint32_t mime_length = where.length;
    const uint32_t type_at = where.type_at;
    ID3_LOG_AS(kDecoder, TRACE, "mime_start %d, len %d, found %d", kMimeStart, mime_length,
               where.found);
    if (!where.found) return kNotDecoded;
    if (type_at + 1 >= size) return kNotDecoded;  // no description or data behind the type
    ID3_LOG_AS(kDecoder, TRACE, "pic type at %u", type_at);

    // The description is read past; a UTF-16 one ends at a two-byte terminator.
    const uint8_t encoding = content[0];
    const bool utf16 = encoding == KELID3_ENC_UTF16 || encoding == KELID3_ENC_UTF16BE;
    const uint32_t end = find_terminator(content, type_at + 1, size, utf16);
    const bool ended = end < size;
    const uint32_t data_start = ended ? end + (utf16 ? 2 : 1) : size;
    ID3_LOG_AS(kDecoder, TRACE, "desc ends: %d, found %d", data_start, ended);
    if (!ended || data_start >= size) return kNotDecoded;
    const uint32_t data_length = size - data_start;
    ID3_LOG_AS(kDecoder, TRACE, "data: start %d, len %d", data_start, data_length);

    FieldPtr mime = new_field(FIELD_STRING, size_t{mime_length} + 1);
    FieldPtr type = new_field(FIELD_UINT, 0);
    FieldPtr data = new_field(FIELD_BLOB, data_length);
    if (!mime || !type || !data) {
        ID3_LOG_AS(kDecoder, ERROR, "unable to malloc fields");
        return kNotDecoded;
    }
    mime->encoding = KELID3_ENC_ISO8859;
    mime->length = mime_length;
    std::memcpy(field_bytes(mime.get()), content + kMimeStart, mime_length);
    field_bytes(mime.get())[mime_length] = 0;
    type->data = content[type_at];
    data->size = data_length;
    std::memcpy(field_bytes(data.get()), content + data_start, data_length);

    type->next = data.release();
    mime->next = type.release();
    frame->fields = mime.release();
    return kDecoded;
}

}  // namespace

int id3_parse_v2_frame(id3_frame *frame, const uint8_t *content, PictureLayout layout) {
    const KnownFrame *row = find_frame(frame->id);
    if (row == nullptr) {
        ID3_LOG(INFO, "Unknown frame: %08x, %c%c%c%c", frame->id, ID3_ID_CHARS(frame->id));
        return kNotDecoded;
    }
    switch (row->kind) {
        case FrameClass::kText:
            return decode_text(frame, content);
        case FrameClass::kPicture:
            return decode_picture(frame, content, layout);
        case FrameClass::kKnown:
            break;
    }
    return kNotDecoded;
}

}  // namespace kelid3::detail
