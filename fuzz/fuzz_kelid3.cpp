// SPDX-License-Identifier: MIT
// libFuzzer harness: drives every exported function on the fuzzer's bytes.
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

// Converts and describes every field, and dumps the tag.
void walk(const id3_tag *tag) {
    kelid3_tag_print(g_sink, tag);
    for (const id3_frame *frame = tag->frames; frame != nullptr; frame = frame->next) {
        (void)kelid3_field_description(frame->id);
        for (const id3_field *field = frame->fields; field != nullptr; field = field->next) {
            std::free(kelid3_field_to_iso8859(field));
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
