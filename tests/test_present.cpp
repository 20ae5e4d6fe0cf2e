// Frame descriptions, text conversion to ISO-8859-1 and the tag dump, on
// records built by hand.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <deque>

#include "support/alloc_seam.h"
#include "support/tag_builder.h"

using namespace std::string_literals;

namespace {

// A field record over its own copy of the bytes with a NUL behind them, as a
// parse lays them out. `word4` is a string's encoding or a blob's size.
struct HandField {
    std::string store;
    id3_field f;
    HandField(uint32_t type, uint32_t word4, const std::string &s)
        : store(s + '\0'),
          f{type, nullptr, reinterpret_cast<uintptr_t>(store.data()), {word4}, uint32_t(s.size())} {
    }
};

TEST(DescribeFrame, KnowsV24IdentifiersExceptWxxx) {
    // clang-format off
    const std::pair<const char *, const char *> known[] = {
        {"AENC", "Audio encryption"}, {"EQU2", "Equalisation (2)"},
        {"TIT2", "Title/songname/content description"}, {"TXXX", "User defined text information frame"},
        {"WPUB", "Publishers official webpage"}};
    // clang-format on
    for (const auto &[name, text] : known) {
        EXPECT_STREQ(kelid3_field_description(id(name)), text);
        EXPECT_EQ(kelid3_field_description(id(name)), kelid3_field_description(id(name)));
    }
    for (const char *name : {"WXXX", "TYER", "EQUA", "TT2", "tit2", "TIt2", ""})
        EXPECT_EQ(kelid3_field_description(id(name)), nullptr) << name;
}

// Rows: encoding, input, output in front of its NUL ("null": none), the line logged.
TEST(ToIso8859, ConvertsUtf8AndUtf16AndRefusesOtherEncodings) {
    const std::string bad = "utf8_to_8859_15: ERROR unable to convert utf8 -> iso8859-15",
                      be = "utf16_to_8859_15: TRACE defaulting to is_be: 1",
                      too_short = "utf16_to_8859_15: DEBUG utf16-string too short.",
                      unknown = "kelid3_field_to_iso8859: ERROR unknown field text endcoding: ";
    // clang-format off
    const std::tuple<uint32_t, std::string, std::string, std::string> cases[] = {
        // UTF-8: the lead byte gives the length, each following byte its low 7 bits.
        {3, "", "", ""},                           {3, "a\0b"s, "a\0b"s, ""},
        {3, "\xC3\xA9", "\xE9", ""},               {3, "\xC4\x80", "{", ""},
        {3, "\xE2\x82\xAC" "A", "{A", ""},         {3, "\xF0\x9F\x98\x80", "{", ""},
        {3, "\xC1\xA9", "i", ""},                  {3, "\xC2\xE9", "\xE9", ""},
        {3, "\xE0\xC3\xA9", "{", ""},              {3, "\xF0\x80\x80\xC1", "A", ""},
        {3, "A\xC3", "null", bad},                 {3, "\xF0\x9F\x98", "null", bad},
        {3, "A\x80" "B", "null", bad},
        // UTF-16: a mark is honoured for encodings 1 and 2 alike, else big-endian.
        {1, "\xFF\xFE\xE9\0"s, "\xE9", ""},        {1, "\xFE\xFF\0\xE9"s, "\xE9", ""},
        {2, "\xFF\xFE\xE9\0"s, "\xE9", ""},        {2, "\xFE\xFF" "A", "", ""},
        {1, "\0\xE9\0A"s, "\xE9" "A", be},         {2, "\0\xE9"s, "\xE9", be},
        {1, "\0AB"s, "A", be},                     {1, "A", "null", too_short},
        {1, "\xFE\0\0A"s, "\xB7" "A", be},  // 0xFE without 0xFF behind is no mark
        {1, "\xFF\xFE\xAC\x20\0\x01"s, "\xB7\xB7", ""}, {1, "\xFE\xFF\xD7\xFF\xE0\0"s, "\xB7\xB7", ""},
        {1, "\xFF\xFE\x3D\xD8\0\xDE"s, "", ""},    {1, "\xFE\xFF\0A\xD8\x3D\xDF\xFF\0B"s, "AB", ""},
        // Other encodings are not converted, ISO-8859-1 included.
        {0, "abc", "null", unknown + "0"},         {0x1F, "abc", "null", unknown + "1f"}};
    // clang-format on
    for (const auto &[encoding, in, out, line] : cases) {
        SCOPED_TRACE(testing::PrintToString(Bytes(in.begin(), in.end())));
        HandField field(FIELD_STRING, encoding, in);
        LogCapture log;
        const long live = alloc_seam::live();
        char *result = kelid3_field_to_iso8859(&field.f);
        EXPECT_EQ(result ? std::string(result, out.size() + 1) : "null", result ? out + '\0' : out);
        std::free(result);
        EXPECT_EQ(alloc_seam::live(), live);
        EXPECT_EQ(log.strings(), line.empty() ? Strings{} : Strings{line});
    }
    // Fields of other kinds give null silently; the conversion to UTF-8 is not there.
    HandField blob(FIELD_BLOB, 3, "abc"), number(FIELD_UINT, 1, ""), odd(4, 3, "abc");
    LogCapture log;
    for (const id3_field *f : {static_cast<id3_field *>(nullptr), &blob.f, &number.f, &odd.f})
        EXPECT_EQ(kelid3_field_to_iso8859(f), nullptr);
    EXPECT_EQ(kelid3_field_to_utf8(&blob.f), nullptr);
    EXPECT_EQ(log.strings(), Strings{"kelid3_field_to_utf8: ERROR NYI!"});
}

// What kelid3_tag_print writes, NUL bytes included.
std::string dump(const id3_tag *tag) {
    char *buf = nullptr;
    size_t size = 0;
    FILE *out = open_memstream(&buf, &size);
    kelid3_tag_print(out, tag);
    std::fclose(out);
    std::string text(buf, size);
    std::free(buf);
    return text;
}

TEST(DumpTag, PrintsTagFramesAndFieldsInListOrder) {
    const std::string words = "\x01\x02\x03\x04\x05\x06\x07\x08\x09\x0A\x0B\x0C";
    // clang-format off
    const std::tuple<uint32_t, uint32_t, std::string> fields[] = {
        {FIELD_STRING, 0, "Hello"}, {FIELD_STRING, 1, "\xFF\xFE" "A\0B\0"s}, {FIELD_STRING, 2, "\0A"s},
        {FIELD_STRING, 3, "u8"},    {FIELD_STRING, 7, "odd"},            {FIELD_UINT, 0, ""},
        {FIELD_BLOB, 0, words},     {FIELD_BLOB, 5, words},              {FIELD_BLOB, 12, words},
        {0, 0, ""},                 {FIELD_UINT, 0, ""},                 {4, 0, ""}};
    // clang-format on
    std::deque<HandField> f;  // keeps addresses
    for (const auto &[type, word4, text] : fields) f.emplace_back(type, word4, text);
    for (size_t i = 0; i + 1 < f.size(); ++i) f[i].f.next = i == 5 ? nullptr : &f[i + 1].f;
    f[5].f.data = 0x1234;
    f[10].f.data = 0xFFFFFFFF;
    id3_frame second{nullptr, 0x00545432, 0x00C0, 3, &f[6].f};
    id3_frame first{&second, id("TIT2"), 0, 15, &f[0].f};
    id3_tag tag{0x00020300, 0x40, 1234, 10, &first};
    const auto p = [&](size_t i) { return static_cast<const void *>(&f[i].f); };
    const std::string want = format(
        "TAG version 2.3.0, length 01234, flags 00000040\n"
        "frame: TIT2[00015], flags 00000000, next %p\n"
        "\tfield: iso-8859 string[00005], next %p: -*-Hello-*-\n"
        "\tfield: utf16 string[00006], next %p: -*-\xFF\xFE"
        "A-*-\n"
        "\tfield: utf16be string[00002], next %p: -*--*-\n"
        "\tfield: utf8 string[00002], next %p: -*-u8-*-\n"
        "\tfield: UNKNOWN string[00003], next %p: -*-odd-*-\n"
        "\tfield: uint, next %p: 00001234\n"
        "frame: %cTT2[00003], flags 000000c0, next %p\n"
        "\tfield: blob[00000], next %p: 00000000 00000000 00000000 ...\n"
        "\tfield: blob[00005], next %p: 04030201 00000000 00000000 ...\n"
        "\tfield: blob[00012], next %p: 04030201 08070605 0c0b0a09 ...\n"
        "\t\tfield: uint, next %p: ffffffff\n\t",
        static_cast<void *>(&second), p(1), p(2), p(3), p(4), p(5), static_cast<void *>(nullptr), 0,
        static_cast<void *>(nullptr), p(7), p(8), p(9), p(11));
    LogCapture log;
    EXPECT_EQ(dump(&tag), want);
    id3_tag odd{0xFF345678, 0xDEADBEEF, 0xFFFFFFFF, 99, nullptr};
    EXPECT_EQ(dump(&odd), "TAG version 52.86.120, length -0001, flags deadbeef\n");
    EXPECT_EQ(dump(nullptr), "");
    kelid3_tag_print(nullptr, &tag);
    EXPECT_EQ(log.text(), "");
}

}  // namespace
