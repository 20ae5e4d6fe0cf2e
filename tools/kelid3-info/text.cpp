// SPDX-License-Identifier: MIT
// Escaping for the terminal, JSON and CSV, over one UTF-8 decoder.
#include "text.h"

#include <cstdio>

namespace kelid3_info {

namespace {

bool utf8_output = true;

// The length of the valid UTF-8 sequence at text[at] and its code point in
// `c`; 0 when no valid sequence begins there.
size_t decode(std::string_view text, size_t at, char32_t &c) {
    const auto byte = [&](size_t i) {
        return at + i < text.size() ? static_cast<unsigned char>(text[at + i]) : 0u;
    };
    const unsigned lead = byte(0);
    if (lead < 0x80) return c = lead, 1;
    // The sequence length and the range of its second byte, which rules out
    // overlong forms, surrogates and code points above U+10FFFF.
    size_t length = 0;
    unsigned low = 0x80, high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) length = 2;
    if (lead >= 0xE0 && lead <= 0xEF) length = 3;
    if (lead >= 0xF0 && lead <= 0xF4) length = 4;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
    if (length == 0 || byte(1) < low || byte(1) > high) return 0;
    c = lead & (0x7Fu >> length);
    for (size_t i = 1; i < length; ++i) {
        if ((byte(i) & 0xC0) != 0x80) return 0;
        c = c << 6 | (byte(i) & 0x3F);
    }
    return length;
}

// Characters never written raw: C0 controls, DEL, C1 controls and the
// bidirectional embeddings, overrides and isolates.
bool hidden(char32_t c) {
    return c < 0x20 || (c >= 0x7F && c <= 0x9F) || (c >= 0x202A && c <= 0x202E) ||
           (c >= 0x2066 && c <= 0x2069);
}

void append(std::string &out, const char *format, unsigned value) {
    char room[16];
    out.append(room, static_cast<size_t>(std::snprintf(room, sizeof room, format, value)));
}

void escape_json(char32_t c, std::string &out) {
    const char *named = c == '"'    ? "\\\""
                        : c == '\\' ? "\\\\"
                        : c == '\b' ? "\\b"
                        : c == '\f' ? "\\f"
                        : c == '\n' ? "\\n"
                        : c == '\r' ? "\\r"
                        : c == '\t' ? "\\t"
                                    : nullptr;
    if (named != nullptr) {
        out += named;
    } else if (c > 0xFFFF) {  // a surrogate pair
        append(out, "\\u%04x", 0xD800 + ((c - 0x10000) >> 10));
        append(out, "\\u%04x", 0xDC00 + ((c - 0x10000) & 0x3FF));
    } else {
        append(out, "\\u%04x", c);
    }
}

void escape_terminal(char32_t c, std::string &out) {
    const char *named = c == '\n' ? "\\n" : c == '\t' ? "\\t" : c == '\r' ? "\\r" : nullptr;
    if (named != nullptr) {
        out += named;
    } else {
        append(out, c < 0x80 ? "\\x%02x" : c > 0xFFFF ? "\\U%08x" : "\\u%04x", c);
    }
}

}  // namespace

void set_utf8_output(bool utf8) {
    utf8_output = utf8;
}

void escape(std::string_view text, Style style, std::string &out) {
    for (size_t at = 0; at < text.size();) {
        size_t plain = at;  // printable ASCII goes as it is, in one piece
        while (plain < text.size() && text[plain] >= 0x20 && text[plain] < 0x7F &&
               (style != Style::kJson || (text[plain] != '"' && text[plain] != '\\')))
            ++plain;
        out.append(text, at, plain - at);
        if ((at = plain) == text.size()) break;
        char32_t c = 0;
        const size_t length = decode(text, at, c);
        if (length == 0) {  // not UTF-8
            if (style == Style::kJson) {
                if (utf8_output) out += "\xEF\xBF\xBD";
                if (!utf8_output) out += "\\ufffd";
            } else {
                append(out, "\\x%02x", static_cast<unsigned char>(text[at]));
            }
            ++at;
            continue;
        }
        const bool kept = style == Style::kLines && (c == '\n' || c == '\t');
        const bool quote = style == Style::kJson && (c == '"' || c == '\\');
        if (!kept && (quote || hidden(c) || (c > 0x7F && !utf8_output))) {
            if (style == Style::kJson) escape_json(c, out);
            if (style != Style::kJson) escape_terminal(c, out);
        } else {
            out.append(text, at, length);
        }
        at += length;
    }
}

std::string shown(std::string_view text) {
    std::string out;
    escape(text, Style::kTerminal, out);
    return out;
}

std::string csv_field(std::string_view text) {
    std::string field;
    escape(text, Style::kLines, field);
    if (field.find_first_of(",\"\n") == std::string::npos) return field;
    std::string quoted = "\"";
    for (const char c : field) {
        if (c == '"') quoted += '"';
        quoted += c;
    }
    return quoted + "\"";
}

bool valid_utf8(std::string_view text) {
    char32_t c = 0;
    for (size_t at = 0, length = 0; at < text.size(); at += length) {
        length = decode(text, at, c);
        if (length == 0) return false;
    }
    return true;
}

}  // namespace kelid3_info
