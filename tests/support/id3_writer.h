// Writes ID3 tags byte for byte from readable parts: the tests' tag builder,
// also used by the sample generator and the benchmark. Needs nothing of the
// library.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

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
// UTF-16 text with a little-endian byte-order mark, as many taggers write it.
Bytes utf16_bom(const std::u16string &text);

inline Bytes apic(uint8_t encoding, const std::string &mime, uint8_t type, const Bytes &description,
                  const Bytes &data) {
    return Bytes{encoding} + bytes(mime) + Bytes{0, type} + description + data;
}
