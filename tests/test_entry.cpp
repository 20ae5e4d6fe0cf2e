// SPDX-License-Identifier: MIT
// The entry points kelid3_tag_query, kelid3_tag_parse and kelid3_tags_join,
// the release of the records and the diagnostic line writer id3_log.
#include <new>

#include "support/records.h"

namespace {

const Bytes kV1 = V1Tag{}.build();

// The whole input is queried.
TEST(Query, GivesTheTagKindAndSize) {
    const Bytes v23 = V2Tag(3).size(257).build();
    const struct {
        const char *name;
        Bytes input;
        int32_t result;
    } rows[] = {
        {"ID3v1 block", kV1, 128},
        {"TAG alone", bytes("TAG"), 128},
        {"no tag", fill(14), 0},
        {"ID3v2 header and 4 bytes", v23 + fill(4, 0xFF), 257},
        {"ID3v2 header and 3 bytes", v23 + fill(3, 0xFF), 0},
        {"version 5", V2Tag(5).size(257).build() + fill(4), 0},
        {"ID4", bytes("ID4\3\0\0\0\0\2\1"s) + fill(4), 0},
        {"footer, extended header", V2Tag(3, 0, 0x50).size(257).build() + syncsafe(300), 267},
    };
    LogCapture log;
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(kelid3_tag_query(row.input.data(), uint32_t(row.input.size())), row.result);
    }
    EXPECT_EQ(kelid3_tag_query("TAG", 2), 0);
    EXPECT_EQ(kelid3_tag_query(nullptr, 128), KELID3_ENOMEM);
}

// parse() checks that a failure leaves the caller's pointer; the live-block
// check, that it leaves the heap as it was. Lines: the entry point's own (the
// readers' are pinned with the readers).
TEST(Parse, FailsWithItsCodeAfterItsLines) {
    const Lines v1 = {"TRACE id3v1: header: 3", "ERROR unable to parse v1 body: 0"},
                no_tag = {"INFO neither v1 nor v2x tag found"},
                v2 = {"TRACE inbuf 20", "TRACE id3v2: header: 20", "TRACE id3v2: body: 0",
                      "INFO *tag not NULL. Memory leak possible."};
    const Bytes extended = V2Tag(4, 0, 0x40).build();
    const struct {
        const char *name;
        Bytes input;
        int32_t result;
        Lines lines;
    } rows[] = {
        {"9 bytes", bytes("TAG") + fill(6), -22, {"TRACE illegal arguments."}},
        {"TAG and 7 bytes", bytes("TAG") + fill(7), 0, Lines{"TRACE inbuf 10"} + v1},
        {"ID3v1 block less 1", bytes("TAG") + fill(124), 0, Lines{"TRACE inbuf 127"} + v1},
        {"no tag", fill(10, 'I'), -77, Lines{"TRACE inbuf 10"} + no_tag},
        {"version 255", V2Tag(0xFF).padding(20).build(), -77, Lines{"TRACE inbuf 30"} + no_tag},
        {"version 5",
         V2Tag(5).padding(20).build(),
         -9,
         {"TRACE inbuf 30", "ERROR unable to parse v2 header: 0"}},
        {"extended header past the buffer",
         extended + syncsafe(11) + fill(6),
         -9,
         {"TRACE inbuf 20", "TRACE id3v2: header: 21", "ERROR v2 header beyond buffer: 21/20"}},
        {"extended header to the buffer's end", extended + syncsafe(10) + fill(6), 20, v2},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        const Parsed p = parse(row.input, {}, false);
        EXPECT_EQ(p.rc, row.result);
        EXPECT_EQ(p.lines, row.lines);
    }
}

TEST(Parse, RefusesANullBufferOrTagPointer) {
    LogCapture log;
    EXPECT_EQ(kelid3::parse(nullptr, 128).code(), KELID3_EINVAL);
    EXPECT_EQ(kelid3_tag_parse(kV1.data(), 128, nullptr, nullptr), KELID3_EINVAL);
    EXPECT_EQ(log.list(), Lines(2, "kelid3_tag_parse: TRACE illegal arguments."));
}

// kelid3::parse hands over a null tag pointer: no "*tag not NULL" line.
TEST(Parse, FromCppWritesNoLineOfALeakedTag) {
    LogCapture log;
    EXPECT_EQ(kelid3::parse(kV1.data(), 128).code(), 128);
    EXPECT_EQ(log.list("kelid3_tag_parse"),
              (Lines{"TRACE inbuf 128", "TRACE id3v1: header: 3",
                     "id3_parse_v1_body: TRACE genre: ff", "TRACE id3v1: body: 125"}));
}

TEST(Join, IsNotImplemented) {
    LogCapture log;
    EXPECT_EQ(kelid3_tags_join(), -1);
    EXPECT_EQ(log.list(), Lines{"kelid3_tags_join: ERROR NYI!"});
}

// The header's tag size when the scan stopped short of it and the buffer holds
// more than that size; otherwise the bytes scanned. TIT2 takes 15 bytes, TPE1
// 41: the frames end 66 bytes into the tag.
TEST(Parse, GivesTheTagSizeOnlyWhenTheScanStopsShortInsideTheBuffer) {
    const V2Tag two = V2Tag(3).text("TIT2", 0, "abcd").text("TPE1", 3, std::string(30, 'e'));
    const auto tag = [&](size_t padding, size_t audio, size_t cut = 0) {
        Bytes b = V2Tag(two).padding(padding).build() + fill(audio, 0xFF);
        if (cut) b.resize(cut);
        return b;
    };
    const struct {
        const char *name;
        Bytes input;
        int32_t result;
        size_t frames;
    } rows[] = {
        {"no padding", tag(0, 64), 66, 2},
        {"10 bytes of padding", tag(10, 64), 66, 2},
        {"11 bytes of padding", tag(11, 64), 67, 2},
        {"100 bytes of padding", tag(100, 0), 156, 2},
        {"cut to 156 bytes", tag(100, 0, 156), 66, 2},
        {"cut to 157 bytes", tag(100, 0, 157), 156, 2},
        {"cut inside TPE1", tag(0, 0, 50), 25, 1},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        const Parsed p = parse(row.input);
        EXPECT_EQ(p.rc, row.result);
        EXPECT_EQ(frames(p.tag.get()).size(), row.frames);
    }
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
    EXPECT_EQ(log.list("id3_field_free"),
              (Lines{"INFO unsupported field type -1.", "INFO unsupported field type 4.",
                     "INFO unsupported field type 0."}));
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

TEST(Log, KeepsTheNulBytesOfAMessage) {
    LogCapture log;
    id3_log("f", 7, "INFO", "id %c%c%c%c.", 0, 'T', 'T', '2');
    EXPECT_EQ(log.text(), "[f: 7] INFO: id \0TT2.\n"s);
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
