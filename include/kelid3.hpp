// SPDX-License-Identifier: MIT
// kelid3.hpp - a C++17 face for libkelid3, header-only.
//
// Views over the records of kelid3.h and owners for what the C interface hands
// out, nothing more: no allocation of its own, no copy of text or data, no
// exception, no RTTI (usable with -fno-exceptions -fno-rtti). Everything here is inline and
// calls the C functions of kelid3.h; link the library as a C program would.
//
//   #include <kelid3.hpp>
//   using namespace kelid3::literals;
//
//   kelid3::read_result got = kelid3::read(buf, len);  // the complete reader
//   if (!got) return got.code();                   // KELID3_EBADTAG, ...
//   for (kelid3::frame frame : got->frames()) {
//       if (frame.id() != "TIT2"_id) continue;
//       for (kelid3::field field : frame.fields())
//           use(field.utf8().view());               // any encoding as UTF-8
//   }                                               // the tag is released here
//
// kelid3::parse is kelid3_tag_parse; kelid3::read is kelid3_tag_read, by default
// with KELID3_READ_COMPLETE and no diagnostic lines.
//
// Ownership: kelid3::tag owns one id3_tag and releases it with kelid3_tag_free;
// kelid3::iso8859_text and kelid3::utf8_text own one converted string each and
// release it with free(). All three are move-only. kelid3::frame, kelid3::field, the ranges, the
// string_views and byte_views they give are views: they point into the tag
// and are valid as long as the tag that owns the records is alive.
//
// Views may be empty (a default-constructed one, or what tag::find returns
// when no frame matches): an empty view answers 0, an empty range or an empty
// string instead of reading through a null pointer. A string_view this header
// gives never has a null data(), so it may go straight to fwrite or memcpy; an
// empty byte_view has a null data(), as an empty span does.
//
// Threads: as for the C interface. Different tags may be used on different
// threads at once; a tag must not be released or moved from while another
// thread reads it.
#ifndef KELID3_HPP
#define KELID3_HPP

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <string_view>
#include <utility>

#include "kelid3.h"

