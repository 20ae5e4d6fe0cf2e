// SPDX-License-Identifier: MIT
// What real writers put in ID3v2 tags, read as they meant it: group bytes and
// data length indicators in front of a frame's content, ID3v2.2/2.3 tags
// unsynchronised as a whole; and no result past 2 GiB. (ID3v2.4 sizes written
// as plain numbers, the ID3v2.3 extended header and lines escaped: with the
// scan and the header, test_v2_scan.cpp.) Expected: tests/golden/writers_*.
#include <sys/mman.h>

#include "support/alloc_seam.h"
#include "support/records.h"

namespace {

// A tag of a frame with these flags and content, a TPE1 frame and ten bytes
// of padding.
Bytes flagged(uint8_t version, uint16_t flags, const Bytes &content) {
    return V2Tag(version).frame("TIT2", content, flags).text("TPE1", 0, "P").padding(10).build();
}

// A group byte (ID3v2.3 0x0020, ID3v2.4 0x0040) and an ID3v2.4 data length
// indicator (0x0001) stand in front of the content, in that order; the
// record keeps the stored size.
TEST(V2Writers, ContentIsReadFromBehindItsGroupByteAndDataLength) {
    const Bytes text = bytes("\0T"s), dli = syncsafe(2),
                picture = syncsafe(5) + apic(0, "", 3, {0}, {7});
    const Case rows[] = {
        {"ID3v2.4 group byte", flagged(4, 0x40, Bytes{0xE1} + text)},
        {"ID3v2.4 data length", flagged(4, 0x01, dli + text)},
        {"ID3v2.4 both", flagged(4, 0x41, Bytes{0xE1} + dli + text)},
        {"ID3v2.3 group byte", flagged(3, 0x20, Bytes{0xE1} + text)},
        {"ID3v2.3: 0x0001 is no prefix", flagged(3, 0x01, text)},
        {"ID3v2.4: 0x0020 is no prefix", flagged(4, 0x20, text)},
        {"prefixes and one byte", flagged(4, 0x41, Bytes{0xE1} + dli + Bytes{0})},
        {"prefixes and nothing", flagged(4, 0x41, Bytes{0xE1} + dli)},
        {"a picture with a data length", V2Tag(4).frame("APIC", picture, 1).padding(10).build()},
    };
    expect_rows("writers_prefixes", rows, read_fields);
}

// What an unsynchronising writer stores: a zero byte behind every FF that is
// followed by E0 or more, or by zero, or ends the bytes; and header flag 0x80.
// The frame sizes count the bytes as they were.
Bytes unsynchronised(V2Tag tag) {
    Bytes out;
    for (size_t i = 0; i < tag.body.size(); ++i) {
        const uint8_t next = i + 1 < tag.body.size() ? tag.body[i + 1] : 0;
        out.push_back(tag.body[i]);
        if (tag.body[i] == 0xFF && (next >= 0xE0 || next == 0)) out.push_back(0);
    }
    tag.head[5] |= 0x80;
    tag.body = out;
    return tag.build();
}

// Read from a copy with FF 00 made FF again; what the caller learns counts
// its own bytes.
TEST(V2Writers, WholeTagUnsynchronisationIsUndoneBeforeID3v24) {
    const Bytes ff = bytes("\0\xFF\xFE\xFF\0"s);  // encoding 0, FF FE, FF 00 (stored FF 00 00)
    const Bytes pic = bytes("\0JPG\3\0\xFF\xD8\xFF\xE0"s);
    const V2Tag tp = V2Tag(3).text("TIT2", 0, "T").text("TPE1", 0, "\xFF");
    // a frame header of size 255 ends the tag
    const V2Tag last_ten = V2Tag(3).text("TIT2", 0, "T").raw(bytes("TPE1\0\0\0\xFF\0\0"s));
    const Case rows[] = {
        {"ID3v2.3", unsynchronised(V2Tag(3).frame("TIT2", ff).text("TPE1", 0, "P").padding(10))},
        {"ID3v2.3, padding", unsynchronised(V2Tag(3).frame("TIT2", ff).padding(20))},
        {"ID3v2.2", unsynchronised(V2Tag(2).frame("PIC", pic).text("TT2", 0, "T").padding(10))},
        {"ID3v2.3, FF then padding", unsynchronised(V2Tag(3).text("TIT2", 0, "\xFF").padding(20))},
        {"ID3v2.3 beyond its end", unsynchronised(V2Tag(3).frame("TIT2", ff).size(18))},
        {"ID3v2.3, FF 00 in the last ten bytes", unsynchronised(last_ten)},
        {"ID3v2.3, a frame past the tag's size", unsynchronised(V2Tag(tp).size(20))},
    };
    expect_rows("writers_unsync", rows, read_fields);
    // The copy is an allocation of its own: the tag record first, then the copy.
    const Bytes tag = unsynchronised(V2Tag(3).frame("TIT2", ff).padding(10));
    LogCapture log;
    id3_tag *out = nullptr;
    alloc_seam::fail_nth(2);
    EXPECT_EQ(kelid3_tag_parse(tag.data(), uint32_t(tag.size()), &out, nullptr), KELID3_ENOMEM);
    alloc_seam::fail_nth(0);
    EXPECT_EQ(log.lines("kelid3_tag_parse", false),
              "id3_parse_v2x_header: INFO found tag: version 2.3.0, size: 27\n"
              "id3_parse_v2x_body: INFO unable to malloc 27 bytes to resynchronise.\n"
              "ERROR unable to parse v2 frames: -12");
}

// A buffer past 2 GiB: a frame passed over may carry the scan no further
// than 2 GiB - 1 from the tag's start, so every result is a count or a result
// code. The frames passed over end 2 GiB - 10 and 2 GiB behind the first.
TEST(V2Writers, NoResultPastTwoGigabytes) {
    if (sizeof(void *) < 8) GTEST_SKIP() << "needs a 64-bit address space";
    const size_t len = (size_t{1} << 31) + 0x10000;
    auto *map = static_cast<uint8_t *>(mmap(nullptr, len, PROT_READ | PROT_WRITE,
                                            MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0));
    ASSERT_NE(map, MAP_FAILED);
    LogCapture log;
    for (const uint32_t size : {0x7FFFFFECu, 0x7FFFFFF6u}) {
        const Bytes tag = V2Tag(3).frame("TIT2", {}, 0x80, size).size(0x0FFFFFFF).build();
        std::copy(tag.begin(), tag.end(), map);
        id3_tag *out = nullptr;
        EXPECT_EQ(kelid3_tag_parse(map, uint32_t(len), &out, nullptr), KELID3_EBADTAG) << size;
    }
    id3_tag record{0x00020300, 0, 0x0FFFFFFF, 10, nullptr};
    EXPECT_EQ(id3_parse_v2x_body(map + 10, uint32_t(len - 10), &record, nullptr), KELID3_EBADTAG);
    munmap(map, len);
}

}  // namespace
