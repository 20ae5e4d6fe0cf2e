// The ID3v1 reader and the genre table.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "support/alloc_seam.h"
#include "support/tag_builder.h"

namespace {

// The frame with this identifier: flags 0, its size and its fields.
void expect_frame(const id3_tag *tag, const char *name, uint32_t size,
                  const std::vector<FieldView> &fields) {
    const id3_frame *f = tag->frames;
    while (f != nullptr && f->id != id(name)) f = f->next;
    ASSERT_NE(f, nullptr) << name;
    EXPECT_EQ(std::make_pair(f->flags, f->size), std::make_pair(0u, size)) << name;
    EXPECT_EQ(field_views(f), fields) << name;
}

// Whatever follows the block, and a selection list, change nothing. The comment
// keeps the ID3v1.1 marker and track byte in its 30 bytes.
TEST(V1Reader, TextFramesHoldTheFullFieldWidthAsStored) {
    const Bytes block =
        V1Tag{"Abcd" + std::string(26, ' '), "\xE9t\xE9\x01\xFF", "Album", "19x9", "note", 9, 200}
            .build();
    const Parsed p = parse(block + fill(72, 0xFF), {0});
    ASSERT_EQ(p.rc, 128);
    EXPECT_TRUE(
        in_order(p.log, {"TRACE inbuf 200", "TRACE id3v1: header: 3", "TRACE id3v1: body: 125",
                         "INFO *tag not NULL. Memory leak possible."}));
    const id3_tag &t = *p.tag;
    EXPECT_EQ(std::make_tuple(t.version, t.flags, t.size, t.header_size),
              std::make_tuple(0x00010000u, 0u, 128u, 3u));
    const std::tuple<const char *, size_t, uint32_t> texts[] = {
        {"TIT2", 3, 30}, {"TPE1", 33, 30}, {"TALB", 63, 30}, {"TDRC", 93, 4}, {"COMM", 97, 30}};
    for (const auto &[name, at, width] : texts)
        expect_frame(&t, name, width, {text_view(Bytes(&block[at], &block[at + width]))});
}

TEST(V1Reader, TrackNeedsZeroMarkerAndNonZeroByteAndGenreBelow126GivesNumberThenName) {
    // clang-format off
    const std::tuple<uint8_t, uint8_t, uint8_t, const char *, const char *> cases[] = {
        // marker, track, genre, its trace, its name (null: no TCON)
        {0, 7, 0, "0", "Blues"}, {0, 255, 125, "7d", "Dance Hall"}, {1, 7, 126, "7e", nullptr},
        {' ', 7, 255, "ff", nullptr}, {0, 0, 17, "11", "Rock"}};
    // clang-format on
    for (const auto &[marker, track, genre, hex, name] : cases) {
        SCOPED_TRACE(testing::Message() << int(marker) << "/" << int(track) << "/" << hex);
        Bytes block = V1Tag{"t", "a", "b", "2000", "comment", -1, genre}.build();
        block[125] = marker;
        block[126] = track;
        const Parsed p = parse(block);
        Strings ids = {"COMM", "TDRC", "TALB", "TPE1", "TIT2"};
        if (marker == 0 && track != 0) ids.insert(ids.begin(), "TRCK");
        if (name) ids.insert(ids.begin(), "TCON");
        EXPECT_EQ(frame_ids(p.tag.get()), ids);
        if (marker == 0 && track != 0) expect_frame(p.tag.get(), "TRCK", 1, {number_view(track)});
        Strings genre_lines = {std::string("id3_parse_v1_body: TRACE genre: ") + hex}, got;
        if (name) genre_lines.push_back(std::string("id3_parse_v1_body: TRACE genre: ") + name);
        for (const std::string &l : p.log)
            if (l.find("genre: ") != std::string::npos) got.push_back(l);
        EXPECT_EQ(got, genre_lines);
        if (name) {
            expect_frame(p.tag.get(), "TCON", uint32_t(std::strlen(name)),
                         {number_view(genre), text_view(bytes(name))});
        }
    }
}

// The header reader fills the header members only; the body reader needs 125
// bytes and puts its frames in front of those there.
TEST(V1Reader, MatchHeaderAndBodyReaders) {
    EXPECT_EQ(
        std::make_tuple(id3_match_v1("TAGX", 0), id3_match_v1("TAH", 0), id3_match_v1("XAG", 0)),
        std::make_tuple(1, 0, 0));
    id3_frame *old = static_cast<id3_frame *>(std::calloc(1, sizeof(id3_frame)));
    old->id = id("PRIV");
    id3_tag tag{7, 7, 7, 7, old};
    EXPECT_EQ(id3_parse_v1_header(nullptr, 0, &tag), 3);
    EXPECT_EQ(std::make_tuple(tag.version, tag.flags, tag.size, tag.header_size, tag.frames),
              std::make_tuple(0x00010000u, 0u, 128u, 3u, old));
    const Bytes body = fill(125);
    const long live = alloc_seam::live();
    LogCapture log;
    EXPECT_EQ(id3_parse_v1_body(body.data(), 124, &tag), 0);
    EXPECT_EQ(std::make_pair(alloc_seam::live(), frame_ids(&tag)),
              std::make_pair(live, Strings{"PRIV"}));
    EXPECT_EQ(id3_parse_v1_body(body.data(), 125, &tag), 125);
    EXPECT_EQ(frame_ids(&tag), (Strings{"TCON", "COMM", "TDRC", "TALB", "TPE1", "TIT2", "PRIV"}));
    EXPECT_EQ(log.strings("id3_parse_v1_body"), (Strings{"INFO Not enough input to parse ID3v1",
                                                         "TRACE genre: 0", "TRACE genre: Blues"}));
    for (const id3_frame *f : chain(tag.frames)) id3_frame_free(const_cast<id3_frame *>(f));
}

TEST(Genre, NamesByNumberAndNoneFrom126) {
    // clang-format off
    const std::pair<uint32_t, const char *> names[] = {
        {0, "Blues"}, {5, "Funk"}, {62, "Pop/Funk"}, {17, "Rock"}, {93, "Psychedelic Rock"},
        {67, "Psychadelic"}, {14, "R&B"}, {123, "A capella"}, {125, "Dance Hall"}};
    // clang-format on
    for (const auto &[number, name] : names) EXPECT_STREQ(kelid3_genre_description(number), name);
    EXPECT_EQ(kelid3_genre_description(17), kelid3_genre_description(17));
    for (uint32_t g : {126u, 255u, UINT32_MAX}) EXPECT_EQ(kelid3_genre_description(g), nullptr);
}

}  // namespace
