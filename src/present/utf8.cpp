// SPDX-License-Identifier: MIT
// String fields of every encoding into UTF-8: the one converter that callers,
// the C++ layer and kelid3-info use.
#include <cstdint>
#include <cstdlib>

#include "kelid3.h"

namespace {

constexpr char32_t kReplacement = 0xFFFD;

// Where converted text goes: counted only (no buffer), or written.
class Utf8Out {
  public:
    explicit Utf8Out(uint8_t *to) : to_(to) {}

    void put(char32_t c) {
        if (c < 0x80) return byte(c);
        const int tail = c < 0x800 ? 1 : c < 0x10000 ? 2 : 3;  // continuation bytes
        static constexpr uint32_t kLead[] = {0, 0xC0, 0xE0, 0xF0};
        byte(kLead[tail] | c >> (6 * tail));
        for (int shift = 6 * (tail - 1); shift >= 0; shift -= 6) byte(0x80 | ((c >> shift) & 0x3F));
    }
    [[nodiscard]] uint64_t size() const { return n_; }

  private:
    void byte(uint32_t b) {
        if (to_ != nullptr) to_[n_] = static_cast<uint8_t>(b);
        ++n_;
    }
    uint8_t *to_;
    uint64_t n_ = 0;
};

void from_latin1(const uint8_t *in, uint32_t n, Utf8Out &out) {
    for (uint32_t i = 0; i < n; ++i) out.put(in[i]);
}

// UTF-8 checked: each maximal part of a sequence that cannot be completed
// validly (a stray continuation byte, C0, C1, F5 to FF, an overlong form, a
// surrogate, a code point above U+10FFFF, a sequence cut short) becomes one
// U+FFFD.
void from_utf8(const uint8_t *in, uint32_t n, Utf8Out &out) {
    for (uint32_t i = 0; i < n;) {
        const uint8_t lead = in[i];
        const uint32_t length = lead < 0x80                   ? 1
                                : lead >= 0xC2 && lead < 0xE0 ? 2
                                : lead >= 0xE0 && lead < 0xF0 ? 3
                                : lead >= 0xF0 && lead < 0xF5 ? 4
                                                              : 0;
        // The second byte's range rules out overlong forms, surrogates and
        // code points above U+10FFFF.
        const uint8_t low = lead == 0xE0 ? 0xA0 : lead == 0xF0 ? 0x90 : 0x80;
        const uint8_t high = lead == 0xED ? 0x9F : lead == 0xF4 ? 0x8F : 0xBF;
        char32_t c = length > 1 ? lead & (0x7Fu >> length) : lead;
        uint32_t got = 1;
        for (; got < length && got < n - i; ++got) {
            const uint8_t next = in[i + got];
            if (got == 1 ? next < low || next > high : (next & 0xC0) != 0x80) break;
            c = c << 6 | (next & 0x3Fu);
        }
        out.put(got == length ? c : kReplacement);
        i += got;
    }
}

// The byte order of a UTF-16 text without a mark, from the `n` bytes up to
// its end or separator: taggers that leave the mark out write little-endian,
// which shows as zero high bytes at odd offsets.
bool guess_big_endian(const uint8_t *in, uint32_t n) {
    uint32_t even = 0, odd = 0;
    for (uint32_t i = 0; i + 1 < n && (in[i] | in[i + 1]) != 0; i += 2) {
        even += in[i] == 0;
        odd += in[i + 1] == 0;
    }
    return odd <= even;
}

// UTF-16: a mark at the start of each value (the text's, and behind each
// separator) sets the byte order and is dropped; an unmarked value keeps the
// order before it. A separator (a zero unit) stays a NUL byte.
void from_utf16(const uint8_t *in, uint32_t n, bool big_endian, bool order_known, Utf8Out &out) {
    const auto unit = [&](uint32_t at) {
        return big_endian ? char32_t{in[at]} << 8 | in[at + 1] : char32_t{in[at + 1]} << 8 | in[at];
    };
    bool value_start = true;
    for (uint32_t i = 0; i < n;) {
        const bool mark = n - i >= 2 && ((in[i] == 0xFF && in[i + 1] == 0xFE) ||
                                         (in[i] == 0xFE && in[i + 1] == 0xFF));
        if (value_start && mark) {
            big_endian = in[i] == 0xFE;
            order_known = true;
            i += 2;
            continue;
        }
        if (value_start && !order_known) big_endian = guess_big_endian(in + i, n - i);
        order_known = true;
        if (n - i < 2) {
            // An odd byte at the end: a zero is a terminator cut to one byte.
            out.put(in[i] == 0 ? 0 : kReplacement);
            break;
        }
        char32_t c = unit(i);
        i += 2;
        value_start = c == 0;
        if (c >= 0xD800 && c <= 0xDBFF && n - i >= 2 && unit(i) >= 0xDC00 && unit(i) <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (unit(i) - 0xDC00);
            i += 2;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = kReplacement;  // unpaired: this unit only
        }
        out.put(c);
    }
}

void convert(const id3_field *field, Utf8Out &out) {
    const auto *in = reinterpret_cast<const uint8_t *>(field->data);
    switch (field->encoding) {
        case KELID3_ENC_ISO8859:
            return from_latin1(in, field->length, out);
        case KELID3_ENC_UTF16:
            return from_utf16(in, field->length, true, false, out);
        case KELID3_ENC_UTF16BE:
            return from_utf16(in, field->length, true, true, out);
        default:
            return from_utf8(in, field->length, out);
    }
}

}  // namespace

// Two passes: the first measures, the second writes into a block of exactly
// that size.
extern "C" char *kelid3_field_utf8(const id3_field *field, uint32_t *length) {
    if (field == nullptr || field->type != FIELD_STRING || field->encoding > KELID3_ENC_UTF8) {
        return nullptr;
    }
    Utf8Out measure(nullptr);
    convert(field, measure);
    const uint64_t size = measure.size();
    if (size >= UINT32_MAX || size >= SIZE_MAX) return nullptr;  // its length cannot be told
    auto *text = static_cast<uint8_t *>(std::malloc(static_cast<size_t>(size) + 1));
    if (text == nullptr) return nullptr;
    Utf8Out write(text);
    convert(field, write);
    text[size] = 0;
    if (length != nullptr) *length = static_cast<uint32_t>(size);
    return reinterpret_cast<char *>(text);
}