namespace kelid3 {

// ---- Frame identifiers -----------------------------------------------------

namespace detail {
// Deliberately not constexpr: reaching it while evaluating a constant
// expression turns a literal of the wrong length into a compile error.
inline std::uint32_t frame_id_takes_three_or_four_characters() noexcept {
    return 0;
}

constexpr std::uint32_t pack(char a, char b, char c, char d) noexcept {
    return (std::uint32_t{static_cast<unsigned char>(a)} << 24) |
           (std::uint32_t{static_cast<unsigned char>(b)} << 16) |
           (std::uint32_t{static_cast<unsigned char>(c)} << 8) |
           std::uint32_t{static_cast<unsigned char>(d)};
}
}  // namespace detail

// The identifier that 3 or 4 characters name, as the _id literal packs it:
// make_id("TIT2") == "TIT2"_id, make_id("CRM") == "CRM"_id; 0 for any other
// length (no frame has that id). For names known only at run time.
constexpr std::uint32_t make_id(std::string_view chars) noexcept {
    return chars.size() == 4   ? detail::pack(chars[0], chars[1], chars[2], chars[3])
           : chars.size() == 3 ? detail::pack('\0', chars[0], chars[1], chars[2])
                               : 0;
}

inline namespace literals {
// "TIT2"_id == KELID3_ID('T','I','T','2') == 0x54495432; a three-character
// literal gives an ID3v2.2 identifier in the low 24 bits, "CRM"_id ==
// KELID3_ID(0,'C','R','M'). A constant wherever a constant is needed (case
// labels, static_assert, constexpr selection lists); a literal of another
// length does not compile there, and is 0 elsewhere (no frame has that id).
constexpr std::uint32_t operator""_id(const char *chars, std::size_t n) noexcept {
    return n == 3 || n == 4 ? make_id(std::string_view(chars, n))
                            : detail::frame_id_takes_three_or_four_characters();
}
}  // namespace literals

// The characters of a frame identifier as a NUL-terminated string: "TIT2",
// "CRM" for a three-character one.
struct id_chars {
    char chars[5];
    constexpr const char *c_str() const noexcept { return chars; }
    constexpr std::string_view view() const noexcept { return std::string_view(chars); }
};

constexpr id_chars id_string(std::uint32_t id) noexcept {
    const bool three = (id >> 24) == 0;
    const char a = static_cast<char>((id >> 24) & 0xFF), b = static_cast<char>((id >> 16) & 0xFF),
               c = static_cast<char>((id >> 8) & 0xFF), d = static_cast<char>(id & 0xFF);
    return three ? id_chars{{b, c, d, '\0', '\0'}} : id_chars{{a, b, c, d, '\0'}};
}

// ---- Readable names ----------------------------------------------------------

// English description of an ID3v2.4 frame identifier (kelid3_field_description);
// empty when there is none. Constant text of the library.
inline std::string_view description(std::uint32_t id) noexcept {
    const char *text = kelid3_field_description(id);
    return std::string_view(text != nullptr ? text : "");
}

// Name of an ID3v1 genre number 0 to 125 (kelid3_genre_description); empty
// for any other number. Constant text of the library.
inline std::string_view genre_name(std::uint32_t genre) noexcept {
    const char *text = kelid3_genre_description(genre);
    return std::string_view(text != nullptr ? text : "");
}

// ---- Fields ----------------------------------------------------------------------

enum class field_type : std::uint32_t {
    string = FIELD_STRING,  // text bytes with their encoding: field::text, field::encoding
    blob = FIELD_BLOB,      // binary data: field::blob
    number = FIELD_UINT     // a 32-bit number: field::number
};

enum class text_encoding : std::uint32_t {
    iso8859_1 = KELID3_ENC_ISO8859,
    utf16 = KELID3_ENC_UTF16,      // with byte-order mark
    utf16be = KELID3_ENC_UTF16BE,  // big-endian, no mark
    utf8 = KELID3_ENC_UTF8
};

// Pointer and size of bytes owned by a tag; iterable, indexable.
class byte_view {
  public:
    constexpr byte_view() noexcept = default;
    constexpr byte_view(const unsigned char *data, std::size_t size) noexcept
        : data_(data), size_(size) {}
    constexpr const unsigned char *data() const noexcept { return data_; }
    constexpr std::size_t size() const noexcept { return size_; }
    constexpr bool empty() const noexcept { return size_ == 0; }
    constexpr const unsigned char *begin() const noexcept { return data_; }
    constexpr const unsigned char *end() const noexcept { return data_ + size_; }
    constexpr unsigned char operator[](std::size_t i) const noexcept { return data_[i]; }

  private:
    const unsigned char *data_ = nullptr;
    std::size_t size_ = 0;
};

// A string that kelid3_field_to_iso8859 made; released with free() by the
// destructor. Empty (false) when the conversion gave none.
class iso8859_text {
  public:
    constexpr iso8859_text() noexcept = default;
    explicit iso8859_text(char *adopt) noexcept : text_(adopt) {}
    iso8859_text(iso8859_text &&other) noexcept : text_(other.release()) {}
    iso8859_text &operator=(iso8859_text &&other) noexcept {
        reset(other.release());
        return *this;
    }
    iso8859_text(const iso8859_text &) = delete;
    iso8859_text &operator=(const iso8859_text &) = delete;
    ~iso8859_text() { std::free(text_); }

    explicit operator bool() const noexcept { return text_ != nullptr; }
    // The string, or null when empty.
    char *get() const noexcept { return text_; }
    // The string, or "" when empty: always safe to print.
    const char *c_str() const noexcept { return text_ != nullptr ? text_ : ""; }
    std::string_view view() const noexcept { return std::string_view(c_str()); }
    // Gives up ownership: the caller releases the string with free().
    char *release() noexcept { return std::exchange(text_, nullptr); }
    void reset(char *adopt = nullptr) noexcept { std::free(std::exchange(text_, adopt)); }

