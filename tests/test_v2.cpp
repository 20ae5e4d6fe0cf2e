// SPDX-License-Identifier: MIT
// The ID3v2 reader through its exported steps: the tag header, the frame scan
// of every version with the ID3v2.2 identifiers translated, and the frame
// decoder, reached through tags of one frame.
#include <unistd.h>

#include <map>

#include "support/records.h"

namespace {

const auto header = [](uint8_t major, uint8_t flags, const Bytes &rest) {
    return bytes("ID3") + Bytes{major, 0, flags} + rest;
};

// Out: the result; version, flags, size and header_size then (-1: not
// written); the lines. A header that the match takes and the reader refuses
// (0) fails a parse with -9. The match does not look at the flags byte.
TEST(V2Header, StoresItsMembersAndReturnsTheOffsetOfTheFirstFrame) {
    const std::string found = "\nINFO found tag: version 2.3.0, size: 257",
                      refused = "\nINFO unsupported id3v2 version found: 0x00020";
    const Row rows[] = {
        // clang-format off
        {.in = header(2, 0xAF, {1, 2, 3, 4}), .out = "10 20200 af 2130308 10\n"
         "INFO found tag: version 2.2.0, size: 2130308\nTRACE parsed v2x header: 10 bytes"},
        // a footer adds 10 to the size; the extended header's length drops its top bits
        {.in = header(4, 0x50, {0, 0, 2, 1, 0x80, 0x80, 0x81, 0xFF}), .out = "265 20400 50 267 10\nINFO found tag: "
         "version 2.4.0, size: 257\nINFO found extended header. Length: 255\nTRACE parsed v2x header: 265 bytes"},
        {.in = header(3, 0x40, {0, 0, 2, 1, 0, 0, 0}), .out = "0 20300 40 257 10" + found},
        {.in = bytes("ID3\3\1\0\0\0\2\1"s), .out = "0 20301 0 257 -1" + refused + "301. Tag ignored."},
        {.in = header(5, 0, {0, 0, 2, 1}), .out = "0 20500 0 257 -1" + refused + "500. Tag ignored."},
        {.in = header(3, 0x10, {1, 2, 0x80, 4}),
         .out = "0 20300 10 -1 -1\nWARN tag size not syncsafe. Assume bad input 0x04800201 Stop here."},
        // clang-format on
    };
    for (const Row &row : rows) {
        id3_tag t{0, 0, 0xFFFFFFFF, 0xFFFFFFFF, nullptr};
        LogCapture log;
        const int rc = id3_parse_v2x_header(row.in.data(), uint32_t(row.in.size()), &t);
        EXPECT_EQ(format("%d %x %x %d %d\n", rc, t.version, t.flags, int(t.size), int(t.header_size)) +
                      log.lines("id3_parse_v2x_header"),
                  row.out);
        EXPECT_TRUE(rc || !id3_match_v2x(row.in.data(), 10) || parse(row.in).rc == KELID3_EBADTAG);
    }
    const Bytes good = bytes("ID3\xFE\xFE\xFF") + fill(4, 0x7F);
    EXPECT_EQ(id3_match_v2x(good.data(), 0), 1);
    for (const size_t at : {0u, 1u, 2u, 3u, 4u, 6u, 7u, 8u, 9u}) {
        Bytes b = good;
        b[at] = uint8_t(at < 3 ? 'x' : at < 5 ? 0xFF : 0x80);
        EXPECT_EQ(id3_match_v2x(b.data(), 10), 0) << "byte " << at;
    }
}

// Reads the header of a whole tag, then scans the frames behind it as
// kelid3_tag_parse does. Out: the result, the frames, the lines as
// LogCapture::lines gives them.
std::string scan(const Bytes &tag, const std::vector<uint32_t> &ids = {}, bool trace = false,
                 const char *own = "id3_parse_v2x_body", bool others = true) {
    const kelid3::tag record(static_cast<id3_tag *>(std::calloc(1, sizeof(id3_tag))));
    const auto n = uint32_t((LogCapture(), id3_parse_v2x_header(tag.data(), uint32_t(tag.size()), record.get())));
    LogCapture log;
    const int32_t rc =
        id3_parse_v2x_body(tag.data() + n, uint32_t(tag.size() - n), record.get(), ids.empty() ? nullptr : ids.data());
    const std::string lines = log.lines(own, trace, others);
    return std::to_string(rc) + " " + show(record.get()) + (lines.empty() ? "" : "\n" + lines);
}

// A tag whose header claims more bytes than there are; a frame of 12 bytes.
const auto open = [](V2Tag tag) { return tag.size(99).build(); };
const auto t12 = [] { return V2Tag(3).text("TIT2", 0, "T"); };
const std::string kEnd = "\nINFO end of buffer reached";

std::string bad_id(const std::string &chars, int version, int x, int pos, int len) {
    std::string shown;  // as the line prints them: a byte outside printable ASCII (but 0) as \xNN
    for (const char c : chars)
        shown += c == 0 || (c >= 0x20 && c < 0x7F) ? std::string(1, c) : format("\\x%02x", uint8_t(c));
    return format(
               "\nis_valid_frame_identifier: INFO illegal frame identifier: 0x%08x, tag version "
               "0x0002%02x00, x 0x%02x\nWARN illegal frame identifier '",
               id(chars), version, x) +
           std::string(4 - chars.size(), '\0') + shown + format("' Stop at %d/%d.", pos, len);
}
// The scan's lines for a frame not decoded, and for one passed over.
std::string skip(const std::string &id) {
    return format("\nINFO unable to parse v2 frame: id=%08x, ", ::id(id)) + id + ". Skipping it.";
}
std::string skipping(const std::string &words, uint32_t size, uint32_t flags, const char *id = "TIT2") {
    return format("\nINFO skipping %s frame: %08x %s %u bytes, flags: %08x", words.c_str(), ::id(id), id, size, flags);
}

// A fatal condition also fails the parse, which releases what the scan linked.
// A tag unsynchronised as a whole (header flag 0x80) passes over the frames
// whose content holds the pair FF 00.
TEST(V2Scan, StopsPassesOverAndFailsAtEachBoundary) {
    const std::string tit2 = " TIT2/2 s0'T'", both = " TPE1/2 s0'P' | TIT2/2 s0'T'",
                      beyond = "\nINFO frame beyond buffer end: 54504531 TPE1",
                      bad = "\nERROR Malformed tag ??? (or bug?) inbuf: ",
                      unknown = "\nid3_parse_v2_frame: INFO Unknown frame: ";
    const auto ff00 = [](uint8_t v, uint8_t flags) {
        return V2Tag(v, 0, flags).text("TIT2", 1, "\xFF\0\xFE\x41\0"s).text("TPE1", 0, "P\xFF");
    };
    const auto named = [](uint8_t v, const char *id) { return open(V2Tag(v).text(id, 0, "xyz")); };
    alarm(60);  // a position that wraps back to a frame would scan for ever
    const Row rows[] = {
        // clang-format off
        {.in = t12().padding(10).build(), .out = "12" + tit2 + "\nINFO scanned tag completedly: size 22 (excluding header)"},
        // a frame header is read only where ten bytes are left, for every version
        {.in = open(t12().padding(9)), .out = "12" + tit2 + kEnd},
        {.in = open(t12().padding(10)), .out = "12" + tit2 + bad_id("", 3, 0, 12, 22)},
        {.in = open(V2Tag(2).text("TT2", 0, "ab").text("TT1", 0, "")), .out = "9 TIT2/3 s0'ab'" + kEnd},
        // the end the header's size sets: ten bytes short of it, one byte past it, none below ten
        {.in = t12().text("TPE1", 0, "P").size(21).build(), .out = "24" + both + "\nINFO scanned beyond tag. "
         "Malformed input ??? (or bug?) size: 21 inbuf: 12/24 (0xc/0x18)" + kEnd},
        {.in = t12().size(10).build(), .out = "0 -\nINFO scanned tag completedly: size 10 (excluding header)"},
        {.in = t12().size(9).build(), .out = "12" + tit2 + kEnd},
        // frames ending at the buffer end and one byte past it
        {.in = open(t12().text("TPE1", 0, "P")), .out = "24" + both + kEnd},
        {.in = open(t12().frame("TPE1", {0, 'P'}, 0, 3)), .out = "12" + tit2 + beyond},
        // sizes 0, 0x80000 and 0x80001; frame ends at 4 GiB - 1 and at 4 GiB
        {.in = t12().frame("TPE1", {}).padding(20).build(), .out = "-34" + tit2 + "\nERROR frame size: 0. Stop here."},
        {.in = t12().frame("TPE1", fill(0x80000)).build(), .out = "524310 TPE1/524288 s0'<00>*524287' |" + tit2 + kEnd},
        {.in = t12().frame("TPE1", fill(0x80001)).build(), .out = "-34" + tit2 + "\nERROR frame size: 524289. Stop here."},
        {.in = open(t12().frame("TPE1", {0}, 0, 0xFFFFFFE9)), .out = "12" + tit2 + beyond},
        {.in = open(t12().frame("TPE1", {0}, 0, 0xFFFFFFEA)), .out = "-34" + tit2 + "\nERROR frame size: 4294967274. Stop here."},
        // frames passed over for their flags may end at the buffer end, not past it
        {.in = open(V2Tag(3).frame("TIT2", {0, 'T'}, 2)), .out = "12 -" + skipping("unsync'd", 2, 2) + kEnd},
        {.in = open(V2Tag(3).frame("TIT2", {0, 'T'}, 4, 3)), .out = "-9 -" + skipping("encrypted,", 3, 4) + bad + "13/12"},
        {.in = open(V2Tag(3).frame("TIT2", {0}, 0x80, 0xFFFFFFF6)),
         .out = "-9 -" + skipping("compressed,", 0xFFFFFFF6, 0x80) + bad + "-1/11"},
        {.in = V2Tag(3).text("TALB", 4, "x").text("XYZW", 0, "").text("TDRC", 0, "1").text("TPE1", 0, "P").build(),
         .out = "47 TPE1/2 s0'P'\nid3_parse_v2_frame: INFO Illegal text encoding: 04" + skip("TALB") + unknown +
         "58595a57, XYZW" + skip("XYZW") + skip("TDRC") + kEnd},
        // ID3v2.4 sizes are syncsafe (one that is not is reported and read plain), ID3v2.3 sizes are not
        {.in = V2Tag(4).raw(bytes("TIT2") + Bytes{0, 0, 0x80, 0x81, 0, 0, 0}).build(), .out = "0 -\nWARN illegal "
         "size: 0x81800000. Not syncsafe as it should be.\nINFO frame beyond buffer end: 54495432 TIT2"},
        {.in = V2Tag(3).text("TIT2", 0, std::string(199, 'a')).build(), .out = "210 TIT2/200 s0'a*199'" + kEnd},
        // ID3v2.0 and 2.1 frames have the ID3v2.2 layout; identifiers are translated
        {.in = open(V2Tag(0).text("TT2", 0, "T").text("TP1", 0, "P").text("TP3", 0, "3").padding(2)),
         .out = "24 TPE3/2 s0'3' |" + both + kEnd},
        {.in = open(V2Tag(1).text("TIM", 0, "1").text("CRM", 0, "x").text("TCR", 0, "c").text("TT2", 0, "T")
                        .text("TP1", 0, "P").padding(3)),
         .out = "40" + both + unknown + "54494d45, TIME" + skip("TIME") + unknown + "0043524d, \0CRM"s +
         skip("\0CRM"s) + skip("TCOP") + kEnd},
        // identifiers: 'A' to 'Z' and '0' to '9' only; the first bad character from the last is named, signed
        {.in = named(4, "09AZ"), .out = "14 -" + unknown + "3039415a, 09AZ" + skip("09AZ") + kEnd},
        {.in = named(4, "/9AZ"), .out = "0 -" + bad_id("/9AZ", 4, '/', 0, 14)}, {.in = named(4, "0:AZ"), .out = "0 -" + bad_id("0:AZ", 4, ':', 0, 14)},
        {.in = named(4, "09@Z"), .out = "0 -" + bad_id("09@Z", 4, '@', 0, 14)}, {.in = named(3, "09A["), .out = "0 -" + bad_id("09A[", 3, '[', 0, 14)},
        {.in = named(3, "bA9Z"), .out = "0 -" + bad_id("bA9Z", 3, 'b', 0, 14)}, {.in = named(3, "c0ZA"), .out = "0 -" + bad_id("c0ZA", 3, 'c', 0, 14)},
        {.in = named(3, "aIb2"), .out = "0 -" + bad_id("aIb2", 3, 'b', 0, 14)}, {.in = named(2, "aT2"), .out = "0 -" + bad_id("aT2", 2, 'a', 0, 10)},
        {.in = named(3, "\x80IT2"), .out = "0 -" + bad_id("\x80IT2", 3, -128, 0, 14)},
        {.in = named(3, "TIT\xE9"), .out = "0 -" + bad_id("TIT\xE9", 3, -23, 0, 14)},
        // ID3v2.4 whole-tag unsynchronisation: the pair must lie inside the content
        {.in = open(ff00(4, 0x80).padding(1)), .out = "29 TPE1/3 s0'P<ff>'" + skipping("unsync'd", 6, 0) + kEnd},
        {.in = open(ff00(4, 0xA0).padding(1)), .out = "29 TPE1/3 s0'P<ff>'" + skipping("unsync'd", 6, 0) + kEnd},
        {.in = open(ff00(4, 0x2F).padding(1)), .out = "29 TPE1/3 s0'P<ff>' | TIT2/6 s1'<ff><00><fe>A<00>'" + kEnd},
        {.in = open(V2Tag(4, 0, 0x80).frame("APIC", {0xFF, 0, 3, 0, 0xAA}).text("TIT2", 1, "\xFF\xFE" "A\0"s).padding(1)),
         .out = "30 TIT2/5 s1'<ff><fe>A<00>'" + skipping("unsync'd", 5, 0, "APIC") + kEnd},
        // clang-format on
    };
    for (const Row &row : rows) {
        EXPECT_EQ(scan(row.in), row.out);
        const Parsed p = parse(row.in);
        EXPECT_TRUE(row.out[0] != '-' || (row.out.starts_with(std::to_string(p.rc) + " ") &&
                                          p.log.ends_with(format("unable to parse v2 frames: %d", p.rc))));
    }
    alarm(0);
}

// Each bit in turn, and all five: ID3v2.3 keeps compression and encryption in
// bits 0x0080 and 0x0040 as well.
TEST(V2Scan, FramesFlaggedCompressedEncryptedOrUnsynchronisedArePassedOver) {
    const std::string c = "compressed,", e = "encrypted,", u = "unsync'd", all = c + e + u;
    const std::map<uint16_t, std::string> words[] = {
        {{0x80, c}, {0x40, e}, {8, c}, {4, e}, {2, u}, {0xCE, all}, {0xC2, all}},
        {{8, c}, {4, e}, {2, u}, {0xCE, all}, {0xC2, u}}};
    for (const int v : {3, 4}) {
        for (int bit = 0; bit < 18; ++bit) {
            const auto flags = uint16_t(bit < 16 ? 1 << bit : bit == 16 ? 0xCE : 0xC2);
            if (flags == (v == 3 ? 0x20 : 0x40) || (v == 4 && flags == 1)) continue;  // prefixes
            const auto skipped = words[v - 3].find(flags);
            const std::string tit2 = skipped == words[v - 3].end() ? format(" | TIT2/2/f%04x s0'T'", flags)
                                                                   : skipping(skipped->second, 2, flags);
            EXPECT_EQ(scan(V2Tag(uint8_t(v)).frame("TIT2", {0, 'T'}, flags).text("TPE1", 0, "P").build()),
                      "24 TPE1/2 s0'P'" + tit2 + kEnd);
        }
    }
}

// A frame passed over for whole-tag unsynchronisation is passed over before
// the selection and the frame's trace line.
TEST(V2Scan, SelectionListDecodesTheListedTranslatedIdentifiersOnly) {
    const auto inbuf = [](int pos, int len, int size) {
        return format("\nTRACE inbuf: %d/%d (0x%x/0x%x) tag->header_size 10, tag->size %d", pos, len, pos, len, size);
    };
    // clang-format off
    EXPECT_EQ(scan(open(V2Tag(3).frame("TIT2", bytes("\0sixteen bytes..."s), 0x4000).text("TPE1", 0, "P")),
                   {id("TIT2"), 0, id("TPE1")}, true),
              "39 TIT2/17/f4000 s0'sixteen bytes...'" + inbuf(0, 39, 99) + "\nTRACE frame: TIT2, size: 17 (0x11) flags: "
              "0x4000 [10,27]\nTRACE found requested id 54495432, TIT2" + inbuf(27, 39, 99) +
              "\nTRACE frame: TPE1, size: 2 (0x2) flags: 0x0000 [37,39]" + inbuf(39, 39, 99) + kEnd);
    // clang-format on
    const std::string start = "25 TPE1/2 s0'P'" + inbuf(0, 25, 25) + skipping("unsync'd", 3, 0) + inbuf(13, 25, 25);
    const Bytes ff00 = V2Tag(4, 0, 0x80).text("TIT2", 1, "\xFF\0"s).text("TPE1", 0, "P").build();
    EXPECT_EQ(scan(ff00, {id("TPE1"), 0}, true).substr(0, start.size()), start);
    const V2Tag v4 = V2Tag(4).text("TIT2", 0, "T").text("TALB", 0, "A").text("TPE1", 0, "P");
    EXPECT_EQ(scan(V2Tag(v4).text("TALB", 0, "B").build(), {id("TALB"), id("TPE1"), 0}),
              "48 TALB/2 s0'B' | TPE1/2 s0'P' | TALB/2 s0'A'" + kEnd);
    EXPECT_EQ(scan(v4.build(), {0}), "36 -" + kEnd);
    const Bytes v22 = open(V2Tag(2).text("TT2", 0, "T").padding(2));
    EXPECT_EQ(scan(v22, {id("TIT2"), 0}) + scan(v22, {id("TT2"), 0}), "8 TIT2/2 s0'T'" + kEnd + "8 -" + kEnd);
}

TEST(V2Scan, UnsupportedVersionInTheRecordIsMalformed) {
    id3_tag record{0x00020500, 0, 999, 10, nullptr};
    LogCapture log;
    EXPECT_EQ(id3_parse_v2x_body(bytes("TIT2\0\0\0\2\0\0\0T"s).data(), 12, &record, nullptr), KELID3_EBADTAG);
    EXPECT_EQ(id3_parse_v2x_body("TIT2\0\0\0\2\0", 9, &record, nullptr), 0);  // found out later
    EXPECT_EQ(log.lines("id3_parse_v2x_body", false),
              "ERROR unsupported ID3-Version 2.5.0. Unable to parse frame-size.\nINFO end of "
              "buffer reached");
}

// A tag of one frame, and a zero byte behind it which no search may run into.
Bytes one(const char *id, const Bytes &content) {
    return open(V2Tag(id[3] == 0 ? 2 : 3).frame(id, content).padding(1));
}
// The decoder's lines for a picture: its MIME type, then as far as it gets.
std::string pic(int mime, int found, int type_at = 0, int start = 0, int ended = 1, int len = 0) {
    std::string s = format("\nTRACE mime_start 1, len %d, found %d", mime, found);
    if (type_at != 0) s += format("\nTRACE pic type at %u", type_at);
    if (start != 0) s += format("\nTRACE desc ends: %d, found %d", start, ended);
    if (len != 0) s += format("\nTRACE data: start %d, len %d", start, len);
    return s;
}

TEST(V2Decoder, TextFramesGiveOneStringAndPicturesThreeFields) {
    const Row rows[] = {
        // clang-format off
        {.in = one("TIT2", {0}), .out = "TIT2/1 s0''"}, {.in = one("TPE1", bytes("\3ABCDE")), .out = "TPE1/6 s3'ABCDE'"},
        {.in = one("TXXX", bytes("\1\xFF\xFE" "d\0\0v\0"s)), .out = "TXXX/8 s1'<ff><fe>d<00><00>v<00>'"},
        {.in = one("TALB", {4, 'x'}), .out = "-\nINFO Illegal text encoding: 04"},
        {.in = one("APIC", apic(0, "image/png", 3, bytes("descr\0"s), bytes("\x89PNG\0"s))),
         .out = "APIC/23 s0'image/png' u3 b'<89>PNG<00>'" + pic(9, 1, 11, 18, 1, 5)},
        {.in = one("APIC", apic(3, "", 255, {'d', 0}, {0, 'B'})), .out = "APIC/7 s0'' u255 b'<00>B'" + pic(0, 1, 2, 5, 1, 2)},
        // the zero byte behind the MIME type, and the one behind the description:
        // none, the last byte, one before the last
        {.in = one("APIC", {0, 'a', 'b'}), .out = "-" + pic(0, 0)}, {.in = one("APIC", {0, 'a', 0}), .out = "-" + pic(1, 1)},
        {.in = one("APIC", {0, 'a', 0, 3}), .out = "-" + pic(1, 1)},
        {.in = one("APIC", {0, 'a', 0, 3, 'd'}), .out = "-" + pic(1, 1, 3, 5, 0)},
        {.in = one("APIC", {0, 'a', 0, 3, 0}), .out = "-" + pic(1, 1, 3, 5, 1)},
        {.in = one("APIC", {0, 'a', 0, 3, 0, 0xAA}), .out = "APIC/6 s0'a' u3 b'<aa>'" + pic(1, 1, 3, 5, 1, 1)},
        // a UTF-16 description ends at a zero pair at an even distance from its start
        {.in = one("APIC", apic(1, "x", 3, bytes("\xFF\xFE" "A\0\0\0"s), {0, 'C'})),
         .out = "APIC/12 s0'x' u3 b'<00>C'" + pic(1, 1, 3, 10, 1, 2)},
        {.in = one("APIC", apic(2, "x", 3, bytes("A\0\0B\0\0"s), {'D'})), .out = "APIC/11 s0'x' u3 b'D'" + pic(1, 1, 3, 10, 1, 1)},
        {.in = one("APIC", apic(1, "x", 3, bytes("A\0B\0\0"s), {})), .out = "-" + pic(1, 1, 3, 9, 0)},
        // an ID3v2.2 picture: encoding, three format characters, type, description, data
        {.in = one("PIC", bytes("\0JP"s)), .out = "-" + pic(0, 0)}, {.in = one("PIC", bytes("\0JPG"s)), .out = "-" + pic(3, 1)},
        {.in = one("PIC", bytes("\0JPG\3"s)), .out = "-" + pic(3, 1)},
        {.in = one("PIC", bytes("\0J\0G\3d\0\xFF\xD8"s)), .out = "APIC/9 s0'J<00>G' u3 b'<ff><d8>'" + pic(3, 1, 4, 7, 1, 2)},
        // clang-format on
    };
    for (const Row &row : rows) {
        const std::string out = scan(row.in, {}, true, "id3_parse_v2_frame", false);
        EXPECT_EQ(out.substr(out.find(' ') + 1), row.out);
    }
}

}  // namespace
