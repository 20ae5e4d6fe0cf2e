// SPDX-License-Identifier: MIT
// The walk over the frames of an ID3v2 tag: frame headers of every version,
// their identifiers, flags and sizes, the caller's selection, and the decoded
// frames linked into the tag.
#include <cstdint>

#include "tag/bytes.h"
#include "tag/log.h"
#include "tag/records.h"
#include "v2/v2.h"

namespace kelid3::detail {
namespace {

// The scanner's lines carry the name of the exported function.
constexpr char kScanner[] = "id3_parse_v2x_body";

// The tag header's flag of a tag unsynchronised as a whole.
constexpr uint32_t kTagUnsynchronised = 0x80;

// A frame header is only read when this many bytes remain, for every version.
constexpr uint32_t kMinFrameHeaderRoom = 10;

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

// Names the first byte of `id` under `mask`, from the last character to the
// first, that may not stand in an identifier. Only called once all_id_chars
// has found one.
[[gnu::cold]] bool reject_identifier(uint32_t version, uint32_t id, uint32_t mask) {
    for (unsigned shift = 0; shift < 32 && (mask >> shift) != 0; shift += 8) {
        const uint32_t c = (id >> shift) & 0xFF;
        if (!is_id_char(c)) {
            ID3_LOG_AS("is_valid_frame_identifier", INFO,
                       "illegal frame identifier: 0x%08x, tag version 0x%08x, x 0x%02x", id,
                       version, static_cast<int>(static_cast<int8_t>(c)));
            break;
        }
    }
    return false;
}

// One frame header, read in the layout of the tag's version.
struct FrameHeader {
    uint32_t id;
    uint32_t size;
    uint32_t flags;
    uint32_t length;  // header bytes in front of the content
    bool pic_layout;  // ID3v2.2: a picture (PIC) has a layout of its own
    bool skipped;     // compressed, encrypted or unsynchronised: passed over
};

// Reads the frame header at `p`, where ten bytes remain. False, after the
// identifier check's line, when the identifier holds another character than
// 'A'-'Z' and '0'-'9' (a zero byte of padding among them).
bool read_frame_header(const FrameLayout &layout, const uint8_t *p, FrameHeader &header) {
    const bool three = layout.id_chars == 3;
    const uint32_t mask = three ? 0x00FFFFFFu : 0xFFFFFFFFu;
    header.id = three ? be24(p) : be32(p);
    if (!all_id_chars(header.id, mask)) return reject_identifier(layout.version, header.id, mask);
    header.pic_layout = three;
    if (three) header.id = map_v22_frame_identifier(header.id);
    header.length = layout.header_length;
    switch (layout.size) {
        case FrameLayout::Size::kBe24:
            header.size = be24(p + 3);
            break;
        case FrameLayout::Size::kBe32:
            header.size = be32(p + 4);
            break;
        case FrameLayout::Size::kSyncsafe:
            if (any_top_bit(p + 4)) {
                ID3_LOG_AS(kScanner, WARN, "illegal size: 0x%08x. Not syncsafe as it should be.",
                           le32(p + 4));
            }
            header.size = syncsafe32(p + 4);
            break;
    }
    header.flags = three ? 0 : be16(p + 8);
    header.skipped =
        (header.flags & (layout.compressed | layout.encrypted | layout.unsynchronised)) != 0;
    return true;
}

// The line for a frame passed over: compressed, encrypted or unsynchronised.
[[gnu::cold]] void report_skipped(const FrameHeader &header, bool compressed, bool encrypted,
                                  bool unsynchronised) {
    ID3_LOG_AS(kScanner, INFO, "skipping %s%s%s frame: %08x %c%c%c%c %u bytes, flags: %08x",
               compressed ? "compressed," : "", encrypted ? "encrypted," : "",
               unsynchronised ? "unsync'd" : "", header.id, ID3_ID_CHARS(header.id), header.size,
               header.flags);
}

// True when the content holds the byte pair FF 00: the mark that an
// unsynchronising writer leaves behind every FF that could be read as the
// start of a sync signal. Content without it reads the same unsynchronised.
bool holds_unsync_mark(const uint8_t *content, uint32_t size) {
    for (uint32_t i = 0; i + 1 < size; ++i) {
        if (content[i] == 0xFF && content[i + 1] == 0x00) return true;
    }
    return false;
}

// True when `id` is one of the `ids` before its terminating 0.
bool is_selected(const uint32_t *ids, uint32_t id) {
    for (; *ids != 0; ++ids) {
        if (*ids == id) return true;
    }
    return false;
}

// One scan over the frames of a tag. Every bound is a count of the bytes left:
// the position never passes the buffer's length, except that a frame passed
// over for its flags may reach past it, after which the next pass ends the
// scan as malformed.
class Scan {
  public:
    Scan(const uint8_t *buf, uint32_t len, id3_tag *tag, const uint32_t *ids)
        : buf_(buf),
          len_(len),
          tag_(tag),
          ids_(ids),
          unsynchronised_((tag->flags & kTagUnsynchronised) != 0),
          // The header's size counts the bytes behind the tag header, so the
          // scan ends ten bytes before the frames' end. A declared size below
          // the header's sets no end at all.
          limit_(tag->size >= tag->header_size ? tag->size - tag->header_size : UINT32_MAX) {}

