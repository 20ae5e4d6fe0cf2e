// SPDX-License-Identifier: MIT
// The walk over the frames of an ID3v2 tag: frame headers of every version,
// their identifiers, flags and sizes, the caller's selection, and the decoded
// frames linked into the tag.
#include <cstdint>
#include <cstdlib>

#include "tag/bytes.h"
#include "tag/log.h"
#include "tag/records.h"
#include "v2/unsync.h"
#include "v2/v2.h"

namespace kelid3::detail {
namespace {

// The scanner's lines carry the name of the exported function.
constexpr char kScanner[] = "id3_parse_v2x_body";

// The tag header's flag of a tag unsynchronised as a whole.
constexpr uint32_t kTagUnsynchronised = 0x80;

// A frame header is only read when this many bytes remain, for every version.
constexpr uint32_t kMinFrameHeaderRoom = 10;

// The scan never looks further: no tag is that long, and every offset it
// reports stays a positive 32-bit result.
constexpr uint32_t kMaxScan = INT32_MAX;

// The group byte and the data length indicator in front of a frame's content.
constexpr uint32_t kGroupLength = 1;
constexpr uint32_t kDataLengthLength = 4;

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
[[gnu::cold]] bool reject_identifier(std::FILE *log, uint32_t version, uint32_t id, uint32_t mask) {
    for (unsigned shift = 0; shift < 32 && (mask >> shift) != 0; shift += 8) {
        const uint32_t c = (id >> shift) & 0xFF;
        if (!is_id_char(c)) {
            ID3_LOG_AS(log, "is_valid_frame_identifier", INFO,
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
    bool skipped;     // compressed, encrypted or unsynchronised: passed over
};

// An ID3v2.4 frame size that cannot be syncsafe (a byte has its top bit set):
// the plain 32-bit number its writer put there.
[[gnu::cold]] uint32_t plain_size(std::FILE *log, const uint8_t *p) {
    ID3_LOG_AS(log, kScanner, WARN, "illegal size: 0x%08x. Not syncsafe as it should be.", le32(p));
    return be32(p);
}

// The frame size of an ID3v2.4 header: syncsafe, as the format says, or plain.
uint32_t v24_frame_size(std::FILE *log, const uint8_t *p) {
    return any_top_bit(p) ? plain_size(log, p) : syncsafe32(p);
}

// Reads the frame header at `p`, where ten bytes remain. False, after the
// identifier check's line, when the identifier holds another character than
// 'A'-'Z' and '0'-'9' (a zero byte of padding among them).
bool read_frame_header(std::FILE *log, const FrameLayout &layout, uint16_t skip_flags,
                       const uint8_t *p, FrameHeader &header) {
    const bool three = layout.id_chars == 3;
    const uint32_t mask = three ? 0x00FFFFFFu : 0xFFFFFFFFu;
    header.id = three ? be24(p) : be32(p);
    if (!all_id_chars(header.id, mask)) {
        return reject_identifier(log, layout.version, header.id, mask);
    }
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
            header.size = v24_frame_size(log, p + 4);
            break;
    }
    header.flags = three ? 0 : be16(p + 8);
    header.skipped = (header.flags & skip_flags) != 0;
    return true;
}

// The line for a frame passed over: compressed, encrypted or unsynchronised.
[[gnu::cold]] void report_skipped(std::FILE *log, const FrameHeader &header, bool compressed,
                                  bool encrypted, bool unsynchronised) {
    ID3_LOG_AS(log, kScanner, INFO, "skipping %s%s%s frame: %08x %c%c%c%c %u bytes, flags: %08x",
               compressed ? "compressed," : "", encrypted ? "encrypted," : "",
               unsynchronised ? "unsync'd" : "", header.id, ID3_ID_CHARS(header.id), header.size,
               header.flags);
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
// scan as malformed. What the call and the version decide is settled once.
class Scan {
  public:
    // `limit`: the offset at which the frames end, as the tag's header sets it.
    Scan(const uint8_t *buf, uint32_t len, uint32_t limit, id3_tag *tag, Call &call,
         const FrameLayout *layout);

    // The checks before each frame header; true when one is to be read, with
    // a frame record in hand.
    bool next_frame();
    // Reads, checks and decodes the frame at the position; false ends the scan.
    bool read_frame();
    // Ends a scan of a tag whose version has no frame layout.
    void unsupported() {
        const uint32_t version = tag_->version;
        ID3_LOG_AS(log_, kScanner, ERROR,
                   "unsupported ID3-Version %d.%d.%d. Unable to parse frame-size.",
                   (version >> 16) & 0xFF, (version >> 8) & 0xFF, version & 0xFF);
        result_ = KELID3_EBADTAG;
    }
    // A failure's code, or the position at which the scan stopped.
    [[nodiscard]] int32_t result() const {
        return result_ != 0 ? result_ : static_cast<int32_t>(pos_);
    }
    // Where the scan stopped: its result, or after a failure the frame at fault.
    [[nodiscard]] uint32_t stopped_at() const { return result_ != 0 ? frame_at_ : pos_; }

  private:
    [[nodiscard]] bool reaches_past_buffer(const FrameHeader &header) const;
    [[gnu::cold]] bool pass_over_large(const FrameHeader &header);
    [[gnu::cold]] uint8_t *resynchronised(const uint8_t *content, uint32_t &size);
    bool decode(const FrameHeader &header);
    [[nodiscard]] uint32_t prefix_length(uint32_t flags) const;
    void pass(uint32_t n);

    const uint8_t *buf_;
    uint32_t len_;
    id3_tag *tag_;
    Call &call_;
    std::FILE *log_;
    const uint32_t *ids_;
    const FrameLayout *layout_;
    uint32_t limit_;
    Decoding how_;
    uint16_t skip_flags_ = 0;        // flags that make a frame passed over
    uint16_t prefix_flags_ = 0;      // flags that announce bytes in front of the content
    uint16_t resync_flags_ = 0;      // flags that make a frame resynchronised
    bool resync_all_ = false;        // every frame resynchronised (ID3v2.4 header flag 0x80)
    bool pass_over_marked_ = false;  // frames holding FF 00 passed over (the same, not undone)
    bool large_ok_;                  // frames of any size passed over, not refused
    uint32_t pos_ = 0;               // offset of the next frame header
    uint32_t frame_at_ = 0;          // offset of the last frame header read
    bool overrun_ = false;           // a frame passed over reaches past the buffer
    int32_t result_ = 0;
    FramePtr frame_;  // the record in hand, reused until a frame is linked
};

Scan::Scan(const uint8_t *buf, uint32_t len, uint32_t limit, id3_tag *tag, Call &call,
           const FrameLayout *layout)
    : buf_(buf),
      len_(len),
      tag_(tag),
      call_(call),
      log_(call.log),
      ids_(call.ids),
      layout_(layout),
      limit_(limit),
      how_{call.log, (call.flags & KELID3_READ_ALL_FRAMES) != 0, PictureLayout::kApic},
      large_ok_((call.flags & KELID3_READ_LARGE_FRAMES) != 0) {
    if (layout == nullptr) return;
    if (layout->id_chars == 3) how_.picture = PictureLayout::kPic;
    prefix_flags_ = static_cast<uint16_t>(layout->grouped | layout->data_length);
    // ID3v2.4 marks unsynchronisation frame by frame, or for every frame in
    // its header; it is undone on request and otherwise makes frames passed over.
    const bool undo = layout->per_frame_unsync && (call.flags & KELID3_READ_UNSYNC) != 0;
    const bool tag_unsync = layout->per_frame_unsync && (tag->flags & kTagUnsynchronised) != 0;
    skip_flags_ = static_cast<uint16_t>(layout->compressed | layout->encrypted |
                                        (undo ? 0 : layout->unsynchronised));
    resync_flags_ = undo ? layout->unsynchronised : 0;
    resync_all_ = undo && tag_unsync;
    pass_over_marked_ = tag_unsync && !undo;
}

bool Scan::next_frame() {
    ID3_LOG_AS(log_, kScanner, TRACE, "inbuf: %u/%u (0x%x/0x%x) tag->header_size %u, tag->size %u",
               pos_, len_, pos_, len_, tag_->header_size, tag_->size);
    if (overrun_) {
        ID3_LOG_AS(log_, kScanner, ERROR, "Malformed tag ??? (or bug?) inbuf: %d/%d", pos_, len_);
        result_ = KELID3_EBADTAG;
        return false;
    }
    if (len_ - pos_ < kMinFrameHeaderRoom) {
        ID3_LOG_AS(log_, kScanner, INFO, "end of buffer reached");
        return false;
    }
    if (pos_ == limit_) {
        ID3_LOG_AS(log_, kScanner, INFO, "scanned tag completedly: size %d (excluding header)",
                   tag_->size);
        return false;
    }
    if (pos_ > limit_) {
        ID3_LOG_AS(log_, kScanner, INFO,
                   "scanned beyond tag. Malformed input ??? (or bug?) size: %u inbuf: %u/%u "
                   "(0x%x/0x%x)",
                   tag_->size, pos_, len_, pos_, len_);
    }
    if (!frame_) {
        frame_ = new_frame();
        if (!frame_) {
            ID3_LOG_AS(log_, kScanner, INFO, "unable to malloc new buffer.");
            result_ = KELID3_ENOMEM;
            return false;
        }
    }
    return true;
}

bool Scan::read_frame() {
    const FrameLayout &layout = *layout_;
    frame_at_ = pos_;
    FrameHeader header{};
    if (!read_frame_header(log_, layout, skip_flags_, buf_ + pos_, header)) {
        ID3_LOG_AS(log_, kScanner, WARN, "illegal frame identifier '%c%c%c%c' Stop at %d/%d.",
                   ID3_ID_CHARS(header.id), pos_, len_);
        return false;
    }
    if (header.skipped) {
        const uint32_t flags = header.flags;
        report_skipped(log_, header, (flags & layout.compressed) != 0,
                       (flags & layout.encrypted) != 0, (flags & layout.unsynchronised) != 0);
        ++call_.skipped_frames;
        pass(header.length);
        pass(header.size);
        return true;
    }
    if (reaches_past_buffer(header)) {
        ID3_LOG_AS(log_, kScanner, INFO, "frame beyond buffer end: %08x %c%c%c%c", header.id,
                   ID3_ID_CHARS(header.id));
        return false;
    }
    pos_ += header.length;
    if (header.size == 0 || header.size > kMaxFrameSize) return pass_over_large(header);
    // Unsynchronisation that is not undone: a frame that it changed is passed
    // over rather than returned corrupted.
    if (pass_over_marked_ && holds_unsync_mark(buf_ + pos_, header.size)) {
        report_skipped(log_, header, false, false, true);
        ++call_.skipped_frames;
        pos_ += header.size;
        return true;
    }
    ID3_LOG_AS(log_, kScanner, TRACE, "frame: %c%c%c%c, size: %d (0x%x) flags: 0x%04x [%d,%d]",
               ID3_ID_CHARS(header.id), header.size, header.size, header.flags, pos_,
               pos_ + header.size);
    if (ids_ != nullptr) {
        if (!is_selected(ids_, header.id)) {
            pos_ += header.size;
            return true;
        }
        ID3_LOG_AS(log_, kScanner, TRACE, "found requested id %08x, %c%c%c%c", header.id,
                   ID3_ID_CHARS(header.id));
    }
    return decode(header);
}

// A frame of size 0 or above the limit ends the scan, or with
// KELID3_READ_LARGE_FRAMES is passed over (it lies inside the buffer then).
bool Scan::pass_over_large(const FrameHeader &header) {
    if (!large_ok_) {
        ID3_LOG_AS(log_, kScanner, ERROR, "frame size: %u. Stop here.", header.size);
        result_ = KELID3_ERANGE;
        return false;
    }
    ID3_LOG_AS(log_, kScanner, INFO, "passing over frame of size %u: %08x %c%c%c%c", header.size,
               header.id, ID3_ID_CHARS(header.id));
    ++call_.large_frames;
    pos_ += header.size;
    return true;
}

// Whether the frame's content reaches past the buffer. The format's sizes are
// 32-bit: a frame whose end would lie past 4 GiB is let through to the size
// check, which refuses its size (unless large frames are passed over).
bool Scan::reaches_past_buffer(const FrameHeader &header) const {
    const uint32_t room = len_ - pos_ - header.length;  // ten bytes remain: no wrap
    const bool end_past_4gib = header.size > UINT32_MAX - pos_ - header.length;
    const bool refused = header.size > kMaxFrameSize && !large_ok_;
    return header.size > room && !(end_past_4gib && refused);
}

// Bytes in front of the content that the frame's flags announce: a group byte
// (ID3v2.3, 2.4) and a data length indicator (ID3v2.4), in that order.
uint32_t Scan::prefix_length(uint32_t flags) const {
    return ((flags & layout_->grouped) != 0 ? kGroupLength : 0) +
           ((flags & layout_->data_length) != 0 ? kDataLengthLength : 0);
}

bool Scan::decode(const FrameHeader &header) {
    frame_->id = header.id;
    frame_->flags = header.flags;
    frame_->size = header.size;
    const uint8_t *content = buf_ + pos_;
    uint32_t size = header.size;
    uint32_t prefix = 0;
    BlockPtr<uint8_t> resynced;
    if (resync_all_ || (header.flags & (resync_flags_ | prefix_flags_)) != 0) {
        if (resync_all_ || (header.flags & resync_flags_) != 0) {
            resynced.reset(resynchronised(content, size));
            if (!resynced) return false;
            content = resynced.get();
        }
        prefix = prefix_length(header.flags);
    }
    // A frame too short to hold its prefixes and a byte of content is not read.
    const int decoded =
        size > prefix ? id3_parse_v2_frame(frame_.get(), content + prefix, size - prefix, how_)
                      : kNotDecoded;
    if (decoded < 0) {
        result_ = KELID3_EBADTAG;
        return false;
    }
    pos_ += header.size;
    if (decoded == kDecoded) {
        link_frame(tag_, frame_);
    } else {
        ID3_LOG_AS(log_, kScanner, INFO,
                   "unable to parse v2 frame: id=%08x, %c%c%c%c. Skipping it.", header.id,
                   ID3_ID_CHARS(header.id));
    }
    return true;
}

// Unsynchronisation undone: a new block with the content as its writer meant
// it, prefixes included, its length in `size`; null, ending the scan, when
// there is no block.
uint8_t *Scan::resynchronised(const uint8_t *content, uint32_t &size) {
    auto *block = static_cast<uint8_t *>(std::malloc(size));
    if (block == nullptr) {
        ID3_LOG_AS(log_, kScanner, INFO, "unable to malloc %u bytes to resynchronise.", size);
        result_ = KELID3_ENOMEM;
        return nullptr;
    }
    size = resynchronise(content, size, block);
    return block;
}

// Passes over `n` bytes of a frame that is not read. Should they reach past
// the buffer, the position still counts them, up to 4 GiB - 1, for the line
// that reports the tag malformed.
void Scan::pass(uint32_t n) {
    overrun_ = overrun_ || n > len_ - pos_;
    pos_ = n > UINT32_MAX - pos_ ? UINT32_MAX : pos_ + n;
}

// The scan of `len` bytes at `buf` whose frames end at `limit`; its stopping
// point in `call`.
int32_t run_scan(const uint8_t *buf, uint32_t len, uint32_t limit, id3_tag *tag, Call &call) {
    const FrameLayout *layout = frame_layout(tag->version);
    Scan scan(buf, len, limit, tag, call, layout);
    if (layout == nullptr) {
        // Found out before the first frame header, once the checks that come
        // before every frame header have passed.
        if (scan.next_frame()) scan.unsupported();
    } else {
        while (scan.next_frame() && scan.read_frame()) {
        }
    }
    call.stopped_at = scan.stopped_at();
    return scan.result();
}

// ID3v2.2 and 2.3 tags unsynchronised as a whole: frame sizes count the bytes
// as they are once FF 00 is FF again, so the frames are found in a copy of
// the tag with that undone. What the caller learns is in its own bytes.
[[gnu::cold]] int32_t scan_resynchronised(const uint8_t *buf, uint32_t len, uint32_t limit,
                                          id3_tag *tag, Call &call) {
    // The tag's bytes behind its header (a few more behind an extended header).
    const uint32_t extent = tag->size < len ? tag->size : len;
    BlockPtr<uint8_t> copy{static_cast<uint8_t *>(std::malloc(extent != 0 ? extent : 1))};
    if (!copy) {
        ID3_LOG_AS(call.log, kScanner, INFO, "unable to malloc %u bytes to resynchronise.", extent);
        call.stopped_at = 0;
        return KELID3_ENOMEM;
    }
    const uint32_t copied = resynchronise(buf, extent, copy.get());
    // The frames' end moves by the pairs in front of it (copied <= extent).
    const uint32_t copy_limit =
        limit <= extent ? resynchronised_length(buf, limit) : limit - (extent - copied);
    const int32_t result = run_scan(copy.get(), copied, copy_limit, tag, call);
    call.stopped_at = stored_offset(buf, extent, call.stopped_at);
    return result < 0
               ? result
               : static_cast<int32_t>(stored_offset(buf, extent, static_cast<uint32_t>(result)));
}

}  // namespace

int32_t scan_v2x_body(const uint8_t *buf, uint32_t len, id3_tag *tag, Call &call) {
    if (len > kMaxScan) len = kMaxScan;
    // The header's size counts the bytes behind the tag header, so the scan
    // ends ten bytes before the frames' end. A declared size below the
    // header's sets no end at all.
    const uint32_t limit =
        tag->size >= tag->header_size ? tag->size - tag->header_size : UINT32_MAX;
    const FrameLayout *layout = frame_layout(tag->version);
    if (layout != nullptr && !layout->per_frame_unsync && (tag->flags & kTagUnsynchronised) != 0) {
        return scan_resynchronised(buf, len, limit, tag, call);
    }
    return run_scan(buf, len, limit, tag, call);
}

}  // namespace kelid3::detail

extern "C" int32_t id3_parse_v2x_body(const void *buf, uint32_t len, id3_tag *tag,
                                      const uint32_t *ids) {
    kelid3::detail::Call call = kelid3::detail::specified_call(ids);
    return kelid3::detail::scan_v2x_body(static_cast<const uint8_t *>(buf), len, tag, call);
}
