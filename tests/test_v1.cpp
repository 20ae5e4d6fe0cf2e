// The ID3v1 reader and the genre table.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <tuple>
#include <vector>

#include "kelid3.h"
#include "support/alloc_seam.h"
#include "support/log_capture.h"
#include "support/tag_builder.h"

namespace {

using Ids = std::vector<std::string>;
const Ids kTexts = {"COMM", "TDRC", "TALB", "TPE1", "TIT2"};

const id3_frame *find(const id3_tag *tag, const std::string &chars) {
    for (const id3_frame *f : frames_of(tag))
        if (f->id == id(chars)) return f;
    return nullptr;
}

// One FIELD_STRING, encoding 0, its bytes behind the header and NUL-terminated.
void expect_text(const id3_field *f, const Bytes &text) {
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(std::make_tuple(f->type, f->encoding, f->length, f->data),
              std::make_tuple(FIELD_STRING, 0u, uint32_t(text.size()), uintptr_t(f + 1)));
    EXPECT_EQ(field_content(f), text + Bytes{0});
}

void expect_number(const id3_field *f, uint32_t value) {
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(std::make_tuple(f->type, f->data, f->encoding, f->length),
              std::make_tuple(FIELD_UINT, uintptr_t(value), 0u, 0u));
}

TagPtr parse_v1(const Bytes &block) {
    id3_tag *out = nullptr;
    EXPECT_EQ(kelid3_tag_parse(block.data(), uint32_t(block.size()), &out, nullptr), 128);
    return TagPtr(out);
}

}  // namespace

TEST(V1Reader, TextFramesHoldTheFullFieldWidthAsStored) {
    const std::tuple<const char *, long, uint32_t> texts[] = {
        {"TIT2", 3, 30}, {"TPE1", 33, 30}, {"TALB", 63, 30}, {"TDRC", 93, 4}, {"COMM", 97, 30}};
    const Bytes blocks[] = {
        bytes("TAG") + fill(125),
        V1Tag{"Abcd" + std::string(26, ' '), "\xE9t\xE9\x01\xFF", "Album", "19x9", "note", 9, 200}
            .build(),
    };
    for (const Bytes &block : blocks) {
        LogCapture log;
        TagPtr tag = parse_v1(block);
        ASSERT_NE(tag, nullptr);
        EXPECT_EQ(std::make_tuple(tag->version, tag->flags, tag->size, tag->header_size),
                  std::make_tuple(0x00010000u, 0u, 128u, 3u));
        const Ids ids = frame_ids(tag.get());
        ASSERT_GE(ids.size(), 5u);
        EXPECT_EQ(Ids(ids.end() - 5, ids.end()), kTexts);
        for (const auto &[name, offset, width] : texts) {
            SCOPED_TRACE(name);
            const id3_frame *f = find(tag.get(), name);
            ASSERT_NE(f, nullptr);
            EXPECT_EQ(std::make_tuple(f->flags, f->size, fields_of(f).size()),
                      std::make_tuple(0u, width, size_t(1)));
            expect_text(f->fields, Bytes(block.begin() + offset, block.begin() + offset + width));
        }
    }
}

TEST(V1Reader, TrackNumberNeedsZeroMarkerAndNonZeroByte) {
    const std::tuple<uint8_t, uint8_t, uint8_t, bool> cases[] = {
        // marker, track, genre, TRCK
        {0, 7, 0, true},  {0, 7, 255, true},    {0, 255, 12, true},
        {1, 7, 0, false}, {' ', 7, 255, false}, {0, 0, 0, false}};
    for (const auto &[marker, track, genre, has_track] : cases) {
        SCOPED_TRACE(testing::Message() << int(marker) << "/" << int(track));
        Bytes block = V1Tag{"t", "a", "b", "2000", "comment", -1, genre}.build();
        block[125] = marker;
        block[126] = track;
        LogCapture log;
        TagPtr tag = parse_v1(block);
        ASSERT_NE(find(tag.get(), "COMM"), nullptr);
        Ids ids = genre < 126 ? Ids{"TCON"} : Ids{};
        if (has_track) ids.push_back("TRCK");
        ids.insert(ids.end(), kTexts.begin(), kTexts.end());
        EXPECT_EQ(frame_ids(tag.get()), ids);
        const Bytes comment = field_content(find(tag.get(), "COMM")->fields);
        EXPECT_EQ(Bytes(comment.begin() + 28, comment.end()), (Bytes{marker, track, 0}));
        if (!has_track) continue;
        const id3_frame *trck = find(tag.get(), "TRCK");
        EXPECT_EQ(std::make_tuple(trck->flags, trck->size, fields_of(trck).size()),
                  std::make_tuple(0u, 1u, size_t(1)));
        expect_number(trck->fields, track);
    }
}

