// SPDX-License-Identifier: MIT
// The ID3v2 tag header and the frame scan of every version through their
// exported steps: where the scan stops, what it passes over, what fails it.
// Expected outputs: tests/golden/v2_header and tests/golden/v2_scan_*.
#include <unistd.h>

#include "support/records.h"

namespace {

Bytes header(uint8_t major, uint8_t flags, const Bytes &rest) {
    return bytes("ID3") + Bytes{major, 0, flags} + rest;
}
Bytes extended(uint8_t major, const Bytes &rest) {
    return V2Tag(major, 0, 0x40).raw(rest).text("TIT2", 0, "T").build();
}

// The result; the record's members (version, flags, size, header_size; -1:
// not written); the lines; kelid3_tag_parse's result and frames. A header
// that the match takes and the reader refuses (0) fails a parse with -9.
TEST(V2Header, StoresItsMembersAndReturnsTheOffsetOfTheFirstFrame) {
    const Bytes six = Bytes{0, 0, 0, 6} + fill(6);
    const Case rows[] = {
        {"ID3v2.2, any flags", header(2, 0xAF, {1, 2, 3, 4})},
        {"footer and extended header", header(4, 0x50, {0, 0, 2, 1, 0x80, 0x80, 0x81, 0xFF})},
        {"extended header cut off", header(3, 0x40, {0, 0, 2, 1, 0, 0, 0})},
        {"revision 1", bytes("ID3\3\1\0\0\0\2\1"s)},
        {"version 5", header(5, 0, {0, 0, 2, 1})},
        {"size not syncsafe", header(3, 0x10, {1, 2, 0x80, 4})},
        {"ID3v2.3 extended header", extended(3, six)},
        {"ID3v2.3 extended header, top bits", extended(3, Bytes{0, 0, 0x81, 0x80} + fill(10))},
        {"ID3v2.3 extended header past 2 GiB", extended(3, fill(4, 0xFF) + fill(6))},
        {"ID3v2.4 extended header", extended(4, six)},
    };
    expect_rows("v2_header", rows, [](const Case &row) {
        id3_tag t{0, 0, 0xFFFFFFFF, 0xFFFFFFFF, nullptr};
        LogCapture log;
        const int rc = id3_parse_v2x_header(row.input.data(), uint32_t(row.input.size()), &t);
        const Parsed p = parse(row.input);
        return Fields{
            {"result", std::to_string(rc)},
            {"record", format("%x %x %d %d", t.version, t.flags, int(t.size), int(t.header_size))},
            {"line", log.lines("id3_parse_v2x_header")},
            {"parse", std::to_string(p.rc)},
            {"frame", frames(p.tag.get())}};
    });
}

TEST(V2Header, MatchNeedsID3AVersionAndASyncsafeSize) {
    const Bytes good = bytes("ID3\xFE\xFE\xFF") + fill(4, 0x7F);
    EXPECT_EQ(id3_match_v2x(good.data(), 0), 1);
    for (const size_t at : {0u, 1u, 2u, 3u, 4u, 6u, 7u, 8u, 9u}) {
        Bytes b = good;
        b[at] = uint8_t(at < 3 ? 'x' : at < 5 ? 0xFF : 0x80);
        EXPECT_EQ(id3_match_v2x(b.data(), 10), 0) << "byte " << at;
    }
}

// Reads the header of a whole tag, then scans the frames behind it as
// kelid3_tag_parse does: the result, the frames, the lines of the scan (TRACE
// lines when `trace`). A failure fails the parse too, which releases what the
// scan linked.
Fields scan(const Case &row, bool trace) {
    const Bytes &tag = row.input;
    const kelid3::tag record(static_cast<id3_tag *>(std::calloc(1, sizeof(id3_tag))));
    const auto n = uint32_t(
        (LogCapture(), id3_parse_v2x_header(tag.data(), uint32_t(tag.size()), record.get())));
    LogCapture log;
    const int32_t rc = id3_parse_v2x_body(tag.data() + n, uint32_t(tag.size() - n), record.get(),
                                          row.ids.empty() ? nullptr : row.ids.data());
    const std::string lines = log.lines("id3_parse_v2x_body", trace);
    if (rc < 0) {
        const Parsed p = parse(tag);
        EXPECT_EQ(p.rc, rc);
        EXPECT_TRUE(p.lines.ends_with(format("unable to parse v2 frames: %d", rc))) << p.lines;
    }
    return outcome(rc, record.get(), lines);
}
Fields scan(const Case &row) {
    return scan(row, false);
}

// A tag whose header claims more bytes than there are; a frame of 12 bytes.
Bytes open(V2Tag tag) {
    return tag.size(99).build();
}
V2Tag t12() {
    return V2Tag(3).text("TIT2", 0, "T");
}

// A frame header is read only where ten bytes are left, for every version.
TEST(V2Scan, StopsAtTheEndOfTheTagOrOfTheBuffer) {
    const Case rows[] = {
        {"padding", t12().padding(10).build()},
        {"nine bytes left", open(t12().padding(9))},
        {"ten bytes left", open(t12().padding(10))},
        {"ID3v2.2, seven bytes left", open(V2Tag(2).text("TT2", 0, "ab").text("TT1", 0, ""))},
        {"tag ends inside a frame", t12().text("TPE1", 0, "P").size(21).build()},
        {"tag of ten bytes", t12().size(10).build()},
        {"tag of nine bytes", t12().size(9).build()},
        {"frame ends at the buffer end", open(t12().text("TPE1", 0, "P"))},
        {"frame ends a byte past the buffer end", open(t12().frame("TPE1", {0, 'P'}, 0, 3))},
    };
    alarm(60);  // a position that wraps back to a frame would scan for ever
    expect_rows("v2_scan_ends", rows, [](const Case &row) { return scan(row); });
    alarm(0);
}

// ID3v2.3 sizes are plain numbers; ID3v2.4 sizes syncsafe, but one with a
// byte of 0x80 or more cannot be: its writer wrote a plain number, which every
// later check applies to.
TEST(V2Scan, ReadsSizesPlainOrSyncsafeAndFailsAtZeroOrAbove512KiB) {
    const auto plain = [](const Bytes &size, const Bytes &content) {
        const Bytes talb = bytes("TALB") + size + Bytes{0, 0} + content;
        return V2Tag(4).raw(talb).text("TPE1", 0, "P").size(999).build();
    };
    const Case rows[] = {
        {"size 0", t12().frame("TPE1", {}).padding(20).build()},
        {"size 512 KiB", t12().frame("TPE1", fill(0x80000)).build()},
        {"size 512 KiB + 1", t12().frame("TPE1", fill(0x80001)).build()},
        {"frame ends at 4 GiB - 1", open(t12().frame("TPE1", {0}, 0, 0xFFFFFFE9))},
        {"frame ends at 4 GiB", open(t12().frame("TPE1", {0}, 0, 0xFFFFFFEA))},
        {"ID3v2.3 size of 200", V2Tag(3).text("TIT2", 0, std::string(199, 'a')).build()},
        {"ID3v2.4 plain size 32897", V2Tag(4).raw(bytes("TIT2\0\0\x80\x81\0\0\0"s)).build()},
        {"ID3v2.4 plain size 128", plain({0, 0, 0, 0x80}, Bytes{0} + fill(127, 'a'))},
        {"ID3v2.4 plain size 129, past the buffer", plain({0, 0, 0, 0x81}, fill(100))},
        {"ID3v2.4 plain size above 512 KiB", plain({0, 8, 0, 0x80}, fill(0x80080))},
    };
    expect_rows("v2_scan_sizes", rows, [](const Case &row) { return scan(row); });
}

// Frames passed over for their flags may end at the buffer end, not past it.
TEST(V2Scan, FramesNotDecodedArePassedOverWithinTheBuffer) {
    const V2Tag texts = V2Tag(3).text("TALB", 4, "x").text("XYZW", 0, "").text("TDRC", 0, "1");
    const Case rows[] = {
        {"unsynchronised, to the buffer end", open(V2Tag(3).frame("TIT2", {0, 'T'}, 2))},
        {"encrypted, past the buffer end", open(V2Tag(3).frame("TIT2", {0, 'T'}, 4, 3))},
        {"compressed, past 4 GiB", open(V2Tag(3).frame("TIT2", {0}, 0x80, 0xFFFFFFF6))},
        {"encoding 4, unknown, not decoded", V2Tag(texts).text("TPE1", 0, "P").build()},
    };
    expect_rows("v2_scan_passed_over", rows, [](const Case &row) { return scan(row); });
}

// Each bit in turn, and all five, but those of prefixes (ID3v2.3 0x0020,
// ID3v2.4 0x0040 and 0x0001): ID3v2.3 keeps compression and encryption in
// bits 0x0080 and 0x0040 as well.
TEST(V2Scan, FramesFlaggedCompressedEncryptedOrUnsynchronisedArePassedOver) {
    std::vector<Case> rows;
    for (const uint8_t v : {uint8_t{3}, uint8_t{4}}) {
        for (int bit = 0; bit < 18; ++bit) {
            const auto flags = uint16_t(bit < 16 ? 1 << bit : bit == 16 ? 0xCE : 0xC2);
            if (flags == (v == 3 ? 0x20 : 0x40) || (v == 4 && flags == 1)) continue;
            const V2Tag tag = V2Tag(v).frame("TIT2", {0, 'T'}, flags).text("TPE1", 0, "P");
            rows.push_back({format("ID3v2.%d flags %04x", v, flags), tag.build()});
        }
    }
    expect_rows("v2_scan_flags", rows, [](const Case &row) { return scan(row); });
}

// ID3v2.0 and 2.1 frames have the ID3v2.2 layout.
TEST(V2Scan, TranslatesID3v22IdentifiersInEveryEarlierVersion) {
    const auto tt2_tp1 = [](V2Tag tag) { return tag.text("TT2", 0, "T").text("TP1", 0, "P"); };
    const V2Tag v21 = V2Tag(1).text("TIM", 0, "1").text("CRM", 0, "x").text("TCR", 0, "c");
    const Case rows[] = {
        {"ID3v2.0", open(tt2_tp1(V2Tag(0)).text("TP3", 0, "3").padding(2))},
        {"ID3v2.1", open(tt2_tp1(v21).padding(3))},
    };
    expect_rows("v2_scan_translated", rows, [](const Case &row) { return scan(row); });
}

// 'A' to 'Z' and '0' to '9' only; the first bad character from the last is
// named, signed; a byte outside printable ASCII but zero as \xNN.
TEST(V2Scan, StopsAtAnIllegalIdentifierNamingItsBadCharacter) {
    const auto named = [](uint8_t v, const std::string &id) {
        return open(V2Tag(v).text(id, 0, "xyz"));
    };
    const Case rows[] = {
        {"09AZ", named(4, "09AZ")},
        {"'/' below '0'", named(4, "/9AZ")},
        {"':' above '9'", named(4, "0:AZ")},
        {"'@' below 'A'", named(4, "09@Z")},
        {"'[' above 'Z'", named(3, "09A[")},
        {"lower case first", named(3, "bA9Z")},
        {"lower case first, 'Z' before 'A'", named(3, "c0ZA")},
        {"two lower case", named(3, "aIb2")},
        {"ID3v2.2, lower case", named(2, "aT2")},
        {"byte 0x80", named(3, "\x80IT2")},
        {"byte 0xE9", named(3, "TIT\xE9")},
        {"escape sequence", named(3, "\x1b[2J")},
        {"space, tilde, 0x7F, 0x80", named(3, " ~\x7f\x80")},
        {"0x1F, 0xFF, a letter, zero", named(3, "\x1f\xff\x61\0"s)},
    };
    expect_rows("v2_scan_identifiers", rows, [](const Case &row) { return scan(row); });
}

// A tag unsynchronised as a whole (header flag 0x80) passes over the frames
// whose content holds the pair FF 00.
TEST(V2Scan, PassesOverUnsynchronisedFramesOfAnUnsynchronisedID3v24Tag) {
    const auto ff00 = [](uint8_t flags) {
        const V2Tag tag = V2Tag(4, 0, flags).text("TIT2", 1, "\xFF\0\xFE\x41\0"s);
        return open(V2Tag(tag).text("TPE1", 0, "P\xFF").padding(1));
    };
    V2Tag apic = V2Tag(4, 0, 0x80).frame("APIC", {0xFF, 0, 3, 0, 0xAA});
    const Case rows[] = {
        {"tag flag 0x80", ff00(0x80)},
        {"tag flags 0xA0", ff00(0xA0)},
        {"tag flags 0x2F", ff00(0x2F)},
        {"the pair inside a frame only", open(apic.text("TIT2", 1, "\xFF\xFE\x41\0"s).padding(1))},
    };
    expect_rows("v2_scan_unsync", rows, [](const Case &row) { return scan(row); });
}

// With TRACE lines. A frame passed over for whole-tag unsynchronisation is
// passed over before the selection and the frame's trace line.
TEST(V2Scan, SelectionListDecodesTheListedTranslatedIdentifiersOnly) {
    const V2Tag v4 = V2Tag(4).text("TIT2", 0, "T").text("TALB", 0, "A").text("TPE1", 0, "P");
    const V2Tag ff00 = V2Tag(4, 0, 0x80).text("TIT2", 1, "\xFF\0"s).text("TPE1", 0, "P");
    const V2Tag flagged = V2Tag(3).frame("TIT2", bytes("\0sixteen bytes..."s), 0x4000);
    const Bytes v22 = open(V2Tag(2).text("TT2", 0, "T").padding(2));
    const uint32_t tit2 = id("TIT2"), tpe1 = id("TPE1");
    const Case rows[] = {
        {"TIT2, 0, TPE1", open(V2Tag(flagged).text("TPE1", 0, "P")), 0, {tit2, 0, tpe1}},
        {"TPE1", ff00.build(), 0, {tpe1, 0}},
        {"TALB, TPE1", V2Tag(v4).text("TALB", 0, "B").build(), 0, {id("TALB"), tpe1, 0}},
        {"none", v4.build(), 0, {0}},
        {"ID3v2.2, TIT2", v22, 0, {tit2, 0}},
        {"ID3v2.2, TT2", v22, 0, {id("TT2"), 0}},
    };
    expect_rows("v2_scan_selection", rows, [](const Case &row) { return scan(row, true); });
}

TEST(V2Scan, UnsupportedVersionInTheRecordIsMalformed) {
    id3_tag record{0x00020500, 0, 999, 10, nullptr};
    LogCapture log;
    EXPECT_EQ(id3_parse_v2x_body("TIT2\0\0\0\2\0\0\0T", 12, &record, nullptr), KELID3_EBADTAG);
    EXPECT_EQ(id3_parse_v2x_body("TIT2\0\0\0\2\0", 9, &record, nullptr), 0);  // found out later
    EXPECT_EQ(log.lines("id3_parse_v2x_body", false),
              "ERROR unsupported ID3-Version 2.5.0. Unable to parse frame-size.\n"
              "INFO end of buffer reached");
}

}  // namespace
