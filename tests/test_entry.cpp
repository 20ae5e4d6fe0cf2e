// kelid3_tag_query, kelid3_tag_parse and kelid3_tags_join.
#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "kelid3.h"
#include "support/alloc_seam.h"
#include "support/log_capture.h"
#include "support/tag_builder.h"

namespace {

using Line = std::tuple<std::string, std::string, std::string>;  // function, level, message

// The expected lines were written in this order (others may stand between).
void expect_lines(LogCapture &log, const std::vector<Line> &expected) {
    size_t next = 0;
    for (const LogLine &l : log.lines())
        next += next < expected.size() && Line{l.func, l.level, l.message} == expected[next];
    if (next < expected.size()) ADD_FAILURE() << "missing: " << std::get<2>(expected[next]);
}

const Bytes kV1 = V1Tag{"Title", "Artist", "Album", "1999", "Comment", 3, 17}.build();
const Bytes kV23 = V2Tag(3).size(257).build() + fill(4);

}  // namespace

TEST(EntryQuery, ReportsTagKindAndSize) {
    // clang-format off
    const std::tuple<const char *, Bytes, uint32_t, int32_t> cases[] = {
        {"v1 block", kV1, 128, 128},          {"TAG, 3 bytes", bytes("TAG"), 3, 128},
        {"TAG, len 2", bytes("TAG"), 2, 0},   {"TAG, 9 bytes", bytes("TAG") + fill(6), 9, 128},
        {"9 bytes, no tag", fill(9), 9, 0},   {"no signature", bytes("XYZ") + fill(20), 23, 0},
        {"v2.3 header", kV23, 14, 257},       {"v2.3 header, 13 bytes", kV23, 13, 0},
        {"footer flag", V2Tag(3).flags(0x10).size(257).build() + fill(4), 14, 267},
        {"extended header", V2Tag(3).flags(0x40).size(257).extended(syncsafe(12)).build(), 14, 257},
        {"version 5", V2Tag(5).size(257).build() + fill(4), 14, 0},
        {"revision 1", V2Tag(3, 1).size(257).build() + fill(4), 14, 0},
        {"size not syncsafe", bytes("ID3") + Bytes{3, 0, 0, 0, 0, 0x80, 0} + fill(4), 14, 0}};
    // clang-format on
    LogCapture log;
    for (const auto &[what, buf, len, result] : cases)
        EXPECT_EQ(kelid3_tag_query(buf.data(), len), result) << what;
    EXPECT_EQ(kelid3_tag_query(nullptr, 128), KELID3_ENOMEM);
}

TEST(EntryParse, IllegalArgumentsGiveEinval) {
    id3_tag sentinel{};
    id3_tag *out = &sentinel;
    const long before = alloc_seam::live();
    const std::tuple<const void *, uint32_t, id3_tag **> cases[] = {{nullptr, 128, &out},
                                                                    {kV1.data(), 9, &out},
                                                                    {kV1.data(), 0, &out},
                                                                    {kV1.data(), 128, nullptr}};
    for (const auto &[buf, len, tag] : cases) {
        LogCapture log;
        EXPECT_EQ(kelid3_tag_parse(buf, len, tag, nullptr), KELID3_EINVAL);
        EXPECT_EQ(log.count("kelid3_tag_parse", "TRACE", "illegal arguments."), 1);
        EXPECT_EQ(log.lines().size(), 1u);
    }
    EXPECT_EQ(out, &sentinel);
    EXPECT_EQ(alloc_seam::live(), before);
}

