// SPDX-License-Identifier: MIT
// ID3v1 blocks through kelid3_tag_parse and through the exported steps, and
// the genre names.
#include "support/records.h"

namespace {

// Whatever follows the block, and a selection list, change nothing; the
// comment keeps the ID3v1.1 marker and track byte.
TEST(V1Reader, FieldsBecomeFramesHoldingTheirFullWidthAsStored) {
    const Bytes block =
        V1Tag{"Abcd    ", "\xE9t\xE9\x01\xFF", "Album", "19x9", "note", 9, 200}.build();
    const Parsed p = parse(block + fill(72, 0xFF), {0});
    EXPECT_EQ(format("%d %x %x %u %u ", p.rc, p.tag.version(), p.tag.flags(), p.tag.size(),
                     p.tag.header_size()) +
                  show(p.tag.get()),
              "128 10000 0 128 3 TRCK/1 u9 | COMM/30 s0'note<00>*25<09>' | TDRC/4 s0'19x9' | "
              "TALB/30 s0'Album<00>*25' | "
              "TPE1/30 s0'<e9>t<e9><01><ff><00>*25' | TIT2/30 s0'Abcd *4<00>*22'");
}

// In: the block with a marker, track and genre byte. Out: the frames in front
// of COMM and the genre lines.
TEST(V1Reader, TrackNeedsAZeroMarkerAndGenresBelow126GiveNumberThenName) {
    const auto block = [](uint8_t marker, uint8_t track, uint8_t genre) {
        return bytes("TAG") + fill(122) + Bytes{marker, track, genre};
    };
    const Row rows[] = {
        // clang-format off
        {.in = block(0, 7, 0), .out = "TCON/5 u0 s0'Blues' | TRCK/1 u7 | \nTRACE genre: 0\nTRACE genre: Blues"},
        {.in = block(0, 255, 125), .out = "TCON/10 u125 s0'Dance Hall' | TRCK/1 u255 | \n"
         "TRACE genre: 7d\nTRACE genre: Dance Hall"},
        {.in = block(0, 0, 17), .out = "TCON/4 u17 s0'Rock' | \nTRACE genre: 11\nTRACE genre: Rock"},
        {.in = block(1, 7, 126), .out = "\nTRACE genre: 7e"},
        {.in = block(' ', 7, 255), .out = "\nTRACE genre: ff"},
        // clang-format on
    };
    for (const Row &row : rows) {
        LogCapture log;
        const std::string frames = show(kelid3::parse(row.in.data(), 128)->get());
        EXPECT_EQ(frames.substr(0, frames.find("COMM")) + "\n" +
                      log.lines("id3_parse_v1_body", true, false),
                  row.out);
        EXPECT_NE(frames.find("COMM/30 s0'" + esc(&row.in[97], 30) + "'"), std::string::npos);
    }
    EXPECT_STREQ(kelid3_genre_description(67), "Psychadelic");
    EXPECT_EQ(kelid3_genre_description(17), kelid3_genre_description(17));
    for (uint32_t g : {126u, 255u, UINT32_MAX}) EXPECT_EQ(kelid3_genre_description(g), nullptr);
}

TEST(V1Reader, StepsMatchFillTheHeaderAndPutTheFramesInFront) {
    EXPECT_EQ(id3_match_v1("TAG", 0), 1);
    for (const char *no : {"XAG", "TXG", "TAX"}) EXPECT_EQ(id3_match_v1(no, 3), 0) << no;
    const kelid3::tag tag(static_cast<id3_tag *>(std::malloc(sizeof(id3_tag))));
    *tag.get() = {7, 7, 7, 7, static_cast<id3_frame *>(std::calloc(1, sizeof(id3_frame)))};
    tag.get()->frames->id = id("PRIV");
    EXPECT_EQ(id3_parse_v1_header(nullptr, 0, tag.get()), 3);
    EXPECT_EQ(format("%x %x %u %u", tag.version(), tag.flags(), tag.size(), tag.header_size()),
              "10000 0 128 3");
    const Bytes body = fill(125, ' ');
    LogCapture log;
    EXPECT_EQ(id3_parse_v1_body(body.data(), 124, tag.get()), 0);
    EXPECT_EQ(show(tag.get()), "PRIV/0");
    EXPECT_EQ(id3_parse_v1_body(body.data(), 125, tag.get()), 125);
    EXPECT_EQ(show(tag.get()),
              "TCON/9 u32 s0'Classical' | COMM/30 s0' *30' | TDRC/4 s0' *4' | "
              "TALB/30 s0' *30' | TPE1/30 s0' *30' | TIT2/30 s0' *30' | PRIV/0");
    EXPECT_EQ(log.lines("id3_parse_v1_body"),
              "INFO Not enough input to parse ID3v1\nTRACE genre: 20\nTRACE genre: Classical");
}

}  // namespace
