// SPDX-License-Identifier: MIT
// Heap exhaustion: every allocation of a representative parse fails in turn,
// and the conversions' result blocks; each is reported the documented way
// (the live-block check after each test finds any leak).
#include <map>

#include "support/alloc_seam.h"
#include "support/records.h"

namespace {

// Kinds of allocation: t the tag record, f and v an ID3v1 frame and field
// block (both are requested before either is tested), g the ID3v1 genre
// number, r the scanner's frame record, s a text field, p a picture field.
// Out: the result and the lines that tell of something not had; for p, the
// tag without its picture.
TEST(AllocFailure, EachAllocationOfAParseFailsAsDocumented) {
    const std::string v1 =
        "\nid3_parse_v1_frame: ERROR Unable to alloc field or frame.\nERROR unable to parse v1 "
        "body: -12";
    // clang-format off
    const std::map<char, std::string> outcome = {
        {'t', "-12\nINFO unable to alloc memory"}, {'f', "-12" + v1}, {'v', "-12" + v1},
        {'g', "-12\nERROR unable to parse v1 body: -12"},
        {'r', "-12\nid3_parse_v2x_body: INFO unable to malloc new buffer.\nERROR unable to parse v2 frames: -12"},
        {'s', "-9\nid3_parse_v2_frame: ERROR unable to alloc mem for field.\nERROR unable to parse v2 frames: -9"},
        {'p', "\nid3_parse_v2_frame: ERROR unable to malloc fields\nid3_parse_v2x_body: INFO unable to parse v2 frame: "
              "id=41504943, APIC. Skipping it."}};
    const V2Tag v23 = V2Tag(3).text("TIT2", 0, "Title").text("TPE1", 1, "\xFF\xFE" "A\0"s)
                          .frame("APIC", apic(0, "image/png", 3, {0}, {1, 2})).text("TALB", 0, "Al");
    // kinds: of the allocations of the whole parse, in order
    const struct { Bytes tag; std::vector<uint32_t> ids = {}; std::string kinds; } rows[] = {
        {.tag = V1Tag{"Title", "Artist", "Album", "1999", "Note", 7, 17}.build(), .kinds = "tfvfvfvfvfvfvfvg"},
        {.tag = V2Tag(2).text("TT2", 0, "T").frame("PIC", bytes("\0PNG\3d\0\xFF"s)).build(), .kinds = "trsrppp"},
        {.tag = v23.build(), .kinds = "trsrsrppprs"}, {.tag = v23.build(), .ids = {id("TIT2"), id("APIC"), 0}, .kinds = "trsrpppr"},
    };
    // clang-format on
    const std::regex unable(".*nable .*");
    for (const auto &row : rows) {
        alloc_seam::fail_nth(0);
        const Parsed whole = parse(row.tag, row.ids);
        ASSERT_EQ(alloc_seam::count.load(), long(row.kinds.size())) << row.kinds;
        // less the picture, never the last frame
        const std::string rest = std::regex_replace(show(whole.tag.get()), std::regex("APIC/[^|]*\\| "), "");
        for (size_t k = 0; k < row.kinds.size(); ++k) {
            alloc_seam::fail_nth(long(k) + 1);
            const Parsed p = parse(row.tag, row.ids);
            const long count = alloc_seam::count.load();
            alloc_seam::fail_nth(0);
            SCOPED_TRACE(row.kinds + ": allocation " + std::to_string(k + 1));
            const bool picture = row.kinds[k] == 'p';  // left out: the rest as without the failure
            std::string out = std::to_string(p.rc) + (picture ? " " + show(p.tag.get()) : "");
            for (std::sregex_iterator it(p.log.begin(), p.log.end(), unable), end; it != end; ++it)
                out += "\n" + it->str();
            EXPECT_EQ(out,
                      picture ? std::to_string(whole.rc) + " " + rest + outcome.at('p') : outcome.at(row.kinds[k]));
            // failed: nothing more was asked for (an ID3v1 frame's field still was)
            EXPECT_TRUE(picture || count == long(k + 1) + (row.kinds[k] == 'f')) << count;
        }
    }
}

// Also the block of a UTF-8 field of 4 GiB - 1 bytes, which a 32-bit size
// cannot count: refused on every target, before a byte is read.
TEST(AllocFailure, AConversionWithoutItsBlockGivesNullAndOneLine) {
    const std::string utf8 = "utf8_to_8859_15: ERROR unable to alloc space for utf8->latin1",
                      utf16 = "utf16_to_8859_15: ERROR unable to alloc space for utf16->latin1";
    // clang-format off
    // fail: the allocation made to fail, 0: none
    const struct { uint32_t encoding, length; long fail; std::string line; } rows[] = {
        {.encoding = 3, .length = 4, .fail = 1, .line = utf8}, {.encoding = 3, .length = 0xFFFFFFFF, .fail = 0, .line = utf8},
        {.encoding = 1, .length = 4, .fail = 1, .line = utf16}, {.encoding = 2, .length = 4, .fail = 1, .line = utf16},
    };
    // clang-format on
    for (const auto &row : rows) {
        const id3_field field{FIELD_STRING, nullptr, uintptr_t("\xFE\xFF\0A"), {row.encoding}, row.length};
        LogCapture log;
        alloc_seam::fail_nth(row.fail);
        EXPECT_EQ(kelid3_field_to_iso8859(&field), nullptr);
        alloc_seam::fail_nth(0);
        EXPECT_EQ(log.lines(), row.line);
    }
}

}  // namespace
