// Frame descriptions, text conversion to ISO-8859-1 and the tag dump, on
// records built by hand.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <deque>
#include <string>
#include <tuple>

#include "kelid3.h"
#include "support/alloc_seam.h"
#include "support/log_capture.h"
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

// ---- Frame descriptions ---------------------------------------------------

// Every identifier of the ID3v2.4.0 frame list but WXXX, ascending.
const std::string kDescribed =
    "AENCAPICASPICOMMCOMRENCREQU2ETCOGEOBGRIDLINKMCDIMLLTOWNEPCNTPOPMPOSSPRIVRBUFRVA2RVRB"
    "SEEKSIGNSYLTSYTCTALBTBPMTCOMTCONTCOPTDENTDLYTDORTDRCTDRLTDTGTENCTEXTTFLTTIPLTIT1TIT2"
    "TIT3TKEYTLANTLENTMCLTMEDTMOOTOALTOFNTOLYTOPETOWNTPE1TPE2TPE3TPE4TPOSTPROTPUBTRCKTRSN"
    "TRSOTSOATSOPTSOTTSRCTSSETSSTTXXXUFIDUSERUSLTWCOMWCOPWOAFWOARWOASWORSWPAYWPUB";

TEST(DescribeFrame, SampleTextsNullsAndTheSamePointerTwice) {
    EXPECT_STREQ(kelid3_field_description(id("TIT2")), "Title/songname/content description");
    EXPECT_STREQ(kelid3_field_description(id("TXXX")), "User defined text information frame");
    EXPECT_STREQ(kelid3_field_description(id("WPUB")), "Publishers official webpage");
    EXPECT_STREQ(kelid3_field_description(id("AENC")), "Audio encryption");
    EXPECT_STREQ(kelid3_field_description(id("EQU2")), "Equalisation (2)");
    EXPECT_EQ(kelid3_field_description(id("TIT2")), kelid3_field_description(id("TIT2")));
    for (const char *name : {"WXXX", "TYER", "TDAT", "TIME", "TORY", "TRDA", "TSIZ", "IPLS", "RVAD",
                             "EQUA", "TT2", "tit2", "TIt2", ""})
        EXPECT_EQ(kelid3_field_description(id(name)), nullptr) << name;
}

TEST(DescribeFrame, EveryV24IdentifierIsKnownButNotItsLowerCaseOrThreeLetterForm) {
    ASSERT_EQ(kDescribed.size(), 82u * 4);
    LogCapture log;
    for (size_t i = 0; i < kDescribed.size(); i += 4) {
        const uint32_t v = id(kDescribed.substr(i, 4));
        EXPECT_NE(kelid3_field_description(v), nullptr) << kDescribed.substr(i, 4);
        EXPECT_EQ(kelid3_field_description(v | 0x20202020u), nullptr) << kDescribed.substr(i, 4);
        EXPECT_EQ(kelid3_field_description(v >> 8), nullptr) << kDescribed.substr(i, 4);
    }
    EXPECT_TRUE(log.lines().empty());
}

// ---- Text conversion --------------------------------------------------------

// The one diagnostic line a conversion writes; from kBadUtf8 on it gives null.
enum Line { kNoLine, kDefaultBigEndian, kBadUtf8, kTooShort, kUnknownEncoding };

struct Conversion {
    uint32_t encoding;
    std::string in;
    Line line;
    std::string out;  // the bytes in front of the terminating NUL
};

