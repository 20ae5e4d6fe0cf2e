// SPDX-License-Identifier: MIT
// Frame contents into fields: text frames become one string field, attached
// pictures a MIME type, a picture type and the image data. On request, URL,
// comment and lyrics frames too. Other frames are left undecoded.
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
// Characters of the language of a comment or lyrics frame ("eng").
constexpr uint32_t kLanguageLength = 3;

// How a frame's content is read.
enum class Form : uint8_t {
    kNone,     // not decoded
    kText,     // encoding byte, text: one string field
    kPicture,  // APIC (PIC): MIME type, picture type, data
    kUrl,      // W???: the URL, ISO-8859-1
    kUserUrl,  // WXXX: encoding byte, description, terminator, URL
    kComment,  // COMM, USLT: encoding byte, language, description, terminator, text
    kUnknown,  // not decoded, with a line
};

constexpr uint32_t first_char(uint32_t id) {
    return id >> 24;
}

Form form_of(uint32_t id, bool all_frames) {
    if (all_frames) {
        if (id == fourcc("WXXX")) return Form::kUserUrl;
        if (id == fourcc("COMM") || id == fourcc("USLT")) return Form::kComment;
        if (first_char(id) == 'T') return Form::kText;
        if (first_char(id) == 'W') return Form::kUrl;
    }
    const FrameRow row = find_frame(id);
    if (row.row == kNoFrame) return Form::kUnknown;
    switch (row.kind) {
        case FrameClass::kText:
            return Form::kText;
        case FrameClass::kPicture:
            return Form::kPicture;
        case FrameClass::kKnown:
            break;
    }
    return Form::kNone;
}

