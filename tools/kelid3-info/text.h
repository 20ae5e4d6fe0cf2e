// Text of a tag as UTF-8: conversion of the stored encodings with iconv, the
// split of a text field into its values, and escaping for the terminal and
// for JSON.
#ifndef KELID3_INFO_TEXT_H
#define KELID3_INFO_TEXT_H

#include <iconv.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kelid3_info {

// Name of an ID3v2 text encoding byte: "ISO-8859-1", "UTF-16", "UTF-16BE",
// "UTF-8", or "unknown".
const char *encoding_name(uint32_t encoding);

// Converts stored text to UTF-8 with the C library's iconv. Bytes that are not
// valid in their encoding each become U+FFFD (a UTF-16 code unit counts as
// one), so the result is always valid UTF-8.
class TextConverter {
  public:
    TextConverter();
    ~TextConverter();
    TextConverter(const TextConverter &) = delete;
    TextConverter &operator=(const TextConverter &) = delete;

    // False when the C library lacks one of the converters.
    bool ready() const { return ready_; }

    // ISO-8859-1 bytes as UTF-8.
    std::string latin1(const uint8_t *bytes, size_t length);
    // Bytes of unknown origin (a file name) as UTF-8: valid UTF-8 is kept.
    std::string utf8(std::string_view bytes);

    // The values of a text field's `length` bytes stored in `encoding` (0 to
    // 3): split at the terminators and separators of that encoding (a NUL
    // byte; in UTF-16 a pair of NUL bytes at an even offset, or a single NUL
    // byte that ends text of odd length), each converted.
    // Empty values at the end (a closing terminator, NUL padding) are left
    // out; the result holds at least one value. A UTF-16 value may open with
    // its own byte-order mark; one without takes the order of the value before
    // it. UTF-16 text without any mark is read big-endian, unless its NUL
    // bytes show it little-endian (as some taggers write it); UTF-16BE text
    // without a mark is big-endian. A UTF-8 byte-order mark is dropped.
    std::vector<std::string> values(const uint8_t *bytes, size_t length, uint32_t encoding);

  private:
    // Runs `cd` over the input, replacing each invalid unit of `unit` bytes
    // with U+FFFD written as `replacement`.
    static std::string run(iconv_t cd, const uint8_t *bytes, size_t length, size_t unit,
                           std::string_view replacement);
    std::string utf16(const uint8_t *bytes, size_t length, std::optional<bool> &big_endian);

    iconv_t from_latin1_;
    iconv_t from_utf16le_;
    iconv_t from_utf16be_;
    iconv_t utf8_to_utf16le_;  // UTF-8 is validated on its way through UTF-16
    bool ready_;
};

// Text for one line of the listing: control characters, which could move the
// cursor or change the terminal, are shown as escapes (\n, \t, \r, \xNN for
// the other C0 controls and DEL, \u0080 to \u009f for the C1 controls).
std::string terminal_text(std::string_view utf8);

// A JSON string literal, quotes included, for valid UTF-8 text.
std::string json_string(std::string_view utf8);

}  // namespace kelid3_info

#endif
