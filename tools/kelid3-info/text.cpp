// SPDX-License-Identifier: MIT
// Text fields split into their values as UTF-8, and escaping for the terminal
// and for JSON.
#include "text.h"

#include <cstdio>
#include <optional>

#include "utf.h"

namespace kelid3_info {

namespace {

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

std::string terminal_text(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    for (size_t i = 0; i < utf8.size(); ++i) {
        const auto c = static_cast<unsigned char>(utf8[i]);
        char escape[8];
        if (c == '\n') {
            out += "\\n";
        } else if (c == '\t') {
            out += "\\t";
        } else if (c == '\r') {
            out += "\\r";
        } else if (c < 0x20 || c == 0x7F) {
            std::snprintf(escape, sizeof escape, "\\x%02x", c);
            out += escape;
        } else if (c == 0xC2 && i + 1 < utf8.size() &&
                   static_cast<unsigned char>(utf8[i + 1]) <= 0x9F) {
            // U+0080 to U+009F: C2 followed by 80 to 9F in valid UTF-8.
            std::snprintf(escape, sizeof escape, "\\u%04x",
                          static_cast<unsigned char>(utf8[i + 1]));
            out += escape;
            ++i;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

std::string json_string(std::string_view utf8) {
    std::string out = "\"";
    out.reserve(utf8.size() + 2);
    for (char ch : utf8) {
        const auto c = static_cast<unsigned char>(ch);
        switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\b':
                out += "\\b";
                break;
            case '\f':
                out += "\\f";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                if (c < 0x20) {
                    char escape[8];
                    std::snprintf(escape, sizeof escape, "\\u%04x", c);
                    out += escape;
                } else {
                    out += ch;
                }
        }
    }
    out += '"';
    return out;
}

}  // namespace kelid3_info
