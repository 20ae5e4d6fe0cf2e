// SPDX-License-Identifier: MIT
// Text conversion to ISO-8859-1 (its block failing too), the entry points not
// there yet, and the tag dump, on records built by hand.
#include <cstring>
#include <deque>
#include <tuple>

#include "support/alloc_seam.h"
#include "support/records.h"

namespace {

// Input: the encoding byte, then the text, as a frame holds them. Out: the
// text in front of its NUL, "(null)" for none; the lines; both again with the
// result's block made to fail ("no memory"). Expected: tests/golden/to_iso8859.
TEST(ToIso8859, ConvertsUtf8AndUtf16AndRefusesOtherEncodings) {
    const Case rows[] = {
        // UTF-8: the lead byte gives the length, each following byte its low 7 bits
        {"UTF-8, empty", bytes("\3"s)},
        {"UTF-8, ASCII", bytes("\3\x7Fq"s)},
        {"UTF-8, 2 bytes", bytes("\3\xC3\xA9\xC3\xBF\xC4\x80"s)},
        {"UTF-8, overlong 2 bytes", bytes("\3\xC1\xA9\xC2\xE9"s)},
        {"UTF-8, 3 bytes", bytes("\3\xE0\x83\xA9\xE2\x82\xAC"s)},
        {"UTF-8, 4 and 5 bytes", bytes("\3\xF0\x80\x83\xA9\xF8\x80\x80\x80"s)},
        {"UTF-8, ASCII then 2 bytes", bytes("\3A\xC3\xA9"s)},
        {"UTF-8, cut 2 bytes", bytes("\3A\xC3"s)},
        {"UTF-8, cut 3 bytes", bytes("\3\xE2\x82"s)},
        {"UTF-8, cut 4 bytes", bytes("\3\xF0\x9F\x98"s)},
        {"UTF-8, stray 0x80", bytes("\3A\x80q"s)},
        {"UTF-8, stray 0xBF", bytes("\3\xBF"s)},
        // UTF-16: a mark decides for encodings 1 and 2 alike, else big-endian
        {"UTF-16, little-endian mark", bytes("\1\xFF\xFE\xE9\0"s)},
        {"UTF-16, big-endian mark", bytes("\1\xFE\xFF\0\xE9"s)},
        {"UTF-16BE, little-endian mark", bytes("\2\xFF\xFE\xE9\0"s)},
        {"UTF-16BE, mark alone", bytes("\2\xFE\xFF"s)},
        {"UTF-16, one byte", bytes("\1A"s)},
        {"UTF-16, no mark", bytes("\1\0\xE9\0A"s)},
        {"UTF-16BE, no mark", bytes("\2\0AB"s)},
        {"UTF-16, 0xFF 0x00", bytes("\1\xFF\0\0A"s)},
        {"UTF-16, 0xFE 0x00", bytes("\1\xFE\0\0A"s)},
        {"UTF-16, 0x00 0xFE", bytes("\1\0\xFE\0A"s)},
        {"UTF-16, U+00FF U+0100", bytes("\1\0\xFF\x01\0"s)},
        {"UTF-16, euro sign, odd byte", bytes("\1\xFF\xFE\xAC\x20\xFF\0"s)},
        {"UTF-16, U+D7FF U+E000", bytes("\1\xFE\xFF\xD7\xFF\xE0\0"s)},
        {"UTF-16, surrogates left out", bytes("\1\xFE\xFF\0A\xD8\0\xDF\xFF\0B"s)},
        {"UTF-16, a surrogate pair left out", bytes("\1\xFF\xFE\x3D\xD8\0\xDE"s)},
        // other encodings are not converted, ISO-8859-1 included
        {"ISO-8859-1", bytes("\0abc"s)},
        {"encoding 4", bytes("\4abc"s)},
        {"encoding 0x1F", bytes("\37abc"s)},
    };
    expect_rows("to_iso8859", rows, [](const Case &row) {
        HandField field(FIELD_STRING, row.input[0], {row.input.begin() + 1, row.input.end()});
        Fields out;
        for (const std::string no_memory : {"", ", no memory"}) {
            LogCapture log;
            alloc_seam::fail_nth(no_memory.empty() ? 0 : 1);
            const kelid3::iso8859_text text(kelid3_field_to_iso8859(&field.f));
            alloc_seam::fail_nth(0);
            out.emplace_back("text" + no_memory,
                             text ? esc(text.get(), std::strlen(text.get())) : "(null)");
            out.emplace_back("line" + no_memory, log.lines());
        }
        return out;
    });
}

// Fields of other kinds give null silently, UTF-8 of 4 GiB - 1 bytes (a block
// that a 32-bit size cannot count) before a byte is read. Neither the
// conversion to UTF-8 nor the join of tags is there.
TEST(ToIso8859, GivesNullForFieldsOfOtherKindsOrBeyond4GiB) {
    HandField blob(FIELD_BLOB, 3, "abc"), number(FIELD_UINT, 3, ""), odd(4, 3, "abc"),
        huge(FIELD_STRING, 3, "abc");
    huge.f.length = 0xFFFFFFFF;
    LogCapture log;
    for (const id3_field *f : {&blob.f, &number.f, &odd.f, &huge.f})
        EXPECT_FALSE(kelid3_field_to_iso8859(f));
    EXPECT_FALSE(kelid3_field_to_iso8859(nullptr));
    EXPECT_FALSE(kelid3_field_to_utf8(&blob.f));
    EXPECT_EQ(kelid3_tags_join(), -1);
    EXPECT_EQ(log.lines(),
              "utf8_to_8859_15: ERROR unable to alloc space for utf8->latin1\n"
              "kelid3_field_to_utf8: ERROR NYI!\nkelid3_tags_join: ERROR NYI!");
}

// Every kind of field; blobs of 3, 4 and 12 bytes (native 32-bit words: the
// expected ones come from the bytes the same way); a frame of three characters.
TEST(Dump, PrintsTagFramesAndFieldsInListOrder) {
    const std::string twelve = "\1\2\3\4\5\6\7\10\11\12\13\14";
    uint32_t word[3];
    std::memcpy(word, twelve.data(), 12);
    // A field and its line: "\tfield: <kind>, next <address>: <value>"; a
    // field of another type gives a tab alone.
    const struct {
        uint32_t type, word4;
        std::string bytes, kind, value;
    } rows[] = {
        {1, 0, "Hello", "iso-8859 string[00005]", "-*-Hello-*-"},
        {1, 1, "\xFF\xFE\x41\0B\0"s, "utf16 string[00006]", "-*-\xFF\xFE\x41-*-"},
        {1, 2, "\0A"s, "utf16be string[00002]", "-*--*-"},
        {1, 3, "u8", "utf8 string[00002]", "-*-u8-*-"},
        {1, 4, "odd", "UNKNOWN string[00003]", "-*-odd-*-"},
        {3, 0, "", "uint", "00001234"},  // the first frame's last field
        {2, 3, twelve, "blob[00003]", "00000000 00000000 00000000 ..."},
        {2, 4, twelve, "blob[00004]", format("%08x 00000000 00000000 ...", word[0])},
        {2, 12, twelve, "blob[00012]", format("%08x %08x %08x ...", word[0], word[1], word[2])},
        {0, 0, "", "", ""},
        {3, 0, "", "uint", "ffffffff"},
        {4, 0, "", "", ""},
    };
    std::deque<HandField> f;  // keeps the addresses
    for (const auto &row : rows) {
        f.emplace_back(row.type, row.word4, row.bytes);
        if (f.size() > 1) f[f.size() - 2].f.next = &f.back().f;
    }
    f[5].f.data = 0x1234, f[5].f.next = nullptr, f[10].f.data = 0xFFFFFFFF;
    id3_frame second{nullptr, 0x00545432, 0x00C0, 3, &f[6].f};
    id3_frame first{&second, id("TIT2"), 0, 15, &f[0].f};
    const id3_tag tag{0x00020300, 0x40, 1234, 10, &first};
    std::string expected = "TAG version 2.3.0, length 01234, flags 00000040\n" +
                           format("frame: TIT2[00015], flags 00000000, next %p\n", (void *)&second);
    for (size_t i = 0; i < f.size(); ++i) {
        if (i == 6)
            expected += format("frame: %cTT2[00003], flags 000000c0, next %p\n", 0, nullptr);
        const std::string next = format("%p", (const void *)f[i].f.next);
        expected += rows[i].kind.empty() ? "\t"s
                                         : "\tfield: " + rows[i].kind + ", next " + next + ": " +
                                               rows[i].value + "\n";
    }
    EXPECT_EQ(dump(&tag), expected);
    kelid3_tag_print(nullptr, &tag);  // no file: nothing to do
}

TEST(Dump, PrintsAnyHeaderMembersAndNothingForNoTag) {
    const id3_tag odd{0xFF345678, 0xDEADBEEF, 0xFFFFFFFF, 99, nullptr};
    EXPECT_EQ(dump(&odd), "TAG version 52.86.120, length -0001, flags deadbeef\n");
    EXPECT_EQ(dump(nullptr), "");
}

}  // namespace
