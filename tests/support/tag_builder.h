// Builds byte-exact ID3 tags for the tests from readable parts, and walks the
// records a parse returns.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "kelid3.h"

using Bytes = std::vector<uint8_t>;

// ---- Byte helpers --------------------------------------------------------

// The bytes of s, embedded NULs included: bytes(std::string("a\0b", 3)).
Bytes bytes(const std::string &s);
Bytes operator+(Bytes a, const Bytes &b);
Bytes be16(uint32_t v);
Bytes be24(uint32_t v);
Bytes be32(uint32_t v);
Bytes syncsafe(uint32_t v);  // 28-bit value in four 7-bit bytes
Bytes fill(size_t n, uint8_t value = 0);

// Packed identifier: id("TIT2") == 0x54495432, id("TT2") == 0x00545432.
uint32_t id(const std::string &chars);
// The four characters of a packed identifier, a leading NUL kept.
std::string id_chars(uint32_t id);

// ---- ID3v1 ----------------------------------------------------------------

struct V1Tag {
    std::string title, artist, album, year, comment;  // padded with NULs to width
    int track = -1;  // >= 0: ID3v1.1 (zero marker at 125, track at 126)
    uint8_t genre = 255;
    Bytes build() const;  // the 128-byte block
};

// ---- ID3v2 ----------------------------------------------------------------

// An ID3v2 tag: header, optional extended header, frames in the version's
// layout, padding. The header's size counts everything behind the header
// unless overridden.
class V2Tag {
  public:
    explicit V2Tag(uint8_t major = 3, uint8_t revision = 0) : major_(major), revision_(revision) {}

    V2Tag &flags(uint8_t f);
    V2Tag &extended(const Bytes &ext);  // bytes right behind the header (set flag 0x40 yourself)
    // A frame whose header declares content.size() bytes.
    V2Tag &frame(const std::string &id, const Bytes &content, uint16_t flags = 0);
    // A frame whose header declares `declared` bytes, followed by `content`.
    V2Tag &frame_sized(const std::string &id, uint32_t declared, const Bytes &content,
                       uint16_t flags = 0);
    // A text frame: encoding byte, then the text bytes as given.
    V2Tag &text(const std::string &id, uint8_t encoding, const std::string &text);
    V2Tag &raw(const Bytes &b);  // bytes among the frames, as they are
    V2Tag &padding(size_t n);
    V2Tag &size(uint32_t declared);  // header size field, instead of the real size

    Bytes body() const;  // frames and padding only (what the frame scanner reads)
    Bytes build() const;

  private:
    uint8_t major_, revision_, flags_ = 0;
    Bytes ext_, body_;
    bool size_set_ = false;
    uint32_t size_ = 0;
};

// APIC content: encoding, MIME type, zero, picture type, description, data.
Bytes apic(uint8_t encoding, const std::string &mime, uint8_t type, const Bytes &description,
           const Bytes &data);

// ---- Records ----------------------------------------------------------------

struct TagFree {
    void operator()(id3_tag *t) const { kelid3_tag_free(t); }
};
using TagPtr = std::unique_ptr<id3_tag, TagFree>;

std::vector<const id3_frame *> frames_of(const id3_tag *tag);
std::vector<const id3_field *> fields_of(const id3_frame *frame);
// Frame identifiers in list order, as characters.
std::vector<std::string> frame_ids(const id3_tag *tag);
// A FIELD_STRING's length bytes and terminator, or a FIELD_BLOB's size bytes.
Bytes field_content(const id3_field *field);
