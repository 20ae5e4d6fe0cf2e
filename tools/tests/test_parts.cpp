// SPDX-License-Identifier: MIT
// The tool's parts on their own: escaping, the option table (and the manual
// page, which must name its options as --help does), and picture names.
#include <gtest/gtest.h>

#include <malloc.h>

#include <cstring>
#include <fstream>
#include <regex>

#include "kelid3.hpp"
#include "options.h"
#include "pictures.h"
#include "text.h"

using namespace kelid3_info;
using namespace std::string_literals;

namespace {

struct EscapeRow {
    const char *name;
    std::string in;
    Style style;
    bool utf8;
    std::string out;
};

constexpr Style kTerm = Style::kTerminal, kJson = Style::kJson;

TEST(Escape, HidesControlsBidiAndBadBytesInEachStyle) {
    const EscapeRow rows[] = {
        {"ascii", "\x1f \x7e\x7f\n\t\r", kTerm, true, "\\x1f ~\\x7f\\n\\t\\r"},
        {"lines", "a\n\tb\r", Style::kLines, true, "a\n\tb\\r"},
        {"c1", "\xc2\x80\xc2\x9f\xc2\xa0", kTerm, true, "\\u0080\\u009f\xc2\xa0"},
        {"bidi", "\u2029\u202a\u202e\u202f", kTerm, true, "\u2029\\u202a\\u202e\u202f"},
        {"isolates", "\u2065\u2066\u2069\u206a", kTerm, true, "\u2065\\u2066\\u2069\u206a"},
        {"2 bytes", "\xc1\xbf|\xc2\x41", kTerm, true, "\\xc1\\xbf|\\xc2A"},
        {"e0", "\xe0\x9f\xbf|\xe0\xa0\x80", kTerm, true, "\\xe0\\x9f\\xbf|\xe0\xa0\x80"},
        {"ed", "\xed\x9f\xbf|\xed\xa0\x80", kTerm, true, "\xed\x9f\xbf|\\xed\\xa0\\x80"},
        {"f0", "\xf0\x8f\xbf\xbf|\xf0\x90\x80\x80", kTerm, true, "\\xf0\\x8f\\xbf\\xbf|\U00010000"},
        {"f4", "\xf4\x8f\xbf\xbf|\xf4\x90\x80\x80", kTerm, true,
         "\xf4\x8f\xbf\xbf|\\xf4\\x90\\x80\\x80"},
        {"f5", "\xf5\x80\x80\x80|\xef\xbf\xbf", kTerm, true, "\\xf5\\x80\\x80\\x80|\xef\xbf\xbf"},
        {"cut", "\xe2\x82\x41\xef\xbf", kTerm, true, "\\xe2\\x82A\\xef\\xbf"},
        {"broken", "\xe2\x82\xc3\xa9", kTerm, true, "\\xe2\\x82\xc3\xa9"},
        {"bmp edge", "\uffff\U00010000", kTerm, false, "\\uffff\\U00010000"},
        {"json pair edge", "\U00010000", kJson, false, "\\ud800\\udc00"},
        {"ascii only", "\u00e9\u20ac\U0001f3b5", kTerm, false, "\\u00e9\\u20ac\\U0001f3b5"},
        {"json", "\"\\/\b\f\n\r\t\x01\x7f", kJson, true, "\\\"\\\\/\\b\\f\\n\\r\\t\\u0001\\u007f"},
        {"json bad", "a\xff\xe2\x80\xaez", kJson, true, "a\xef\xbf\xbd\\u202ez"},
        {"json ascii", "\xc3\xa9\xf0\x9f\x8e\xb5\xff", kJson, false,
         "\\u00e9\\ud83c\\udfb5\\ufffd"},
    };
    for (const EscapeRow &row : rows) {
        SCOPED_TRACE(row.name);
        set_utf8_output(row.utf8);
        std::string out = "=";
        escape(row.in, row.style, out);
        EXPECT_EQ(out, "=" + row.out);
    }
    set_utf8_output(true);
}

TEST(CsvField, QuotesAFieldOfAQuoteWithoutCommaOrLineBreak) {
    EXPECT_EQ(csv_field("a\"b"), "\"a\"\"b\"");
}

// Each mistake's message is pinned end to end (test_kelid3_info.cpp); here,
// what a valid command line sets.
TEST(Options, SetWhatEachOptionSays) {
    Options o;
    EXPECT_EQ(parse_options({"--max-tag-bytes", "4g", "-j64", "--max-pictures=0", "--frames",
                             "tit9,TXXX", "--ext", ".MP3,m4a", "--", "-j", "-"},
                            o),
              "");
    EXPECT_EQ(o.max_tag_bytes, 4ull << 30);
    EXPECT_EQ(o.jobs, 64u);
    EXPECT_EQ(o.max_pictures, 0u);
    EXPECT_EQ(o.frames, (std::vector<uint32_t>{0x54495439, 0x54585858}));
    EXPECT_EQ(o.extensions, (std::vector<std::string>{"mp3", "m4a"}));
    EXPECT_EQ(o.paths, (std::vector<std::string>{"-j", "-"}));
    EXPECT_EQ(parse_options({"--max-tag-bytes=3M", "f"}, o), "");
    EXPECT_EQ(o.max_tag_bytes, 3u << 20);
    EXPECT_EQ(parse_options({"--max-tag-bytes", "2k", "f"}, o), "");
    EXPECT_EQ(o.max_tag_bytes, 2048u);
}

// The manual page names each option of the table as --help does, in the same
// order: .BR \-j ", " \-\-jobs " \fIN\fR" is -j, --jobs N.
TEST(Options, ManualPageNamesTheOptionsOfTheTable) {
    std::string names, page_names, line;
    for (size_t i = 0; i < kOptionCount; ++i) names += option_names(kOptions[i]) + "\n";
    std::ifstream page(KELID3_SOURCE_DIR "/tools/kelid3-info/kelid3-info.1");
    for (bool options = false, next = false; std::getline(page, line); next = line == ".TP") {
        if (line.rfind(".SH", 0) == 0) options = line == ".SH OPTIONS";
        if (!options || !next) continue;
        line = std::regex_replace(line.substr(line.find(' ') + 1), std::regex("\\\\(f.)?"), "");
        page_names += std::regex_replace(line, std::regex("\"([^\"]*)\"| "), "$1") + "\n";
    }
    EXPECT_EQ(page_names, names);
}

struct PictureRow {
    const char *name, *dir, *path, *mime;
    std::string data, target;
};

TEST(Pictures, MirrorTheTreeBelowTheDirectoryWithAnExtension) {
    const PictureRow rows[] = {
        {"mirrored", "p", "A/01.mp3", "image/jpeg", "", "p/A/01-2.jpg"},
        {"dots", "p/", "./A//.x/../01", "PNG", "", "p/A/.x/__/01-2.png"},
        {"stdin", "/", "-", "image/png; x", "", "/stdin-2.png"},
        {"absolute", "p", "/m/a.b.mp3", "gif", "", "p/m/a.b-2.gif"},
        {"dot file", "p", ".hidden", "image/x-ms-bmp", "", "p/.hidden-2.bmp"},
        {"up", "p", "a/..", "image/webp", "", "p/a/__-2.webp"},
        {"tiff", "p", "t", "image/tiff", "", "p/t-2.tif"},
        {"jpeg", "p", "s", "", "\xFF\xD8\xFF", "p/s-2.jpg"},
        {"png", "p", "s", "x/y", "\x89PNG\r\n\x1A\n", "p/s-2.png"},
        {"gif", "p", "s", "", "GIF8", "p/s-2.gif"},
        {"bmp", "p", "s", "", "BM", "p/s-2.bmp"},
        {"webp", "p", "s", "", "RIFF\0\0\0\0WEBP"s, "p/s-2.webp"},
        {"short riff", "p", "s", "", "RIFF\0\0\0\0WEB"s, "p/s-2.bin"},
        {"spaces", "p", "s", "image/x-icon ", "\xFF\xD8", "p/s-2.ico"},
    };
    for (const PictureRow &row : rows) {
        SCOPED_TRACE(row.name);
        Picture picture{row.mime, "", 0, {}, "", ""};
        picture.data = {reinterpret_cast<const unsigned char *>(row.data.data()), row.data.size()};
        EXPECT_EQ(picture_path(row.dir, row.path, 2, picture), row.target);
    }
    EXPECT_EQ(picture_type_name(20), "Publisher/Studio logotype");
    EXPECT_EQ(picture_type_name(21), "");
}

// The owners and views of kelid3.hpp that the tool relies on: a moved text
// releases what it held and leaves the other empty; empty views answer empty.
TEST(Kelid3Hpp, Utf8TextMovesWholeAndEmptyViewsAnswerEmpty) {
    std::string moved;  // short: no heap block of its own
    size_t left = 1, baseline = 0;
    const char *empty = nullptr;
    for (int round = 0; round < 2; ++round) {  // the first round makes what is made once
        baseline = mallinfo2().uordblks;
        kelid3::utf8_text a(strdup("ab"), 2), b(strdup("xyz"), 3);
        b = std::move(a);
        moved = b.view(), left = a.view().size(), empty = a.c_str();
    }
    EXPECT_EQ(mallinfo2().uordblks, baseline);
    EXPECT_EQ(moved, "ab");
    EXPECT_EQ(left, 0u);
    EXPECT_STREQ(empty, "");  // a constant, still there
    EXPECT_EQ(kelid3::field().encoding(), kelid3::text_encoding::iso8859_1);
}

}  // namespace
