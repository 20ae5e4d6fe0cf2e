// SPDX-License-Identifier: MIT
// kelid3_field_utf8: string fields of every encoding as UTF-8, with U+FFFD
// for what is not valid in its encoding and the separators of multi-value
// text kept.
#include "support/alloc_seam.h"
#include "support/records.h"

namespace {

// Input: the encoding byte, then the text, as a frame holds them. Through C
// and C++ alike. Expected: tests/golden/utf8.
TEST(Utf8, EveryEncodingBecomesUtf8) {
    const std::string bounds =
        "\x7F\xC2\x80\xDF\xBF\xE0\xA0\x80\xED\x9F\xBF\xEE\x80\x80\xEF\xBF\xBF\xF0\x90\x80\x80\xF4"
        "\x8F\xBF\xBF";
    const Case rows[] = {
        {"ISO-8859-1", bytes("\0caf\xE9\x80\0b"s)},
        {"empty", bytes("\3"s)},
        {"UTF-8 at each length's bounds", bytes("\3" + bounds)},
        {"stray continuation byte", bytes("\3a\x80\x62"s)},
        {"overlong forms", bytes("\3\xC0\x80\xC1\xBF\xE0\x9F\xBF\xF0\x8F\xBF\xBF"s)},
        {"surrogate, above U+10FFFF, F5", bytes("\3\xED\xA0\x80\xF4\x90\x80\x80\xF5\x80\x80\x80"s)},
        {"a sequence broken off", bytes("\3\xE2\x82\x41\xF0\x9F\x8E"s)},
        {"UTF-16, little-endian mark", bytes("\1\xFF\xFE\xE9\x00\xAC\x20"s)},
        {"UTF-16, big-endian mark", bytes("\1\xFE\xFF\x00\x41"s)},
        {"UTF-16 without mark, zeros at odd offsets", bytes("\1A\0B\0"s)},
        {"UTF-16 without mark, zeros at even offsets", bytes("\1\0A\0B"s)},
        {"UTF-16 without mark, no zeros", bytes("\1AB"s)},
        {"UTF-16 without mark, the order of the first value", bytes("\1A\0\0\0\0B\0C\0D"s)},
        {"UTF-16BE", bytes("\2\0A"s)},
        {"UTF-16BE honours a mark", bytes("\2\xFF\xFE\x41\0"s)},
        {"values, each with its mark", bytes("\1\xFF\xFE\x41\0\0\0\xFE\xFF\0B"s)},
        {"a value without mark keeps the order", bytes("\1\xFF\xFE\x41\0\0\0B\0"s)},
        {"a mark inside a value is a character", bytes("\1\xFF\xFE\x41\0\xFF\xFE"s)},
        {"surrogate pair", bytes("\1\xFF\xFE\x3D\xD8\x00\xDE"s)},
        {"unpaired surrogates", bytes("\1\xFF\xFE\x3D\xD8\x41\0\x00\xDE\x3D\xD8"s)},
        {"two high surrogates", bytes("\1\xFF\xFE\x3D\xD8\x00\xDB"s)},
        {"an odd last byte", bytes("\1\xFF\xFE\x41\0B"s)},
        {"an odd last zero", bytes("\1\xFF\xFE\x41\0\0"s)},
    };
    expect_rows("utf8", rows, [](const Case &row) {
        const HandField field(FIELD_STRING, row.input[0], {row.input.begin() + 1, row.input.end()});
        uint32_t length = 0xFFFF;
        char *text = kelid3_field_utf8(&field.f, &length);
        if (text == nullptr) return Fields{{"utf8", "(null)"}};
        const std::string utf8(text, length);
        EXPECT_EQ(text[length], '\0');
        std::free(text);
        EXPECT_EQ(kelid3::field(&field.f).utf8().view(), utf8);
        return Fields{{"utf8", esc(utf8.data(), utf8.size(), false)}};
    });
}

// A sequence that the field's length cuts short is not completed from the
// bytes behind it.
TEST(Utf8, ReadsNoBytePastTheFieldsLength) {
    HandField cut(FIELD_STRING, 3, "A\xE2\x82\xAC");
    cut.f.length = 3;
    char *text = kelid3_field_utf8(&cut.f, nullptr);
    EXPECT_STREQ(text, "A\xEF\xBF\xBD");
    std::free(text);
}

TEST(Utf8, NothingForOtherFieldsOtherEncodingsAndNoMemory) {
    const HandField encoding4(FIELD_STRING, 4, "x"), blob(FIELD_BLOB, 0, "x"),
        latin1(FIELD_STRING, 0, "x");
    EXPECT_EQ(kelid3_field_utf8(nullptr, nullptr), nullptr);
    EXPECT_EQ(kelid3_field_utf8(&encoding4.f, nullptr), nullptr);
    EXPECT_EQ(kelid3_field_utf8(&blob.f, nullptr), nullptr);
    EXPECT_FALSE(kelid3::field().utf8());
    alloc_seam::fail_nth(1);
    EXPECT_EQ(kelid3_field_utf8(&latin1.f, nullptr), nullptr);
    alloc_seam::fail_nth(0);
    char *converted = kelid3_field_utf8(&latin1.f, nullptr);  // no length asked for
    EXPECT_STREQ(converted, "x");
    std::free(converted);
}

}  // namespace
