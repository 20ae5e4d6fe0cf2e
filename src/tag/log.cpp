// SPDX-License-Identifier: MIT
// The diagnostic line writer.
#include "tag/log.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace {

// Room for a whole line on the stack. Every line of the library fits with
// plenty to spare; a longer one (a caller's long function name or message)
// goes out in pieces.
constexpr size_t kLineRoom = 256;

// "[func: line] level: " into `out`, the bytes that printf makes of
// "[%s: %d] %s: ", without printf. Returns its length, or 0 when it does not
// fit in `room` bytes with a byte to spare.
size_t put_prefix(char *out, size_t room, const char *func, int line, const char *level) {
    char number[12];  // "-2147483648" and its terminator
    char *digits = number + sizeof number - 1;
    *digits = '\0';
    auto magnitude = static_cast<unsigned>(line);
    if (line < 0) magnitude = 0u - magnitude;
    do {
        *--digits = static_cast<char>('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    if (line < 0) *--digits = '-';

    const char *const parts[] = {"[", func, ": ", digits, "] ", level, ": "};
    size_t used = 0;
    for (const char *part : parts) {
        const size_t length = std::strlen(part);
        if (length >= room - used) return 0;
        std::memcpy(out + used, part, length);
        used += length;
    }
    return used;
}

bool needs_escape(char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte != 0 && (byte < 0x20 || byte > 0x7E);
}

// Writes the line text[0, length) and a newline to `out` in one call, the
// bytes from `from` on that needs_escape names as \xNN.
[[gnu::cold, gnu::noinline]] int put_escaped(std::FILE *out, const char *text, size_t from,
                                             size_t length) {
    static constexpr char kHex[] = "0123456789abcdef";
    char line[4 * kLineRoom + 1];
    std::memcpy(line, text, from);
    size_t used = from;
    for (size_t i = from; i < length; ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (!needs_escape(text[i])) {
            line[used++] = text[i];
            continue;
        }
        line[used++] = '\\';
        line[used++] = 'x';
        line[used++] = kHex[byte >> 4];
        line[used++] = kHex[byte & 0xF];
    }
    line[used++] = '\n';
    return std::fwrite(line, 1, used, out) == used ? '\n' : EOF;
}

// The line is put together here and handed to the stream in one call, which
// makes it one write on an unbuffered stream and keeps it whole among lines
// of other threads (the stream's lock covers the call). A line too long for
// the room, or with a null name or level (left to printf), goes out in three
// pieces, unescaped.
int write_line(std::FILE *out, bool escape, const char *func, int line, const char *level,
               const char *fmt, va_list args) {
    char text[kLineRoom];
    const size_t prefix =
        func != nullptr && level != nullptr ? put_prefix(text, kLineRoom, func, line, level) : 0;
    if (prefix != 0) {
        va_list message_args;
        va_copy(message_args, args);
        const int message = std::vsnprintf(text + prefix, kLineRoom - prefix, fmt, message_args);
        va_end(message_args);
        // The terminator that vsnprintf wrote makes room for the newline.
        if (message >= 0 && static_cast<size_t>(message) < kLineRoom - prefix) {
            const size_t length = prefix + static_cast<size_t>(message);
            if (escape) {
                for (size_t i = prefix; i < length; ++i) {
                    if (needs_escape(text[i])) return put_escaped(out, text, prefix, length);
                }
            }
            text[length] = '\n';
            return std::fwrite(text, 1, length + 1, out) == length + 1 ? '\n' : EOF;
        }
    }
    std::fprintf(out, "[%s: %d] %s: ", func, line, level);
    std::vfprintf(out, fmt, args);
    return std::fputc('\n', out);
}

}  // namespace

namespace kelid3::detail {

int log_line(std::FILE *out, const char *func, int site, const char *fmt, ...) {
    // The names six bytes apart: no table of pointers to relocate.
    static constexpr char kLevels[] = "TRACE\0DEBUG\0INFO\0\0WARN\0\0ERROR";
    if (out == nullptr) return 0;
    va_list args;
    va_start(args, fmt);
    const int result = write_line(out, true, func, site / 8, kLevels + 6 * (site % 8), fmt, args);
    va_end(args);
    return result;
}

}  // namespace kelid3::detail

// A caller's line on stderr: the prefix, the message, the newline, as given.
// No level filter, no buffering of its own.
extern "C" int id3_log(const char *func, int line, const char *level, const char *fmt, ...) {
    va_list args;
    va_start(args, fmt);
    const int result = write_line(stderr, false, func, line, level, fmt, args);
    va_end(args);
    return result;
}
