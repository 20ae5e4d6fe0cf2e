// Allocation and release of the three records.
#include <cstdlib>

#include "tag/log.h"
#include "tag/records.h"

namespace kelid3 {

FramePtr new_frame() {
    auto *frame = static_cast<id3_frame *>(std::malloc(sizeof(id3_frame)));
    if (frame != nullptr) *frame = id3_frame{};
    return FramePtr{frame};
}

FieldPtr new_field(uint32_t type, size_t bytes, bool zeroed) {
    const size_t block = sizeof(id3_field) + bytes;
    auto *field = static_cast<id3_field *>(zeroed ? std::calloc(1, block) : std::malloc(block));
    if (field == nullptr) return nullptr;
    *field = id3_field{};
    field->type = type;
    if (type != FIELD_UINT) field->data = reinterpret_cast<uintptr_t>(field_bytes(field));
    return FieldPtr{field};
}

}  // namespace kelid3

extern "C" void id3_field_free(id3_field *field) {
    while (field != nullptr) {
        const uint32_t type = field->type;
        if (type != FIELD_STRING && type != FIELD_BLOB && type != FIELD_UINT) {
            // A chain we did not build: release this block and go no further.
            ID3_LOG(INFO, "unsupported field type %d.", type);
            std::free(field);
            return;
        }
        id3_field *next = field->next;
        std::free(field);
        field = next;
    }
}

extern "C" void id3_frame_free(id3_frame *frame) {
    if (frame == nullptr) return;
    if (frame->fields != nullptr) {
        id3_field_free(frame->fields);
        frame->fields = nullptr;
    }
    std::free(frame);
}

extern "C" void kelid3_tag_free(id3_tag *tag) {
    if (tag == nullptr) return;
    id3_frame *frame = tag->frames;
    while (frame != nullptr) {
        id3_frame *next = frame->next;
        id3_frame_free(frame);
        frame = next;
    }
    tag->frames = nullptr;
    std::free(tag);
}
