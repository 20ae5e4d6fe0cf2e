// SPDX-License-Identifier: MIT
// Text of a tag as UTF-8: the split of a text field into its values, each
// converted to UTF-8 (utf.h), and escaping for the terminal and for JSON.
#ifndef KELID3_INFO_TEXT_H
#define KELID3_INFO_TEXT_H

#include <functional>
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

// Escaping for the terminal: every character that could move the cursor,
// change the terminal or reorder what it shows becomes an escape: \n, \t, \r,
// \xNN for the other C0 controls, DEL and each byte that is not valid UTF-8,
// \uNNNN for the C1 controls (U+0080 to U+009F) and the bidirectional
// overrides and isolates (U+202A to U+202E, U+2066 to U+2069). With
// Lines::kKept newlines and tabs pass as they are. Appends to `out`; with
// `hold_cut_off` a UTF-8 sequence cut short by the end is left out, for the
// next piece. Returns the bytes taken.
enum class Lines { kEscaped, kKept };
size_t escape_terminal(std::string_view bytes, Lines lines, bool hold_cut_off, std::string &out);

// One line of text for the terminal, all of it escaped.
std::string terminal_text(std::string_view bytes);

// Escapes text that comes in pieces (the library's dump and diagnostic
// lines), newlines and tabs kept, a UTF-8 sequence split between two pieces
// judged whole. Escaped text goes to `sink`; after the construction nothing
// is allocated for pieces up to kPiece bytes.
class TerminalStream {
  public:
    static constexpr size_t kPiece = 1 << 16;
    using Sink = std::function<void(std::string_view)>;
    explicit TerminalStream(Sink sink);
    void write(std::string_view bytes);
    // Escapes what is held back: the stream ends, or all its lines are whole.
    void finish();

  private:
    Sink sink_;
    std::string held_;  // the piece at hand, after a cut-off sequence of the last
    std::string out_;
};

// A JSON string literal, quotes included, for UTF-8 text: the controls that
// terminal_text escapes are \u escapes (or \n, \t, ...) here, and bytes
// that are not valid UTF-8 become U+FFFD.
std::string json_string(std::string_view utf8);

}  // namespace kelid3_info

#endif
