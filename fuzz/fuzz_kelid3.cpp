// SPDX-License-Identifier: MIT
// libFuzzer harness: drives every exported function on the fuzzer's bytes, and
// checks that every string field converts to valid UTF-8.
//
// The first byte chooses how the rest is used; the remaining bytes are the
// input, copied into a heap block of exactly their size so that any read past
// the end is caught.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "kelid3.h"

namespace {

FILE *g_sink = nullptr;

// True when the n bytes are valid UTF-8 (NUL bytes included).
bool valid_utf8(const uint8_t *s, uint32_t n) {
    for (uint32_t i = 0; i < n;) {
        const uint8_t c = s[i];
        const uint32_t more = c < 0x80                ? 0
                              : c >= 0xC2 && c < 0xE0 ? 1
                              : c >= 0xE0 && c < 0xF0 ? 2
                              : c >= 0xF0 && c < 0xF5 ? 3
                                                      : 4;
        if (more == 4 || more > n - i - 1) return false;
        uint32_t code = more == 0 ? c : c & (0x3Fu >> more);
        for (uint32_t k = 1; k <= more; ++k) {
            if ((s[i + k] & 0xC0) != 0x80) return false;
            code = code << 6 | (s[i + k] & 0x3Fu);
        }
        const uint32_t least[] = {0, 0x80, 0x800, 0x10000};
        if (code < least[more] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
            return false;
        i += more + 1;
    }
    return true;
}

// UTF-8 of a field: valid, NUL-terminated, for every string field.
void check_utf8(const id3_field *field) {
    uint32_t length = 0;
    char *text = kelid3_field_utf8(field, &length);
    const bool string = field->type == FIELD_STRING && field->encoding <= KELID3_ENC_UTF8;
    if ((text != nullptr) != string) std::abort();
    if (text != nullptr &&
        (text[length] != 0 || !valid_utf8(reinterpret_cast<uint8_t *>(text), length)))
        std::abort();
    std::free(text);
}

// Converts and describes every field, and dumps the tag.
void walk(const id3_tag *tag) {
    kelid3_tag_print(g_sink, tag);
    for (const id3_frame *frame = tag->frames; frame != nullptr; frame = frame->next) {
        (void)kelid3_field_description(frame->id);
        for (const id3_field *field = frame->fields; field != nullptr; field = field->next) {
            std::free(kelid3_field_to_iso8859(field));
            check_utf8(field);
            if (field->type == FIELD_UINT) (void)kelid3_genre_description(uint32_t(field->data));
        }
    }
}

// A zero-terminated selection list of up to 8 identifiers taken from the input.
std::vector<uint32_t> selection(const uint8_t *data, size_t size) {
    std::vector<uint32_t> ids;
    for (size_t i = 0; i + 4 <= size && ids.size() < 8; i += 4) {
        ids.push_back(KELID3_ID(data[i], data[i + 1], data[i + 2], data[i + 3]));
    }
    ids.push_back(0);
    return ids;
}

// Each encoding in turn on the bytes, as a FIELD_STRING the library did not make.
void convert_raw(const uint8_t *data, size_t size) {
    auto *field = static_cast<id3_field *>(std::malloc(sizeof(id3_field) + size + 1));
    if (field == nullptr) return;
    if (size != 0) std::memcpy(field + 1, data, size);
    reinterpret_cast<uint8_t *>(field + 1)[size] = 0;
    for (uint32_t encoding = 0; encoding < 5; ++encoding) {
        *field = id3_field{};
        field->type = FIELD_STRING;
        field->data = reinterpret_cast<uintptr_t>(field + 1);
        field->encoding = encoding;
        field->length = uint32_t(size);
        std::free(kelid3_field_to_iso8859(field));
        check_utf8(field);
    }
    std::free(field);
}

}  // namespace

// Run with -close_fd_mask=2: the library's diagnostic lines would cost far
// more than the parse, and libFuzzer keeps its own reports on a copy of stderr.
extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    g_sink = std::fopen("/dev/null", "w");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size < 1 || size > 1u << 20) return 0;
    const uint8_t mode = data[0];
    std::vector<uint8_t> copy(data + 1, data + size);
    const uint8_t *buf = copy.data();
    const auto len = uint32_t(copy.size());

    (void)kelid3_tag_query(buf, len);
    switch (mode % 4) {
        case 0:
        case 1: {  // whole parse, all frames or a selection from the input's tail
            const std::vector<uint32_t> ids = selection(buf + len / 2, len - len / 2);
            id3_tag *tag = nullptr;
            if (kelid3_tag_parse(buf, len, &tag, mode % 4 == 1 ? ids.data() : nullptr) >= 0 &&
                tag != nullptr) {
                walk(tag);
                kelid3_tag_free(tag);
            } else if (tag != nullptr) {
                std::abort();  // a failed parse must leave the pointer alone
            }
            // The complete reader, or parts of it, with the flags in the mode byte.
            kelid3_read_options options{};
            options.struct_size = sizeof options;
            options.flags = (mode >> 2) & KELID3_READ_COMPLETE;
            options.ids = mode % 4 == 1 ? ids.data() : nullptr;
            options.log = g_sink;
            tag = nullptr;
            const int32_t read = kelid3_tag_read(buf, len, &tag, &options);
            if (options.stopped_at > len || (read > 0) != (tag != nullptr)) std::abort();
            if (tag != nullptr) {
                walk(tag);
                kelid3_tag_free(tag);
            }
            break;
        }
        case 2: {  // building blocks on a record the harness fills
            id3_tag tag{};
            tag.version = KELID3_ID(0, 2, mode >> 5, 0);
            tag.size = len;
            tag.header_size = 10;
            if (len >= 10 && id3_match_v2x(buf, len)) (void)id3_parse_v2x_header(buf, len, &tag);
            (void)id3_parse_v2x_body(buf, len, &tag, nullptr);
            if (len >= 3 && id3_match_v1(buf, len)) (void)id3_parse_v1_header(buf, len, &tag);
            (void)id3_parse_v1_body(buf, len, &tag);
            walk(&tag);
            for (id3_frame *frame = tag.frames; frame != nullptr;) {
                id3_frame *next = frame->next;
                id3_frame_free(frame);
                frame = next;
            }
            break;
        }
        default:
            convert_raw(buf, len);
            break;
    }
    return 0;
}
