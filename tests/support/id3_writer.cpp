#include "support/id3_writer.h"

Bytes bytes(const std::string &s) {
    return Bytes(s.begin(), s.end());
}

Bytes operator+(Bytes a, const Bytes &b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

Bytes be32(uint32_t v) {
    return {uint8_t(v >> 24), uint8_t(v >> 16), uint8_t(v >> 8), uint8_t(v)};
}

Bytes syncsafe(uint32_t v) {
    return {uint8_t((v >> 21) & 0x7F), uint8_t((v >> 14) & 0x7F), uint8_t((v >> 7) & 0x7F),
            uint8_t(v & 0x7F)};
}

uint32_t id(const std::string &chars) {
    uint32_t v = 0;
    for (const char c : chars) v = v << 8 | static_cast<uint8_t>(c);
    return v;
}

static Bytes padded(const std::string &s, size_t width) {
    Bytes b = bytes(s.substr(0, width));
    b.resize(width, 0);
    return b;
}

Bytes V1Tag::build() const {
    Bytes comment_bytes = padded(comment, 30);
    if (track >= 0) {
        comment_bytes[28] = 0;
        comment_bytes[29] = uint8_t(track);
    }
    return bytes("TAG") + padded(title, 30) + padded(artist, 30) + padded(album, 30) +
           padded(year, 4) + comment_bytes + Bytes{genre};
}

V2Tag &V2Tag::frame_sized(const std::string &frame_id, uint32_t declared, const Bytes &content,
                          uint16_t frame_flags) {
    Bytes header = major_ == 4 ? syncsafe(declared) : be32(declared);
    if (major_ <= 2) {
        header.erase(header.begin());  // a 24-bit size, no flags
    } else {
        header = header + Bytes{uint8_t(frame_flags >> 8), uint8_t(frame_flags)};
    }
    return raw(bytes(frame_id) + header + content);
}

V2Tag &V2Tag::raw(const Bytes &b) {
    body_ = body_ + b;
    return *this;
}

V2Tag &V2Tag::size(uint32_t declared) {
    size_set_ = true;
    size_ = declared;
    return *this;
}

Bytes V2Tag::build() const {
    const uint32_t real = uint32_t(body_.size());
    return bytes("ID3") + Bytes{major_, revision_, flags_} + syncsafe(size_set_ ? size_ : real) +
           body_;
}

Bytes utf16_bom(const std::u16string &text) {
    Bytes out{0xFF, 0xFE};
    for (const char16_t unit : text) out = out + Bytes{uint8_t(unit & 0xFF), uint8_t(unit >> 8)};
    return out;
}