TEST(V1Reader, GenreByteBelow126GivesTconWithNumberThenName) {
    // clang-format off
    const std::tuple<uint8_t, const char *, const char *> cases[] = {
        {0, "Blues", "0"}, {17, "Rock", "11"}, {125, "Dance Hall", "7d"}, {126, nullptr, "7e"},
        {255, nullptr, "ff"}};
    // clang-format on
    for (const auto &[genre, name, hex] : cases) {
        SCOPED_TRACE(hex);
        LogCapture log;
        TagPtr tag = parse_v1(bytes("TAG") + fill(124) + Bytes{genre});
        EXPECT_EQ(log.count("id3_parse_v1_body", "TRACE", std::string("genre: ") + hex), 1);
        int genre_lines = 0;
        for (const LogLine &l : log.lines()) genre_lines += l.message.rfind("genre: ", 0) == 0;
        EXPECT_EQ(genre_lines, name ? 2 : 1);
        const id3_frame *tcon = find(tag.get(), "TCON");
        if (!name) {
            EXPECT_EQ(tcon, nullptr);
            continue;
        }
        EXPECT_EQ(log.count("id3_parse_v1_body", "TRACE", std::string("genre: ") + name), 1);
        ASSERT_EQ(tcon, tag->frames);
        EXPECT_EQ(std::make_tuple(tcon->flags, size_t(tcon->size), fields_of(tcon).size()),
                  std::make_tuple(0u, std::strlen(name), size_t(2)));
        expect_number(tcon->fields, genre);
        expect_text(tcon->fields->next, bytes(name));
    }
}

TEST(V1Reader, MatchAndHeaderReaderLookOnlyAtTheSignature) {
    const std::pair<const char *, int> cases[] = {{"TAG", 1}, {"TAGX", 1}, {"tag", 0}, {"TAH", 0},
                                                  {"TBG", 0}, {"XAG", 0},  {"ID3", 0}};
    for (const auto &c : cases) EXPECT_EQ(id3_match_v1(c.first, 0), c.second) << c.first;
    id3_frame existing{};
    id3_tag tag{7, 7, 7, 7, &existing};
    EXPECT_EQ(id3_parse_v1_header(nullptr, 0, &tag), 3);
    EXPECT_EQ(std::make_tuple(tag.version, tag.flags, tag.size, tag.header_size, tag.frames),
              std::make_tuple(0x00010000u, 0u, 128u, 3u, &existing));
    EXPECT_EQ(std::make_tuple(id3v1_tag_size, id3v1_header_size, id3v1_body_size),
              std::make_tuple(128u, 3u, 125u));
}

TEST(V1Reader, BodyNeeds125BytesAndPutsFramesInFront) {
    TagPtr tag(static_cast<id3_tag *>(std::calloc(1, sizeof(id3_tag))));
    tag->frames = static_cast<id3_frame *>(std::calloc(1, sizeof(id3_frame)));
    tag->frames->id = id("PRIV");
    const Bytes body = fill(125);
    const long before = alloc_seam::live();
    LogCapture log;
    EXPECT_EQ(id3_parse_v1_body(body.data(), 124, tag.get()), 0);
    EXPECT_EQ(alloc_seam::live(), before);
    EXPECT_EQ(frame_ids(tag.get()), Ids{"PRIV"});
    EXPECT_EQ(id3_parse_v1_body(body.data(), 125, tag.get()), 125);
    EXPECT_EQ(frame_ids(tag.get()), (Ids{"TCON", "COMM", "TDRC", "TALB", "TPE1", "TIT2", "PRIV"}));
    EXPECT_EQ(log.count("id3_parse_v1_body", "INFO", "Not enough input to parse ID3v1"), 1);
}

TEST(Genre, NamesByNumberAndNoneFrom126) {
    // clang-format off
    const std::pair<uint32_t, const char *> names[] = {
        {0, "Blues"}, {1, "Classic Rock"}, {5, "Funk"}, {14, "R&B"}, {17, "Rock"}, {29, "Jazz+Funk"},
        {37, "Sound Clip"}, {40, "AlternRock"}, {46, "Instrumental Pop"}, {53, "Pop-Folk"},
        {60, "Top 40"}, {62, "Pop/Funk"}, {67, "Psychadelic"}, {71, "Lo-Fi"}, {78, "Rock & Roll"},
        {80, "Folk"}, {85, "Bebob"}, {90, "Avantgarde"}, {93, "Psychedelic Rock"}, {99, "Acoustic"},
        {100, "Humour"}, {109, "Porn Groove"}, {119, "Freestyle"}, {123, "A capella"},
        {124, "Euro-House"}, {125, "Dance Hall"}};
    // clang-format on
    for (const auto &[number, name] : names) {
        ASSERT_NE(kelid3_genre_description(number), nullptr) << number;
        EXPECT_STREQ(kelid3_genre_description(number), name);
    }
    for (uint32_t g = 0; g < 126; ++g) {
        ASSERT_NE(kelid3_genre_description(g), nullptr) << g;
        EXPECT_NE(kelid3_genre_description(g)[0], '\0') << g;
        EXPECT_EQ(kelid3_genre_description(g), kelid3_genre_description(g)) << g;  // same pointer
    }
    for (uint32_t g : {126u, 127u, 255u, 256u, 0x80000000u, UINT32_MAX})
        EXPECT_EQ(kelid3_genre_description(g), nullptr) << g;
}
