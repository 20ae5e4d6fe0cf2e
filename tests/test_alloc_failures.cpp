// SPDX-License-Identifier: MIT
// Heap exhaustion: every allocation of a representative parse fails in turn,
// and the conversions' result blocks; each is reported the documented way
// (the live-block check after each test finds any leak).
#include <map>

#include "support/alloc_seam.h"
#include "support/records.h"

using namespace std::string_literals;

namespace {

// The lines that tell of something not had.
std::string unable(const std::string &log) {
    std::string out;
    const std::regex line(".*nable .*");
    for (auto it = std::sregex_iterator(log.begin(), log.end(), line); it != std::sregex_iterator();
         ++it)
        out += "\n" + it->str();
    return out;
}

// Kinds of allocation: t the tag record, f and v an ID3v1 frame and field
// block (both are requested before either is tested), g the ID3v1 genre
// number, r the scanner's frame record, s a text field, p a picture field.
TEST(AllocFailure, EachAllocationOfAParseFailsAsDocumented) {
    const std::string v1 =
        "\nid3_parse_v1_frame: ERROR Unable to alloc field or frame.\nERROR unable to parse v1 "
        "body: -12";
    const std::map<char, std::string> outcome = {
        // the result, the lines
        {'t', "-12\nINFO unable to alloc memory"},
        {'f', "-12" + v1},
        {'v', "-12" + v1},
        {'g', "-12\nERROR unable to parse v1 body: -12"},
        {'r',
         "-12\nid3_parse_v2x_body: INFO unable to malloc new buffer.\nERROR unable to parse v2 "
         "frames: -12"},
        {'s',
         "-9\nid3_parse_v2_frame: ERROR unable to alloc mem for field.\nERROR unable to parse v2 "
         "frames: -9"},
        {'p',
         "\nid3_parse_v2_frame: ERROR unable to malloc fields\nid3_parse_v2x_body: INFO unable to "
         "parse v2 "
         "frame: id=41504943, APIC. Skipping it."}};
    V2Tag v23(3);
    v23.text("TIT2", 0, "Title")
        .text("TPE1", 1,
              "\xFF\xFE"
              "A\0"s)
        .frame("APIC", apic(0, "image/png", 3, {0}, {1, 2}));
    const struct {
        Bytes tag;
        std::vector<uint32_t> ids;
        std::string kinds;  // of the allocations of the whole parse, in order
    } rows[] = {
        // clang-format off
        {.tag = V1Tag{"Title", "Artist", "Album", "1999", "Note", 7, 17}.build(), .ids = {},
         .kinds = "tfvfvfvfvfvfvfvg"},
        {.tag = V2Tag(2).text("TT2", 0, "T").frame("PIC", bytes("\0PNG\3d\0\xFF"s)).build(),
         .ids = {}, .kinds = "trsrppp"},
        {.tag = V2Tag(v23).text("TALB", 0, "Album").build(), .ids = {}, .kinds = "trsrsrppprs"},
        {.tag = V2Tag(v23).text("TALB", 0, "Album").build(), .ids = {id("TIT2"), id("APIC"), 0},
         .kinds = "trsrpppr"},
        // clang-format on
    };
    for (const auto &row : rows) {
        alloc_seam::fail_nth(0);
        const Parsed whole = parse(row.tag, row.ids);
        ASSERT_EQ(alloc_seam::count(), long(row.kinds.size())) << row.kinds;
        const std::string frames = show(whole.tag.get());
        const size_t picture = frames.find("APIC/"),
                     next = frames.find("| ", picture);  // never the last
        for (size_t k = 0; k < row.kinds.size(); ++k) {
            alloc_seam::fail_nth(long(k) + 1);
            const Parsed p = parse(row.tag, row.ids);
            const long count = alloc_seam::count();
            alloc_seam::fail_nth(0);
            SCOPED_TRACE(row.kinds + ": allocation " + std::to_string(k + 1));
            const std::string &want = outcome.at(row.kinds[k]);
            EXPECT_EQ((want[0] == '-' ? std::to_string(p.rc) : "") + unable(p.log), want);
            if (want[0] ==
                '-') {  // failed: nothing more was asked for (an ID3v1 frame's field still was)
                EXPECT_EQ(count, long(k + 1) + (row.kinds[k] == 'f'));
            } else {  // the picture left out
                EXPECT_EQ(p.rc, whole.rc);
                EXPECT_EQ(show(p.tag.get()), frames.substr(0, picture) + frames.substr(next + 2));
            }
        }
    }
}

TEST(AllocFailure, AConversionWithoutItsBlockGivesNullAndOneLine) {
    const char text[] = "\xFE\xFF\0A";
    for (const uint32_t encoding : {3u, 1u, 2u}) {
        const id3_field field{FIELD_STRING, nullptr, uintptr_t(text), {encoding}, 4};
        LogCapture log;
        alloc_seam::fail_nth(1);
        EXPECT_EQ(kelid3_field_to_iso8859(&field), nullptr) << encoding;
        alloc_seam::fail_nth(0);
        EXPECT_EQ(log.lines(),
                  encoding == 3
                      ? "utf8_to_8859_15: ERROR unable to alloc space for utf8->latin1"
                      : "utf16_to_8859_15: ERROR unable to alloc space for utf16->latin1");
    }
}

}  // namespace
