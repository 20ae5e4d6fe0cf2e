#include "support/tag_builder.h"

#include <algorithm>

Bytes bytes(const std::string &s) {
    return Bytes(s.begin(), s.end());
}

Bytes operator+(Bytes a, const Bytes &b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

Bytes be16(uint32_t v) {
    return {uint8_t(v >> 8), uint8_t(v)};
}
Bytes be24(uint32_t v) {
    return {uint8_t(v >> 16), uint8_t(v >> 8), uint8_t(v)};
}
Bytes be32(uint32_t v) {
    return {uint8_t(v >> 24), uint8_t(v >> 16), uint8_t(v >> 8), uint8_t(v)};
}
Bytes syncsafe(uint32_t v) {
    return {uint8_t((v >> 21) & 0x7F), uint8_t((v >> 14) & 0x7F), uint8_t((v >> 7) & 0x7F),
            uint8_t(v & 0x7F)};
}
Bytes fill(size_t n, uint8_t value) {
    return Bytes(n, value);
}

uint32_t id(const std::string &chars) {
    uint32_t v = 0;
    for (unsigned char c : chars) v = v << 8 | c;
    return v;
}

std::string id_chars(uint32_t v) {
    return {char(v >> 24), char(v >> 16), char(v >> 8), char(v)};
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

V2Tag &V2Tag::flags(uint8_t f) {
    flags_ = f;
    return *this;
}

V2Tag &V2Tag::extended(const Bytes &ext) {
    ext_ = ext;
    return *this;
}

V2Tag &V2Tag::frame(const std::string &frame_id, const Bytes &content, uint16_t frame_flags) {
    return frame_sized(frame_id, uint32_t(content.size()), content, frame_flags);
}

V2Tag &V2Tag::frame_sized(const std::string &frame_id, uint32_t declared, const Bytes &content,
                          uint16_t frame_flags) {
    Bytes header = bytes(frame_id);
    if (major_ <= 2) {
        header = header + be24(declared);
    } else {
        header = header + (major_ == 4 ? syncsafe(declared) : be32(declared)) + be16(frame_flags);
    }
    body_ = body_ + header + content;
    return *this;
}

V2Tag &V2Tag::text(const std::string &frame_id, uint8_t encoding, const std::string &t) {
    return frame(frame_id, Bytes{encoding} + bytes(t));
}

V2Tag &V2Tag::raw(const Bytes &b) {
    body_ = body_ + b;
    return *this;
}

V2Tag &V2Tag::padding(size_t n) {
    return raw(fill(n));
}

V2Tag &V2Tag::size(uint32_t declared) {
    size_set_ = true;
    size_ = declared;
    return *this;
}

Bytes V2Tag::body() const {
    return body_;
}

Bytes V2Tag::build() const {
    const uint32_t real = uint32_t(ext_.size() + body_.size());
    return bytes("ID3") + Bytes{major_, revision_, flags_} + syncsafe(size_set_ ? size_ : real) +
           ext_ + body_;
}

Bytes apic(uint8_t encoding, const std::string &mime, uint8_t type, const Bytes &description,
           const Bytes &data) {
    return Bytes{encoding} + bytes(mime) + Bytes{0, type} + description + data;
}

std::vector<const id3_frame *> frames_of(const id3_tag *tag) {
    std::vector<const id3_frame *> v;
    for (const id3_frame *f = tag ? tag->frames : nullptr; f; f = f->next) v.push_back(f);
    return v;
}

std::vector<const id3_field *> fields_of(const id3_frame *frame) {
    std::vector<const id3_field *> v;
    for (const id3_field *f = frame ? frame->fields : nullptr; f; f = f->next) v.push_back(f);
    return v;
}

std::vector<std::string> frame_ids(const id3_tag *tag) {
    std::vector<std::string> v;
    for (const id3_frame *f : frames_of(tag)) v.push_back(id_chars(f->id));
    return v;
}

Bytes field_content(const id3_field *field) {
    const auto *p = reinterpret_cast<const uint8_t *>(field->data);
    if (field->type == FIELD_STRING) return Bytes(p, p + field->length + 1);
    if (field->type == FIELD_BLOB) return Bytes(p, p + field->size);
    return {};
}