TEST(EntryParse, FailuresLogReleaseEverythingAndKeepCallerPointer) {
    const Line v1_short{"id3_parse_v1_body", "INFO", "Not enough input to parse ID3v1"},
        v1_body{"kelid3_tag_parse", "ERROR", "unable to parse v1 body: 0"},
        v2_header{"kelid3_tag_parse", "ERROR", "unable to parse v2 header: 0"},
        no_tag{"kelid3_tag_parse", "INFO", "neither v1 nor v2x tag found"};
    // clang-format off
    const std::tuple<const char *, Bytes, int32_t, std::vector<Line>> cases[] = {
        {"TAG, 10 bytes", bytes("TAG") + fill(7), 0, {v1_short, v1_body}},
        {"TAG, 127 bytes", Bytes(kV1.begin(), kV1.end() - 1), 0, {v1_short, v1_body}},
        {"no signature", bytes("XYZ") + fill(20), KELID3_ENOTAG, {no_tag}},
        {"ID3, version 0xFF", V2Tag(0xFF).padding(20).build(), KELID3_ENOTAG, {no_tag}},
        {"version 5", V2Tag(5).padding(20).build(), KELID3_EBADTAG,
         {{"id3_parse_v2x_header", "INFO", "unsupported id3v2 version found: 0x00020500. Tag ignored."},
          v2_header}},
        {"extended header cut off", V2Tag(3).flags(0x40).raw(fill(3)).build(), KELID3_EBADTAG,
         {{"id3_parse_v2x_header", "WARN", "extended header beyond buffer: 13 bytes. Stop here."},
          v2_header}},
        {"extended header beyond buffer",
         V2Tag(3).flags(0x40).extended(syncsafe(100) + fill(6)).text("TIT2", 0, "x").build(),
         KELID3_EBADTAG, {{"kelid3_tag_parse", "TRACE", "id3v2: header: 110"},
                          {"kelid3_tag_parse", "ERROR", "v2 header beyond buffer: 110/32"}}},
        {"skipped frame past the buffer",
         V2Tag(4).text("TIT2", 0, "kept").frame_sized("TPE1", 50, fill(3), 0x0004).build(),
         KELID3_EBADTAG, {{"id3_parse_v2x_body", "ERROR", "Malformed tag ??? (or bug?) inbuf: 75/28"},
                          {"kelid3_tag_parse", "ERROR", "unable to parse v2 frames: -9"}}},
        {"frame size 0", V2Tag(3).text("TIT2", 0, "kept").frame("TPE1", {}).padding(20).build(),
         KELID3_ERANGE, {{"id3_parse_v2x_body", "ERROR", "frame size: 0. Stop here."},
                         {"kelid3_tag_parse", "ERROR", "unable to parse v2 frames: -34"}}}};
    // clang-format on
    for (const auto &[what, buf, result, lines] : cases) {
        SCOPED_TRACE(what);
        id3_tag sentinel{};
        id3_tag *out = &sentinel;
        const long before = alloc_seam::live();
        LogCapture log;
        EXPECT_EQ(kelid3_tag_parse(buf.data(), uint32_t(buf.size()), &out, nullptr), result);
        expect_lines(log, lines);
        EXPECT_EQ(out, &sentinel);
        EXPECT_EQ(alloc_seam::live(), before);
    }
}

// Also: a set caller's pointer is replaced after a line; the selection list is for ID3v2 only.
TEST(EntryParse, V1BlockGives128WhateverFollows) {
    const uint32_t none[] = {0};
    const Bytes buf = kV1 + fill(72, 0xFF);
    for (uint32_t len : {128u, 200u}) {
        id3_tag old{};
        id3_tag *out = len == 200 ? &old : nullptr;
        LogCapture log;
        EXPECT_EQ(kelid3_tag_parse(buf.data(), len, &out, none), 128);
        TagPtr tag(out == &old ? nullptr : out);
        EXPECT_EQ(frame_ids(tag.get()).size(), 7u);  // TCON, TRCK and the five texts
        expect_lines(log, {{"kelid3_tag_parse", "TRACE", "inbuf " + std::to_string(len)},
                           {"kelid3_tag_parse", "TRACE", "id3v1: header: 3"},
                           {"kelid3_tag_parse", "TRACE", "id3v1: body: 125"}});
        EXPECT_EQ(log.count("kelid3_tag_parse", "INFO", "*tag not NULL. Memory leak possible."),
                  len == 200 ? 1 : 0);
    }
}

// The result is the header's tag size when the scan stopped short of it and
// the buffer holds more than that size; otherwise the bytes scanned.
TEST(EntryParse, ResultIsTagSizeOnlyWhenScanStopsShortInsideBuffer) {
    // TIT2 takes 15 bytes, TPE1 41 (its content from buffer offset 35 to 66).
    // clang-format off
    const std::tuple<size_t, size_t, size_t, int32_t, size_t> cases[] = {
        // padding, audio bytes, cut at (0: not cut), result, frames
        {0, 64, 0, 66, 2},   {5, 64, 0, 66, 2},   {10, 64, 0, 66, 2}, {11, 64, 0, 67, 2},
        {100, 0, 0, 156, 2}, {100, 0, 80, 66, 2}, {0, 0, 50, 25, 1},  {0, 0, 64, 56, 1}};
    // clang-format on
    for (const auto &[padding, audio, cut, result, frames] : cases) {
        SCOPED_TRACE(testing::Message() << padding << "/" << audio << "/" << cut);
        Bytes buf = V2Tag(3)
                        .text("TIT2", 0, "abcd")
                        .text("TPE1", 3, std::string(30, 'e'))
                        .padding(padding)
                        .build() +
                    fill(audio, 0xFF);
        if (cut) buf.resize(cut);
        const long before = alloc_seam::live();
        id3_tag *out = nullptr;
        LogCapture log;
        EXPECT_EQ(kelid3_tag_parse(buf.data(), uint32_t(buf.size()), &out, nullptr), result);
        EXPECT_EQ(log.count("kelid3_tag_parse", "TRACE", "id3v2: header: 10"), 1);
        EXPECT_EQ(frames_of(out).size(), frames);
        kelid3_tag_free(out);
        EXPECT_EQ(alloc_seam::live(), before);
    }
}

TEST(Entry, TagsJoinIsNotImplemented) {
    LogCapture log;
    EXPECT_EQ(kelid3_tags_join(), KELID3_ENOTIMPL);
    EXPECT_EQ(log.count("kelid3_tags_join", "ERROR", "NYI!"), 1);
}
