// SPDX-License-Identifier: MIT
// kelid3_field_utf8: string fields of every encoding as UTF-8, with U+FFFD
// for what is not valid in its encoding and the separators of multi-value
// text kept.
#include "support/alloc_seam.h"
#include "support/records.h"

namespace {

struct Utf8Row {
    const char *name;
    uint32_t encoding;
    std::string input, output;
};

const std::string kBad = "\xEF\xBF\xBD";  // U+FFFD

// A string field over the bytes of `text`, as a caller may make one.
id3_field string_field(uint32_t encoding, const std::string &text) {
    id3_field f{};
    f.type = FIELD_STRING;
    f.data = uintptr_t(text.data());
    f.encoding = encoding;
    f.length = uint32_t(text.size());
    return f;
}

TEST(Utf8, EveryEncodingBecomesUtf8) {
    const Utf8Row rows[] = {
        {"ISO-8859-1", 0, "caf\xE9\x80\0b"s, "caf\xC3\xA9\xC2\x80\0b"s},
        {"empty", 3, "", ""},
        {"UTF-8 at each length's bounds", 3,
         "\x7F\xC2\x80\xDF\xBF\xE0\xA0\x80\xED\x9F\xBF\xF0\x90\x80\x80\xF4\x8F\xBF\xBF",
         "\x7F\xC2\x80\xDF\xBF\xE0\xA0\x80\xED\x9F\xBF\xF0\x90\x80\x80\xF4\x8F\xBF\xBF"},
        {"stray continuation byte", 3,
         "a\x80"
         "b",
         "a" + kBad + "b"},
        {"overlong forms", 3, "\xC0\x80\xC1\xBF\xE0\x9F\xBF\xF0\x8F\xBF\xBF",
         kBad + kBad + kBad + kBad + kBad + kBad + kBad + kBad + kBad + kBad + kBad},
        {"surrogate, above U+10FFFF, F5", 3, "\xED\xA0\x80\xF4\x90\x80\x80\xF5",
         std::string() + kBad + kBad + kBad + kBad + kBad + kBad + kBad + kBad},
        {"a sequence broken off", 3,
         "\xE2\x82"
         "A\xF0\x9F\x8E",
         kBad + "A" + kBad},
        {"UTF-16, little-endian mark", 1, "\xFF\xFE\xE9\x00\xAC\x20"s, "\xC3\xA9\xE2\x82\xAC"},
        {"UTF-16, big-endian mark", 1, "\xFE\xFF\x00\x41"s, "A"},
        {"UTF-16 without mark, zeros at odd offsets", 1, "A\0B\0"s, "AB"},
        {"UTF-16 without mark, zeros at even offsets", 1, "\0A\0B"s, "AB"},
        {"UTF-16 without mark, no zeros", 1, "AB", "\xE4\x85\x82"},
        {"UTF-16BE", 2, "\0A"s, "A"},
        {"UTF-16BE honours a mark", 2,
         "\xFF\xFE"
         "A\0"s,
         "A"},
        {"values, each with its mark", 1,
         "\xFF\xFE"
         "A\0\0\0\xFE\xFF\0B"s,
         "A\0B"s},
        {"a value without mark keeps the order", 1,
         "\xFF\xFE"
         "A\0\0\0B\0"s,
         "A\0B"s},
        {"a mark inside a value is a character", 1,
         "\xFF\xFE"
         "A\0\xFF\xFE"s,
         "A\xEF\xBB\xBF"},
        {"surrogate pair", 1, "\xFF\xFE\x3D\xD8\x00\xDE"s, "\xF0\x9F\x98\x80"},
        {"unpaired surrogates", 1,
         "\xFF\xFE\x3D\xD8"
         "A\0\x00\xDE\x3D\xD8"s,
         kBad + "A" + kBad + kBad},
        {"an odd last byte", 1,
         "\xFF\xFE"
         "A\0B"s,
         "A" + kBad},
        {"an odd last zero", 1,
         "\xFF\xFE"
         "A\0\0"s,
         "A\0"s},
    };
    for (const Utf8Row &row : rows) {
        SCOPED_TRACE(row.name);
        const id3_field field = string_field(row.encoding, row.input);
        uint32_t length = 0xFFFF;
        char *text = kelid3_field_utf8(&field, &length);
        ASSERT_NE(text, nullptr);
        EXPECT_EQ(std::string(text, length), row.output);
        EXPECT_EQ(text[length], '\0');
        std::free(text);
        EXPECT_EQ(kelid3::field(&field).utf8().view(), row.output);
    }
}

TEST(Utf8, NothingForOtherFieldsOtherEncodingsAndNoMemory) {
    const std::string text = "x";
    const id3_field encoding4 = string_field(4, text);
    id3_field blob = string_field(0, text);
    blob.type = FIELD_BLOB;
    EXPECT_EQ(kelid3_field_utf8(nullptr, nullptr), nullptr);
    EXPECT_EQ(kelid3_field_utf8(&encoding4, nullptr), nullptr);
    EXPECT_EQ(kelid3_field_utf8(&blob, nullptr), nullptr);
    EXPECT_FALSE(kelid3::field().utf8());
    const id3_field latin1 = string_field(0, text);
    alloc_seam::fail_nth(1);
    EXPECT_EQ(kelid3_field_utf8(&latin1, nullptr), nullptr);
    alloc_seam::fail_nth(0);
    char *converted = kelid3_field_utf8(&latin1, nullptr);  // no length asked for
    EXPECT_STREQ(converted, "x");
    std::free(converted);
}

}  // namespace
