// SPDX-License-Identifier: MIT
// ID3v1 blocks through kelid3_tag_parse and through the exported steps, and
// the genre names. Expected: tests/golden/v1.
#include "support/records.h"

namespace {

const Bytes kBlock =
    V1Tag{"Abcd    ", "\xE9t\xE9\x01\xFF", "Album", "19x9", "note", 9, 200}.build();

// A block ending in these three bytes: the marker, the track and the genre.
Bytes ending(uint8_t marker, uint8_t track, uint8_t genre) {
    return bytes("TAG") + fill(122) + Bytes{marker, track, genre};
}

// Fields become frames holding their full width as stored; whatever follows
// the block, and a selection list, change nothing; the comment keeps the
// ID3v1.1 marker and track byte. The track needs a zero marker; genres below
// 126 give a number and a name. Lines: the body reader's.
TEST(V1Reader, FieldsBecomeFramesTrackAndGenreAsStored) {
    const Case rows[] = {
        {"a block, 72 bytes behind it, none selected", kBlock + fill(72, 0xFF), 0, {0}},
        {"track 7, genre 0", ending(0, 7, 0)},
        {"track 255, genre 125", ending(0, 255, 125)},
        {"track 0, genre 17", ending(0, 0, 17)},
        {"marker 1, genre 126", ending(1, 7, 126)},
        {"marker ' ', genre 255", ending(' ', 7, 255)},
    };
    expect_rows("v1", rows, [](const Case &row) {
        const Parsed p = parse(row.input, row.ids);
        return Fields{{"result", std::to_string(p.rc)},
                      {"frame", frames(p.tag.get())},
                      {"line", log_lines(p.log, "id3_parse_v1_body", true, false)}};
    });
    for (uint32_t g : {126u, 255u, UINT32_MAX}) EXPECT_EQ(kelid3_genre_description(g), nullptr);
}

TEST(V1Reader, MatchLooksAtTheFirstThreeBytesOnly) {
    EXPECT_EQ(id3_match_v1("TAG", 0), 1);
    for (const char *no : {"XAG", "TXG", "TAX"}) EXPECT_EQ(id3_match_v1(no, 3), 0) << no;
}

// The header step overwrites every member but the frames; a body too short
// adds nothing; the frames go in front of those there are, as a parse gives them.
TEST(V1Reader, StepsFillTheHeaderAndPutTheFramesInFront) {
    const kelid3::tag tag(static_cast<id3_tag *>(std::malloc(sizeof(id3_tag))));
    *tag.get() = {7, 7, 7, 7, static_cast<id3_frame *>(std::calloc(1, sizeof(id3_frame)))};
    tag.get()->frames->id = id("PRIV");
    const Parsed parsed = parse(kBlock);
    LogCapture log;
    EXPECT_EQ(id3_parse_v1_header(nullptr, 0, tag.get()), 3);
    EXPECT_EQ(tag.version(), 0x10000u);
    EXPECT_EQ(tag.flags(), 0u);
    EXPECT_EQ(tag.size(), 128u);
    EXPECT_EQ(tag.header_size(), 3u);
    EXPECT_EQ(id3_parse_v1_body(&kBlock[3], 124, tag.get()), 0);
    EXPECT_EQ(frames(tag.get()), "PRIV/0");
    EXPECT_EQ(id3_parse_v1_body(&kBlock[3], 125, tag.get()), 125);
    EXPECT_EQ(frames(tag.get()), frames(parsed.tag.get()) + "\nPRIV/0");
    EXPECT_EQ(log.lines("id3_parse_v1_body"),
              "INFO Not enough input to parse ID3v1\nTRACE genre: c8");
}

}  // namespace
