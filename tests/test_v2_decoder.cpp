// SPDX-License-Identifier: MIT
// The ID3v2 frame decoder, reached through tags of one frame: the frames it
// gives and its own lines, TRACE included. Expected: tests/golden/v2_decoder.
#include "support/records.h"

namespace {

// A tag of one frame, and a zero byte behind it which no search may run into.
Bytes one(const char *id, const Bytes &content) {
    return V2Tag(id[3] == 0 ? 2 : 3).frame(id, content).padding(1).size(99).build();
}

// A picture: its MIME type, its type, then a description ending in a zero byte
// (UTF-16: a zero pair at an even distance from its start), then the data; an
// ID3v2.2 picture three format characters in place of the MIME type.
TEST(V2Decoder, TextFramesGiveOneStringAndPicturesThreeFields) {
    const auto pic = [](uint8_t encoding, const Bytes &description, const Bytes &data) {
        return one("APIC", apic(encoding, "x", 3, description, data));
    };
    const Case rows[] = {
        {"empty text", one("TIT2", {0})},
        {"UTF-8 text", one("TPE1", bytes("\3ABCDE"))},
        {"UTF-16 TXXX", one("TXXX", bytes("\1\xFF\xFE\x64\0\0v\0"s))},
        {"encoding 4", one("TALB", {4, 'x'})},
        {"picture", one("APIC", apic(0, "image/png", 3, bytes("descr\0"s), bytes("\x89PNG\0"s)))},
        {"picture, UTF-8, no MIME type", one("APIC", apic(3, "", 255, {'d', 0}, {0, 'B'}))},
        {"no zero behind the MIME type", one("APIC", {0, 'a', 'b'})},
        {"MIME type ends the frame", one("APIC", {0, 'a', 0})},
        {"type ends the frame", one("APIC", {0, 'a', 0, 3})},
        {"no zero behind the description", one("APIC", {0, 'a', 0, 3, 'd'})},
        {"description ends the frame", one("APIC", {0, 'a', 0, 3, 0})},
        {"a byte of data", one("APIC", {0, 'a', 0, 3, 0, 0xAA})},
        {"UTF-16 description", pic(1, bytes("\xFF\xFE\x41\0\0\0"s), {0, 'C'})},
        {"UTF-16BE description, odd zero pair", pic(2, bytes("A\0\0B\0\0"s), {'D'})},
        {"UTF-16 description, no zero pair", pic(1, bytes("A\0B\0\0"s), {})},
        {"ID3v2.2, two format characters", one("PIC", bytes("\0JP"s))},
        {"ID3v2.2, format ends the frame", one("PIC", bytes("\0JPG"s))},
        {"ID3v2.2, type ends the frame", one("PIC", bytes("\0JPG\3"s))},
        {"ID3v2.2 picture", one("PIC", bytes("\0J\0G\3d\0\xFF\xD8"s))},
    };
    expect_rows("v2_decoder", rows, [](const Case &row) {
        LogCapture log;
        const kelid3::parse_result p = kelid3::parse(row.input.data(), uint32_t(row.input.size()));
        return Fields{{"frame", frames(p->get())},
                      {"line", log.lines("id3_parse_v2_frame", true, false)}};
    });
}

}  // namespace
