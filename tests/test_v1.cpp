// SPDX-License-Identifier: MIT
// ID3v1 blocks through kelid3_tag_parse and through the exported steps, and
// the genre names.
#include "support/records.h"

namespace {

// A block and the frames it gives, in list order.
const Bytes kBlock = V1Tag{"Abcd    ", "\xE9t\xE9\x01\xFF", "Album", "19x9", "note", 9, 200}.build();
const std::string kFrames =
    "TRCK/1 u9 | COMM/30 s0'note<00>*25<09>' | TDRC/4 s0'19x9' | TALB/30 s0'Album<00>*25' | "
    "TPE1/30 s0'<e9>t<e9><01><ff><00>*25' | TIT2/30 s0'Abcd *4<00>*22'";

// Whatever follows the block, and a selection list, change nothing; the
// comment keeps the ID3v1.1 marker and track byte.
TEST(V1Reader, FieldsBecomeFramesHoldingTheirFullWidthAsStored) {
    const Parsed p = parse(kBlock + fill(72, 0xFF), {0});
    EXPECT_EQ(std::to_string(p.rc) + " " + show(p.tag.get()), "128 " + kFrames);
}

// In: the block with a marker, track and genre byte. Out: the frames in front
// of COMM and the genre lines.
TEST(V1Reader, TrackNeedsAZeroMarkerAndGenresBelow126GiveNumberThenName) {
    const Bytes fields = bytes("TAG") + fill(122);
    const Row rows[] = {
        // clang-format off
        {.in = fields + Bytes{0, 7, 0}, .out = "TCON/5 u0 s0'Blues' | TRCK/1 u7 | \nTRACE genre: 0\nTRACE genre: Blues"},
        {.in = fields + Bytes{0, 255, 125}, .out = "TCON/10 u125 s0'Dance Hall' | TRCK/1 u255 | \nTRACE genre: 7d\nTRACE genre: Dance Hall"},
        {.in = fields + Bytes{0, 0, 17}, .out = "TCON/4 u17 s0'Rock' | \nTRACE genre: 11\nTRACE genre: Rock"},
        {.in = fields + Bytes{1, 7, 126}, .out = "\nTRACE genre: 7e"}, {.in = fields + Bytes{' ', 7, 255}, .out = "\nTRACE genre: ff"},
        // clang-format on
    };
    for (const Row &row : rows) {
        LogCapture log;
        const std::string frames = show(kelid3::parse(row.in.data(), 128)->get());
        EXPECT_EQ(frames.substr(0, frames.find("COMM")) + "\n" + log.lines("id3_parse_v1_body", true, false), row.out);
    }
    for (uint32_t g : {126u, 255u, UINT32_MAX}) EXPECT_EQ(kelid3_genre_description(g), nullptr);
}

// The header step overwrites every member but the frames; a body too short
// adds nothing; the frames go in front of those there are.
TEST(V1Reader, StepsMatchFillTheHeaderAndPutTheFramesInFront) {
    EXPECT_EQ(id3_match_v1("TAG", 0), 1);
    for (const char *no : {"XAG", "TXG", "TAX"}) EXPECT_EQ(id3_match_v1(no, 3), 0) << no;
    const kelid3::tag tag(static_cast<id3_tag *>(std::malloc(sizeof(id3_tag))));
    *tag.get() = {7, 7, 7, 7, static_cast<id3_frame *>(std::calloc(1, sizeof(id3_frame)))};
    tag.get()->frames->id = id("PRIV");
    LogCapture log;
    const int rc[] = {id3_parse_v1_header(nullptr, 0, tag.get()), id3_parse_v1_body(&kBlock[3], 124, tag.get()),
                      id3_parse_v1_body(&kBlock[3], 125, tag.get())};
    const std::string members = format("%x %x %u %u ", tag.version(), tag.flags(), tag.size(), tag.header_size());
    EXPECT_EQ(format("%d %d %d ", rc[0], rc[1], rc[2]) + members + show(tag.get()),
              "3 0 125 10000 0 128 3 " + kFrames + " | PRIV/0");
    EXPECT_EQ(log.lines("id3_parse_v1_body"), "INFO Not enough input to parse ID3v1\nTRACE genre: c8");
}

}  // namespace
