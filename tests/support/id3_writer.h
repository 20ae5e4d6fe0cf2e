// SPDX-License-Identifier: MIT
// Writes ID3 tags byte for byte from readable parts: the tag writer of the
// library's and the tool's tests, the sample generator and the benchmark.
// Needs nothing of the library.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

using Bytes = std::vector<uint8_t>;

// The bytes of s, embedded NULs included: bytes("a\0b"s).
inline Bytes bytes(const std::string &s) {
    return Bytes(s.begin(), s.end());
}
inline Bytes operator+(Bytes a, const Bytes &b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}
inline Bytes fill(size_t n, uint8_t value = 0) {
    return Bytes(n, value);
}
// A 28-bit value in four 7-bit bytes.
inline Bytes syncsafe(uint32_t v) {
    return {uint8_t(v >> 21 & 0x7F), uint8_t(v >> 14 & 0x7F), uint8_t(v >> 7 & 0x7F),
            uint8_t(v & 0x7F)};
}
// Packed identifier: id("TIT2") == 0x54495432, id("TT2") == 0x00545432.
inline uint32_t id(const std::string &chars) {
    uint32_t v = 0;
    for (const char c : chars) v = v << 8 | uint8_t(c);
    return v;
}

// ID3v1: texts padded with NULs to their width; track >= 0 makes it ID3v1.1
// (zero marker at block offset 125, the track at 126).
struct V1Tag {
    std::string title = {}, artist = {}, album = {}, year = {}, comment = {};
    int track = -1;
    uint8_t genre = 255;
    Bytes build() const {  // the 128-byte block
        const auto padded = [](const std::string &s, size_t width) {
            return bytes((s + std::string(width, '\0')).substr(0, width));
        };
        Bytes note = padded(comment, 30);
        if (track >= 0) note[28] = 0, note[29] = uint8_t(track);
        return bytes("TAG") + padded(title, 30) + padded(artist, 30) + padded(album, 30) +
               padded(year, 4) + note + Bytes{genre};
    }
};

// An ID3v2 tag: the header, then frames in the version's layout and raw bytes
// in the order given. The header's size counts everything behind the header
// unless size() says otherwise.
struct V2Tag {
    explicit V2Tag(uint8_t major = 3, uint8_t revision = 0, uint8_t flags = 0)
        : head{'I', 'D', '3', major, revision, flags} {}
    // A frame whose header declares `declared` bytes (-1: those of the
    // content), followed by `content`. ID3v2.2 and older: 24-bit size, no flags.
    V2Tag &frame(const std::string &id, const Bytes &content, uint16_t flags = 0,
                 int64_t declared = -1) {
        const auto n = uint32_t(declared < 0 ? int64_t(content.size()) : declared);
        const Bytes size =
            head[3] == 4 ? syncsafe(n)
                         : Bytes{uint8_t(n >> 24), uint8_t(n >> 16), uint8_t(n >> 8), uint8_t(n)};
        if (head[3] <= 2) return raw(bytes(id) + Bytes(size.begin() + 1, size.end()) + content);
        return raw(bytes(id) + size + Bytes{uint8_t(flags >> 8), uint8_t(flags)} + content);
    }
    // A text frame: the encoding byte, then the text bytes as given.
    V2Tag &text(const std::string &id, uint8_t encoding, const std::string &text) {
        return frame(id, Bytes{encoding} + bytes(text));
    }
    // Bytes among the frames (an extended header first), as they are.
    V2Tag &raw(const Bytes &b) {
        body.insert(body.end(), b.begin(), b.end());
        return *this;
    }
    V2Tag &padding(size_t n) { return raw(fill(n)); }
    // The header's size field (not 0), instead of the real size.
    V2Tag &size(uint32_t declared) {
        declared_size = declared;
        return *this;
    }
    Bytes build() const {
        return head + syncsafe(declared_size ? declared_size : uint32_t(body.size())) + body;
    }

    Bytes head, body;
    uint32_t declared_size = 0;
};

// UTF-16 text with a little-endian byte-order mark, as many taggers write it.
inline Bytes utf16_bom(const std::u16string &text) {
    Bytes out{0xFF, 0xFE};
    for (const char16_t unit : text) out = out + Bytes{uint8_t(unit & 0xFF), uint8_t(unit >> 8)};
    return out;
}

// APIC content: encoding, MIME type, zero, picture type, description, data.
inline Bytes apic(uint8_t encoding, const std::string &mime, uint8_t type, const Bytes &description,
                  const Bytes &data) {
    return Bytes{encoding} + bytes(mime) + Bytes{0, type} + description + data;
}
