// SPDX-License-Identifier: MIT
// UTF-8 and UTF-16 string fields into ISO-8859-1 text.
#include <cstdint>
#include <cstdlib>

#include "tag/log.h"
#include "tag/records.h"

namespace {

using kelid3::detail::BlockPtr;

// Stand-ins for characters above 255.
constexpr uint8_t kUtf8Substitute = 0x7B;
constexpr uint8_t kUtf16Substitute = 0xB7;

const uint8_t *text_of(const id3_field *field) {
    return reinterpret_cast<const uint8_t *>(field->data);
}

// Bytes of the UTF-8 sequence that `lead` opens, or 0 for a continuation byte
// in lead position. The lead and following bytes contribute their bits below
// the marker bits checked here; following bytes are not checked for 10xxxxxx.
unsigned utf8_sequence_length(uint8_t lead) {
    if (lead < 0x80) return 1;
    if ((lead & 0xF0) == 0xF0) return 4;
    if ((lead & 0xE0) == 0xE0) return 3;
    if ((lead & 0xC0) == 0xC0) return 2;
    return 0;
}

char *utf8_to_8859_15(const id3_field *field) {
    const uint32_t length = field->length;
    // The text and its terminator. A field of 4 GiB - 1 bytes (made by a
    // caller, never by a parse) would need a block larger than a 32-bit size_t
    // can count: it is refused like a block that cannot be had.
    BlockPtr<uint8_t> out{
        static_cast<uint8_t *>(length < UINT32_MAX ? std::malloc(size_t{length} + 1) : nullptr)};
    if (!out) {
        ID3_LOG(stderr, ERROR, "unable to alloc space for utf8->latin1");
        return nullptr;
    }
    const uint8_t *in = text_of(field);
    uint32_t written = 0;
    for (uint32_t pos = 0; pos < length;) {
        const uint8_t c = in[pos];
        const unsigned n = utf8_sequence_length(c);
        if (n == 0 || n > length - pos) {
            ID3_LOG(stderr, ERROR, "unable to convert utf8 -> iso8859-15");
            return nullptr;
        }
        uint32_t code = 0;
        switch (n) {
            case 1:
                code = c;
                break;
            case 2:
                code = uint32_t{c & 0x3Fu} << 6 | (in[pos + 1] & 0x7Fu);
                break;
            case 3:
                code = uint32_t{c & 0x1Fu} << 12 | uint32_t{in[pos + 1] & 0x7Fu} << 6 |
                       (in[pos + 2] & 0x7Fu);
                break;
            default:
                code = uint32_t{c & 0x0Fu} << 18 | uint32_t{in[pos + 1] & 0x7Fu} << 12 |
                       uint32_t{in[pos + 2] & 0x7Fu} << 6 | (in[pos + 3] & 0x7Fu);
                break;
        }
        out.get()[written++] = code < 256 ? static_cast<uint8_t>(code) : kUtf8Substitute;
        pos += n;
    }
    out.get()[written] = 0;
    return reinterpret_cast<char *>(out.release());
}

char *utf16_to_8859_15(const id3_field *field) {
    const uint32_t length = field->length;
    if (length < 2) {
        ID3_LOG(stderr, DEBUG, "utf16-string too short.");
        return nullptr;
    }
    BlockPtr<uint8_t> out{static_cast<uint8_t *>(std::malloc(size_t{length / 2} + 1))};
    if (!out) {
        ID3_LOG(stderr, ERROR, "unable to alloc space for utf16->latin1");
        return nullptr;
    }
    const uint8_t *in = text_of(field);
    // A byte-order mark decides, whatever the field's encoding says.
    int is_be = 1;
    uint32_t pos = 2;
    if (in[0] == 0xFF && in[1] == 0xFE) {
        is_be = 0;
    } else if (!(in[0] == 0xFE && in[1] == 0xFF)) {
        pos = 0;
        ID3_LOG(stderr, TRACE, "defaulting to is_be: %d", is_be);
    }
    uint32_t written = 0;
    for (; pos + 1 < length; pos += 2) {
        const uint32_t unit =
            is_be ? uint32_t{in[pos]} << 8 | in[pos + 1] : uint32_t{in[pos + 1]} << 8 | in[pos];
        if (unit - 0xD800u < 0x800u) continue;  // either half of a surrogate pair
        out.get()[written++] = unit < 256 ? static_cast<uint8_t>(unit) : kUtf16Substitute;
    }
    out.get()[written] = 0;
    return reinterpret_cast<char *>(out.release());
}

}  // namespace

extern "C" char *kelid3_field_to_iso8859(const id3_field *field) {
    if (field == nullptr || field->type != FIELD_STRING) return nullptr;
    switch (field->encoding) {
        case KELID3_ENC_UTF8:
            return utf8_to_8859_15(field);
        case KELID3_ENC_UTF16:
        case KELID3_ENC_UTF16BE:
            return utf16_to_8859_15(field);
        default:
            ID3_LOG(stderr, ERROR, "unknown field text endcoding: %x", field->encoding);
            return nullptr;
    }
}

extern "C" char *kelid3_field_to_utf8(const id3_field * /*field*/) {
    ID3_LOG(stderr, ERROR, "NYI!");
    return nullptr;
}
