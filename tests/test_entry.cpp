// The entry points kelid3_tag_query, kelid3_tag_parse and kelid3_tags_join, and
// the release of the records. (Every test reads id3_log's lines.)
#include <gtest/gtest.h>

#include <cstdlib>
#include <new>

#include "support/alloc_seam.h"
#include "support/tag_builder.h"

namespace {

const Bytes kV1 = V1Tag{"Title", "Artist", "Album", "1999", "Comment", 3, 17}.build();

TEST(EntryQuery, ReportsTagKindAndSize) {
    const Bytes v23 = V2Tag(3).size(257).build() + fill(4);
    // clang-format off
    const std::tuple<const char *, Bytes, uint32_t, int32_t> cases[] = {
        {"v1 block", kV1, 128, 128},          {"TAG, 3 bytes", bytes("TAG"), 3, 128},
        {"TAG, len 2", bytes("TAG"), 2, 0},   {"TAG, 9 bytes", bytes("TAG") + fill(6), 9, 128},
        {"9 bytes, no tag", fill(9), 9, 0},   {"v2.3 header", v23, 14, 257},
        {"v2.3 header, 13 bytes", v23, 13, 0},
        {"footer flag", V2Tag(3, 0, 0x10).size(257).build() + fill(4), 14, 267},
        {"version 5", V2Tag(5).size(257).build() + fill(4), 14, 0},
        {"size not syncsafe", bytes("ID3") + Bytes{3, 0, 0, 0, 0, 0x80, 0} + fill(4), 14, 0}};
    // clang-format on
    LogCapture log;
    for (const auto &[what, buf, len, result] : cases)
        EXPECT_EQ(kelid3_tag_query(buf.data(), len), result) << what;
    EXPECT_EQ(kelid3_tag_query(nullptr, 128), KELID3_ENOMEM);
}

// An unsupported ID3v2 version and the ID3v2 scanner's failures have their rows
// with the header reader's and the scanner's tests.
TEST(EntryParse, FailureReturnsCodeAfterItsLinesAndKeepsCallerPointerAndHeap) {
    const Strings v1_short = {"id3_parse_v1_body: INFO Not enough input to parse ID3v1",
                              "ERROR unable to parse v1 body: 0"};
    const Strings no_tag = {"INFO neither v1 nor v2x tag found"};
    // clang-format off
    const std::tuple<const char *, Bytes, int32_t, Strings> cases[] = {
        {"9 bytes", bytes("TAG") + fill(6), KELID3_EINVAL, {"TRACE illegal arguments."}},
        {"TAG, 10 bytes", bytes("TAG") + fill(7), 0, v1_short},
        {"TAG, 127 bytes", Bytes(kV1.begin(), kV1.end() - 1), 0, v1_short},
        {"no signature", bytes("XYZ") + fill(20), KELID3_ENOTAG, no_tag},
        {"ID3, version 0xFF", V2Tag(0xFF).padding(20).build(), KELID3_ENOTAG, no_tag},
        // An extended header longer than the whole buffer: nothing is scanned.
        {"extended header beyond buffer", V2Tag(3, 0, 0x40).raw(syncsafe(100) + fill(6)).text("TIT2", 0, "x").build(),
         KELID3_EBADTAG, {"TRACE id3v2: header: 110", "ERROR v2 header beyond buffer: 110/32"}}};
    // clang-format on
    for (const auto &[what, buf, result, lines] : cases) {
        SCOPED_TRACE(what);
        const Parsed p = parse(buf);
        EXPECT_EQ(p.rc, result);
        EXPECT_TRUE(in_order(p.log, lines));
    }
    // Without a tag pointer set, a success logs no "*tag not NULL" line.
    id3_tag *out = nullptr;
    LogCapture log;
    EXPECT_EQ(kelid3_tag_parse(nullptr, 128, &out, nullptr), KELID3_EINVAL);
    EXPECT_EQ(kelid3_tag_parse(kV1.data(), 128, nullptr, nullptr), KELID3_EINVAL);
    EXPECT_EQ(kelid3_tag_parse(kV1.data(), 128, &out, nullptr), 128);
    kelid3_tag_free(out);
    EXPECT_EQ(log.strings("kelid3_tag_parse"),
              (Strings{"TRACE illegal arguments.", "TRACE illegal arguments.", "TRACE inbuf 128",
                       "TRACE id3v1: header: 3", "id3_parse_v1_body: TRACE genre: 11",
                       "id3_parse_v1_body: TRACE genre: Rock", "TRACE id3v1: body: 125"}));
}

// The result is the header's tag size when the scan stopped short of it and
// the buffer holds more than that size; otherwise the bytes scanned.
TEST(EntryParse, ResultIsTagSizeOnlyWhenScanStopsShortInsideBuffer) {
    // TIT2 takes 15 bytes, TPE1 41 (its content from buffer offset 35 to 66).
    const std::tuple<size_t, size_t, size_t, int32_t> cases[] = {
        // padding, audio bytes, cut at (0: not cut), result
        {0, 64, 0, 66},   {10, 64, 0, 66},   {11, 64, 0, 67},
        {100, 0, 0, 156}, {100, 0, 156, 66}, {0, 0, 50, 25}};
    for (const auto &[padding, audio, cut, result] : cases) {
        SCOPED_TRACE(testing::Message() << padding << "/" << audio << "/" << cut);
        V2Tag tag(3);
        tag.text("TIT2", 0, "abcd").text("TPE1", 3, std::string(30, 'e')).padding(padding);
        Bytes buf = tag.build() + fill(audio, 0xFF);
        if (cut) buf.resize(cut);
        const Parsed p = parse(buf);
        EXPECT_EQ(p.rc, result);
        EXPECT_EQ(frame_ids(p.tag.get()).size(), cut == 50 ? 1u : 2u);
    }
}

TEST(EntryJoin, IsNotImplemented) {
    LogCapture log;
    EXPECT_EQ(kelid3_tags_join(), KELID3_ENOTIMPL);
    EXPECT_EQ(log.strings(), Strings{"kelid3_tags_join: ERROR NYI!"});
}

template <typename T>
T *heap(const T &value) {
    return new (std::malloc(sizeof(T))) T(value);
}
id3_field *field(uint32_t type, id3_field *next = nullptr) {
    return heap(id3_field{type, next, 0, {0}, 0});
}

// A frame's release does not follow its `next`; a field chain's release stops
// after a field of unknown type.
TEST(Records, FreeReleasesWhatItOwnsAndStopsAtAnUnknownFieldType) {
    const long before = alloc_seam::live();
    LogCapture log;
    id3_frame *second = heap(id3_frame{nullptr, 0, 0, 0, field(FIELD_STRING)});
    id3_frame_free(heap(id3_frame{second, 0, 0, 0, field(FIELD_UINT, field(FIELD_BLOB))}));
    EXPECT_EQ(alloc_seam::live(), before + 2);
    kelid3_tag_free(heap(id3_tag{0, 0, 0, 0, heap(id3_frame{second, 0, 0, 0, nullptr})}));
    kelid3_tag_free(nullptr);
    id3_frame_free(nullptr);
    id3_field_free(nullptr);
    EXPECT_EQ(alloc_seam::live(), before);
    id3_field *third = field(FIELD_STRING), *other = field(FIELD_BLOB);
    id3_field_free(field(FIELD_STRING, field(0xFFFFFFFF, third)));
    id3_field_free(field(0, other));
    EXPECT_EQ(std::make_pair(third->type, other->type), std::make_pair(1u, 2u));  // untouched
    EXPECT_EQ(alloc_seam::live(), before + 2);
    std::free(third);
    std::free(other);
    EXPECT_EQ(log.strings("id3_field_free"),
              (Strings{"INFO unsupported field type -1.", "INFO unsupported field type 0."}));
}

}  // namespace
