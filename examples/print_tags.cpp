// SPDX-License-Identifier: MIT
// print_tags: a minimal reader of ID3 tags with libkelid3, in C++ (kelid3.hpp).
//
//   print_tags_cpp FILE... 2>/dev/null
//
// The same program as examples/print_tags.c, with the same output: the ID3v2
// tag at the start of each file and the ID3v1 tag in its last 128 bytes, one
// line per frame, text as UTF-8.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <kelid3.hpp>
#include <string_view>
#include <vector>

namespace {

void put(std::string_view text) {
    if (!text.empty()) std::fwrite(text.data(), 1, text.size(), stdout);
}

// Writes ISO-8859-1 text, up to its first NUL, as UTF-8.
void put_latin1(std::string_view text) {
    for (const char ch : text.substr(0, text.find('\0'))) {
        const auto c = static_cast<unsigned char>(ch);
        if (c < 0x80) {
            std::putchar(c);
        } else {
            std::putchar(0xC0 | (c >> 6));
            std::putchar(0x80 | (c & 0x3F));
        }
    }
}

void print_field(kelid3::field field) {
    std::putchar(' ');
    switch (field.type()) {
        case kelid3::field_type::number:
            std::printf("%lu", static_cast<unsigned long>(field.number()));
            break;
        case kelid3::field_type::blob:
            std::printf("[%lu bytes]", static_cast<unsigned long>(field.blob().size()));
            break;
        case kelid3::field_type::string:
            if (field.encoding() == kelid3::text_encoding::iso8859_1) {
                put_latin1(field.text());
            } else {
                const kelid3::iso8859_text text = field.to_iso8859();  // freed at the end
                put_latin1(text ? text.view() : "?");
            }
            break;
    }
}

void print_tag(const kelid3::tag &tag) {
    if (tag.is_v1())
        std::printf("  ID3v1\n");
    else
        std::printf("  ID3v2.%lu.%lu\n", static_cast<unsigned long>(tag.version() >> 8) & 0xFF,
                    static_cast<unsigned long>(tag.version()) & 0xFF);
    for (const kelid3::frame frame : tag.frames()) {
        std::printf("    %s ", kelid3::id_string(frame.id()).c_str());
        put(frame.description());
        std::putchar(':');
        for (const kelid3::field field : frame.fields()) print_field(field);
        std::putchar('\n');
    }
}

// Reads up to len bytes of f from `offset` bytes off `whence` and prints the
// tag they hold, if any.
void print_tag_at(std::FILE *f, long offset, int whence, std::uint32_t len) {
    std::vector<unsigned char> buf(len);
    std::size_t got = 0;
    if (std::fseek(f, offset, whence) == 0) got = std::fread(buf.data(), 1, len, f);
    if (const kelid3::parse_result parsed = kelid3::parse(buf.data(), std::uint32_t(got)))
        print_tag(*parsed);
}

}  // namespace

int main(int argc, char **argv) {
    for (int i = 1; i < argc; ++i) {
        std::FILE *f = std::fopen(argv[i], "rb");
        if (f == nullptr) {
            std::perror(argv[i]);
            return 1;
        }
        std::printf("%s\n", argv[i]);
        // An ID3v2 header tells the tag's size, not counting its 10 bytes.
        unsigned char head[14];
        if (std::fread(head, 1, sizeof head, f) == sizeof head &&
            std::memcmp(head, "ID3", 3) == 0) {
            const std::int32_t size = kelid3::query(head, sizeof head);
            if (size > 0) print_tag_at(f, 0, SEEK_SET, std::uint32_t(size) + 10);
        }
        print_tag_at(f, -128, SEEK_END, 128);  // where an ID3v1 tag stands
        std::fclose(f);
    }
    return 0;
}
