// Builds byte-exact ID3 tags for the tests from readable parts (id3_writer.h),
// and walks the records a parse returns.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "kelid3.h"
#include "support/id3_writer.h"
#include "support/log_capture.h"

// ---- Records ----------------------------------------------------------------

struct TagFree {
    void operator()(id3_tag *t) const { kelid3_tag_free(t); }
};
using TagPtr = std::unique_ptr<id3_tag, TagFree>;

// The records along a `next` chain.
template <typename T>
std::vector<const T *> chain(const T *first) {
    std::vector<const T *> v;
    for (; first != nullptr; first = first->next) v.push_back(first);
    return v;
}
// Frame identifiers in list order, as characters (a leading NUL kept).
std::vector<std::string> frame_ids(const id3_tag *tag);
// A FIELD_STRING's length bytes and terminator, or a FIELD_BLOB's size bytes.
Bytes field_content(const id3_field *field);
// A field as comparable values: type, fourth word, fifth word (0 for a blob),
// FIELD_UINT's number or else data's distance from the end of the record (0:
// the bytes sit right behind it, as they must), and field_content().
using FieldView = std::tuple<uint32_t, uint32_t, uint32_t, uintptr_t, Bytes>;
std::vector<FieldView> field_views(const id3_frame *frame);
inline FieldView text_view(const Bytes &text, uint32_t encoding = 0) {  // NUL behind
    return {FIELD_STRING, encoding, uint32_t(text.size()), 0, text + Bytes{0}};
}
inline FieldView number_view(uint32_t n) {
    return {FIELD_UINT, 0, 0, n, {}};
}
inline FieldView blob_view(const Bytes &b) {
    return {FIELD_BLOB, uint32_t(b.size()), 0, 0, b};
}

// kelid3_tag_parse of the whole of b, the caller's pointer set beforehand (so a
// success also logs "*tag not NULL"). A failure (result <= 0) must leave that
// pointer and no heap block behind: checked here. `log` as strings() gives it,
// the entry point's own lines without a function name.
struct Parsed {
    int32_t rc;
    TagPtr tag;
    Strings log;
};
// ids: the selection list with its 0, or empty for none (null).
Parsed parse(const Bytes &b, const std::vector<uint32_t> &ids = {});
