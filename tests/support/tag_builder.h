// Builds byte-exact ID3 tags for the tests from readable parts, and walks the
// records a parse returns.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "kelid3.h"
#include "support/log_capture.h"

using Bytes = std::vector<uint8_t>;

// ---- Byte helpers --------------------------------------------------------

// The bytes of s, embedded NULs included: bytes(std::string("a\0b", 3)).
Bytes bytes(const std::string &s);
Bytes operator+(Bytes a, const Bytes &b);
Bytes be32(uint32_t v);
Bytes syncsafe(uint32_t v);  // 28-bit value in four 7-bit bytes
inline Bytes fill(size_t n, uint8_t value = 0) {
    return Bytes(n, value);
}

// Packed identifier: id("TIT2") == 0x54495432, id("TT2") == 0x00545432.
uint32_t id(const std::string &chars);

// ---- ID3v1 ----------------------------------------------------------------

struct V1Tag {
    std::string title, artist, album, year, comment;  // padded with NULs to width
    int track = -1;  // >= 0: ID3v1.1 (zero marker at 125, track at 126)
    uint8_t genre = 255;
    Bytes build() const;  // the 128-byte block
};

// ---- ID3v2 ----------------------------------------------------------------

// An ID3v2 tag: header, then frames in the version's layout and raw bytes in
// the order given. The header's size counts everything behind the header
// unless overridden.
class V2Tag {
  public:
    explicit V2Tag(uint8_t major = 3, uint8_t revision = 0, uint8_t flags = 0)
        : major_(major), revision_(revision), flags_(flags) {}

    // A frame whose header declares `declared` bytes, followed by `content`.
    V2Tag &frame_sized(const std::string &id, uint32_t declared, const Bytes &content,
                       uint16_t flags = 0);
    // A frame whose header declares content.size() bytes.
    V2Tag &frame(const std::string &id, const Bytes &content, uint16_t flags = 0) {
        return frame_sized(id, uint32_t(content.size()), content, flags);
    }
    // A text frame: encoding byte, then the text bytes as given.
    V2Tag &text(const std::string &id, uint8_t encoding, const std::string &text) {
        return frame(id, Bytes{encoding} + bytes(text));
    }
    V2Tag &raw(const Bytes &b);  // bytes among the frames (an extended header first), as they are
    V2Tag &padding(size_t n) { return raw(fill(n)); }
    V2Tag &size(uint32_t declared);  // header size field, instead of the real size
    Bytes build() const;

  private:
    uint8_t major_, revision_, flags_;
    Bytes body_;
    bool size_set_ = false;
    uint32_t size_ = 0;
};

// APIC content: encoding, MIME type, zero, picture type, description, data.
inline Bytes apic(uint8_t encoding, const std::string &mime, uint8_t type, const Bytes &description,
                  const Bytes &data) {
    return Bytes{encoding} + bytes(mime) + Bytes{0, type} + description + data;
}

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
