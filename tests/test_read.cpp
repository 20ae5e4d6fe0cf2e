// SPDX-License-Identifier: MIT
// The complete reader: every text, URL, comment and lyrics frame on request,
// ID3v2.4 unsynchronisation undone, frames of any size passed over, the lines
// of one call on the stream it names, and where the scan stopped.
#include <thread>

#include "support/records.h"

namespace {

constexpr uint32_t kAll = KELID3_READ_ALL_FRAMES, kUnsync = KELID3_READ_UNSYNC, kLarge = KELID3_READ_LARGE_FRAMES;

// The lines of one call's frame scan but its TRACE lines, "LEVEL message" each.
std::string lines_of(const std::string &text) {
    std::string out, line;
    for (std::istringstream in(text); std::getline(in, line);) {
        const size_t level = line.find("] ") + 2;
        if (line.compare(level, 6, "TRACE:") == 0 || line.find("[id3_parse_v2x_header") == 0) continue;
        const size_t colon = line.find(": ", level);
        out += (out.empty() ? "" : "\n") + line.substr(level, colon - level) + line.substr(colon + 1);
    }
    return out;
}

// kelid3_tag_read of the whole of b with these flags, its lines collected.
struct Read {
    int32_t result;
    std::string frames, lines;
    uint32_t stopped_at, large_frames, skipped_frames;
};
Read read(const Bytes &b, uint32_t flags, const uint32_t *ids = nullptr) {
    FILE *log = std::tmpfile();
    const kelid3::read_result r = kelid3::read(b.data(), uint32_t(b.size()), {flags, ids, log});
    return {r.code(), show(r->get()), lines_of(contents(log)), r.stopped_at(), r.large_frames(), r.skipped_frames()};
}

struct FrameRow {
    const char *name;
    Bytes input;
    std::string frames;       // with KELID3_READ_ALL_FRAMES
    std::string lines;        // but the last, "end of buffer reached"
    std::string plain = "-";  // the frames without the flag
};

// Frames that only the complete reader decodes; without the flag none of
// them is decoded.
TEST(Read, AllFramesDecodesEveryTextUrlCommentAndLyricsFrame) {
    const Bytes utf16_desc = utf16_bom(u"d") + Bytes{0, 0};
    const FrameRow rows[] = {
        {"TDRC", V2Tag(4).text("TDRC", 0, "2024").build(), "TDRC/5 s0'2024'", ""},
        {"a T frame no list names", V2Tag(4).text("TZZZ", 3, "z").build(), "TZZZ/2 s3'z'", ""},
        {"URL", V2Tag(3).frame("WOAR", bytes("http://a\0"s)).build(), "WOAR/9 s0'http://a<00>'", ""},
        {"WXXX in UTF-16", V2Tag(3).frame("WXXX", Bytes{1} + utf16_desc + bytes("u")).build(),
         "WXXX/8 s1'<ff><fe>d<00>' s0'u'", ""},
        {"WXXX without terminator", V2Tag(3).frame("WXXX", bytes("\0d"s)).build(), "WXXX/2 s0'd' s0''", ""},
        {"COMM", V2Tag(3).frame("COMM", bytes("\3engd\0text"s)).build(), "COMM/10 s0'eng' s3'd' s3'text'", ""},
        {"USLT in UTF-16", V2Tag(4).frame("USLT", Bytes{1} + bytes("eng") + utf16_desc + bytes("ab")).build(),
         "USLT/12 s0'eng' s1'<ff><fe>d<00>' s1'ab'", ""},
        {"COMM, only a language", V2Tag(3).frame("COMM", bytes("\0eng"s)).build(), "COMM/4 s0'eng' s0'' s0''", ""},
        {"COMM without terminator", V2Tag(3).frame("COMM", bytes("\0engd"s)).build(), "COMM/5 s0'eng' s0'd' s0''", ""},
        {"COMM too short", V2Tag(3).frame("COMM", bytes("\0en"s)).build(), "-",
         "INFO unable to parse v2 frame: id=434f4d4d, COMM. Skipping it."},
        {"COMM, encoding 4", V2Tag(3).frame("COMM", bytes("\4eng\0t"s)).build(), "-",
         "INFO Illegal text encoding: 04\nINFO unable to parse v2 frame: id=434f4d4d, COMM. Skipping it."},
        {"WXXX, encoding 4", V2Tag(3).frame("WXXX", bytes("\4\0u"s)).build(), "-",
         "INFO Illegal text encoding: 04\nINFO unable to parse v2 frame: id=57585858, WXXX. Skipping it."},
        {"ID3v2.2 COM, TYE, WAR",
         V2Tag(2).frame("WAR", bytes("w")).frame("COM", bytes("\0engd\0t"s)).text("TYE", 0, "1999").build(),
         "TYER/5 s0'1999' | COMM/7 s0'eng' s0'd' s0't' | WOAR/1 s0'w'", "", "TYER/5 s0'1999'"},
        {"PRIV stays undecoded", V2Tag(4).frame("PRIV", bytes("x")).build(), "-",
         "INFO unable to parse v2 frame: id=50524956, PRIV. Skipping it."},
    };
    for (const FrameRow &row : rows) {
        SCOPED_TRACE(row.name);
        const Read all = read(row.input, kAll);
        EXPECT_EQ(all.frames, row.frames);
        EXPECT_EQ(all.lines, row.lines + (row.lines.empty() ? "" : "\n") + "INFO end of buffer reached");
        EXPECT_EQ(read(row.input, 0).frames, row.plain);
    }
}

struct ScanRow {
    const char *name;
    Bytes input;
    uint32_t flags;
    int32_t result;
    std::string frames;
    uint32_t stopped_at, large, skipped;
};

// A tag whose first frame, TPE1, ends at byte 22; then the frames of a row;
// then ten bytes of padding, where the header's size makes the scan end.
V2Tag with_p(uint8_t version, uint8_t flags = 0) { return V2Tag(version, 0, flags).text("TPE1", 0, "P"); }
Bytes done(V2Tag tag) { return tag.padding(10).build(); }
const std::string kP = "TPE1/2 s0'P'";

// ID3v2.4 unsynchronisation undone on request (frame flag 0x0002, or every
// frame of a tag with header flag 0x80; the data length indicator skipped),
// frames of size 0 or above 512 KiB passed over, and where the scan stopped,
// in the caller's bytes.
TEST(Read, UndoesUnsynchronisationPassesOverLargeFramesAndSaysWhereItStopped) {
    const Bytes unsynced = bytes("\0\xFF\0\xE0"s), dli = syncsafe(3);
    const std::string ffe0 = " s0'<ff><e0>' | " + kP;
    const ScanRow rows[] = {
        {"frame flag 0x0002", done(with_p(4).frame("TIT2", unsynced, 2)), kUnsync, 36, "TIT2/4/f0002" + ffe0, 36, 0, 0},
        {"frame flag 0x0002, not undone", done(with_p(4).frame("TIT2", unsynced, 2)), kAll, 36, kP, 36, 0, 1},
        {"0x0002 and a data length", done(with_p(4).frame("TIT2", dli + unsynced, 3)), kUnsync, 40,
         "TIT2/8/f0003" + ffe0, 40, 0, 0},
        {"tag flag 0x80", done(with_p(4, 0x80).frame("TIT2", unsynced)), kUnsync, 36, "TIT2/4" + ffe0, 36, 0, 0},
        {"tag flag 0x80, not undone", done(with_p(4, 0x80).frame("TIT2", unsynced)), 0, 36, kP, 36, 0, 1},
        {"compressed", done(with_p(4).frame("TIT2", unsynced, 0x000A)), kUnsync, 36, kP, 36, 0, 1},
        {"ID3v2.3 flag 0x0002", done(with_p(3).frame("TIT2", unsynced, 2)), kUnsync, 36, kP, 36, 0, 1},
        {"size 0", done(with_p(4).frame("TIT2", {}).text("TALB", 0, "A")), kLarge, 44, "TALB/2 s0'A' | " + kP, 44, 1,
         0},
        {"size 0, failing", done(with_p(4).frame("TIT2", {}).text("TALB", 0, "A")), 0, -34, "-", 22, 0, 0},
        {"above 512 KiB", done(with_p(3).frame("APIC", fill(0x80001)).text("TALB", 0, "A")), kLarge, 524333,
         "TALB/2 s0'A' | " + kP, 524333, 1, 0},
        {"past 4 GiB", done(with_p(3).frame("APIC", fill(4), 0, 0xFFFFFFFF)), kLarge, 36, kP, 22, 0, 0},
        {"padding", with_p(4).padding(20).build(), 0, 32, kP, 22, 0, 0},
        {"a frame it cannot read", done(with_p(3).text("tit2", 0, "x")), 0, 34, kP, 22, 0, 0},
        {"ID3v1", V1Tag{.genre = 0}.build(), 0, 128,
         "TCON/5 u0 s0'Blues' | COMM/30 s0'<00>*30' | TDRC/4 "
         "s0'<00>*4' | TALB/30 s0'<00>*30' | TPE1/30 s0'<00>*30' | TIT2/30 s0'<00>*30'",
         128, 0, 0},
        {"no tag", fill(20), 0, KELID3_ENOTAG, "-", 0, 0, 0},
    };
    for (const ScanRow &row : rows) {
        SCOPED_TRACE(row.name);
        const Read r = read(row.input, row.flags);
        EXPECT_EQ(r.result, row.result);
        EXPECT_EQ(r.frames, row.frames);
        EXPECT_EQ(r.stopped_at, row.stopped_at);
        EXPECT_EQ(r.large_frames, row.large);
        EXPECT_EQ(r.skipped_frames, row.skipped);
    }
    EXPECT_EQ(read(done(with_p(4).frame("TIT2", fill(0x80001))), kLarge).lines,
              "INFO passing over frame of size 524289: 54495432 TIT2\n"
              "INFO scanned tag completedly: size 524321 (excluding header)");
}

// Options: NULL reads as zeroed options (flags 0, no line anywhere); a struct
// too small for its members, or a flag this library does not know, is refused.
TEST(Read, OptionsAreCheckedAndNullMeansDefaults) {
    const Bytes tag = done(with_p(4));
    id3_tag *out = nullptr;
    LogCapture log;
    ASSERT_EQ(kelid3_tag_read(tag.data(), uint32_t(tag.size()), &out, nullptr), 22);
    EXPECT_EQ(show(out), kP);
    kelid3_tag_free(out);
    kelid3_read_options options{};
    options.struct_size = offsetof(kelid3_read_options, skipped_frames) + 3;
    EXPECT_EQ(kelid3_tag_read(tag.data(), uint32_t(tag.size()), &out, &options), KELID3_EINVAL);
    options.struct_size = sizeof options;
    options.flags = KELID3_READ_COMPLETE + 1;
    EXPECT_EQ(kelid3_tag_read(tag.data(), uint32_t(tag.size()), &out, &options), KELID3_EINVAL);
    EXPECT_EQ(log.text(), "");
}

// Each call's lines go whole to its own stream, whatever other threads do,
// and are the lines kelid3_tag_parse writes to stderr.
TEST(Read, LinesGoToTheStreamOfTheirCallOnly) {
    const Bytes tag = done(with_p(4).text("TIT2", 0, "T"));
    std::string one;
    {
        LogCapture parse_lines;
        kelid3::parse(tag.data(), uint32_t(tag.size()));
        one = parse_lines.text();
    }
    LogCapture stderr_lines;
    std::string got[4], fifty;
    std::thread threads[4];
    for (int i = 0; i < 4; ++i) {
        threads[i] = std::thread([&, i] {
            FILE *f = std::tmpfile();
            for (int round = 0; round < 50; ++round) kelid3::read(tag.data(), uint32_t(tag.size()), {0, nullptr, f});
            got[i] = contents(f);
        });
    }
    for (int round = 0; round < 50; ++round) fifty += one;
    for (int i = 0; i < 4; ++i) {
        threads[i].join();
        EXPECT_EQ(got[i], fifty);
    }
    EXPECT_EQ(stderr_lines.text(), "");
}

}  // namespace
