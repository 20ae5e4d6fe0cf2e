// SPDX-License-Identifier: MIT
// The entry points kelid3_tag_query and kelid3_tag_parse,
// the release of the records and the diagnostic line writer id3_log.
#include <new>

#include "support/records.h"

namespace {

const Bytes kV1 = V1Tag{}.build();

// The whole input is queried. Expected: tests/golden/query.
TEST(Query, GivesTheTagKindAndSize) {
    const Bytes v23 = V2Tag(3).size(257).build();
    const Case rows[] = {
        {"ID3v1 block", kV1},
        {"TAG alone", bytes("TAG")},
        {"no tag", fill(14)},
        {"ID3v2 header and 4 bytes", v23 + fill(4, 0xFF)},
        {"ID3v2 header and 3 bytes", v23 + fill(3, 0xFF)},
        {"version 5", V2Tag(5).size(257).build() + fill(4)},
        {"ID4", bytes("ID4\3\0\0\0\0\2\1"s) + fill(4)},
        {"footer, extended header", V2Tag(3, 0, 0x50).size(257).build() + syncsafe(300)},
    };
    LogCapture log;
    expect_rows("query", rows, [](const Case &row) {
        const int32_t result = kelid3_tag_query(row.input.data(), uint32_t(row.input.size()));
        return Fields{{"result", std::to_string(result)}};
    });
    EXPECT_EQ(kelid3_tag_query("TAG", 2), 0);
    EXPECT_EQ(kelid3_tag_query(nullptr, 128), KELID3_ENOMEM);
}

// parse() checks that a failure leaves the caller's pointer; the live-block
// check, that it leaves the heap as it was. Lines: the entry point's own (the
// readers' are pinned with the readers). Expected: tests/golden/parse_failures.
TEST(Parse, FailsWithItsCodeAfterItsLines) {
    const Bytes extended = V2Tag(4, 0, 0x40).build();
    const Case rows[] = {
        {"9 bytes", bytes("TAG") + fill(6)},
        {"TAG and 7 bytes", bytes("TAG") + fill(7)},
        {"ID3v1 block less 1", bytes("TAG") + fill(124)},
        {"no tag", fill(10, 'I')},
        {"version 255", V2Tag(0xFF).padding(20).build()},
        {"extended header past the buffer", extended + syncsafe(11) + fill(6)},
        {"extended header to the buffer's end", extended + syncsafe(10) + fill(6)},
    };
    expect_rows("parse_failures", rows, [](const Case &row) {
        const Parsed p = parse(row.input, {}, false);
        return outcome(p.rc, p.tag.get(), p.lines);
    });
}

TEST(Parse, RefusesANullBufferOrTagPointer) {
    LogCapture log;
    EXPECT_EQ(kelid3::parse(nullptr, 128).code(), KELID3_EINVAL);
    EXPECT_EQ(kelid3_tag_parse(kV1.data(), 128, nullptr, nullptr), KELID3_EINVAL);
    EXPECT_EQ(log.lines(),
              "kelid3_tag_parse: TRACE illegal arguments.\n"
              "kelid3_tag_parse: TRACE illegal arguments.");
}

// The header's tag size when the scan stopped short of it and the buffer holds
// more than that size; otherwise the bytes scanned. TIT2 takes 15 bytes, TPE1
// 41: the frames end 66 bytes into the tag. Expected: tests/golden/parse_sizes.
TEST(Parse, GivesTheTagSizeOnlyWhenTheScanStopsShortInsideTheBuffer) {
    const auto tag = [](size_t padding, size_t audio, size_t cut = 0) {
        const V2Tag frames = V2Tag(3).text("TIT2", 0, "abcd").text("TPE1", 3, std::string(30, 'e'));
        Bytes b = V2Tag(frames).padding(padding).build() + fill(audio, 0xFF);
        b.resize(cut ? cut : b.size());
        return b;
    };
    const Case rows[] = {
        {"no padding", tag(0, 64)},
        {"10 bytes of padding", tag(10, 64)},
        {"11 bytes of padding", tag(11, 64)},
        {"100 bytes of padding", tag(100, 0)},
        {"cut to 156 bytes", tag(100, 0, 156)},
        {"cut to 157 bytes", tag(100, 0, 157)},
        {"cut inside TPE1", tag(0, 0, 50)},
    };
    expect_rows("parse_sizes", rows, [](const Case &row) {
        const Parsed p = parse(row.input);
        return outcome(p.rc, p.tag.get(), "");
    });
}

// A frame's release does not follow its `next`; a field chain's release stops
// after a field of another type (the live-block check counts the blocks).
TEST(Records, ReleaseFreesWhatARecordOwnsAndStopsAtAnUnknownFieldType) {
    const auto heap = [](auto v) { return new (std::malloc(sizeof v)) decltype(v)(v); };
    const auto field = [&](uint32_t type, id3_field *next = nullptr) {
        return heap(id3_field{type, next, 0, {0}, 0});
    };
    id3_frame *second = heap(id3_frame{nullptr, 0, 0, 0, field(FIELD_STRING)});
    id3_frame_free(heap(id3_frame{second, 0, 0, 0, field(FIELD_UINT, field(FIELD_BLOB))}));
    kelid3_tag_free(heap(id3_tag{0, 0, 0, 0, heap(id3_frame{second, 0, 0, 0, nullptr})}));
    kelid3_tag_free(nullptr), id3_frame_free(nullptr), id3_field_free(nullptr);
    id3_field *kept = field(FIELD_STRING);  // released twice if followed
    LogCapture log;
    for (const uint32_t type : {0xFFFFFFFFu, 4u, 0u}) id3_field_free(field(type, kept));
    std::free(kept);
    EXPECT_EQ(log.lines("id3_field_free"),
              "INFO unsupported field type -1.\n"
              "INFO unsupported field type 4.\nINFO unsupported field type 0.");
}

// "[func: line] LEVEL: message", the same bytes whether the line fits the
// writer's room on the stack (256 bytes with the newline) or not. A line that
// fits goes out in one write, which keeps it whole among other threads' lines;
// a longer one, or one with a null name or level, in pieces.
TEST(Log, WritesOneLinePerCallInOneWriteWhenItFits) {
    const std::string name(300, 'f');
    // n: message bytes
    const struct {
        const char *name, *func = "f";
        int line = 7;
        const char *level = "INFO";
        size_t n = 9;
        bool one_write = true;
    } rows[] = {
        {.name = "empty message", .n = 0},
        {.name = "a line of 180 bytes", .n = 167},
        {.name = "a line of 256 bytes", .n = 242},
        {.name = "a line of 257 bytes", .n = 243, .one_write = false},
        {.name = "a message of 5000 bytes", .n = 5000, .one_write = false},
        {.name = "line 0", .line = 0},
        {.name = "line -1", .line = -1, .level = "WARN"},
        {.name = "the lowest line", .line = INT32_MIN, .level = "ERROR"},
        {.name = "null function", .func = nullptr, .one_write = false},
        {.name = "null level", .level = nullptr, .one_write = false},
        {.name = "long function name", .func = name.c_str(), .level = "I", .one_write = false},
        {.name = "long level", .level = name.c_str(), .n = 0, .one_write = false},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        const std::string message(row.n, 'm');
        LogCapture log;
        EXPECT_EQ(id3_log(row.func, row.line, row.level, "%s", message.c_str()), '\n');
        EXPECT_EQ(log.text(), format("[%s: %d] %s: %s\n", row.func ? row.func : "(null)", row.line,
                                     row.level ? row.level : "(null)", message.c_str()));
        EXPECT_EQ(log.writes() == 1, row.one_write) << log.writes() << " writes";
    }
}

// Lines that print a tag's bytes escape them (test_v2_scan.cpp); id3_log
// does not.
TEST(Log, WritesTheBytesOfAMessageAsTheyAre) {
    LogCapture log;
    id3_log("f", 7, "INFO", "id %c%c%c%c%c.", 0, 'T', 'T', '2', 0x1b);
    EXPECT_EQ(log.text(), "[f: 7] INFO: id \0TT2\x1b.\n"s);
}

TEST(Log, AFailedWriteGivesEOF) {
    FILE *saved = std::exchange(stderr, std::fopen("/dev/null", "r"));
    const int short_line = id3_log("f", 7, "INFO", "x");
    const int long_line = id3_log("f", 7, "INFO", "%s", std::string(300, 'm').c_str());
    std::fclose(std::exchange(stderr, saved));
    EXPECT_EQ(short_line, EOF);
    EXPECT_EQ(long_line, EOF);
}

}  // namespace
