// SPDX-License-Identifier: MIT
// The complete reader: every text, URL, comment and lyrics frame on request,
// ID3v2.4 unsynchronisation undone, frames of any size passed over, and where
// the scan stopped; each row's lines are those written to the stream of its
// call (with other threads at work: test_threads.cpp). Expected:
// tests/golden/read_*.
#include "support/records.h"

namespace {

constexpr uint32_t kAll = KELID3_READ_ALL_FRAMES, kUnsync = KELID3_READ_UNSYNC;
constexpr uint32_t kLarge = KELID3_READ_LARGE_FRAMES;

// Frames that only the complete reader decodes; "frame, flags 0": without
// the flag, none of them is decoded.
TEST(Read, AllFramesDecodesEveryTextUrlCommentAndLyricsFrame) {
    const Bytes desc = utf16_bom(u"d") + Bytes{0, 0},
                uslt = Bytes{1} + bytes("eng") + desc + bytes("ab");
    const V2Tag v22 = V2Tag(2).frame("WAR", bytes("w")).frame("COM", bytes("\0engd\0t"s));
    const Case rows[] = {
        {"TDRC", V2Tag(4).text("TDRC", 0, "2024").build()},
        {"a T frame no list names", V2Tag(4).text("TZZZ", 3, "z").build()},
        {"URL", V2Tag(3).frame("WOAR", bytes("http://a\0"s)).build()},
        {"WXXX in UTF-16", V2Tag(3).frame("WXXX", Bytes{1} + desc + bytes("u")).build()},
        {"WXXX without terminator", V2Tag(3).frame("WXXX", bytes("\0d"s)).build()},
        {"COMM", V2Tag(3).frame("COMM", bytes("\3engd\0text"s)).build()},
        {"USLT in UTF-16", V2Tag(4).frame("USLT", uslt).build()},
        {"COMM, only a language", V2Tag(3).frame("COMM", bytes("\0eng"s)).build()},
        {"COMM without terminator", V2Tag(3).frame("COMM", bytes("\0engd"s)).build()},
        {"COMM too short", V2Tag(3).frame("COMM", bytes("\0en"s)).build()},
        {"COMM, encoding 4", V2Tag(3).frame("COMM", bytes("\4eng\0t"s)).build()},
        {"WXXX, encoding 4", V2Tag(3).frame("WXXX", bytes("\4\0u"s)).build()},
        {"ID3v2.2 COM, TYE, WAR", V2Tag(v22).text("TYE", 0, "1999").build()},
        {"PRIV stays undecoded", V2Tag(4).frame("PRIV", bytes("x")).build()},
    };
    expect_rows("read_all_frames", rows, [](const Case &row) {
        Fields all = read_fields({row.name, row.input, kAll});
        all.emplace_back(
            "frame, flags 0",
            frames(kelid3::read(row.input.data(), uint32_t(row.input.size()), {0})->get()));
        return all;
    });
}

// A tag whose first frame, TPE1, ends at byte 22; then the frames of a row;
// then ten bytes of padding, where the header's size makes the scan end.
V2Tag with_p(uint8_t version, uint8_t flags = 0) {
    return V2Tag(version, 0, flags).text("TPE1", 0, "P");
}
Bytes done(V2Tag tag) {
    return tag.padding(10).build();
}

// ID3v2.4 unsynchronisation undone on request (frame flag 0x0002, or every
// frame of a tag with header flag 0x80; the data length indicator skipped),
// frames of size 0 or above 512 KiB passed over, and where the scan stopped,
// in the caller's bytes.
TEST(Read, UndoesUnsynchronisationPassesOverLargeFramesAndSaysWhereItStopped) {
    const Bytes ffe0 = bytes("\0\xFF\0\xE0"s), dli = syncsafe(3), large = fill(0x80001);
    const Bytes group = Bytes{0xE1} + ffe0;
    const V2Tag empty = with_p(4).frame("TIT2", {}).text("TALB", 0, "A");
    const Case rows[] = {
        {"frame flag 0x0002", done(with_p(4).frame("TIT2", ffe0, 2)), kUnsync},
        {"frame flag 0x0002, not undone", done(with_p(4).frame("TIT2", ffe0, 2)), kAll},
        {"0x0002 and a data length", done(with_p(4).frame("TIT2", dli + ffe0, 3)), kUnsync},
        {"tag flag 0x80", done(with_p(4, 0x80).frame("TIT2", ffe0)), kUnsync},
        {"tag flag 0x80, not undone", done(with_p(4, 0x80).frame("TIT2", ffe0)), 0},
        {"compressed", done(with_p(4).frame("TIT2", ffe0, 0x000A)), kUnsync},
        {"group byte: FF 00 kept", done(with_p(4).frame("TIT2", group, 0x40)), kUnsync},
        {"ID3v2.3 flag 0x0002", done(with_p(3).frame("TIT2", ffe0, 2)), kUnsync},
        {"size 0", done(empty), kLarge},
        {"size 0, failing", done(empty), 0},
        {"above 512 KiB", done(with_p(3).frame("APIC", large).text("TALB", 0, "A")), kLarge},
        {"above 512 KiB, the line", done(with_p(4).frame("TIT2", large)), kLarge},
        {"past 4 GiB", done(with_p(3).frame("APIC", fill(4), 0, 0xFFFFFFFF)), kLarge},
        {"padding", with_p(4).padding(20).build()},
        {"a frame it cannot read", done(with_p(3).text("tit2", 0, "x"))},
        {"ID3v1", V1Tag{.genre = 0}.build()},
        {"no tag", fill(20)},
    };
    expect_rows("read_scan", rows, read_fields);
}

// Options: NULL reads as zeroed options (flags 0, no line anywhere); a struct
// too small for its members, or a flag this library does not know, is refused.
TEST(Read, OptionsAreCheckedAndNullMeansDefaults) {
    const Bytes tag = done(with_p(4));
    id3_tag *out = nullptr;
    LogCapture log;
    ASSERT_EQ(kelid3_tag_read(tag.data(), uint32_t(tag.size()), &out, nullptr), 22);
    EXPECT_EQ(frames(out), "TPE1/2 s0'P'");
    kelid3_tag_free(out);
    kelid3_read_options options{};
    options.struct_size = offsetof(kelid3_read_options, skipped_frames) + 3;
    EXPECT_EQ(kelid3_tag_read(tag.data(), uint32_t(tag.size()), &out, &options), KELID3_EINVAL);
    options.struct_size = sizeof options;
    options.flags = KELID3_READ_COMPLETE + 1;
    EXPECT_EQ(kelid3_tag_read(tag.data(), uint32_t(tag.size()), &out, &options), KELID3_EINVAL);
    EXPECT_EQ(log.text(), "");
}

}  // namespace
