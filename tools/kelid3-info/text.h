// SPDX-License-Identifier: MIT
// Escaping, in one place: for the terminal, for JSON strings and for CSV
// fields. Whatever the input bytes, the result holds no control character,
// no bidirectional control and, when the output is not UTF-8, no byte above
// 0x7F.
#ifndef KELID3_INFO_TEXT_H
#define KELID3_INFO_TEXT_H

#include <string>
#include <string_view>

namespace kelid3_info {

// Whether output may hold UTF-8 (the locale's character set is UTF-8, or
// --utf8); otherwise every character above U+007F is escaped too.
void set_utf8_output(bool utf8);

enum class Style {
    kTerminal,  // one line: \n, \t, \r, \xNN, \uNNNN, \UNNNNNNNN
    kLines,     // as kTerminal, but newlines and tabs pass as they are
    kJson       // the inside of a JSON string; invalid UTF-8 becomes U+FFFD
};

// Appends `text` to `out` escaped in `style`. Escaped are the C0 controls,
// DEL, the C1 controls (U+0080 to U+009F), the bidirectional embeddings,
// overrides and isolates (U+202A to U+202E, U+2066 to U+2069), every byte
// that is not part of valid UTF-8 (as \xNN; in JSON as U+FFFD) and, without
// UTF-8 output, every other character above U+007F; in JSON also '"' and '\'.
void escape(std::string_view text, Style style, std::string &out);

// `text` escaped for one line of the terminal.
std::string shown(std::string_view text);

// A CSV field (RFC 4180): escaped as kLines, then quoted when it holds a
// comma, a quote or a line break, with quotes doubled.
std::string csv_field(std::string_view text);

// Whether `text` is valid UTF-8.
bool valid_utf8(std::string_view text);

}  // namespace kelid3_info

#endif