// clang-format off
const Conversion kConversions[] = {
    // UTF-8: the lead byte gives the length, each following byte its low 7 bits.
    {3, "", kNoLine, ""},                          {3, "a\0b"s, kNoLine, "a\0b"s},
    {3, "\xC3\xA9", kNoLine, "\xE9"},              {3, "\xC4\x80", kNoLine, "{"},
    {3, "\xE2\x82\xAC" "A", kNoLine, "{A"},        {3, "\xF0\x9F\x98\x80", kNoLine, "{"},
    {3, "a\xC0\x80" "b", kNoLine, "a\0b"s},        {3, "\xC1\xA9", kNoLine, "i"},
    {3, "\xC2\xE9", kNoLine, "\xE9"},              {3, "\xE0\xC3\xA9", kNoLine, "{"},
    {3, "\xF0\x80\x80\xC1", kNoLine, "A"},         {3, "A\xC3", kBadUtf8, ""},
    {3, "\xE2\x82", kBadUtf8, ""},                 {3, "\xF0\x9F\x98", kBadUtf8, ""},
    {3, "A\x80" "B", kBadUtf8, ""},                {3, "\xBF", kBadUtf8, ""},
    // UTF-16: a mark is honoured for encodings 1 and 2 alike, else big-endian.
    {1, "\xFF\xFE\xE9\0"s, kNoLine, "\xE9"},       {1, "\xFE\xFF\0\xE9"s, kNoLine, "\xE9"},
    {2, "\xFF\xFE\xE9\0"s, kNoLine, "\xE9"},       {2, "\xFE\xFF" "A", kNoLine, ""},
    {1, "\0\xE9\0A"s, kDefaultBigEndian, "\xE9" "A"}, {2, "\0\xE9"s, kDefaultBigEndian, "\xE9"},
    {1, "\0AB"s, kDefaultBigEndian, "A"},          {1, "\xFF\xFE", kNoLine, ""},
    {1, "\xFF\xFE\xAC\x20\0\x01"s, kNoLine, "\xB7\xB7"},
    {1, "\xFE\xFF\xD7\xFF\xE0\0"s, kNoLine, "\xB7\xB7"},
    {1, "\xFF\xFE\x3D\xD8\0\xDE"s, kNoLine, ""},
    {1, "\xFE\xFF\0A\xD8\x3D\xDF\xFF\0B"s, kNoLine, "AB"},
    {1, "A", kTooShort, ""},                       {2, "", kTooShort, ""},
    // Other encodings are not converted, ISO-8859-1 included.
    {0, "abc", kUnknownEncoding, ""},              {0x1F, "abc", kUnknownEncoding, ""},
};
// clang-format on

TEST(ToIso8859, ConvertsUtf8AndUtf16AndRefusesOtherEncodings) {
    for (const Conversion &c : kConversions) {
        SCOPED_TRACE(testing::Message() << "encoding " << c.encoding << ", input "
                                        << testing::PrintToString(Bytes(c.in.begin(), c.in.end())));
        HandField field(FIELD_STRING, c.encoding, c.in);
        LogCapture log;
        const long live = alloc_seam::live();
        char *out = kelid3_field_to_iso8859(&field.f);
        EXPECT_EQ(out != nullptr, c.line < kBadUtf8);
        if (out != nullptr) {
            EXPECT_EQ(std::string(out, c.out.size() + 1), c.out + '\0');
        }
        std::free(out);
        EXPECT_EQ(alloc_seam::live(), live);
        char unknown[64];
        std::snprintf(unknown, sizeof unknown, "unknown field text endcoding: %x", c.encoding);
        const LogLine want[] = {
            {},
            {"utf16_to_8859_15", 0, "TRACE", "defaulting to is_be: 1"},
            {"utf8_to_8859_15", 0, "ERROR", "unable to convert utf8 -> iso8859-15"},
            {"utf16_to_8859_15", 0, "DEBUG", "utf16-string too short."},
            {"kelid3_field_to_iso8859", 0, "ERROR", unknown}};
        ASSERT_EQ(log.lines().size(), c.line == kNoLine ? 0u : 1u);
        if (c.line != kNoLine) {
            EXPECT_EQ(log.count(want[c.line].func, want[c.line].level, want[c.line].message), 1);
        }
    }
}

