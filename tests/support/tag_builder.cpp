#include "support/tag_builder.h"

#include "support/alloc_seam.h"

std::vector<std::string> frame_ids(const id3_tag *tag) {
    std::vector<std::string> v;
    for (const id3_frame *f : chain(tag ? tag->frames : nullptr)) {
        const uint32_t i = f->id;
        v.push_back({char(i >> 24), char(i >> 16), char(i >> 8), char(i)});
    }
    return v;
}

Bytes field_content(const id3_field *field) {
    const auto *p = reinterpret_cast<const uint8_t *>(field->data);
    if (field->type == FIELD_STRING) return Bytes(p, p + field->length + 1);
    if (field->type == FIELD_BLOB) return Bytes(p, p + field->size);
    return {};
}

std::vector<FieldView> field_views(const id3_frame *frame) {
    std::vector<FieldView> v;
    for (const id3_field *f : chain(frame->fields))
        v.emplace_back(f->type, f->encoding, f->type == FIELD_BLOB ? 0 : f->length,
                       f->type == FIELD_UINT ? f->data : f->data - uintptr_t(f + 1),
                       field_content(f));
    return v;
}

Parsed parse(const Bytes &b, const std::vector<uint32_t> &ids) {
    id3_tag sentinel{};
    id3_tag *out = &sentinel;
    LogCapture log;
    const long live = alloc_seam::live();
    const int32_t rc =
        kelid3_tag_parse(b.data(), uint32_t(b.size()), &out, ids.empty() ? nullptr : ids.data());
    if (rc <= 0) {
        EXPECT_EQ(out, &sentinel) << "the caller's pointer changed";
        EXPECT_EQ(alloc_seam::live(), live) << "blocks left behind";
    }
    return {rc, TagPtr(out == &sentinel ? nullptr : out), log.strings("kelid3_tag_parse")};
}
