// SPDX-License-Identifier: MIT
// A readable dump of a parse result, for callers' diagnostics.
#include <cstdio>
#include <cstring>

#include "kelid3.h"
#include "tag/bytes.h"

namespace {

const char *encoding_name(uint32_t encoding) {
    switch (encoding) {
        case KELID3_ENC_ISO8859:
            return "iso-8859";
        case KELID3_ENC_UTF16:
            return "utf16";
        case KELID3_ENC_UTF16BE:
            return "utf16be";
        case KELID3_ENC_UTF8:
            return "utf8";
        default:
            return "UNKNOWN";
    }
}

// The native 32-bit word at `offset` of a blob, or 0 when it does not lie
// wholly inside the blob.
uint32_t blob_word(const id3_field *field, uint32_t offset) {
    uint32_t word = 0;
    if (field->size >= offset + sizeof word) {
        std::memcpy(&word, reinterpret_cast<const uint8_t *>(field->data) + offset, sizeof word);
    }
    return word;
}

void print_field(FILE *out, const id3_field *field) {
    std::fputc('\t', out);
    switch (field->type) {
        case FIELD_STRING:
            std::fprintf(out, "field: %s string[%05d], next %p: -*-%s-*-\n",
                         encoding_name(field->encoding), static_cast<int>(field->length),
                         static_cast<void *>(field->next),
                         reinterpret_cast<const char *>(field->data));
            break;
        case FIELD_BLOB:
            std::fprintf(out, "field: blob[%05d], next %p: %08x %08x %08x ...\n",
                         static_cast<int>(field->size), static_cast<void *>(field->next),
                         blob_word(field, 0), blob_word(field, 4), blob_word(field, 8));
            break;
        case FIELD_UINT:
            std::fprintf(out, "field: uint, next %p: %08x\n", static_cast<void *>(field->next),
                         static_cast<uint32_t>(field->data));
            break;
        default:
            break;  // nothing but the tab
    }
}

}  // namespace

extern "C" void kelid3_tag_print(FILE *out, const id3_tag *tag) {
    if (out == nullptr || tag == nullptr) return;
    std::fprintf(out, "TAG version %u.%u.%u, length %05d, flags %08x\n",
                 (tag->version >> 16) & 0xFF, (tag->version >> 8) & 0xFF, tag->version & 0xFF,
                 static_cast<int>(tag->size), tag->flags);
    for (const id3_frame *frame = tag->frames; frame != nullptr; frame = frame->next) {
        std::fprintf(out, "frame: %c%c%c%c[%05d], flags %08x, next %p\n", ID3_ID_CHARS(frame->id),
                     static_cast<int>(frame->size), frame->flags, static_cast<void *>(frame->next));
        for (const id3_field *field = frame->fields; field != nullptr; field = field->next) {
            print_field(out, field);
        }
    }
}
