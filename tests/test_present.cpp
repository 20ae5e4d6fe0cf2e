// SPDX-License-Identifier: MIT
// Text conversion to ISO-8859-1 and the tag dump, on records built by hand.
#include <cstring>
#include <deque>
#include <tuple>

#include "support/records.h"

namespace {

// A field over its own copy of the bytes with a NUL behind them, as a parse
// lays them out. `word4` is a string's encoding or a blob's size.
struct HandField {
    std::string store;
    id3_field f;
    HandField(uint32_t type, uint32_t word4, const std::string &s)
        : store(s + '\0'), f{type, nullptr, uintptr_t(store.data()), {word4}, uint32_t(s.size())} {}
};

// In: the encoding byte, then the text. Out: the result in front of its NUL
// ("null": none), the lines.
TEST(ToIso8859, ConvertsUtf8AndUtf16AndRefusesOtherEncodings) {
    const std::string bad8 = "null\nutf8_to_8859_15: ERROR unable to convert utf8 -> iso8859-15",
                      be = "\nutf16_to_8859_15: TRACE defaulting to is_be: 1",
                      other = "null\nkelid3_field_to_iso8859: ERROR unknown field text endcoding: ";
    const Row rows[] = {
        // clang-format off
        // UTF-8: the lead byte gives the length, each following byte its low 7 bits
        {.in = bytes("\3"), .out = ""}, {.in = bytes("\3\x7F" "a"), .out = "<7f>a"},
        {.in = bytes("\3\xC3\xA9\xC3\xBF\xC4\x80"), .out = "<e9><ff>{"}, {.in = bytes("\3\xC1\xA9\xC2\xE9"), .out = "i<e9>"},
        {.in = bytes("\3\xE0\x83\xA9\xE2\x82\xAC"), .out = "<e9>{"}, {.in = bytes("\3\xF0\x80\x83\xA9\xF8\x80\x80\x80"), .out = "<e9>{"},
        {.in = bytes("\3" "A\xC3\xA9"), .out = "A<e9>"}, {.in = bytes("\3" "A\xC3"), .out = bad8}, {.in = bytes("\3\xE2\x82"), .out = bad8},
        {.in = bytes("\3\xF0\x9F\x98"), .out = bad8}, {.in = bytes("\3" "A\x80" "B"), .out = bad8}, {.in = bytes("\3\xBF"), .out = bad8},
        // UTF-16: a mark decides for encodings 1 and 2 alike, else big-endian
        {.in = bytes("\1\xFF\xFE\xE9\0"s), .out = "<e9>"}, {.in = bytes("\1\xFE\xFF\0\xE9"s), .out = "<e9>"},
        {.in = bytes("\2\xFF\xFE\xE9\0"s), .out = "<e9>"}, {.in = bytes("\2\xFE\xFF"), .out = ""},
        {.in = bytes("\1" "A"), .out = "null\nutf16_to_8859_15: DEBUG utf16-string too short."},
        {.in = bytes("\1\0\xE9\0" "A"s), .out = "<e9>A" + be}, {.in = bytes("\2\0" "AB"s), .out = "A" + be},
        {.in = bytes("\1\xFF\0\0" "A"s), .out = "<b7>A" + be}, {.in = bytes("\1\xFE\0\0" "A"s), .out = "<b7>A" + be},
        {.in = bytes("\1\0\xFE\0" "A"s), .out = "<fe>A" + be}, {.in = bytes("\1\0\xFF\x01\0"s), .out = "<ff><b7>" + be},
        {.in = bytes("\1\xFF\xFE\xAC\x20\xFF\0"s), .out = "<b7><ff>"}, {.in = bytes("\1\xFE\xFF\xD7\xFF\xE0\0"s), .out = "<b7><b7>"},
        {.in = bytes("\1\xFE\xFF\0" "A\xD8\0\xDF\xFF\0" "B"s), .out = "AB"}, {.in = bytes("\1\xFF\xFE\x3D\xD8\0\xDE"s), .out = ""},
        // other encodings are not converted, ISO-8859-1 included
        {.in = bytes("\0" "abc"s), .out = other + "0"}, {.in = bytes("\4" "abc"), .out = other + "4"},
        {.in = bytes("\x1F" "abc"), .out = other + "1f"},
        // clang-format on
    };
    for (const Row &row : rows) {
        HandField field(FIELD_STRING, row.in[0], std::string(row.in.begin() + 1, row.in.end()));
        LogCapture log;
        const kelid3::iso8859_text text(kelid3_field_to_iso8859(&field.f));
        const std::string lines = log.lines();
        EXPECT_EQ((text ? esc(text.get(), std::strlen(text.get())) : "null") + (lines.empty() ? "" : "\n" + lines),
                  row.out);
    }
    // Fields of other kinds give null silently; the conversion to UTF-8 is not there.
    HandField blob(FIELD_BLOB, 3, "abc"), number(FIELD_UINT, 3, ""), odd(4, 3, "abc");
    LogCapture log;
    for (const id3_field *f : {&blob.f, &number.f, &odd.f}) EXPECT_FALSE(kelid3_field_to_iso8859(f));
    EXPECT_TRUE(!kelid3_field_to_iso8859(nullptr) && !kelid3_field_to_utf8(&blob.f));
    EXPECT_EQ(log.lines(), "kelid3_field_to_utf8: ERROR NYI!");
}

// Every kind of field; blobs of 3, 4 and 12 bytes (native 32-bit words: the
// expected ones come from the bytes the same way); fields of other types (a
// tab alone); a frame of three characters.
TEST(Dump, PrintsTagFramesAndFieldsInListOrder) {
    const std::string twelve = "\1\2\3\4\5\6\7\10\11\12\13\14";
    uint32_t word[3];
    std::memcpy(word, twelve.data(), 12);
    std::deque<HandField> f;  // keeps the addresses
    // clang-format off
    for (const auto &[type, word4, text] :
         {std::tuple{1u, 0u, "Hello"s}, {1u, 1u, "\xFF\xFE" "A\0B\0"s}, {1u, 2u, "\0A"s}, {1u, 3u, "u8"s},
          {1u, 4u, "odd"s}, {3u, 0u, ""s}, {2u, 3u, twelve}, {2u, 4u, twelve}, {2u, 12u, twelve}, {0u, 0u, ""s},
          {3u, 0u, ""s}, {4u, 0u, ""s}}) {
        f.emplace_back(type, word4, text);
        if (f.size() > 1) f[f.size() - 2].f.next = &f.back().f;
    }
    // clang-format on
    f[5].f.data = 0x1234, f[5].f.next = nullptr, f[10].f.data = 0xFFFFFFFF;
    id3_frame second{nullptr, 0x00545432, 0x00C0, 3, &f[6].f}, first{&second, id("TIT2"), 0, 15, &f[0].f};
    const id3_tag tag{0x00020300, 0x40, 1234, 10, &first};
    const auto next = [&](size_t i) { return static_cast<const void *>(f[i].f.next); };
    // clang-format off
    EXPECT_EQ(dump(&tag), format(
        "TAG version 2.3.0, length 01234, flags 00000040\nframe: TIT2[00015], flags 00000000, next %p\n"
        "\tfield: iso-8859 string[00005], next %p: -*-Hello-*-\n\tfield: utf16 string[00006], next %p: -*-\xFF\xFE"
        "A-*-\n\tfield: utf16be string[00002], next %p: -*--*-\n\tfield: utf8 string[00002], next %p: -*-u8-*-\n"
        "\tfield: UNKNOWN string[00003], next %p: -*-odd-*-\n\tfield: uint, next %p: 00001234\nframe: %cTT2[00003], "
        "flags 000000c0, next %p\n\tfield: blob[00003], next %p: 00000000 00000000 00000000 ...\n\tfield: blob[00004], "
        "next %p: %08x 00000000 00000000 ...\n\tfield: blob[00012], next %p: %08x %08x %08x ...\n\t\tfield: uint, next "
        "%p: ffffffff\n\t", static_cast<const void *>(&second), next(0), next(1), next(2), next(3), next(4), next(5), 0,
        nullptr, next(6), next(7), word[0], next(8), word[0], word[1], word[2], next(10)));
    // clang-format on
    const id3_tag odd{0xFF345678, 0xDEADBEEF, 0xFFFFFFFF, 99, nullptr};
    EXPECT_EQ(dump(&odd) + dump(nullptr), "TAG version 52.86.120, length -0001, flags deadbeef\n");
    kelid3_tag_print(nullptr, &tag);  // no file: nothing to do
}

}  // namespace
