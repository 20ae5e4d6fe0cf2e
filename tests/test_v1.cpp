// SPDX-License-Identifier: MIT
// ID3v1 blocks through kelid3_tag_parse and through the exported steps, and
// the genre names.
#include "support/records.h"

namespace {

// A block and the frames it gives, in list order.
const Bytes kBlock =
    V1Tag{"Abcd    ", "\xE9t\xE9\x01\xFF", "Album", "19x9", "note", 9, 200}.build();
const Lines kFrames = {"TRCK/1 u9",
                       "COMM/30 s0'note<00>*25<09>'",
                       "TDRC/4 s0'19x9'",
                       "TALB/30 s0'Album<00>*25'",
                       "TPE1/30 s0'<e9>t<e9><01><ff><00>*25'",
                       "TIT2/30 s0'Abcd *4<00>*22'"};

// Whatever follows the block, and a selection list, change nothing; the
// comment keeps the ID3v1.1 marker and track byte.
TEST(V1Reader, FieldsBecomeFramesHoldingTheirFullWidthAsStored) {
    const Parsed p = parse(kBlock + fill(72, 0xFF), {0});
    EXPECT_EQ(p.rc, 128);
    EXPECT_EQ(frames(p.tag.get()), kFrames);
}

// Input: the block's last three bytes, the marker, track and genre byte.
// Frames: those in front of COMM. Lines: what each "TRACE genre: " line says.
TEST(V1Reader, TrackNeedsAZeroMarkerAndGenresBelow126GiveNumberThenName) {
    const struct {
        const char *name;
        Bytes input;
        Lines frames, lines;
    } rows[] = {
        {"track 7, genre 0", {0, 7, 0}, {"TCON/5 u0 s0'Blues'", "TRCK/1 u7"}, {"0", "Blues"}},
        {"track 255, genre 125",
         {0, 255, 125},
         {"TCON/10 u125 s0'Dance Hall'", "TRCK/1 u255"},
         {"7d", "Dance Hall"}},
        {"track 0, genre 17", {0, 0, 17}, {"TCON/4 u17 s0'Rock'"}, {"11", "Rock"}},
        {"marker 1, genre 126", {1, 7, 126}, {}, {"7e"}},
        {"marker ' ', genre 255", {' ', 7, 255}, {}, {"ff"}},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        const Bytes block = bytes("TAG") + fill(122) + row.input;
        LogCapture log;
        const Lines all = frames(kelid3::parse(block.data(), 128)->get());
        EXPECT_EQ(Lines(all.begin(), all.end() - 5), row.frames);
        Lines lines;
        for (const std::string &line : row.lines) lines.push_back("TRACE genre: " + line);
        EXPECT_EQ(log.list("id3_parse_v1_body", true, false), lines);
    }
    for (uint32_t g : {126u, 255u, UINT32_MAX}) EXPECT_EQ(kelid3_genre_description(g), nullptr);
}

TEST(V1Reader, MatchLooksAtTheFirstThreeBytesOnly) {
    EXPECT_EQ(id3_match_v1("TAG", 0), 1);
    for (const char *no : {"XAG", "TXG", "TAX"}) EXPECT_EQ(id3_match_v1(no, 3), 0) << no;
}

// The header step overwrites every member but the frames; a body too short
// adds nothing; the frames go in front of those there are.
TEST(V1Reader, StepsFillTheHeaderAndPutTheFramesInFront) {
    const kelid3::tag tag(static_cast<id3_tag *>(std::malloc(sizeof(id3_tag))));
    *tag.get() = {7, 7, 7, 7, static_cast<id3_frame *>(std::calloc(1, sizeof(id3_frame)))};
    tag.get()->frames->id = id("PRIV");
    LogCapture log;
    EXPECT_EQ(id3_parse_v1_header(nullptr, 0, tag.get()), 3);
    EXPECT_EQ(tag.version(), 0x10000u);
    EXPECT_EQ(tag.flags(), 0u);
    EXPECT_EQ(tag.size(), 128u);
    EXPECT_EQ(tag.header_size(), 3u);
    EXPECT_EQ(id3_parse_v1_body(&kBlock[3], 124, tag.get()), 0);
    EXPECT_EQ(frames(tag.get()), Lines{"PRIV/0"});
    EXPECT_EQ(id3_parse_v1_body(&kBlock[3], 125, tag.get()), 125);
    EXPECT_EQ(frames(tag.get()), kFrames + Lines{"PRIV/0"});
    EXPECT_EQ(log.list("id3_parse_v1_body"),
              (Lines{"INFO Not enough input to parse ID3v1", "TRACE genre: c8"}));
}

}  // namespace
