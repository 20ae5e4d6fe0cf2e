// SPDX-License-Identifier: MIT
// Release of the three records (their allocation is inline in records.h).
#include <cstdlib>

#include "tag/log.h"
#include "tag/records.h"

extern "C" void id3_field_free(id3_field *field) {
    while (field != nullptr) {
        const uint32_t type = field->type;
        if (type != FIELD_STRING && type != FIELD_BLOB && type != FIELD_UINT) {
            // A chain we did not build: release this block and go no further.
            ID3_LOG(stderr, INFO, "unsupported field type %d.", type);
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
    id3_field_free(frame->fields);  // null does nothing
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
    std::free(tag);
}