TEST(ToIso8859, NonStringFieldsGiveNullSilentlyAndUtf8ConversionIsNotImplemented) {
    HandField blob(FIELD_BLOB, 3, "abc"), number(FIELD_UINT, 1, ""), odd(4, 3, "abc");
    LogCapture log;
    EXPECT_EQ(kelid3_field_to_iso8859(nullptr), nullptr);
    EXPECT_EQ(kelid3_field_to_iso8859(&blob.f), nullptr);
    EXPECT_EQ(kelid3_field_to_iso8859(&number.f), nullptr);
    EXPECT_EQ(kelid3_field_to_iso8859(&odd.f), nullptr);
    EXPECT_EQ(log.lines().size(), 0u);
    HandField text(FIELD_STRING, 3, "abc");
    LogCapture nyi;
    EXPECT_EQ(kelid3_field_to_utf8(&text.f), nullptr);
    EXPECT_EQ(kelid3_field_to_utf8(nullptr), nullptr);
    EXPECT_EQ(nyi.count("kelid3_field_to_utf8", "ERROR", "NYI!"), 2);
    EXPECT_EQ(nyi.lines().size(), 2u);
}

// ---- Tag dump ---------------------------------------------------------------

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

// `text` with each '@' replaced by the next pointer as %p prints it.
std::string with_pointers(std::string text, std::initializer_list<const void *> pointers) {
    for (const void *p : pointers) {
        char buf[32];
        std::snprintf(buf, sizeof buf, "%p", p);
        text.replace(text.find('@'), 1, buf);
    }
    return text;
}

TEST(DumpTag, TagLineShowsVersionBytesSizeAndFlags) {
    const struct {
        uint32_t version, size, flags;
        const char *line;
    } rows[] = {
        {0x00020300, 1234, 0x40, "TAG version 2.3.0, length 01234, flags 00000040\n"},
        {0x00010000, 128, 0, "TAG version 1.0.0, length 00128, flags 00000000\n"},
        {0x00020400, 123456, 0xC0, "TAG version 2.4.0, length 123456, flags 000000c0\n"},
        {0xFF345678, 0xFFFFFFFF, 0xDEADBEEF,
         "TAG version 52.86.120, length -0001, flags deadbeef\n"},
    };
    for (const auto &r : rows) {
        id3_tag tag{r.version, r.flags, r.size, 99, nullptr};
        EXPECT_EQ(dump(&tag), r.line);
    }
}

TEST(DumpTag, FramesAndFieldsInListOrder) {
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
    id3_tag tag{0x00020300, 0, 1234, 10, &first};
    const std::string want = with_pointers(
        "TAG version 2.3.0, length 01234, flags 00000000\n"
        "frame: TIT2[00015], flags 00000000, next @\n"
        "\tfield: iso-8859 string[00005], next @: -*-Hello-*-\n"
        "\tfield: utf16 string[00006], next @: -*-\xFF\xFE"
        "A-*-\n"
        "\tfield: utf16be string[00002], next @: -*--*-\n"
        "\tfield: utf8 string[00002], next @: -*-u8-*-\n"
        "\tfield: UNKNOWN string[00003], next @: -*-odd-*-\n"
        "\tfield: uint, next @: 00001234\n"
        "frame: \0TT2[00003], flags 000000c0, next @\n"
        "\tfield: blob[00000], next @: 00000000 00000000 00000000 ...\n"
        "\tfield: blob[00005], next @: 04030201 00000000 00000000 ...\n"
        "\tfield: blob[00012], next @: 04030201 08070605 0c0b0a09 ...\n"
        "\t\tfield: uint, next @: ffffffff\n\t"s,
        {&second, &f[1].f, &f[2].f, &f[3].f, &f[4].f, &f[5].f, nullptr, nullptr, &f[7].f, &f[8].f,
         &f[9].f, &f[11].f});
    LogCapture log;
    EXPECT_EQ(dump(&tag), want);
    EXPECT_TRUE(log.lines().empty());
    EXPECT_EQ(dump(nullptr), "");
    kelid3_tag_print(nullptr, &tag);
}

}  // namespace
