// SPDX-License-Identifier: MIT
// Stored text to UTF-8, with U+FFFD for each unit that is not valid in its
// encoding.
#include "utf.h"

#include <cstddef>

namespace kelid3_info {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

bool is_surrogate(char32_t c) {
    return c >= 0xD800 && c <= 0xDFFF;
}

// Appends the UTF-8 form of a code point up to U+10FFFF.
void append(std::string &out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
        return;
    }
    static constexpr unsigned char kLead[] = {0, 0xC0, 0xE0, 0xF0};
    const int tail = c < 0x800 ? 1 : c < 0x10000 ? 2 : 3;  // continuation bytes
    out += static_cast<char>(kLead[tail] | (c >> (6 * tail)));
    for (int shift = 6 * (tail - 1); shift >= 0; shift -= 6) {
        out += static_cast<char>(0x80 | ((c >> shift) & 0x3F));
    }
}

// Bytes of the UTF-8 sequence that `lead` begins; 0 for a byte that begins
// none. F8 to FD begin the five- and six-byte forms of old UTF-8: never valid,
// but awaited whole before they are refused.
size_t sequence_length(unsigned char lead) {
    return lead < 0x80   ? 1
           : lead < 0xC2 ? 0
           : lead < 0xE0 ? 2
           : lead < 0xF0 ? 3
           : lead < 0xF8 ? 4
           : lead < 0xFC ? 5
           : lead < 0xFE ? 6
                         : 0;
}

// The least code point of a sequence of each length; none for 5 and 6.
constexpr char32_t kLeast[] = {0, 0, 0x80, 0x800, 0x10000, 0x110000, 0x110000};

}  // namespace

std::string latin1_to_utf8(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    for (char byte : bytes) append(out, static_cast<unsigned char>(byte));
    return out;
}

std::string utf16_to_utf8(std::string_view bytes, bool big_endian) {
    const auto unit = [&](size_t at) {
        const auto first = static_cast<unsigned char>(bytes[at]);
        const auto second = static_cast<unsigned char>(bytes[at + 1]);
        return static_cast<char32_t>(big_endian ? first << 8 | second : second << 8 | first);
    };
    std::string out;
    out.reserve(bytes.size());
    for (size_t at = 0; at < bytes.size(); at += 2) {
        const size_t left = bytes.size() - at;
        char32_t c = left >= 2 ? unit(at) : 0;
        const bool high = c >= 0xD800 && c <= 0xDBFF;
        if (left < 2 || (high && left < 4)) {  // a character cut off by the end
            append(out, kReplacement);
            break;
        }
        const char32_t low = high ? unit(at + 2) : 0;
        if (high && low >= 0xDC00 && low <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
            at += 2;
        } else if (is_surrogate(c)) {
            c = kReplacement;  // unpaired: this unit only
        }
        append(out, c);
    }
    return out;
}

Utf8Step utf8_step(std::string_view bytes, size_t at) {
    const auto byte = [&](size_t i) { return static_cast<unsigned char>(bytes[i]); };
    const unsigned char lead = byte(at);
    const size_t length = sequence_length(lead);
    size_t got = 1;  // bytes of the sequence present
    while (got < length && at + got < bytes.size() && (byte(at + got) & 0xC0) == 0x80) ++got;
    if (got < length && at + got == bytes.size()) return {1, 0, false, true};
    char32_t c = length > 1 ? lead & (0x7F >> length) : lead;
    for (size_t i = 1; i < got; ++i) c = c << 6 | (byte(at + i) & 0x3F);
    if (length == 0 || got < length || c < kLeast[length] || c > 0x10FFFF || is_surrogate(c)) {
        return {1, 0, false, false};
    }
    return {length, c, true, false};
}

std::string utf8_to_utf8(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    for (size_t at = 0; at < bytes.size();) {
        const Utf8Step step = utf8_step(bytes, at);
        // A sequence cut off by the end is one U+FFFD; after any other
        // invalid byte the next byte is tried.
        append(out, step.valid ? step.c : kReplacement);
        if (step.cut_off) break;
        at += step.length;
    }
    return out;
}

}  // namespace kelid3_info
