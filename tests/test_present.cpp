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

// Result: the text in front of its NUL, "(null)" for none.
TEST(ToIso8859, ConvertsUtf8AndUtf16AndRefusesOtherEncodings) {
    const Lines bad8 = {"utf8_to_8859_15: ERROR unable to convert utf8 -> iso8859-15"},
                be = {"utf16_to_8859_15: TRACE defaulting to is_be: 1"},
                short16 = {"utf16_to_8859_15: DEBUG utf16-string too short."};
    const std::string other = "kelid3_field_to_iso8859: ERROR unknown field text endcoding: ";
    const struct {
        const char *name;
        uint32_t encoding;
        std::string input, result;
        Lines lines = {};
    } rows[] = {
        // UTF-8: the lead byte gives the length, each following byte its low 7 bits
        {"UTF-8, empty", 3, "", ""},
        {"UTF-8, ASCII", 3, "\x7Fq", "<7f>q"},
        {"UTF-8, 2 bytes", 3, "\xC3\xA9\xC3\xBF\xC4\x80", "<e9><ff>{"},
        {"UTF-8, overlong 2 bytes", 3, "\xC1\xA9\xC2\xE9", "i<e9>"},
        {"UTF-8, 3 bytes", 3, "\xE0\x83\xA9\xE2\x82\xAC", "<e9>{"},
        {"UTF-8, 4 and 5 bytes", 3, "\xF0\x80\x83\xA9\xF8\x80\x80\x80", "<e9>{"},
        {"UTF-8, ASCII then 2 bytes", 3, "A\xC3\xA9", "A<e9>"},
        {"UTF-8, cut 2 bytes", 3, "A\xC3", "(null)", bad8},
        {"UTF-8, cut 3 bytes", 3, "\xE2\x82", "(null)", bad8},
        {"UTF-8, cut 4 bytes", 3, "\xF0\x9F\x98", "(null)", bad8},
        {"UTF-8, stray 0x80", 3, "A\x80q", "(null)", bad8},
        {"UTF-8, stray 0xBF", 3, "\xBF", "(null)", bad8},
        // UTF-16: a mark decides for encodings 1 and 2 alike, else big-endian
        {"UTF-16, little-endian mark", 1, "\xFF\xFE\xE9\0"s, "<e9>"},
        {"UTF-16, big-endian mark", 1, "\xFE\xFF\0\xE9"s, "<e9>"},
        {"UTF-16BE, little-endian mark", 2, "\xFF\xFE\xE9\0"s, "<e9>"},
        {"UTF-16BE, mark alone", 2, "\xFE\xFF", ""},
        {"UTF-16, one byte", 1, "A", "(null)", short16},
        {"UTF-16, no mark", 1, "\0\xE9\0A"s, "<e9>A", be},
        {"UTF-16BE, no mark", 2, "\0AB"s, "A", be},
        {"UTF-16, 0xFF 0x00", 1, "\xFF\0\0A"s, "<b7>A", be},
        {"UTF-16, 0xFE 0x00", 1, "\xFE\0\0A"s, "<b7>A", be},
        {"UTF-16, 0x00 0xFE", 1, "\0\xFE\0A"s, "<fe>A", be},
        {"UTF-16, U+00FF U+0100", 1, "\0\xFF\x01\0"s, "<ff><b7>", be},
        {"UTF-16, euro sign, odd byte", 1, "\xFF\xFE\xAC\x20\xFF\0"s, "<b7><ff>"},
        {"UTF-16, U+D7FF U+E000", 1, "\xFE\xFF\xD7\xFF\xE0\0"s, "<b7><b7>"},
        {"UTF-16, surrogates left out", 1, "\xFE\xFF\0A\xD8\0\xDF\xFF\0B"s, "AB"},
        {"UTF-16, a surrogate pair left out", 1, "\xFF\xFE\x3D\xD8\0\xDE"s, ""},
        // other encodings are not converted, ISO-8859-1 included
        {"ISO-8859-1", 0, "abc", "(null)", {other + "0"}},
        {"encoding 4", 4, "abc", "(null)", {other + "4"}},
        {"encoding 0x1F", 0x1F, "abc", "(null)", {other + "1f"}},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        HandField field(FIELD_STRING, row.encoding, row.input);
        LogCapture log;
        const kelid3::iso8859_text text(kelid3_field_to_iso8859(&field.f));
        EXPECT_EQ(text ? esc(text.get(), std::strlen(text.get())) : "(null)", row.result);
        EXPECT_EQ(log.list(), row.lines);
    }
}

// Fields of other kinds give null silently; the conversion to UTF-8 is not there.
TEST(ToIso8859, GivesNullForFieldsOfOtherKinds) {
    HandField blob(FIELD_BLOB, 3, "abc"), number(FIELD_UINT, 3, ""), odd(4, 3, "abc");
    LogCapture log;
    for (const id3_field *f : {&blob.f, &number.f, &odd.f})
        EXPECT_FALSE(kelid3_field_to_iso8859(f));
    EXPECT_FALSE(kelid3_field_to_iso8859(nullptr));
    EXPECT_FALSE(kelid3_field_to_utf8(&blob.f));
    EXPECT_EQ(log.list(), Lines{"kelid3_field_to_utf8: ERROR NYI!"});
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
    EXPECT_EQ(split(dump(&tag)), split(expected));
    kelid3_tag_print(nullptr, &tag);  // no file: nothing to do
}

TEST(Dump, PrintsAnyHeaderMembersAndNothingForNoTag) {
    const id3_tag odd{0xFF345678, 0xDEADBEEF, 0xFFFFFFFF, 99, nullptr};
    EXPECT_EQ(dump(&odd), "TAG version 52.86.120, length -0001, flags deadbeef\n");
    EXPECT_EQ(dump(nullptr), "");
}

}  // namespace
