// SPDX-License-Identifier: MIT
// The entry points kelid3_tag_query, kelid3_tag_parse and kelid3_tags_join,
// the release of the records and the diagnostic line writer id3_log.
#include <climits>
#include <new>

#include "support/records.h"

namespace {

const Bytes kV1 = V1Tag{"Title", "Artist", "Album", "1999", "Comment", 3, 17}.build();

Bytes head(const Bytes &b, size_t n) {
    return Bytes(b.begin(), b.begin() + long(n));
}

TEST(Query, GivesTheTagKindAndSize) {
    const Bytes v23 = V2Tag(3).size(257).build() + fill(4, 0xFF);
    const struct {
        Bytes buf;
        int32_t rc;
        uint32_t len = 0;  // 0: the whole buffer
    } rows[] = {
        // clang-format off
        {.buf = kV1, .rc = 128}, {.buf = bytes("TAG"), .rc = 128}, {.buf = bytes("TAG"), .rc = 0, .len = 2},
        {.buf = fill(14), .rc = 0}, {.buf = v23, .rc = 257}, {.buf = v23, .rc = 0, .len = 13},
        {.buf = V2Tag(5).size(257).build() + fill(4), .rc = 0},
        {.buf = V2Tag(3, 0, 0x50).size(257).build() + syncsafe(300), .rc = 267},
        // clang-format on
    };
    LogCapture log;
    for (const auto &row : rows)
        EXPECT_EQ(kelid3_tag_query(row.buf.data(), row.len ? row.len : uint32_t(row.buf.size())),
                  row.rc);
    EXPECT_EQ(kelid3_tag_query(nullptr, 128), KELID3_ENOMEM);
}

// parse() checks that a failure leaves the caller's pointer; the live-block
// check, that it leaves the heap as it was. Out: the result, the entry
// point's own lines (the readers' are pinned with the readers).
TEST(Parse, FailsWithItsCodeAfterItsLines) {
    const std::string v1 = "\nTRACE id3v1: header: 3\nERROR unable to parse v1 body: 0",
                      no_tag = "\nINFO neither v1 nor v2x tag found";
    const Row rows[] = {
        // clang-format off
        {.in = head(kV1, 9), .out = "-22 TRACE illegal arguments."}, {.in = head(kV1, 10), .out = "0 TRACE inbuf 10" + v1},
        {.in = head(kV1, 127), .out = "0 TRACE inbuf 127" + v1}, {.in = fill(10, 'I'), .out = "-77 TRACE inbuf 10" + no_tag},
        {.in = V2Tag(0xFF).padding(20).build(), .out = "-77 TRACE inbuf 30" + no_tag},
        {.in = V2Tag(5).padding(20).build(), .out = "-9 TRACE inbuf 30\nERROR unable to parse v2 header: 0"},
        // an extended header that reaches past the buffer, and one to its end
        {.in = V2Tag(3, 0, 0x40).raw(syncsafe(11) + fill(6)).build(),
         .out = "-9 TRACE inbuf 20\nTRACE id3v2: header: 21\nERROR v2 header beyond buffer: 21/20"},
        {.in = V2Tag(3, 0, 0x40).raw(syncsafe(10) + fill(6)).build(), .out = "20 TRACE inbuf 20\nTRACE id3v2: header: 20\n"
         "TRACE id3v2: body: 0\nINFO *tag not NULL. Memory leak possible."},
        // clang-format on
    };
    for (const Row &row : rows) {
        const Parsed p = parse(row.in);
        EXPECT_EQ(std::to_string(p.rc) + " " +
                      std::regex_replace(p.log, std::regex("\n\\w+: [^\n]*"), ""),
                  row.out);
    }
    id3_tag *out = nullptr;
    LogCapture log;
    EXPECT_EQ(kelid3_tag_parse(nullptr, 128, &out, nullptr), KELID3_EINVAL);
    EXPECT_EQ(kelid3_tag_parse(kV1.data(), 128, nullptr, nullptr), KELID3_EINVAL);
    EXPECT_EQ(kelid3_tag_parse(kV1.data(), 128, &out, nullptr), 128);  // no "*tag not NULL"
    kelid3_tag_free(out);
    EXPECT_EQ(kelid3_tags_join(), KELID3_ENOTIMPL);
    EXPECT_EQ(log.lines("kelid3_tag_parse", true, false),
              "TRACE illegal arguments.\nTRACE illegal arguments.\nTRACE inbuf 128\n"
              "TRACE id3v1: header: 3\nTRACE id3v1: body: 125");
    EXPECT_EQ(log.lines("kelid3_tags_join", true, false), "ERROR NYI!");
}

// The header's tag size when the scan stopped short of it and the buffer holds
// more than that size; otherwise the bytes scanned. TIT2 takes 15 bytes, TPE1
// 41: the frames end 66 bytes into the tag.
TEST(Parse, GivesTheTagSizeOnlyWhenTheScanStopsShortInsideTheBuffer) {
    const auto tag = [](size_t padding, size_t audio, size_t cut = 0) {
        const Bytes b = V2Tag(3)
                            .text("TIT2", 0, "abcd")
                            .text("TPE1", 3, std::string(30, 'e'))
                            .padding(padding)
                            .build() +
                        fill(audio, 0xFF);
        return head(b, cut ? cut : b.size());
    };
    const Row rows[] = {
        // clang-format off
        {.in = tag(0, 64), .out = "66"}, {.in = tag(10, 64), .out = "66"}, {.in = tag(11, 64), .out = "67"},
        {.in = tag(100, 0), .out = "156"}, {.in = tag(100, 0, 156), .out = "66"},
        {.in = tag(100, 0, 157), .out = "156"}, {.in = tag(0, 0, 50), .out = "25 TIT2"},
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
    const uint32_t types[] = {0xFFFFFFFF, 4, 0};
    for (int i = 0; i < 3; ++i) id3_field_free(field(types[i], kept[i]));
    EXPECT_EQ(log.lines("id3_field_free"),
              "INFO unsupported field type -1.\nINFO unsupported "
              "field type 4.\nINFO unsupported field type 0.");
    for (id3_field *f : kept) std::free(f);
}

// One line per call, "[func: line] LEVEL: message", the same bytes whether it
// fits the writer's room on the stack (256 bytes with the newline) or not;
// NUL bytes of the message kept. A failed write gives EOF.
TEST(Log, WritesOneWholeLinePerCall) {
    const std::string name(300, 'f');
    const struct {
        const char *func = "f";
        int line = 7;
        const char *level = "INFO";
        size_t n = 9;  // message bytes
    } rows[] = {
        // clang-format off
        {.n = 0}, {.n = 242}, {.n = 243}, {.n = 5000}, {.line = 0}, {.line = -1, .level = "WARN"},
        {.line = INT_MIN, .level = "ERROR"}, {.func = nullptr}, {.level = nullptr},
        {.func = name.c_str(), .level = "I"}, {.level = name.c_str(), .n = 0},
        // clang-format on
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
    FILE *saved = stderr;
    stderr = std::fopen("/dev/null", "r");
    const int rc[] = {id3_log("f", 7, "INFO", "x"), id3_log("f", 7, "INFO", "%s", name.c_str())};
    std::fclose(std::exchange(stderr, saved));
    EXPECT_TRUE(rc[0] == EOF && rc[1] == EOF);
}

}  // namespace
