// The walk over the frames of an ID3v2 tag: frame headers of every version,
// their identifiers, flags and sizes, the caller's selection, and the decoded
// frames linked into the tag.
#include <cstdint>

#include "tag/bytes.h"
#include "tag/log.h"
#include "tag/records.h"
#include "v2/v2.h"

namespace kelid3 {
namespace {

// A frame header is only read when this many bytes remain, for every version.
constexpr uint32_t kMinFrameHeaderRoom = 10;

// Frame flags that make the scanner pass a frame over: its content cannot be
// read as it stands. ID3v2.4 positions, and ID3v2.3's own.
constexpr uint32_t kV24Compressed = 0x0008;
constexpr uint32_t kV24Encrypted = 0x0004;
constexpr uint32_t kV24Unsynchronised = 0x0002;
constexpr uint32_t kV23Compressed = 0x0080;
constexpr uint32_t kV23Encrypted = 0x0040;

bool is_v22_family(uint32_t version) {
    return version == kVersion20 || version == kVersion21 || version == kVersion22;
}

// Positions past 4 GiB are shown as 0xFFFFFFFF.
uint32_t shown(uint64_t pos) {
    return pos > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(pos);
}

bool is_id_char(uint32_t c) {
    return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

// is_id_char for every byte of `id` under `mask` at once: the top bit of each
// byte below 0x80 marks it as 'A'..'Z' or '0'..'9' (no sum carries into the
// next byte).
bool all_id_chars(uint32_t id, uint32_t mask) {
    constexpr uint32_t kOnes = 0x01010101u;
    constexpr uint32_t kTop = 0x80808080u;
    if ((id & kTop & mask) != 0) return false;
    const auto at_least = [id](uint32_t c) { return id + (0x80u - c) * kOnes; };
    const uint32_t digit = at_least('0') & ~at_least('9' + 1);
    const uint32_t upper = at_least('A') & ~at_least('Z' + 1);
    return ((digit | upper) & kTop & mask) == (kTop & mask);
}

// True when `id` is one of the `ids` before its terminating 0.
bool is_selected(const uint32_t *ids, uint32_t id) {
    for (; *ids != 0; ++ids) {
        if (*ids == id) return true;
    }
    return false;
}

// Logs the first character of `id` that may not stand in an identifier of
// `chars` characters, looking from the last to the first. Only called once
// all_id_chars has found one.
[[gnu::cold]] bool reject_identifier(uint32_t version, uint32_t id, unsigned chars) {
    for (unsigned i = 0; i < chars; ++i) {
        const uint32_t c = (id >> (8 * i)) & 0xFF;
        if (!is_id_char(c)) {
            ID3_LOG_AS("is_valid_frame_identifier", INFO,
                       "illegal frame identifier: 0x%08x, tag version 0x%08x, x 0x%02x", id,
                       version, static_cast<int>(static_cast<int8_t>(c)));
            break;
        }
    }
    return false;
}

// is_valid_frame_identifier for an identifier of `chars` characters.
inline bool check_identifier(uint32_t version, uint32_t id, unsigned chars) {
    return all_id_chars(id, chars == 4 ? 0xFFFFFFFFu : 0x00FFFFFFu) ||
           reject_identifier(version, id, chars);
}

// How the frame headers of a tag are laid out, settled once per tag.
enum class FrameHeaders : uint8_t {
    kV22,          // three-character identifier, 24-bit size, no flags
    kV23,          // four characters, 32-bit size, ID3v2.3 flags
    kV24,          // four characters, syncsafe size, ID3v2.4 flags
    kUnsupported,  // no frame header can be read
};

FrameHeaders frame_headers(uint32_t version) {
    if (is_v22_family(version)) return FrameHeaders::kV22;
    if (version == kVersion23) return FrameHeaders::kV23;
    if (version == kVersion24) return FrameHeaders::kV24;
    return FrameHeaders::kUnsupported;
}

// The flags that make the scanner pass a frame over, per layout.
constexpr uint32_t kV24Skipped = kV24Compressed | kV24Encrypted | kV24Unsynchronised;
constexpr uint32_t kV23Skipped = kV24Skipped | kV23Compressed | kV23Encrypted;

// The line for a frame passed over for its flags.
[[gnu::cold]] void report_skipped(const id3_frame *frame, FrameHeaders headers) {
    const uint32_t flags = frame->flags;
    uint32_t compressed = flags & kV24Compressed;
    uint32_t encrypted = flags & kV24Encrypted;
    if (headers == FrameHeaders::kV23) {
        compressed |= flags & kV23Compressed;
        encrypted |= flags & kV23Encrypted;
    }
    const uint32_t unsynchronised = flags & kV24Unsynchronised;
    ID3_LOG_AS("id3_parse_v2x_body", INFO,
               "skipping %s%s%s frame: %08x %c%c%c%c %u bytes, flags: %08x",
               compressed != 0 ? "compressed," : "", encrypted != 0 ? "encrypted," : "",
               unsynchronised != 0 ? "unsync'd" : "", frame->id, ID3_ID_CHARS(frame->id),
               frame->size, flags);
}

}  // namespace

bool is_valid_frame_identifier(uint32_t version, uint32_t id) {
    switch (frame_headers(version)) {
        case FrameHeaders::kV22:
            return check_identifier(version, id, 3);
        case FrameHeaders::kV23:
        case FrameHeaders::kV24:
            return check_identifier(version, id, 4);
        case FrameHeaders::kUnsupported:
            break;
    }
    ID3_LOG(ERROR, "unknown version");
    return false;
}

}  // namespace kelid3

extern "C" int32_t id3_parse_v2x_body(const void *buf, uint32_t len, id3_tag *tag,
                                      const uint32_t *ids) {
    using namespace kelid3;
    const auto *bytes = static_cast<const uint8_t *>(buf);
    const uint32_t version = tag->version;
    const FrameHeaders headers = frame_headers(version);
    // Kept in 64 bits: a frame passed over may claim up to 4 GiB, and the
    // position must never wrap back to an earlier frame.
    uint64_t pos = 0;
    int32_t result = 0;
    FramePtr frame;  // the record in hand, reused until a frame is linked

    for (;;) {
        ID3_LOG(TRACE, "inbuf: %u/%u (0x%x/0x%x) tag->header_size %u, tag->size %u", shown(pos),
                len, shown(pos), len, tag->header_size, tag->size);
        if (pos > len) {
            ID3_LOG(ERROR, "Malformed tag ??? (or bug?) inbuf: %d/%d", shown(pos), len);
            result = KELID3_EBADTAG;
            break;
        }
        if (len - pos < kMinFrameHeaderRoom) {
            ID3_LOG(INFO, "end of buffer reached");
            break;
        }
        // The header's size counts the bytes behind the tag header, so this
        // limit ends the scan ten bytes before the frames' end.
        const uint32_t limit = tag->size - tag->header_size;
        if (pos == limit) {
            ID3_LOG(INFO, "scanned tag completedly: size %d (excluding header)", tag->size);
            break;
        }
        if (pos > limit) {
            ID3_LOG(INFO,
                    "scanned beyond tag. Malformed input ??? (or bug?) size: %u inbuf: %u/%u "
                    "(0x%x/0x%x)",
                    tag->size, shown(pos), len, shown(pos), len);
        }

        if (!frame) {
            frame = new_frame();
            if (!frame) {
                ID3_LOG(INFO, "unable to malloc new buffer.");
                return KELID3_ENOMEM;
            }
        }
        frame->next = nullptr;
        frame->fields = nullptr;

        if (headers == FrameHeaders::kUnsupported) {
            ID3_LOG(ERROR, "unsupported ID3-Version %d.%d.%d. Unable to parse frame-size.",
                    (version >> 16) & 0xFF, (version >> 8) & 0xFF, version & 0xFF);
            result = KELID3_EBADTAG;
            break;
        }
        const uint8_t *header = bytes + pos;
        const bool v22 = headers == FrameHeaders::kV22;
        frame->id = v22 ? be24(header) : be32(header);
        if (!check_identifier(version, frame->id, v22 ? 3 : 4)) {
            ID3_LOG(WARN, "illegal frame identifier '%c%c%c%c' Stop at %d/%d.",
                    ID3_ID_CHARS(frame->id), shown(pos), len);
            break;
        }
        uint32_t header_length = 0;
        uint32_t skipped = 0;  // flags that make this frame be passed over
        bool from_pic = false;
        if (v22) {
            from_pic = frame->id == threecc("PIC");
            frame->id = map_v22_frame_identifier(frame->id);
            frame->size = be24(header + 3);
            frame->flags = 0;
            header_length = 6;
        } else {
            if (headers == FrameHeaders::kV23) {
                frame->size = be32(header + 4);
                skipped = kV23Skipped;
            } else {
                if (any_top_bit(header + 4)) {
                    ID3_LOG(WARN, "illegal size: 0x%08x. Not syncsafe as it should be.",
                            le32(header + 4));
                }
                frame->size = syncsafe32(header + 4);
                skipped = kV24Skipped;
            }
            frame->flags = be16(header + 8);
            header_length = 10;
        }
        const uint32_t size = frame->size;
        const uint32_t flags = frame->flags;
        if ((flags & skipped) != 0) {
            report_skipped(frame.get(), headers);
            pos += uint64_t{header_length} + size;
            continue;
        }

        // The format's sizes are 32-bit: a frame end past 4 GiB only comes from a
        // size out of range, which the size check below reports.
        const uint64_t end = pos + header_length + size;
        const bool wraps = end > UINT32_MAX;
        if (end > len && !(wraps && size > kMaxFrameSize)) {
            ID3_LOG(INFO, "frame beyond buffer end: %08x %c%c%c%c", frame->id,
                    ID3_ID_CHARS(frame->id));
            break;
        }
        pos += header_length;
        if (size == 0 || size > kMaxFrameSize) {
            ID3_LOG(ERROR, "frame size: %u. Stop here.", size);
            result = KELID3_ERANGE;
            break;
        }
        ID3_LOG(TRACE, "frame: %c%c%c%c, size: %d (0x%x) flags: 0x%04x [%d,%d]",
                ID3_ID_CHARS(frame->id), size, size, flags, shown(pos), shown(pos + size));

        if (ids != nullptr) {
            if (!is_selected(ids, frame->id)) {
                pos += size;
                continue;
            }
            ID3_LOG(TRACE, "found requested id %08x, %c%c%c%c", frame->id, ID3_ID_CHARS(frame->id));
        }

        const int decoded = id3_parse_v2_frame(
            frame.get(), bytes + pos, from_pic ? PictureLayout::kPic : PictureLayout::kApic);
        if (decoded < 0) {
            result = KELID3_EBADTAG;
            break;
        }
        pos += size;
        if (decoded == kDecoded) {
            link_frame(tag, frame);
        } else {
            ID3_LOG(INFO, "unable to parse v2 frame: id=%08x, %c%c%c%c. Skipping it.", frame->id,
                    ID3_ID_CHARS(frame->id));
        }
    }
    // The record in hand, if any, is released with the handle.
    return result != 0 ? result : static_cast<int32_t>(pos);
}
