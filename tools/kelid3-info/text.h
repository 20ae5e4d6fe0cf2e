// SPDX-License-Identifier: MIT
// Text of a tag as UTF-8: the split of a text field into its values, each
// converted to UTF-8 (utf.h), and escaping for the terminal and for JSON.
#ifndef KELID3_INFO_TEXT_H
#define KELID3_INFO_TEXT_H

#include <string>
#include <string_view>
#include <vector>

#include "kelid3.hpp"

namespace kelid3_info {

// Name of an ID3v2 text encoding: "ISO-8859-1", "UTF-16", "UTF-16BE",
// "UTF-8", or "unknown".
const char *encoding_name(kelid3::text_encoding encoding);

// The values of a text field's bytes stored in `encoding`, as UTF-8: split at
// the terminators and separators of that encoding (a NUL byte; in UTF-16 a
// pair of NUL bytes at an even offset, or a single NUL byte that ends text of
// odd length), each converted; bytes that are not valid in their encoding
// each become U+FFFD (a UTF-16 code unit counts as one).
// Empty values at the end (a closing terminator, NUL padding) are left out;
// the result holds at least one value. A UTF-16 value may open with its own
// byte-order mark; one without takes the order of the value before it. UTF-16
// text without any mark is read big-endian, unless its NUL bytes show it
// little-endian (as some taggers write it); UTF-16BE text without a mark is
// big-endian. A UTF-8 byte-order mark is dropped.
std::vector<std::string> text_values(std::string_view text, kelid3::text_encoding encoding);

// Text for one line of the listing: control characters, which could move the
// cursor or change the terminal, are shown as escapes (\n, \t, \r, \xNN for
// the other C0 controls and DEL, \u0080 to \u009f for the C1 controls).
std::string terminal_text(std::string_view utf8);

// A JSON string literal, quotes included, for valid UTF-8 text.
std::string json_string(std::string_view utf8);

}  // namespace kelid3_info

#endif
