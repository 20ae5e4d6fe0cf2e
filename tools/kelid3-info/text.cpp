// SPDX-License-Identifier: MIT
// Text fields split into their values as UTF-8, and escaping for the terminal
// and for JSON.
#include "text.h"

#include <algorithm>
#include <cstdio>
#include <optional>
#include <utility>

#include "utf.h"

namespace kelid3_info {

namespace {

// Characters that the terminal and JSON never get raw: C0 controls, DEL, C1
// controls, and the bidirectional overrides and isolates.
bool hidden(char32_t c) {
    return c < 0x20 || (c >= 0x7F && c <= 0x9F) || (c >= 0x202A && c <= 0x202E) ||
           (c >= 0x2066 && c <= 0x2069);
}

// The escape of an ASCII control in `room` (8 bytes): \n, \t, \r, or \xNN.
const char *short_escape(char32_t c, char *room) {
    const char *named = c == '\n' ? "\\n" : c == '\t' ? "\\t" : c == '\r' ? "\\r" : nullptr;
    if (named != nullptr) return named;
    std::snprintf(room, 8, "\\x%02x", static_cast<unsigned>(c));
    return room;
}

// Splits bytes at each terminator of `unit` NUL bytes that starts at a
// multiple of `unit`. A trailing part shorter than a unit stays in the last
// piece.
std::vector<std::string_view> split(std::string_view text, size_t unit) {
    std::vector<std::string_view> pieces;
    size_t start = 0;
    for (size_t i = 0; i + unit <= text.size(); i += unit) {
        if (text[i] == '\0' && (unit == 1 || text[i + 1] == '\0')) {
            pieces.push_back(text.substr(start, i - start));
            start = i + unit;
        }
    }
    pieces.push_back(text.substr(start));
    return pieces;
}

// One UTF-16 value; `big_endian` is its byte order when it has no mark, and
// becomes the order it was read in.
std::string utf16_value(std::string_view text, std::optional<bool> &big_endian) {
    if (text.substr(0, 2) == "\xFF\xFE") {
        big_endian = false;
        text.remove_prefix(2);
    } else if (text.substr(0, 2) == "\xFE\xFF") {
        big_endian = true;
        text.remove_prefix(2);
    } else if (!big_endian) {
        // No mark where one belongs: taggers that leave it out write
        // little-endian, which shows as NUL high bytes at odd offsets.
        size_t even = 0;
        size_t odd = 0;
        for (size_t i = 0; i + 1 < text.size(); i += 2) {
            even += text[i] == '\0';
            odd += text[i + 1] == '\0';
        }
        big_endian = odd <= even;
    }
    return utf16_to_utf8(text, *big_endian);
}

}  // namespace

const char *encoding_name(kelid3::text_encoding encoding) {
    switch (encoding) {
        case kelid3::text_encoding::iso8859_1:
            return "ISO-8859-1";
        case kelid3::text_encoding::utf16:
            return "UTF-16";
        case kelid3::text_encoding::utf16be:
            return "UTF-16BE";
        case kelid3::text_encoding::utf8:
            return "UTF-8";
    }
    return "unknown";
}

std::vector<std::string> text_values(std::string_view text, kelid3::text_encoding encoding) {
    const bool wide =
        encoding == kelid3::text_encoding::utf16 || encoding == kelid3::text_encoding::utf16be;
    // Some taggers end UTF-16 text with a single NUL byte.
    if (wide && text.size() % 2 == 1 && text.back() == '\0') text.remove_suffix(1);
    std::vector<std::string> out;
    // UTF-16BE is big-endian unless a mark says otherwise; UTF-16 without a
    // mark is judged by its bytes.
    std::optional<bool> big_endian;
    if (encoding == kelid3::text_encoding::utf16be) big_endian = true;
    for (std::string_view piece : split(text, wide ? 2 : 1)) {
        if (wide) {
            out.push_back(utf16_value(piece, big_endian));
        } else if (encoding == kelid3::text_encoding::utf8) {
            if (piece.substr(0, 3) == "\xEF\xBB\xBF") piece.remove_prefix(3);
            out.push_back(utf8_to_utf8(piece));
        } else {
            out.push_back(latin1_to_utf8(piece));
        }
    }
    while (out.size() > 1 && out.back().empty()) out.pop_back();
    return out;
}

size_t escape_terminal(std::string_view bytes, Lines lines, bool hold_cut_off, std::string &out) {
    char escape[8];
    size_t at = 0;
    while (at < bytes.size()) {
        const auto c = static_cast<unsigned char>(bytes[at]);
        if (c >= 0x20 && c < 0x7F) {
            out += static_cast<char>(c);
            ++at;
            continue;
        }
        const bool kept = lines == Lines::kKept && (c == '\n' || c == '\t');
        if (c < 0x80) {
            out += kept ? std::string_view(&bytes[at], 1) : short_escape(c, escape);
            ++at;
            continue;
        }
        const Utf8Step step = utf8_step(bytes, at);
        if (step.cut_off && hold_cut_off) break;
        if (!step.valid) {
            std::snprintf(escape, sizeof escape, "\\x%02x", c);
            out += escape;
        } else if (hidden(step.c)) {
            std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned>(step.c));
            out += escape;
        } else {
            out.append(bytes.substr(at, step.length));
        }
        at += step.length;
    }
    return at;
}

std::string terminal_text(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    escape_terminal(bytes, Lines::kEscaped, false, out);
    return out;
}

TerminalStream::TerminalStream(Sink sink) : sink_(std::move(sink)) {
    held_.reserve(kPiece + 4);
    out_.reserve(4 * (kPiece + 4));  // the longest escape: four characters a byte
}

void TerminalStream::write(std::string_view bytes) {
    while (!bytes.empty()) {
        const size_t piece = std::min(bytes.size(), kPiece);
        held_.append(bytes.substr(0, piece));
        bytes.remove_prefix(piece);
        out_.clear();
        held_.erase(0, escape_terminal(held_, Lines::kKept, true, out_));
        if (!out_.empty()) sink_(out_);
    }
}

void TerminalStream::finish() {
    out_.clear();
    escape_terminal(held_, Lines::kKept, false, out_);
    held_.clear();
    if (!out_.empty()) sink_(out_);
}

std::string json_string(std::string_view utf8) {
    std::string out = "\"";
    out.reserve(utf8.size() + 2);
    char escape[8];
    for (size_t at = 0; at < utf8.size();) {
        const Utf8Step step = utf8_step(utf8, at);
        const char32_t c = step.valid ? step.c : 0xFFFD;
        at += step.cut_off ? utf8.size() - at : step.length;
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c == '\b' || c == '\f') {
            out += c == '\b' ? "\\b" : "\\f";
        } else if (c == '\n' || c == '\t' || c == '\r') {
            out += short_escape(c, escape);
        } else if (hidden(c)) {
            std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned>(c));
            out += escape;
        } else if (step.valid) {
            out.append(utf8.substr(at - step.length, step.length));
        } else {
            out += "\xEF\xBF\xBD";
        }
    }
    out += '"';
    return out;
}

}  // namespace kelid3_info
