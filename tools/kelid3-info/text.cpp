#include "text.h"

#include <cerrno>
#include <cstdio>

#include "kelid3.h"

namespace kelid3_info {

namespace {

// iconv_open's result for a conversion it cannot make.
bool opened(iconv_t cd) {
    return cd != reinterpret_cast<iconv_t>(-1);
}
constexpr size_t kIconvFailed = static_cast<size_t>(-1);

// U+FFFD REPLACEMENT CHARACTER in the two forms written here.
constexpr std::string_view kReplacementUtf8 = "\xEF\xBF\xBD";
constexpr std::string_view kReplacementUtf16le = "\xFD\xFF";

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

const uint8_t *bytes_of(std::string_view s) {
    return reinterpret_cast<const uint8_t *>(s.data());
}

}  // namespace

const char *encoding_name(uint32_t encoding) {
    switch (encoding) {
        case KELID3_ENC_ISO8859:
            return "ISO-8859-1";
        case KELID3_ENC_UTF16:
            return "UTF-16";
        case KELID3_ENC_UTF16BE:
            return "UTF-16BE";
        case KELID3_ENC_UTF8:
            return "UTF-8";
        default:
            return "unknown";
    }
}

TextConverter::TextConverter()
    : from_latin1_(iconv_open("UTF-8", "ISO-8859-1")),
      from_utf16le_(iconv_open("UTF-8", "UTF-16LE")),
      from_utf16be_(iconv_open("UTF-8", "UTF-16BE")),
      utf8_to_utf16le_(iconv_open("UTF-16LE", "UTF-8")),
      ready_(opened(from_latin1_) && opened(from_utf16le_) && opened(from_utf16be_) &&
             opened(utf8_to_utf16le_)) {}

TextConverter::~TextConverter() {
    for (iconv_t cd : {from_latin1_, from_utf16le_, from_utf16be_, utf8_to_utf16le_}) {
        if (opened(cd)) iconv_close(cd);
    }
}

std::string TextConverter::run(iconv_t cd, const uint8_t *bytes, size_t length, size_t unit,
                               std::string_view replacement) {
    std::string out;
    char buffer[4096];
    // iconv takes a non-const input pointer but does not write through it.
    char *in = const_cast<char *>(reinterpret_cast<const char *>(bytes));
    size_t in_left = length;
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    while (in_left > 0) {
        char *o = buffer;
        size_t o_left = sizeof buffer;
        const size_t result = iconv(cd, &in, &in_left, &o, &o_left);
        const int error = errno;
        out.append(buffer, sizeof buffer - o_left);
        if (result != kIconvFailed || error == E2BIG) continue;
        out.append(replacement);
        if (error != EILSEQ) break;  // EINVAL: the input ends inside a character
        const size_t skip = unit < in_left ? unit : in_left;
        in += skip;
        in_left -= skip;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
    return out;
}

std::string TextConverter::latin1(const uint8_t *bytes, size_t length) {
    return run(from_latin1_, bytes, length, 1, kReplacementUtf8);
}

std::string TextConverter::utf8(std::string_view bytes) {
    // glibc passes code points above U+10FFFF from UTF-8 to UTF-8 unchanged;
    // UTF-16 cannot hold them, so the way through it refuses them.
    const std::string utf16 =
        run(utf8_to_utf16le_, bytes_of(bytes), bytes.size(), 1, kReplacementUtf16le);
    return run(from_utf16le_, bytes_of(utf16), utf16.size(), 2, kReplacementUtf8);
}

std::string TextConverter::utf16(const uint8_t *bytes, size_t length,
                                 std::optional<bool> &big_endian) {
    if (length >= 2 && bytes[0] == 0xFF && bytes[1] == 0xFE) {
        big_endian = false;
        bytes += 2;
        length -= 2;
    } else if (length >= 2 && bytes[0] == 0xFE && bytes[1] == 0xFF) {
        big_endian = true;
        bytes += 2;
        length -= 2;
    } else if (!big_endian) {
        // No mark where one belongs: taggers that leave it out write
        // little-endian, which shows as NUL high bytes at odd offsets.
        size_t even = 0;
        size_t odd = 0;
        for (size_t i = 0; i + 1 < length; i += 2) {
            even += bytes[i] == 0;
            odd += bytes[i + 1] == 0;
        }
        big_endian = odd <= even;
    }
    return run(*big_endian ? from_utf16be_ : from_utf16le_, bytes, length, 2, kReplacementUtf8);
}

std::vector<std::string> TextConverter::values(const uint8_t *bytes, size_t length,
                                               uint32_t encoding) {
    const bool wide = encoding == KELID3_ENC_UTF16 || encoding == KELID3_ENC_UTF16BE;
    std::string_view text(reinterpret_cast<const char *>(bytes), length);
    // Some taggers end UTF-16 text with a single NUL byte.
    if (wide && text.size() % 2 == 1 && text.back() == '\0') text.remove_suffix(1);
    std::vector<std::string> out;
    // UTF-16BE is big-endian unless a mark says otherwise; UTF-16 without a
    // mark is judged by its bytes.
    std::optional<bool> big_endian;
    if (encoding == KELID3_ENC_UTF16BE) big_endian = true;
    for (std::string_view piece : split(text, wide ? 2 : 1)) {
        if (wide) {
            out.push_back(utf16(bytes_of(piece), piece.size(), big_endian));
        } else if (encoding == KELID3_ENC_UTF8) {
            if (piece.substr(0, 3) == "\xEF\xBB\xBF") piece.remove_prefix(3);
            out.push_back(utf8(piece));
        } else {
            out.push_back(latin1(bytes_of(piece), piece.size()));
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
