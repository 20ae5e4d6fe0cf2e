// SPDX-License-Identifier: MIT
// Stored text to UTF-8: ISO-8859-1, UTF-16 in either byte order, and UTF-8
// itself checked. Whatever the input, the result is valid UTF-8.
#ifndef KELID3_INFO_UTF_H
#define KELID3_INFO_UTF_H

#include <cstddef>
#include <string>
#include <string_view>

namespace kelid3_info {

// One step through UTF-8 text: the sequence that begins at an offset.
struct Utf8Step {
    size_t length;  // bytes taken: the sequence when valid, else 1
    char32_t c;     // the code point when valid
    bool valid;
    bool cut_off;  // a sequence that the end of the text cuts short (not valid)
};

// The sequence at `at` (< bytes.size()), judged as utf8_to_utf8 judges it.
Utf8Step utf8_step(std::string_view bytes, size_t at);

// ISO-8859-1 bytes as UTF-8.
std::string latin1_to_utf8(std::string_view bytes);

// UTF-16 code units as UTF-8; a byte-order mark is a character like any other.
// An unpaired surrogate becomes U+FFFD; a character cut off by the end (an odd
// last byte, a high surrogate without its partner) becomes U+FFFD and ends the
// text.
std::string utf16_to_utf8(std::string_view bytes, bool big_endian);

// UTF-8 checked: a byte that does not begin a valid sequence becomes U+FFFD
// and the next byte is tried (a stray continuation byte, C0, C1, FE, FF, a
// sequence broken off by a byte that does not continue it, an overlong form,
// a surrogate, a code point above U+10FFFF, a five- or six-byte form). A
// sequence cut off by the end of the text becomes one U+FFFD, whatever its
// first bytes.
std::string utf8_to_utf8(std::string_view bytes);

}  // namespace kelid3_info

#endif
