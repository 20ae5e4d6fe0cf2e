// SPDX-License-Identifier: MIT
// What real writers put in ID3v2 tags, read as they meant it: group bytes and
// data length indicators in front of a frame's content, ID3v2.4 sizes written
// as plain numbers, ID3v2.2/2.3 tags unsynchronised as a whole, the ID3v2.3
// extended header; and no raw control byte of a tag in a line, no result past
// 2 GiB.
#include <sys/mman.h>

#include "support/alloc_seam.h"
#include "support/records.h"

namespace {

// kelid3_tag_parse of b: result, frames, and the lines but TRACE and the header's.
struct Out {
    int32_t result;
    std::string frames, lines;
};
Out parsed(const Bytes &b) {
    id3_tag *tag = nullptr;
    LogCapture log;
    const int32_t result = kelid3_tag_parse(b.data(), uint32_t(b.size()), &tag, nullptr);
    const kelid3::tag owner(tag);
    std::string lines = log.lines("", false, true), kept, line;
    for (std::istringstream in(lines); std::getline(in, line);) {
        if (line.find(": TRACE ") != std::string::npos || line.find("id3_parse_v2x_header") == 0) continue;
        kept += (kept.empty() ? "" : "\n") + line;
    }
    return {result, show(tag), kept};
}

struct Row {
    const char *name;
    Bytes input;
    int32_t result;
    std::string frames;
};

// A tag of a frame with these flags and content, a TPE1 frame and ten bytes
// of padding.
Bytes flagged(uint8_t version, uint16_t flags, const Bytes &content) {
    return V2Tag(version).frame("TIT2", content, flags).text("TPE1", 0, "P").padding(10).build();
}
const std::string kP = "TPE1/2 s0'P'";

// A group byte (ID3v2.3 0x0020, ID3v2.4 0x0040) and an ID3v2.4 data length
// indicator (0x0001) stand in front of the content, in that order; the
// record keeps the stored size.
TEST(V2Writers, ContentIsReadFromBehindItsGroupByteAndDataLength) {
    const Bytes text = bytes("\0T"s), dli = syncsafe(2);
    const Row rows[] = {
        {"ID3v2.4 group byte", flagged(4, 0x40, Bytes{0xE1} + text), 35, kP + " | TIT2/3/f0040 s0'T'"},
        {"ID3v2.4 data length", flagged(4, 0x01, dli + text), 38, kP + " | TIT2/6/f0001 s0'T'"},
        {"ID3v2.4 both", flagged(4, 0x41, Bytes{0xE1} + dli + text), 39, kP + " | TIT2/7/f0041 s0'T'"},
        {"ID3v2.3 group byte", flagged(3, 0x20, Bytes{0xE1} + text), 35, kP + " | TIT2/3/f0020 s0'T'"},
        {"ID3v2.3: 0x0001 is no prefix", flagged(3, 0x01, text), 34, kP + " | TIT2/2/f0001 s0'T'"},
        {"ID3v2.4: 0x0020 is no prefix", flagged(4, 0x20, text), 34, kP + " | TIT2/2/f0020 s0'T'"},
        {"prefixes and one byte", flagged(4, 0x41, Bytes{0xE1} + dli + Bytes{0}), 38, kP + " | TIT2/6/f0041 s0''"},
        {"prefixes and nothing", flagged(4, 0x41, Bytes{0xE1} + dli), 37, kP},
        {"a picture with a data length",
         V2Tag(4).frame("APIC", syncsafe(5) + apic(0, "", 3, {0}, {7}), 1).padding(10).build(), 29,
         "APIC/9/f0001 s0'' u3 b'<07>'"},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        const Out out = parsed(row.input);
        EXPECT_EQ(out.result, row.result);
        EXPECT_EQ(out.frames, row.frames);
    }
}

// A frame size with a byte of 0x80 or more cannot be syncsafe: its writer
// wrote a plain 32-bit number, and every later check applies to it.
TEST(V2Writers, Id3v24SizeThatIsNotSyncsafeIsAPlainNumber) {
    const auto sized = [](const Bytes &size, const Bytes &content) {
        return V2Tag(4).raw(bytes("TALB") + size + Bytes{0, 0} + content).text("TPE1", 0, "P").size(999).build();
    };
    const std::string warn = "id3_parse_v2x_body: WARN illegal size: 0x";
    const struct {
        const char *name;
        Bytes input;
        int32_t result;
        std::string frames, lines;
    } rows[] = {
        {"128 bytes", sized({0, 0, 0, 0x80}, Bytes{0} + fill(127, 'a')), 160, kP + " | TALB/128 s0'a*127'",
         warn + "80000000. Not syncsafe as it should be.\nid3_parse_v2x_body: INFO end of buffer reached"},
        {"past the buffer", sized({0, 0, 0, 0x81}, fill(100)), 10, "-",
         warn + "81000000. Not syncsafe as it should be.\nid3_parse_v2x_body: INFO frame beyond buffer end: "
                "54414c42 TALB"},
        {"above 512 KiB", sized({0, 8, 0, 0x80}, fill(0x80080)), -34, "-",
         warn + "80000800. Not syncsafe as it should be.\nid3_parse_v2x_body: ERROR frame size: 524416. Stop "
                "here.\nkelid3_tag_parse: ERROR unable to parse v2 frames: -34"},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        const Out out = parsed(row.input);
        EXPECT_EQ(out.result, row.result);
        EXPECT_EQ(out.frames, row.frames);
        EXPECT_EQ(out.lines, row.lines);
    }
}

// What an unsynchronising writer stores: a zero byte behind every FF that is
// followed by E0 or more, or by zero, or ends the bytes.
Bytes unsynchronise(const Bytes &b) {
    Bytes out;
    for (size_t i = 0; i < b.size(); ++i) {
        out.push_back(b[i]);
        if (b[i] == 0xFF && (i + 1 == b.size() || b[i + 1] >= 0xE0 || b[i + 1] == 0)) out.push_back(0);
    }
    return out;
}
// The tag with its frames unsynchronised and header flag 0x80: the frame
// sizes count the bytes as they were.
Bytes unsynchronised(V2Tag tag) {
    tag.head[5] |= 0x80;
    tag.body = unsynchronise(tag.body);
    return tag.build();
}

// ID3v2.2 and 2.3 tags unsynchronised as a whole are read from a copy with
// FF 00 made FF again; what the caller learns counts its own bytes.
TEST(V2Writers, WholeTagUnsynchronisationIsUndoneBeforeID3v24) {
    const Bytes ff = bytes("\0\xFF\xFE\xFF\0"s);  // encoding 0, FF FE, FF 00 (stored FF 00 00)
    const struct {
        const char *name;
        Bytes input;
        int32_t result;
        std::string frames;
        uint32_t stopped_at;
    } rows[] = {
        {"ID3v2.3", unsynchronised(V2Tag(3).frame("TIT2", ff).text("TPE1", 0, "P").padding(10)), 39,
         kP + " | TIT2/5 s0'<ff><fe><ff><00>'", 39},
        {"ID3v2.3, padding", unsynchronised(V2Tag(3).frame("TIT2", ff).padding(20)), 37, "TIT2/5 s0'<ff><fe><ff><00>'",
         27},
        {"ID3v2.2", unsynchronised(V2Tag(2).frame("PIC", bytes("\0JPG\3\0\xFF\xD8\xFF\xE0"s)).text("TT2", 0, "T")
                                       .padding(10)), 35, "TIT2/2 s0'T' | APIC/10 s0'JPG' u3 b'<ff><d8><ff><e0>'", 35},
        {"ID3v2.3, an FF before the padding", unsynchronised(V2Tag(3).text("TIT2", 0, "\xFF").padding(20)),
         33, "TIT2/2 s0'<ff>'", 23},
        {"ID3v2.3 beyond its end", unsynchronised(V2Tag(3).frame("TIT2", ff).size(18)), 27,
         "TIT2/5 s0'<ff><fe><ff><00>'", 27},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        const Out out = parsed(row.input);
        EXPECT_EQ(out.result, row.result);
        EXPECT_EQ(out.frames, row.frames);
        FILE *log = std::tmpfile();
        EXPECT_EQ(kelid3::read(row.input.data(), uint32_t(row.input.size()), {0, nullptr, log}).stopped_at(),
                  row.stopped_at);
        std::fclose(log);
    }
    // The copy is an allocation of its own: the tag record first, then the copy.
    const Bytes tag = unsynchronised(V2Tag(3).frame("TIT2", ff).padding(10));
    alloc_seam::fail_nth(2);
    const Out failed = parsed(tag);
    alloc_seam::fail_nth(0);
    EXPECT_EQ(failed.result, KELID3_ENOMEM);
    EXPECT_EQ(failed.lines,
              "id3_parse_v2x_body: INFO unable to malloc 27 bytes to resynchronise.\n"
              "kelid3_tag_parse: ERROR unable to parse v2 frames: -12");
}

// ID3v2.3 stores the extended header's length as a plain number that leaves
// out its own four bytes; ID3v2.4 as a syncsafe one that counts them.
TEST(V2Writers, Id3v23ExtendedHeaderLengthLeavesOutItsFourBytes) {
    const Bytes ext = Bytes{0, 0, 0, 6} + fill(6);
    const struct {
        const char *name;
        Bytes input;
        int result;
        std::string lines;
    } rows[] = {
        {"ID3v2.3", V2Tag(3, 0, 0x40).raw(ext).text("TIT2", 0, "T").build(), 20,
         "INFO found extended header. Length: 6\nTRACE parsed v2x header: 20 bytes"},
        {"ID3v2.3, top bits", V2Tag(3, 0, 0x40).raw(Bytes{0, 0, 0x81, 0x80} + fill(10)).build(), 33166,
         "INFO found extended header. Length: 33152\nTRACE parsed v2x header: 33166 bytes"},
        {"ID3v2.3, past 2 GiB", V2Tag(3, 0, 0x40).raw(fill(4, 0xFF) + fill(6)).build(), 0,
         "INFO found extended header. Length: 4294967295"},
        {"ID3v2.4", V2Tag(4, 0, 0x40).raw(ext).text("TIT2", 0, "T").build(), 16,
         "INFO found extended header. Length: 6\nTRACE parsed v2x header: 16 bytes"},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        id3_tag t{};
        LogCapture log;
        EXPECT_EQ(id3_parse_v2x_header(row.input.data(), uint32_t(row.input.size()), &t), row.result);
        const std::string lines = log.lines("id3_parse_v2x_header");
        EXPECT_EQ(lines.substr(lines.find('\n') + 1), row.lines);
    }
    EXPECT_EQ(parsed(V2Tag(3, 0, 0x40).raw(ext).text("TIT2", 0, "T").build()).frames, "TIT2/2 s0'T'");
}

// A byte of the tag printed as a character is escaped unless it is printable
// ASCII or zero; id3_log prints what a caller gives it as it is.
TEST(V2Writers, LinesCarryNoRawControlBytesOfTheTag) {
    const auto stop = [](const std::string &chars) {
        const std::string lines = parsed(V2Tag(3).raw(bytes(chars) + fill(10)).build()).lines;
        return lines.substr(lines.find("WARN"), lines.find(" Stop at") - lines.find("WARN"));
    };
    EXPECT_EQ(stop("\x1b[2J"), "WARN illegal frame identifier '\\x1b[2J'");
    EXPECT_EQ(stop(" ~\x7f\x80"), "WARN illegal frame identifier ' ~\\x7f\\x80'");
    EXPECT_EQ(stop("\x1f\xff"
                   "a\0"s),
              "WARN illegal frame identifier '\\x1f\\xffa\0'"s);
    LogCapture log;
    id3_log("f", 1, "INFO", "%c", 0x1b);
    EXPECT_EQ(log.text(), "[f: 1] INFO: \x1b\n");
}

// A buffer past 2 GiB: a frame passed over may carry the scan no further
// than 2 GiB - 1, so every result is a count or a result code.
TEST(V2Writers, NoResultPastTwoGigabytes) {
    if (sizeof(void *) < 8) GTEST_SKIP() << "needs a 64-bit address space";
    const size_t len = (size_t{1} << 31) + 0x10000;
    auto *map = static_cast<uint8_t *>(
        mmap(nullptr, len, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0));
    ASSERT_NE(map, MAP_FAILED);
    const Bytes tag = V2Tag(3).frame("TIT2", {}, 0x80, 0x7FFFFFF6).size(0x0FFFFFFF).build();
    std::copy(tag.begin(), tag.end(), map);
    LogCapture log;
    id3_tag *out = nullptr;
    EXPECT_EQ(kelid3_tag_parse(map, uint32_t(len), &out, nullptr), KELID3_EBADTAG);
    id3_tag record{0x00020300, 0, 0x0FFFFFFF, 10, nullptr};
    EXPECT_EQ(id3_parse_v2x_body(map + 10, uint32_t(len - 10), &record, nullptr), KELID3_EBADTAG);
    munmap(map, len);
}

}  // namespace