  private:
    char *text_ = nullptr;
};

// A string that kelid3_field_utf8 made, with its length (NUL separators of
// multi-value text included); released with free() by the destructor. Empty
// (false) when the conversion gave none.
class utf8_text {
  public:
    constexpr utf8_text() noexcept = default;
    utf8_text(char *adopt, std::uint32_t length) noexcept : text_(adopt), length_(length) {}
    utf8_text(utf8_text &&other) noexcept
        : text_(std::exchange(other.text_, nullptr)), length_(std::exchange(other.length_, 0)) {}
    utf8_text &operator=(utf8_text &&other) noexcept {
        std::free(std::exchange(text_, std::exchange(other.text_, nullptr)));
        length_ = std::exchange(other.length_, 0);
        return *this;
    }
    utf8_text(const utf8_text &) = delete;
    utf8_text &operator=(const utf8_text &) = delete;
    ~utf8_text() { std::free(text_); }

    explicit operator bool() const noexcept { return text_ != nullptr; }
    // The string, or "" when empty: always NUL-terminated.
    const char *c_str() const noexcept { return text_ != nullptr ? text_ : ""; }
    // Every byte, NUL separators included; never a null data().
    std::string_view view() const noexcept { return std::string_view(c_str(), length_); }

  private:
    char *text_ = nullptr;
    std::uint32_t length_ = 0;
};

// A view of one id3_field. The accessors of the other kinds answer empty or 0.
class field {
  public:
    constexpr field() noexcept = default;
    constexpr explicit field(const id3_field *f) noexcept : f_(f) {}

    constexpr const id3_field *get() const noexcept { return f_; }
    constexpr explicit operator bool() const noexcept { return f_ != nullptr; }

    // The record's kind; field_type{} (0) for an empty view.
    field_type type() const noexcept { return f_ != nullptr ? field_type{f_->type} : field_type{}; }
    bool is_string() const noexcept { return f_ != nullptr && f_->type == FIELD_STRING; }
    bool is_blob() const noexcept { return f_ != nullptr && f_->type == FIELD_BLOB; }
    bool is_number() const noexcept { return f_ != nullptr && f_->type == FIELD_UINT; }

    // A string's bytes as stored (not converted; terminators, separators and
    // byte-order marks included; the NUL behind them not counted).
    std::string_view text() const noexcept {
        return is_string() ? std::string_view(reinterpret_cast<const char *>(f_->data), f_->length)
                           : std::string_view("", 0);
    }
    // A string's encoding byte; iso8859_1 (0) for the other kinds.
    text_encoding encoding() const noexcept {
        return is_string() ? text_encoding{f_->encoding} : text_encoding{};
    }
    // A blob's bytes.
    byte_view blob() const noexcept {
        return is_blob() ? byte_view(reinterpret_cast<const unsigned char *>(f_->data), f_->size)
                         : byte_view();
    }
    // A number field's value.
    std::uint32_t number() const noexcept {
        return is_number() ? static_cast<std::uint32_t>(f_->data) : 0;
    }
    // kelid3_field_to_iso8859: a UTF-8 or UTF-16 string converted to a new
    // ISO-8859-1 string. Empty for an ISO-8859-1 string (use text() as it is),
    // for the other kinds, for malformed text and when memory runs out.
    iso8859_text to_iso8859() const noexcept {
        return iso8859_text(f_ != nullptr ? kelid3_field_to_iso8859(f_) : nullptr);
    }
    // kelid3_field_utf8: a string of any encoding as UTF-8. Empty for the other
    // kinds and when memory runs out.
    utf8_text utf8() const noexcept {
        std::uint32_t length = 0;
        char *text = f_ != nullptr ? kelid3_field_utf8(f_, &length) : nullptr;
        return utf8_text(text, text != nullptr ? length : 0);
    }

  private:
    const id3_field *f_ = nullptr;
};

// ---- Lists -------------------------------------------------------------------------

namespace detail {
// Walks a linked list of records along `next`, in list order, and gives a
// view of each record.
template <class View, class Record>
class list_iterator {
  public:
    using iterator_category = std::forward_iterator_tag;
    using value_type = View;
    using difference_type = std::ptrdiff_t;
    using pointer = void;
    using reference = View;

    constexpr list_iterator() noexcept = default;
    constexpr explicit list_iterator(const Record *at) noexcept : at_(at) {}

    constexpr View operator*() const noexcept { return View(at_); }
    list_iterator &operator++() noexcept {
        at_ = at_->next;
        return *this;
    }
    list_iterator operator++(int) noexcept {
        list_iterator before = *this;
        at_ = at_->next;
        return before;
    }
    friend constexpr bool operator==(list_iterator a, list_iterator b) noexcept {
        return a.at_ == b.at_;
    }
    friend constexpr bool operator!=(list_iterator a, list_iterator b) noexcept {
        return a.at_ != b.at_;
    }