    // The checks before each frame header; true when one is to be read, with
    // a frame record in hand.
    bool next_frame();
    // Reads, checks and decodes the frame at the position; false ends the scan.
    bool read_frame(const FrameLayout &layout);
    // Ends a scan of a tag whose version has no frame layout.
    void unsupported() {
        const uint32_t version = tag_->version;
        ID3_LOG_AS(kScanner, ERROR, "unsupported ID3-Version %d.%d.%d. Unable to parse frame-size.",
                   (version >> 16) & 0xFF, (version >> 8) & 0xFF, version & 0xFF);
        result_ = KELID3_EBADTAG;
    }
    // A failure's code, or the position at which the scan stopped.
    [[nodiscard]] int32_t result() const {
        return result_ != 0 ? result_ : static_cast<int32_t>(pos_);
    }

  private:
    [[nodiscard]] bool reaches_past_buffer(const FrameHeader &header) const;
    bool decode(const FrameHeader &header);
    void pass(uint32_t n);

    const uint8_t *buf_;
    uint32_t len_;
    id3_tag *tag_;
    const uint32_t *ids_;
    bool unsynchronised_;  // the tag header's flag: every frame may hold FF 00
    uint32_t limit_;
    uint32_t pos_ = 0;      // offset of the next frame header
    bool overrun_ = false;  // a frame passed over reaches past the buffer
    int32_t result_ = 0;
    FramePtr frame_;  // the record in hand, reused until a frame is linked
};

bool Scan::next_frame() {
    ID3_LOG_AS(kScanner, TRACE, "inbuf: %u/%u (0x%x/0x%x) tag->header_size %u, tag->size %u", pos_,
               len_, pos_, len_, tag_->header_size, tag_->size);
    if (overrun_) {
        ID3_LOG_AS(kScanner, ERROR, "Malformed tag ??? (or bug?) inbuf: %d/%d", pos_, len_);
        result_ = KELID3_EBADTAG;
        return false;
    }
    if (len_ - pos_ < kMinFrameHeaderRoom) {
        ID3_LOG_AS(kScanner, INFO, "end of buffer reached");
        return false;
    }
    if (pos_ == limit_) {
        ID3_LOG_AS(kScanner, INFO, "scanned tag completedly: size %d (excluding header)",
                   tag_->size);
        return false;
    }
    if (pos_ > limit_) {
        ID3_LOG_AS(kScanner, INFO,
                   "scanned beyond tag. Malformed input ??? (or bug?) size: %u inbuf: %u/%u "
                   "(0x%x/0x%x)",
                   tag_->size, pos_, len_, pos_, len_);
    }
    if (!frame_) {
        frame_ = new_frame();
        if (!frame_) {
            ID3_LOG_AS(kScanner, INFO, "unable to malloc new buffer.");
            result_ = KELID3_ENOMEM;
            return false;
        }
    }
    return true;
}

bool Scan::read_frame(const FrameLayout &layout) {
    FrameHeader header{};
    if (!read_frame_header(layout, buf_ + pos_, header)) {
        ID3_LOG_AS(kScanner, WARN, "illegal frame identifier '%c%c%c%c' Stop at %d/%d.",
                   ID3_ID_CHARS(header.id), pos_, len_);
        return false;
    }
    if (header.skipped) {
        const uint32_t flags = header.flags;
        report_skipped(header, (flags & layout.compressed) != 0, (flags & layout.encrypted) != 0,
                       (flags & layout.unsynchronised) != 0);
        pass(header.length);
        pass(header.size);
        return true;
    }
    if (reaches_past_buffer(header)) {
        ID3_LOG_AS(kScanner, INFO, "frame beyond buffer end: %08x %c%c%c%c", header.id,
                   ID3_ID_CHARS(header.id));
        return false;
    }
    pos_ += header.length;
    if (header.size == 0 || header.size > kMaxFrameSize) {
        ID3_LOG_AS(kScanner, ERROR, "frame size: %u. Stop here.", header.size);
        result_ = KELID3_ERANGE;
        return false;
    }
    // Whole-tag unsynchronisation is not undone: a frame that it changed is
    // passed over rather than returned corrupted.
    if (unsynchronised_ && holds_unsync_mark(buf_ + pos_, header.size)) {
        report_skipped(header, false, false, true);
        pos_ += header.size;
        return true;
    }
    ID3_LOG_AS(kScanner, TRACE, "frame: %c%c%c%c, size: %d (0x%x) flags: 0x%04x [%d,%d]",
               ID3_ID_CHARS(header.id), header.size, header.size, header.flags, pos_,
               pos_ + header.size);
    if (ids_ != nullptr) {
        if (!is_selected(ids_, header.id)) {
            pos_ += header.size;
            return true;
        }
        ID3_LOG_AS(kScanner, TRACE, "found requested id %08x, %c%c%c%c", header.id,
                   ID3_ID_CHARS(header.id));
    }
    return decode(header);
}

// Whether the frame's content reaches past the buffer. The format's sizes are
// 32-bit: a frame whose end would lie past 4 GiB is let through to the size
// check, which refuses its size.
bool Scan::reaches_past_buffer(const FrameHeader &header) const {
    const uint32_t room = len_ - pos_ - header.length;  // ten bytes remain: no wrap
    const bool end_past_4gib = header.size > UINT32_MAX - pos_ - header.length;
    return header.size > room && !(end_past_4gib && header.size > kMaxFrameSize);
}

bool Scan::decode(const FrameHeader &header) {
    frame_->id = header.id;
    frame_->flags = header.flags;
    frame_->size = header.size;
    const int decoded = id3_parse_v2_frame(
        frame_.get(), buf_ + pos_, header.pic_layout ? PictureLayout::kPic : PictureLayout::kApic);
    if (decoded < 0) {
        result_ = KELID3_EBADTAG;
        return false;
    }
    pos_ += header.size;
    if (decoded == kDecoded) {
        link_frame(tag_, frame_);
    } else {
        ID3_LOG_AS(kScanner, INFO, "unable to parse v2 frame: id=%08x, %c%c%c%c. Skipping it.",
                   header.id, ID3_ID_CHARS(header.id));
    }
    return true;
}

// Passes over `n` bytes of a frame that is not read. Should they reach past
// the buffer, the position still counts them, up to 4 GiB - 1, for the line
// that reports the tag malformed.
void Scan::pass(uint32_t n) {
    overrun_ = overrun_ || n > len_ - pos_;
    pos_ = n > UINT32_MAX - pos_ ? UINT32_MAX : pos_ + n;
}

}  // namespace
}  // namespace kelid3::detail

extern "C" int32_t id3_parse_v2x_body(const void *buf, uint32_t len, id3_tag *tag,
                                      const uint32_t *ids) {
    using namespace kelid3::detail;
    Scan scan(static_cast<const uint8_t *>(buf), len, tag, ids);
    const FrameLayout *layout = frame_layout(tag->version);
    if (layout == nullptr) {
        // Found out before the first frame header, once the checks that come
        // before every frame header have passed.
        if (scan.next_frame()) scan.unsupported();
        return scan.result();
    }
    while (scan.next_frame() && scan.read_frame(*layout)) {
    }
    return scan.result();
}
