// SPDX-License-Identifier: MIT
// The entry points kelid3_tag_query, kelid3_tag_parse and kelid3_tags_join,
// the release of the records and the diagnostic line writer id3_log.
#include <new>

#include "support/records.h"

namespace {

const Bytes kV1 = V1Tag{}.build();

// In: the whole buffer is queried. Out: the result.
TEST(Query, GivesTheTagKindAndSize) {
    const Row rows[] = {
        // clang-format off
        {.in = kV1, .out = "128"}, {.in = bytes("TAG"), .out = "128"}, {.in = fill(14), .out = "0"},
        {.in = V2Tag(3).size(257).build() + fill(4, 0xFF), .out = "257"}, {.in = V2Tag(3).size(257).build() + fill(3, 0xFF), .out = "0"},
        {.in = V2Tag(5).size(257).build() + fill(4), .out = "0"}, {.in = bytes("ID4\3\0\0\0\0\2\1"s) + fill(4), .out = "0"},
        {.in = V2Tag(3, 0, 0x50).size(257).build() + syncsafe(300), .out = "267"},
        // clang-format on
    };
    LogCapture log;
    for (const Row &row : rows)
        EXPECT_EQ(format("%d", kelid3_tag_query(row.in.data(), uint32_t(row.in.size()))), row.out);
    EXPECT_TRUE(kelid3_tag_query("TAG", 2) == 0 && kelid3_tag_query(nullptr, 128) == KELID3_ENOMEM);
}

// parse() checks that a failure leaves the caller's pointer; the live-block
// check, that it leaves the heap as it was. Out: the result, the entry
// point's own lines (the readers' are pinned with the readers).
TEST(Parse, FailsWithItsCodeAfterItsLines) {
    const std::string v1 = "\nTRACE id3v1: header: 3\nERROR unable to parse v1 body: 0",
                      no_tag = "\nINFO neither v1 nor v2x tag found";
    const Row rows[] = {
        // clang-format off
        {.in = bytes("TAG") + fill(6), .out = "-22 TRACE illegal arguments."}, {.in = bytes("TAG") + fill(7), .out = "0 TRACE inbuf 10" + v1},
        {.in = bytes("TAG") + fill(124), .out = "0 TRACE inbuf 127" + v1}, {.in = fill(10, 'I'), .out = "-77 TRACE inbuf 10" + no_tag},
        {.in = V2Tag(0xFF).padding(20).build(), .out = "-77 TRACE inbuf 30" + no_tag},
        {.in = V2Tag(5).padding(20).build(), .out = "-9 TRACE inbuf 30\nERROR unable to parse v2 header: 0"},
        // an extended header that reaches past the buffer, and one to its end
        {.in = V2Tag(4, 0, 0x40).raw(syncsafe(11) + fill(6)).build(),
         .out = "-9 TRACE inbuf 20\nTRACE id3v2: header: 21\nERROR v2 header beyond buffer: 21/20"},
        {.in = V2Tag(4, 0, 0x40).raw(syncsafe(10) + fill(6)).build(), .out = "20 TRACE inbuf 20\nTRACE id3v2: header: 20\n"
         "TRACE id3v2: body: 0\nINFO *tag not NULL. Memory leak possible."},
        // clang-format on
    };
    const std::regex others("\n\\w+: [^\n]*");
    for (const Row &row : rows) {
        const Parsed p = parse(row.in);
        EXPECT_EQ(std::to_string(p.rc) + " " + std::regex_replace(p.log, others, ""), row.out);
    }
    LogCapture log;  // kelid3::parse passes a null tag pointer: no "*tag not NULL"
    const int32_t r[] = {kelid3::parse(nullptr, 128).code(), kelid3_tag_parse(kV1.data(), 128, nullptr, nullptr),
                         kelid3::parse(kV1.data(), 128).code(), kelid3_tags_join()};
    EXPECT_EQ(format("%d %d %d %d", r[0], r[1], r[2], r[3]), "-22 -22 128 -1");
    EXPECT_EQ(log.lines("kelid3_tag_parse"),
              "TRACE illegal arguments.\nTRACE illegal arguments.\nTRACE inbuf 128\nTRACE id3v1: "
              "header: 3\nid3_parse_v1_body: TRACE genre: ff\nTRACE id3v1: body: 125\n"
              "kelid3_tags_join: ERROR NYI!");
}

// The header's tag size when the scan stopped short of it and the buffer holds
// more than that size; otherwise the bytes scanned. TIT2 takes 15 bytes, TPE1
// 41: the frames end 66 bytes into the tag.
TEST(Parse, GivesTheTagSizeOnlyWhenTheScanStopsShortInsideTheBuffer) {
    const V2Tag frames = V2Tag(3).text("TIT2", 0, "abcd").text("TPE1", 3, std::string(30, 'e'));
    const auto tag = [&](size_t padding, size_t audio, size_t cut = 0) {
        Bytes b = V2Tag(frames).padding(padding).build() + fill(audio, 0xFF);
        if (cut) b.resize(cut);
        return b;
    };
    const Row rows[] = {
        // clang-format off
        {.in = tag(0, 64), .out = "66 TPE1"}, {.in = tag(10, 64), .out = "66 TPE1"}, {.in = tag(11, 64), .out = "67 TPE1"},
        {.in = tag(100, 0), .out = "156 TPE1"}, {.in = tag(100, 0, 156), .out = "66 TPE1"},
        {.in = tag(100, 0, 157), .out = "156 TPE1"}, {.in = tag(0, 0, 50), .out = "25 TIT2"},
        // clang-format on
    };
    for (const Row &row : rows) {
        const Parsed p = parse(row.in);
        EXPECT_EQ(std::to_string(p.rc) + " " + show(p.tag.get()).substr(0, 4), row.out);
    }
}

// A frame's release does not follow its `next`; a field chain's release stops
// after a field of another type (the live-block check counts the blocks).
TEST(Records, ReleaseFreesWhatARecordOwnsAndStopsAtAnUnknownFieldType) {
    const auto heap = [](auto v) { return new (std::malloc(sizeof v)) decltype(v)(v); };
    const auto field = [&](uint32_t type, id3_field *next = nullptr) { return heap(id3_field{type, next, 0, {0}, 0}); };
    id3_frame *second = heap(id3_frame{nullptr, 0, 0, 0, field(FIELD_STRING)});
    id3_frame_free(heap(id3_frame{second, 0, 0, 0, field(FIELD_UINT, field(FIELD_BLOB))}));
    kelid3_tag_free(heap(id3_tag{0, 0, 0, 0, heap(id3_frame{second, 0, 0, 0, nullptr})}));
    kelid3_tag_free(nullptr), id3_frame_free(nullptr), id3_field_free(nullptr);
    id3_field *kept = field(FIELD_STRING);  // released twice if followed
    LogCapture log;
    for (const uint32_t type : {0xFFFFFFFFu, 4u, 0u}) id3_field_free(field(type, kept));
    std::free(kept);
    EXPECT_EQ(log.lines("id3_field_free"),
              "INFO unsupported field type -1.\nINFO unsupported field type 4.\nINFO unsupported "
              "field type 0.");
}

// One line per call, "[func: line] LEVEL: message", the same bytes whether it
// fits the writer's room on the stack (256 bytes with the newline) or not;
// NUL bytes of the message kept. A failed write gives EOF.
TEST(Log, WritesOneWholeLinePerCall) {
    const std::string name(300, 'f');
    // clang-format off
    // n: message bytes
    const struct { const char *func = "f"; int line = 7; const char *level = "INFO"; size_t n = 9; } rows[] = {
        {.n = 0}, {.n = 242}, {.n = 243}, {.n = 5000}, {.line = 0}, {.line = -1, .level = "WARN"},
        {.line = INT32_MIN, .level = "ERROR"}, {.func = nullptr}, {.level = nullptr},
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
    FILE *saved = std::exchange(stderr, std::fopen("/dev/null", "r"));
    EXPECT_EQ(id3_log("f", 7, "INFO", "x") + id3_log("f", 7, "INFO", "%s", name.c_str()), 2 * EOF);
    std::fclose(std::exchange(stderr, saved));
}

}  // namespace