  private:
    const Record *at_ = nullptr;
};

template <class View, class Record>
class list_range {
  public:
    using iterator = list_iterator<View, Record>;
    constexpr list_range() noexcept = default;
    constexpr explicit list_range(const Record *first) noexcept : first_(first) {}
    constexpr iterator begin() const noexcept { return iterator(first_); }
    constexpr iterator end() const noexcept { return iterator(); }
    constexpr bool empty() const noexcept { return first_ == nullptr; }
    // The first element; an empty view for an empty list.
    constexpr View front() const noexcept { return View(first_); }

  private:
    const Record *first_ = nullptr;
};
}  // namespace detail

using field_range = detail::list_range<field, id3_field>;

// ---- Frames ------------------------------------------------------------------

// A view of one id3_frame.
class frame {
  public:
    constexpr frame() noexcept = default;
    constexpr explicit frame(const id3_frame *f) noexcept : f_(f) {}

    constexpr const id3_frame *get() const noexcept { return f_; }
    constexpr explicit operator bool() const noexcept { return f_ != nullptr; }

    // Frame identifier: compare with "TIT2"_id.
    constexpr std::uint32_t id() const noexcept { return f_ != nullptr ? f_->id : 0; }
    // ID3v2.3/2.4: the two frame flag bytes, big-endian; otherwise 0.
    constexpr std::uint32_t flags() const noexcept { return f_ != nullptr ? f_->flags : 0; }
    // Content bytes in the tag (ID3v1: the field's width).
    constexpr std::uint32_t size() const noexcept { return f_ != nullptr ? f_->size : 0; }
    // The fields, in list order.
    constexpr field_range fields() const noexcept {
        return field_range(f_ != nullptr ? f_->fields : nullptr);
    }
    // kelid3::description(id()).
    std::string_view description() const noexcept { return kelid3::description(id()); }

  private:
    const id3_frame *f_ = nullptr;
};

using frame_range = detail::list_range<frame, id3_frame>;

// ---- Tags --------------------------------------------------------------------

// Owns one parse result and releases it with kelid3_tag_free. Move-only; a
// moved-from or default-constructed tag is empty (false) and has no frames.
class tag {
  public:
    constexpr tag() noexcept = default;
    explicit tag(id3_tag *adopt) noexcept : tag_(adopt) {}
    tag(tag &&other) noexcept : tag_(other.release()) {}
    tag &operator=(tag &&other) noexcept {
        reset(other.release());
        return *this;
    }
    tag(const tag &) = delete;
    tag &operator=(const tag &) = delete;
    ~tag() { kelid3_tag_free(tag_); }

    explicit operator bool() const noexcept { return tag_ != nullptr; }
    id3_tag *get() const noexcept { return tag_; }
    // Gives up ownership: the caller releases the record with kelid3_tag_free.
    id3_tag *release() noexcept { return std::exchange(tag_, nullptr); }
    void reset(id3_tag *adopt = nullptr) noexcept { kelid3_tag_free(std::exchange(tag_, adopt)); }

    // KELID3_VERSION_V1, or KELID3_VERSION_V2(major, revision); 0 when empty.
    std::uint32_t version() const noexcept { return tag_ != nullptr ? tag_->version : 0; }
    bool is_v1() const noexcept { return version() == KELID3_VERSION_V1; }
    // ID3v2: the header's flags byte; ID3v1: 0.
    std::uint32_t flags() const noexcept { return tag_ != nullptr ? tag_->flags : 0; }
    // ID3v2: the size from the header (plus 10 with a footer); ID3v1: 128.
    std::uint32_t size() const noexcept { return tag_ != nullptr ? tag_->size : 0; }
    std::uint32_t header_size() const noexcept { return tag_ != nullptr ? tag_->header_size : 0; }

    // The frames, in list order (ID3v2 frames stand in the reverse of their
    // order in the tag).
    frame_range frames() const noexcept {
        return frame_range(tag_ != nullptr ? tag_->frames : nullptr);
    }
    // The first frame in list order with this identifier, or an empty frame.
    frame find(std::uint32_t id) const noexcept {
        for (frame f : frames())
            if (f.id() == id) return f;
        return frame();
    }
    // kelid3_tag_print: a readable dump to out.
    void print(std::FILE *out) const noexcept { kelid3_tag_print(out, tag_); }