// A string field holding `length` bytes at `bytes` and a NUL, or null when the
// heap is exhausted.
FieldPtr string_field(const uint8_t *bytes, uint32_t length, uint32_t encoding) {
    FieldPtr field = new_field(FIELD_STRING, size_t{length} + 1);
    if (!field) return field;
    field->encoding = encoding;
    field->length = length;
    std::memcpy(field_bytes(field.get()), bytes, length);
    field_bytes(field.get())[length] = 0;
    return field;
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

bool is_utf16(uint8_t encoding) {
    return encoding == KELID3_ENC_UTF16 || encoding == KELID3_ENC_UTF16BE;
}

// The encoding byte of a text, URL, comment or lyrics frame, checked.
bool encoding_ok(const Decoding &how, uint8_t encoding) {
    if (encoding <= kMaxEncoding) return true;
    ID3_LOG_AS(how.log, kDecoder, INFO, "Illegal text encoding: %02x", encoding);
    return false;
}

int decode_text(id3_frame *frame, const uint8_t *content, uint32_t size, const Decoding &how) {
    // The block comes first: an exhausted heap is fatal even for a frame that
    // the encoding check would refuse.
    FieldPtr field = new_field(FIELD_STRING, size);
    if (!field) {
        ID3_LOG_AS(how.log, kDecoder, ERROR, "unable to alloc mem for field.");
        return kDecodeFatal;
    }
    field->encoding = content[0];
    if (!encoding_ok(how, content[0])) return kNotDecoded;
    // Terminators, separators and byte-order marks stay in the text as stored.
    field->length = size - 1;
    uint8_t *text = field_bytes(field.get());
    std::memcpy(text, content + 1, size - 1);
    text[size - 1] = 0;
    frame->fields = field.release();
    return kDecoded;
}

// Links the `n` fields in their order into the frame: kDecoded, or
// kDecodeFatal (after the text decoder's line) when any could not be had.
int attach(id3_frame *frame, FieldPtr *fields, size_t n, const Decoding &how) {
    for (size_t i = 0; i < n; ++i) {
        if (!fields[i]) {
            ID3_LOG_AS(how.log, kDecoder, ERROR, "unable to alloc mem for field.");
            return kDecodeFatal;
        }
    }
    for (size_t i = n - 1; i > 0; --i) fields[i - 1]->next = fields[i].release();
    frame->fields = fields[0].release();
    return kDecoded;
}

// W???: the URL, ISO-8859-1.
int decode_url(id3_frame *frame, const uint8_t *content, uint32_t size, const Decoding &how) {
    FieldPtr url = string_field(content, size, KELID3_ENC_ISO8859);
    return attach(frame, &url, 1, how);
}

// WXXX: encoding byte, description, terminator, URL (ISO-8859-1 whatever the
// description's encoding). COMM, USLT: encoding byte, language, description,
// terminator, text. Without a terminator the description takes everything.
int decode_described(id3_frame *frame, const uint8_t *content, uint32_t size, const Decoding &how,
                     bool comment) {
    const uint32_t from = comment ? 1 + kLanguageLength : 1;
    if (size < from || !encoding_ok(how, content[0])) return kNotDecoded;
    const bool utf16 = is_utf16(content[0]);
    const uint32_t end = find_terminator(content, from, size, utf16);
    const uint32_t rest = end < size ? end + (utf16 ? 2 : 1) : size;
    FieldPtr fields[] = {
        comment ? string_field(content + 1, kLanguageLength, KELID3_ENC_ISO8859) : nullptr,
        string_field(content + from, end - from, content[0]),
        string_field(content + rest, size - rest, comment ? content[0] : KELID3_ENC_ISO8859)};
    return attach(frame, fields + !comment, comment ? 3 : 2, how);
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

int decode_picture(id3_frame *frame, const uint8_t *content, uint32_t size, const Decoding &how) {
    const Mime where = find_mime(content, size, how.picture);
    const uint32_t mime_length = where.length;
    const uint32_t type_at = where.type_at;
    ID3_LOG_AS(how.log, kDecoder, TRACE, "mime_start %d, len %d, found %d", kMimeStart, mime_length,
               where.found);
    if (!where.found) return kNotDecoded;
    if (type_at + 1 >= size) return kNotDecoded;  // no description or data behind the type
    ID3_LOG_AS(how.log, kDecoder, TRACE, "pic type at %u", type_at);

    // The description is read past; a UTF-16 one ends at a two-byte terminator.
    const uint32_t end = find_terminator(content, type_at + 1, size, is_utf16(content[0]));
    const bool ended = end < size;
    const uint32_t data_start = ended ? end + (is_utf16(content[0]) ? 2 : 1) : size;
    ID3_LOG_AS(how.log, kDecoder, TRACE, "desc ends: %d, found %d", data_start, ended);
    if (!ended || data_start >= size) return kNotDecoded;
    const uint32_t data_length = size - data_start;
    ID3_LOG_AS(how.log, kDecoder, TRACE, "data: start %d, len %d", data_start, data_length);

    FieldPtr mime = string_field(content + kMimeStart, mime_length, KELID3_ENC_ISO8859);
    FieldPtr type = new_field(FIELD_UINT, 0);
    FieldPtr data = new_field(FIELD_BLOB, data_length);
    if (!mime || !type || !data) {
        ID3_LOG_AS(how.log, kDecoder, ERROR, "unable to malloc fields");
        return kNotDecoded;
    }
    type->data = content[type_at];
    data->size = data_length;
    std::memcpy(field_bytes(data.get()), content + data_start, data_length);

    type->next = data.release();
    mime->next = type.release();
    frame->fields = mime.release();
    return kDecoded;
}

}  // namespace

int id3_parse_v2_frame(id3_frame *frame, const uint8_t *content, uint32_t size,
                       const Decoding &how) {
    switch (form_of(frame->id, how.all_frames)) {
        case Form::kText:
            return decode_text(frame, content, size, how);
        case Form::kPicture:
            return decode_picture(frame, content, size, how);
        case Form::kUrl:
            return decode_url(frame, content, size, how);
        case Form::kUserUrl:
            return decode_described(frame, content, size, how, false);
        case Form::kComment:
            return decode_described(frame, content, size, how, true);
        case Form::kUnknown:
            ID3_LOG_AS(how.log, kDecoder, INFO, "Unknown frame: %08x, %c%c%c%c", frame->id,
                       ID3_ID_CHARS(frame->id));
            break;
        case Form::kNone:
            break;
    }
    return kNotDecoded;
}

}  // namespace kelid3::detail
