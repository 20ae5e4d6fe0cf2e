// SPDX-License-Identifier: MIT
// Owning handles and allocation helpers for the three records. Every record is
// one heap block; a field's bytes live in its own block, behind the header.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>

#include "kelid3.h"

namespace kelid3::detail {

struct FreeBlock {
    void operator()(void *p) const { std::free(p); }
};
struct FreeFrame {
    void operator()(id3_frame *f) const { id3_frame_free(f); }
};
struct FreeTag {
    void operator()(id3_tag *t) const { kelid3_tag_free(t); }
};

// A field block in hand: released as one block (its chain is not followed).
using FieldPtr = std::unique_ptr<id3_field, FreeBlock>;
using FramePtr = std::unique_ptr<id3_frame, FreeFrame>;
using TagPtr = std::unique_ptr<id3_tag, FreeTag>;
template <typename T>
using BlockPtr = std::unique_ptr<T, FreeBlock>;

// The bytes that follow a field's header in its block.
inline uint8_t *field_bytes(id3_field *f) {
    return reinterpret_cast<uint8_t *>(f + 1);
}

// A frame record with every member zero, or null when the heap is exhausted.
inline FramePtr new_frame() {
    auto *frame = static_cast<id3_frame *>(std::malloc(sizeof(id3_frame)));
    if (frame != nullptr) *frame = id3_frame{};
    return FramePtr{frame};
}

// A field block with room for `bytes` bytes behind the header: `type` set,
// `next` null, `data` pointing at the bytes (for FIELD_STRING and FIELD_BLOB),
// the other members zero; the bytes themselves are left as they come. Null
// when the heap is exhausted. Callers ask for at most 0x80001 bytes (the
// largest frame the scanner accepts), so the block's size cannot wrap.
inline FieldPtr new_field(uint32_t type, size_t bytes) {
    auto *field = static_cast<id3_field *>(std::malloc(sizeof(id3_field) + bytes));
    if (field == nullptr) return nullptr;
    *field = id3_field{};
    field->type = type;
    if (type != FIELD_UINT) field->data = reinterpret_cast<uintptr_t>(field_bytes(field));
    return FieldPtr{field};
}

// Takes the finished frame out of its handle and puts it at the head of the
// tag's list; the tag owns it now and the handle is empty.
inline void link_frame(id3_tag *tag, FramePtr &frame) {
    frame->next = tag->frames;
    tag->frames = frame.release();
}

}  // namespace kelid3::detail