  private:
    id3_tag *tag_ = nullptr;
};

// What parse gives: a tag, or the library's result code.
class parse_result {
  public:
    parse_result(kelid3::tag parsed, std::int32_t code) noexcept
        : tag_(std::move(parsed)), code_(code) {}

    bool has_value() const noexcept { return static_cast<bool>(tag_); }
    explicit operator bool() const noexcept { return has_value(); }
    // kelid3_tag_parse's result: with a tag the byte count (>= 0), without
    // one KELID3_EINVAL, KELID3_ENOMEM, KELID3_EBADTAG, KELID3_ERANGE,
    // KELID3_ENOTAG, or 0 for a "TAG" buffer shorter than 128 bytes.
    std::int32_t code() const noexcept { return code_; }

    // The tag; an empty tag (no frames) when the parse failed.
    kelid3::tag &value() &noexcept { return tag_; }
    const kelid3::tag &value() const &noexcept { return tag_; }
    kelid3::tag &&value() &&noexcept { return std::move(tag_); }
    kelid3::tag *operator->() noexcept { return &tag_; }
    const kelid3::tag *operator->() const noexcept { return &tag_; }
    kelid3::tag &operator*() &noexcept { return tag_; }
    const kelid3::tag &operator*() const &noexcept { return tag_; }

  private:
    kelid3::tag tag_;
    std::int32_t code_;
};

// kelid3_tag_parse of len bytes at buf. ids: null for all ID3v2 frames, or a
// 0-ended array of identifiers to decode, e.g.
//   static constexpr std::uint32_t wanted[] = {"TIT2"_id, "TPE1"_id, 0};
inline parse_result parse(const void *buf, std::uint32_t len,
                          const std::uint32_t *ids = nullptr) noexcept {
    id3_tag *parsed = nullptr;
    const std::int32_t code = kelid3_tag_parse(buf, len, &parsed, ids);
    return parse_result(tag(parsed), code);
}

// What read() is asked to do: by default the complete reader with no lines.
struct read_options {
    std::uint32_t flags = KELID3_READ_COMPLETE;  // KELID3_READ_*; 0 reads as parse()
    const std::uint32_t *ids = nullptr;          // selection list, as for parse()
    std::FILE *log = nullptr;                    // where the call's lines go; null: nowhere
};

// What read() gives: parse_result and where the frame scan stopped.
class read_result : public parse_result {
  public:
    read_result(kelid3::tag parsed, std::int32_t code, const kelid3_read_options &out) noexcept
        : parse_result(std::move(parsed), code),
          stopped_at_(out.stopped_at),
          large_frames_(out.large_frames),
          skipped_frames_(out.skipped_frames) {}

    // kelid3_read_options::stopped_at, large_frames, skipped_frames.
    std::uint32_t stopped_at() const noexcept { return stopped_at_; }
    std::uint32_t large_frames() const noexcept { return large_frames_; }
    std::uint32_t skipped_frames() const noexcept { return skipped_frames_; }

  private:
    std::uint32_t stopped_at_, large_frames_, skipped_frames_;
};

// kelid3_tag_read of len bytes at buf.
inline read_result read(const void *buf, std::uint32_t len,
                        const read_options &options = read_options()) noexcept {
    kelid3_read_options c{};
    c.struct_size = sizeof c;
    c.flags = options.flags;
    c.ids = options.ids;
    c.log = options.log;
    id3_tag *parsed = nullptr;
    const std::int32_t code = kelid3_tag_read(buf, len, &parsed, &c);
    return read_result(tag(parsed), code, c);
}

// kelid3_tag_query: 128 for an ID3v1 block, the ID3v2 tag size without its
// 10-byte header for an ID3v2 header (read size + 10 bytes from the start), 0
// for no tag, KELID3_ENOMEM for a null buf.
inline std::int32_t query(const void *buf, std::uint32_t len) noexcept {
    return kelid3_tag_query(buf, len);
}

}  // namespace kelid3

#endif  // KELID3_HPP
