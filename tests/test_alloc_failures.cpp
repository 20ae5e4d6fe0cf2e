// SPDX-License-Identifier: MIT
// Heap exhaustion: every allocation of a representative parse fails in turn,
// and the conversions' result blocks; each is reported the documented way
// (the live-block check after each test finds any leak).
#include <map>

#include "support/alloc_seam.h"
#include "support/records.h"

namespace {

// What a failed allocation of each kind gives: the result and the lines that
// tell of something not had. Kinds: t the tag record, f and v an ID3v1 frame
// and field block (both are requested before either is tested), g the ID3v1
// genre number, r the scanner's frame record, s a text field, p a picture
// field (the parse goes on without the picture: result -1 for that of the
// parse without a failure).
struct Outcome {
    int32_t result;
    Lines lines;
};
const Lines kV1 = {"id3_parse_v1_frame: ERROR Unable to alloc field or frame.",
                   "ERROR unable to parse v1 body: -12"};
const std::map<char, Outcome> kOutcomes = {
    {'t', {-12, {"INFO unable to alloc memory"}}},
    {'f', {-12, kV1}},
    {'v', {-12, kV1}},
    {'g', {-12, {"ERROR unable to parse v1 body: -12"}}},
    {'r',
     {-12,
      {"id3_parse_v2x_body: INFO unable to malloc new buffer.",
       "ERROR unable to parse v2 frames: -12"}}},
    {'s',
     {-9,
      {"id3_parse_v2_frame: ERROR unable to alloc mem for field.",
       "ERROR unable to parse v2 frames: -9"}}},
    {'p',
     {-1,
      {"id3_parse_v2_frame: ERROR unable to malloc fields",
       "id3_parse_v2x_body: INFO unable to parse v2 frame: id=41504943, APIC. Skipping it."}}},
};

TEST(AllocFailure, EachAllocationOfAParseFailsAsDocumented) {
    const V2Tag v23 = V2Tag(3)
                          .text("TIT2", 0, "Title")
                          .text("TPE1", 1, "\xFF\xFE\x41\0"s)
                          .frame("APIC", apic(0, "image/png", 3, {0}, {1, 2}))
                          .text("TALB", 0, "Al");
    const Bytes v1 = V1Tag{"Title", "Artist", "Album", "1999", "Note", 7, 17}.build();
    const Bytes v22 = V2Tag(2).text("TT2", 0, "T").frame("PIC", bytes("\0PNG\3d\0\xFF"s)).build();
    // kinds: of the allocations of the whole parse, in order
    const struct {
        const char *name;
        Bytes input;
        std::vector<uint32_t> ids;
        std::string kinds;
    } rows[] = {
        {"ID3v1", v1, {}, "tfvfvfvfvfvfvfvg"},
        {"ID3v2.2", v22, {}, "trsrppp"},
        {"ID3v2.3", v23.build(), {}, "trsrsrppprs"},
        {"ID3v2.3, TIT2 and APIC selected", v23.build(), {id("TIT2"), id("APIC"), 0}, "trsrpppr"},
    };
    const std::regex unable(".*nable .*");
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        alloc_seam::fail_nth(0);
        const Parsed whole = parse(row.input, row.ids);
        ASSERT_EQ(alloc_seam::count.load(), long(row.kinds.size()));
        Lines rest = frames(whole.tag.get());  // less the picture
        std::erase_if(rest, [](const std::string &frame) { return frame.starts_with("APIC"); });
        for (size_t k = 0; k < row.kinds.size(); ++k) {
            SCOPED_TRACE(row.kinds + ": allocation " + std::to_string(k + 1));
            alloc_seam::fail_nth(long(k) + 1);
            const Parsed p = parse(row.input, row.ids);
            const long count = alloc_seam::count.load();
            alloc_seam::fail_nth(0);
            const bool picture = row.kinds[k] == 'p';
            const Outcome &outcome = kOutcomes.at(row.kinds[k]);
            EXPECT_EQ(p.rc, picture ? whole.rc : outcome.result);
            EXPECT_EQ(frames(p.tag.get()), picture ? rest : Lines{});
            Lines lines;
            std::copy_if(p.lines.begin(), p.lines.end(), std::back_inserter(lines),
                         [&](const std::string &line) { return std::regex_match(line, unable); });
            EXPECT_EQ(lines, outcome.lines);
            // failed: nothing more was asked for (an ID3v1 frame's field still was)
            if (!picture) {
                EXPECT_EQ(count, long(k + 1) + (row.kinds[k] == 'f'));
            }
        }
    }
}

// Also the block of a UTF-8 field of 4 GiB - 1 bytes, which a 32-bit size
// cannot count: refused on every target, before a byte is read.
TEST(AllocFailure, AConversionWithoutItsBlockGivesNullAndOneLine) {
    const std::string utf8 = "utf8_to_8859_15: ERROR unable to alloc space for utf8->latin1",
                      utf16 = "utf16_to_8859_15: ERROR unable to alloc space for utf16->latin1";
    // fail: the allocation made to fail, 0: none
    const struct {
        const char *name;
        uint32_t encoding, length;
        long fail;
        std::string line;
    } rows[] = {
        {"UTF-8", 3, 4, 1, utf8},
        {"UTF-8 of 4 GiB - 1 bytes", 3, 0xFFFFFFFF, 0, utf8},
        {"UTF-16", 1, 4, 1, utf16},
        {"UTF-16BE", 2, 4, 1, utf16},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        const id3_field field{
            FIELD_STRING, nullptr, uintptr_t("\xFE\xFF\0A"), {row.encoding}, row.length};
        LogCapture log;
        alloc_seam::fail_nth(row.fail);
        EXPECT_EQ(kelid3_field_to_iso8859(&field), nullptr);
        alloc_seam::fail_nth(0);
        EXPECT_EQ(log.list(), Lines{row.line});
    }
}

}  // namespace
