// SPDX-License-Identifier: MIT
// The entry points kelid3_tag_query, kelid3_tag_parse and kelid3_tags_join,
// the release of the records and the diagnostic line writer id3_log.
#include <fcntl.h>

#include <climits>
#include <new>

#include "support/records.h"

using namespace std::string_literals;

namespace {

const Bytes kV1 = V1Tag{"Title", "Artist", "Album", "1999", "Comment", 3, 17}.build();

TEST(Query, GivesTheTagKindAndSize) {
    const Bytes v23 = V2Tag(3).size(257).build() + fill(4, 0xFF);
    const struct {
        Bytes buf;
        uint32_t len;
        int32_t rc;
    } rows[] = {
        // clang-format off
        {.buf = kV1, .len = 128, .rc = 128},      {.buf = bytes("TAG"), .len = 3, .rc = 128},
        {.buf = bytes("TAG"), .len = 2, .rc = 0}, {.buf = fill(14), .len = 14, .rc = 0},
        {.buf = v23, .len = 14, .rc = 257},       {.buf = v23, .len = 13, .rc = 0},
        {.buf = V2Tag(5).size(257).build() + fill(4), .len = 14, .rc = 0},
        {.buf = V2Tag(3, 0, 0x50).size(257).build() + syncsafe(300), .len = 14, .rc = 267},
        // clang-format on
    };
    LogCapture log;
    for (const auto &row : rows)
        EXPECT_EQ(kelid3_tag_query(row.buf.data(), row.len), row.rc) << row.len;
    EXPECT_EQ(kelid3_tag_query(nullptr, 128), KELID3_ENOMEM);
}

// parse() checks that a failure leaves the caller's pointer; the live-block
// check, that it leaves the heap as it was.
TEST(Parse, FailsWithItsCodeAfterItsLines) {
    const std::string
        v1 = "\nTRACE id3v1: header: 3\nid3_parse_v1_body: INFO Not enough input to parse ID3v1\n"
             "ERROR unable to parse v1 body: 0",
        no_tag = "\nINFO neither v1 nor v2x tag found",
        ext =
            "\nid3_parse_v2x_header: INFO found tag: version 2.3.0, size: "
            "10\nid3_parse_v2x_header: "
            "INFO found extended header. Length: ";
    const Row rows[] = {
        // clang-format off
        {.in = Bytes(kV1.begin(), kV1.begin() + 9), .out = "-22 TRACE illegal arguments."},
        {.in = Bytes(kV1.begin(), kV1.begin() + 10), .out = "0 TRACE inbuf 10" + v1},
        {.in = Bytes(kV1.begin(), kV1.end() - 1), .out = "0 TRACE inbuf 127" + v1},
        {.in = fill(10, 'I'), .out = "-77 TRACE inbuf 10" + no_tag},
        {.in = V2Tag(0xFF).padding(20).build(), .out = "-77 TRACE inbuf 30" + no_tag},
        {.in = V2Tag(5).padding(20).build(), .out = "-9 TRACE inbuf 30\nid3_parse_v2x_header: INFO "
         "unsupported id3v2 version found: 0x00020500. Tag ignored.\n"
         "ERROR unable to parse v2 header: 0"},
        // an extended header that reaches past the buffer, and one to its end
        {.in = V2Tag(3, 0, 0x40).raw(syncsafe(11) + fill(6)).build(),
         .out = "-9 TRACE inbuf 20" + ext +
         "11\nid3_parse_v2x_header: TRACE parsed v2x header: 21 bytes\nTRACE id3v2: header: 21\n"
         "ERROR v2 header beyond buffer: 21/20"},
        {.in = V2Tag(3, 0, 0x40).raw(syncsafe(10) + fill(6)).build(),
         .out = "20 TRACE inbuf 20" + ext +
         "10\nid3_parse_v2x_header: TRACE parsed v2x header: 20 bytes\nTRACE id3v2: header: 20\n"
         "id3_parse_v2x_body: TRACE inbuf: 0/0 (0x0/0x0) tag->header_size 10, tag->size 10\n"
         "id3_parse_v2x_body: INFO end of buffer reached\nTRACE id3v2: body: 0\n"
         "INFO *tag not NULL. Memory leak possible."},
        // clang-format on
    };
    for (const Row &row : rows) {
        const Parsed p = parse(row.in);
        EXPECT_EQ(std::to_string(p.rc) + " " + p.log, row.out);
    }
    id3_tag *out = nullptr;
    LogCapture log;
    EXPECT_EQ(kelid3_tag_parse(nullptr, 128, &out, nullptr), KELID3_EINVAL);
    EXPECT_EQ(kelid3_tag_parse(kV1.data(), 128, nullptr, nullptr), KELID3_EINVAL);
    EXPECT_EQ(kelid3_tag_parse(kV1.data(), 128, &out, nullptr), 128);  // no "*tag not NULL"
    kelid3_tag_free(out);
    EXPECT_EQ(kelid3_tags_join(), KELID3_ENOTIMPL);
    EXPECT_EQ(log.lines("kelid3_tag_parse", true, false),
              "TRACE illegal arguments.\nTRACE illegal arguments.\nTRACE inbuf 128\nTRACE id3v1: "
              "header: 3\n"
              "TRACE id3v1: body: 125");
    EXPECT_EQ(log.lines("kelid3_tags_join", true, false), "ERROR NYI!");
}

// The header's tag size when the scan stopped short of it and the buffer holds
// more than that size; otherwise the bytes scanned.
TEST(Parse, GivesTheTagSizeOnlyWhenTheScanStopsShortInsideTheBuffer) {
    // TIT2 takes 15 bytes, TPE1 41: the frames end 66 bytes into the tag.
    const auto tag = [](size_t padding, size_t audio, size_t cut = 0) {
        V2Tag v23(3);
        Bytes b = v23.text("TIT2", 0, "abcd")
                      .text("TPE1", 3, std::string(30, 'e'))
                      .padding(padding)
                      .build();
        b = b + fill(audio, 0xFF);
        b.resize(cut ? cut : b.size());
        return b;
    };
    const Row rows[] = {
        // clang-format off
        {.in = tag(0, 64), .out = "66"},      {.in = tag(10, 64), .out = "66"},
        {.in = tag(11, 64), .out = "67"},     {.in = tag(100, 0), .out = "156"},
        {.in = tag(100, 0, 156), .out = "66"}, {.in = tag(100, 0, 157), .out = "156"},
        {.in = tag(0, 0, 50), .out = "25 TIT2"},
        // clang-format on
    };
    for (const Row &row : rows) {
        const Parsed p = parse(row.in);
        EXPECT_EQ(std::to_string(p.rc) + (p.tag.frames().front().id() == id("TIT2") ? " TIT2" : ""),
                  row.out);
    }
}

template <typename T>
T *heap(const T &value) {
    return new (std::malloc(sizeof(T))) T(value);
}
id3_field *field(uint32_t type, id3_field *next = nullptr) {
    return heap(id3_field{type, next, 0, {0}, 0});
}

// A frame's release does not follow its `next`; a field chain's release stops
// after a field of another type (the live-block check counts the blocks).
TEST(Records, ReleaseFreesWhatARecordOwnsAndStopsAtAnUnknownFieldType) {
    id3_frame *second = heap(id3_frame{nullptr, 0, 0, 0, field(FIELD_STRING)});
    id3_frame_free(heap(id3_frame{second, 0, 0, 0, field(FIELD_UINT, field(FIELD_BLOB))}));
    kelid3_tag_free(heap(id3_tag{0, 0, 0, 0, heap(id3_frame{second, 0, 0, 0, nullptr})}));
    kelid3_tag_free(nullptr);
    id3_frame_free(nullptr);
    id3_field_free(nullptr);
    id3_field *kept[] = {field(FIELD_STRING), field(FIELD_BLOB), field(FIELD_UINT)};
    LogCapture log;
    id3_field_free(field(FIELD_STRING, field(0xFFFFFFFF, kept[0])));
    id3_field_free(field(4, kept[1]));
    id3_field_free(field(0, kept[2]));
    EXPECT_EQ(log.lines("id3_field_free"),
              "INFO unsupported field type -1.\nINFO unsupported field type 4.\nINFO unsupported "
              "field type 0.");
    for (id3_field *f : kept) std::free(f);
}

// One line per call, "[func: line] LEVEL: message", the same bytes whether it
// fits the writer's room on the stack or not; NUL bytes of the message kept.
TEST(Log, WritesOneWholeLinePerCall) {
    const std::string name(300, 'f');
    const struct {
        const char *func;
        int line;
        const char *level;
        size_t n;  // message bytes
    } rows[] = {
        {.func = "f", .line = 7, .level = "INFO", .n = 0},
        {.func = "f", .line = 7, .level = "INFO", .n = 242},
        {.func = "f", .line = 7, .level = "INFO", .n = 243},
        {.func = "f", .line = 7, .level = "INFO", .n = 5000},
        {.func = "f", .line = -1, .level = "WARN", .n = 9},
        {.func = "f", .line = INT_MIN, .level = "ERROR", .n = 9},
        {.func = nullptr, .line = 7, .level = "INFO", .n = 9},
        {.func = "f", .line = 7, .level = nullptr, .n = 9},
        {.func = name.c_str(), .line = 7, .level = "I", .n = 9},
        {.func = "f", .line = 7, .level = name.c_str(), .n = 0},
    };
    for (const auto &row : rows) {
        const std::string message(row.n, 'm');
        LogCapture log;
        EXPECT_EQ(id3_log(row.func, row.line, row.level, "%s", message.c_str()), '\n');
        EXPECT_EQ(log.text(), format("[%s: %d] %s: %s\n", row.func ? row.func : "(null)", row.line,
                                     row.level ? row.level : "(null)", message.c_str()));
    }
    LogCapture log;
    id3_log("f", 7, "INFO", "id %c%c%c%c.", 0, 'T', 'T', '2');
    EXPECT_EQ(log.text(), "[f: 7] INFO: id \0TT2.\n"s);
}

TEST(Log, AFailedWriteGivesEof) {
    std::fflush(stderr);
    const int saved = dup(STDERR_FILENO), read_only = open("/dev/null", O_RDONLY);
    dup2(read_only, STDERR_FILENO);
    const int rc[] = {id3_log("f", 7, "INFO", "x"),
                      id3_log("f", 7, "INFO", "%s", std::string(400, 'x').c_str())};
    dup2(saved, STDERR_FILENO);
    close(read_only);
    close(saved);
    std::clearerr(stderr);
    EXPECT_EQ(rc[0], EOF);
    EXPECT_EQ(rc[1], EOF);
}

}  // namespace
