// The ID3v2 reader: tag header, frame scanner, ID3v2.2 identifier mapping and
// frame decoder.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>

#include "support/alloc_seam.h"
#include "support/tag_builder.h"
#include "v2/v2.h"

namespace {

// ---- Tag header -------------------------------------------------------------

const uint32_t kUnset = 0xDEADBEEF;

Bytes header(uint8_t major, uint8_t revision, uint8_t flags, const Bytes &rest = {}) {
    return bytes("ID3") + Bytes{major, revision, flags, 0, 0, 2, 1} + rest;  // size 257
}

// A refused header (result 0) that the match accepts makes the parse fail with -9.
TEST(V2Header, StoresMembersLogsAndReturnsFirstFrameOffset) {
    const std::string found = "INFO found tag: version 2.3.0, size: 257";
    const Bytes ext = header(3, 0, 0x40, {0, 0, 0, 0x0C});
    // clang-format off
    const std::tuple<Bytes, int, uint32_t, uint32_t, Strings> cases[] = {
        // bytes (exactly len), result, size, header_size, lines
        {header(3, 0, 0x00), 10, 257, 10, {found, "TRACE parsed v2x header: 10 bytes"}},
        // footer: size + 10, while the line shows 257; other flag bits are only stored
        {header(3, 0, 0x10), 10, 267, 10, {found, "TRACE parsed v2x header: 10 bytes"}},
        {header(3, 0, 0xAF), 10, 257, 10, {found, "TRACE parsed v2x header: 10 bytes"}},
        {ext, 22, 257, 10, {found, "INFO found extended header. Length: 12",
                            "TRACE parsed v2x header: 22 bytes"}},
        {header(3, 0, 0x50, {0, 0, 1, 0x7F}), 265, 267, 10,
         {found, "INFO found extended header. Length: 255", "TRACE parsed v2x header: 265 bytes"}},
        {header(4, 0, 0x40, {0, 0, 0, 0x8C}), 22, 257, 10,
         {"INFO found tag: version 2.4.0, size: 257", "INFO found extended header. Length: 12",
          "TRACE parsed v2x header: 22 bytes"}},
        {header(0, 0, 0), 10, 257, 10,
         {"INFO found tag: version 2.0.0, size: 257", "TRACE parsed v2x header: 10 bytes"}},
        {header(3, 1, 0), 0, 257, kUnset, {"INFO unsupported id3v2 version found: 0x00020301. Tag ignored."}},
        {header(5, 0, 0), 0, 257, kUnset, {"INFO unsupported id3v2 version found: 0x00020500. Tag ignored."}},
        {bytes("ID3") + Bytes{3, 0, 0x10, 1, 2, 0x80, 4}, 0, kUnset, kUnset,
         {"WARN tag size not syncsafe. Assume bad input 0x04800201 Stop here."}},
        // An extended header announced but cut off by the buffer is not read.
        {Bytes(ext.begin(), ext.begin() + 13), 0, 257, 10, {found}},
        {Bytes(ext.begin(), ext.begin() + 10), 0, 257, 10, {found}}};
    // clang-format on
    for (const auto &[b, result, size, header_size, lines] : cases) {
        SCOPED_TRACE(lines.back());
        id3_tag tag{kUnset, kUnset, kUnset, kUnset, nullptr};
        LogCapture log;
        EXPECT_EQ(id3_parse_v2x_header(b.data(), uint32_t(b.size()), &tag), result);
        EXPECT_EQ(log.strings("id3_parse_v2x_header"), lines);
        EXPECT_EQ(std::make_tuple(tag.version, tag.flags, tag.size, tag.header_size, tag.frames),
                  std::make_tuple(0x00020000u | uint32_t(b[3] << 8 | b[4]), uint32_t(b[5]), size,
                                  header_size, nullptr));
        if (result != 0 || !id3_match_v2x(b.data(), 10)) continue;
        const Parsed p = parse(b);
        EXPECT_EQ(p.rc, KELID3_EBADTAG);
        EXPECT_TRUE(in_order(p.log, {"id3_parse_v2x_header: " + lines.back(),
                                     "ERROR unable to parse v2 header: 0"}));
    }
}

// The flags byte is not examined.
TEST(V2Header, MatchRefusesBadSignatureFFVersionBytesAndNonSyncsafeSize) {
    const Bytes good = header(4, 0, 0xFF);
    EXPECT_EQ(id3_match_v2x(good.data(), 10), 1);
    // clang-format off
    for (const auto &[at, value] : {std::pair<size_t, uint8_t>{0, 'i'}, {2, '2'}, {3, 0xFF}, {4, 0xFF},
                                    {6, 0x80}, {9, 0x81}}) {
        // clang-format on
        Bytes b = good;
        b[at] = value;
        EXPECT_EQ(id3_match_v2x(b.data(), 10), 0) << "byte " << at;
    }
}

// ---- Frame scanner and identifier mapping ------------------------------------

const char kScan[] = "id3_parse_v2x_body", kEnd[] = "INFO end of buffer reached";

struct Scan {
    TagPtr tag;
    int32_t rc;
    Strings notes;  // lines above TRACE, the scanner's own without a function name
    Strings trace;  // the scanner's TRACE lines
};

// Reads the header of a whole tag, then scans the frames behind it (exactly
// them on the heap), as kelid3_tag_parse does.
Scan scan(const Bytes &tag, const std::vector<uint32_t> &ids = {}) {
    Scan s{TagPtr(static_cast<id3_tag *>(std::calloc(1, sizeof(id3_tag)))), 0, {}, {}};
    int n = 0;
    {
        LogCapture header_lines;  // not the scanner's
        n = id3_parse_v2x_header(tag.data(), uint32_t(tag.size()), s.tag.get());
    }
    const Bytes body(tag.begin() + n, tag.end());
    LogCapture log;
    s.rc = id3_parse_v2x_body(body.data(), uint32_t(body.size()), s.tag.get(),
                              ids.empty() ? nullptr : ids.data());
    s.notes = log.strings(kScan, false);
    for (const std::string &l : log.strings(kScan))
        if (l.rfind("TRACE ", 0) == 0) s.trace.push_back(l.substr(6));
    return s;
}

std::string skip(const char *what, uint32_t size, uint32_t flags) {
    return format("INFO skipping %s frame: 54495432 TIT2 %u bytes, flags: %08x", what, size, flags);
}

// A fatal condition also fails the parse, which releases the frames linked before it.
TEST(V2Scanner, StopsSkipsAndFailsWithResultFramesAndLines) {
    const auto v3 = [] { return V2Tag(3).text("TIT2", 0, "T"); };  // 12 bytes
    const auto flagged = [](uint8_t major, uint16_t flags) {
        return V2Tag(major).frame("TIT2", {0, 'T'}, flags).text("TPE1", 0, "P").build();
    };
    const Strings both = {"TPE1", "TIT2"}, tit2 = {"TIT2"}, tpe1 = {"TPE1"};
    const std::string bad_id = "is_valid_frame_identifier: INFO illegal frame identifier: ",
                      unknown = "id3_parse_v2_frame: INFO Unknown frame: ";
    const uint32_t big = 0x80000;
    V2Tag v22(2);  // PIC content that the APIC layout would not decode
    v22.text("TT2", 0, "Title").frame("TIM", {0, '1'}).frame("CRM", {0, 'x'});
    v22.frame("TCR", {0, 'c'})
        .frame("PIC", Bytes{0} + bytes("JPG") + Bytes{3, 'd', 0, 0xFF, 0xD8, 0xFF});
    // clang-format off
    const std::tuple<const char *, Bytes, int32_t, Strings, Strings> cases[] = {
        {"padding of ten ends at the tag size", v3().padding(10).build(), 12, tit2,
         {"INFO scanned tag completedly: size 22 (excluding header)"}},
        {"longer padding fails the identifier check", v3().padding(11).build(), 12, tit2,
         {bad_id + "0x00000000, tag version 0x00020300, x 0x00",
          format("WARN illegal frame identifier '%c%c%c%c' Stop at 12/23.", 0, 0, 0, 0)}},
        // Characters are tested from the last; the offending byte is widened as signed.
        {"upper-case letters and digits only", V2Tag(4).text("\x80xT2", 0, "x").build(), 0, {},
         {bad_id + "0x80785432, tag version 0x00020400, x 0x78",
          "WARN illegal frame identifier '\x80xT2' Stop at 0/12."}},
        {"byte above 0x7F", V2Tag(3).text("TIT\xE9", 0, "x").build(), 0, {},
         {bad_id + "0x544954e9, tag version 0x00020300, x 0xffffffe9",
          "WARN illegal frame identifier 'TIT\xE9' Stop at 0/12."}},
        {"end of buffer", v3().size(99).build(), 12, tit2, {kEnd}},
        {"v2.2 header needs ten bytes", V2Tag(2).text("TT2", 0, "ab").text("TT1", 0, "").size(99).build(),
         9, tit2, {kEnd}},
        {"beyond the tag goes on", v3().text("TPE1", 0, "P").size(15).build(), 24, both,
         {"INFO scanned beyond tag. Malformed input ??? (or bug?) size: 15 inbuf: 12/24 (0xc/0x18)", kEnd}},
        {"frame beyond buffer end", v3().frame_sized("TPE1", 100, {0, 'a'}).size(999).build(), 12,
         tit2, {"INFO frame beyond buffer end: 54504531 TPE1"}},
        {"size at the limit", v3().frame("TPE1", fill(big)).size(big + 99).build(), int32_t(big + 22),
         both, {kEnd}},
        {"size 0", v3().frame("TPE1", {}).padding(20).size(999).build(), KELID3_ERANGE, tit2,
         {"ERROR frame size: 0. Stop here."}},
        {"size above the limit", v3().frame("TPE1", fill(big + 1)).build(), KELID3_ERANGE, tit2,
         {"ERROR frame size: 524289. Stop here."}},
        {"size wrapping the end past 4 GiB", v3().frame_sized("TPE1", 0xFFFFFFF0, {0, 'a'}).size(99).build(),
         KELID3_ERANGE, tit2, {"ERROR frame size: 4294967280. Stop here."}},
        {"skipped frame past the buffer", V2Tag(3).frame_sized("TIT2", 100, {0, 'T'}, 4).size(99).build(),
         KELID3_EBADTAG, {}, {skip("encrypted,", 100, 4), "ERROR Malformed tag ??? (or bug?) inbuf: 110/12"}},
        {"skipped frame ending at buffer end", V2Tag(3).frame("TIT2", {0, 'T'}, 2).size(99).build(),
         12, {}, {skip("unsync'd", 2, 2), kEnd}},
        {"v2.3 0x0008", flagged(3, 0x0008), 24, tpe1, {skip("compressed,", 2, 0x0008), kEnd}},
        {"v2.4 0x000E", flagged(4, 0x000E), 24, tpe1,
         {skip("compressed,encrypted,unsync'd", 2, 0x000E), kEnd}},
        // ID3v2.3 keeps compression and encryption in bits 0x0080 and 0x0040, ID3v2.4 does not.
        {"v2.3 0x00C0", flagged(3, 0x00C0), 24, tpe1, {skip("compressed,encrypted,", 2, 0x00C0), kEnd}},
        {"v2.4 0x00C0", flagged(4, 0x00C0), 24, both, {kEnd}},
        {"frames not decoded", V2Tag(3).text("TALB", 4, "x").frame("XYZW", {0}).frame("TDRC", {0, '1'})
             .text("TPE1", 0, "a").size(999).build(), 47, tpe1,
         {"id3_parse_v2_frame: INFO Illegal text encoding: 04",
          "INFO unable to parse v2 frame: id=54414c42, TALB. Skipping it.", unknown + "58595a57, XYZW",
          "INFO unable to parse v2 frame: id=58595a57, XYZW. Skipping it.",
          "INFO unable to parse v2 frame: id=54445243, TDRC. Skipping it.", kEnd}},
        {"v2.4 size top bit", V2Tag(4).raw(bytes("TIT2") + Bytes{0, 0, 0, 0x81, 0, 0, 0}).build(), 11,
         tit2, {"WARN illegal size: 0x81000000. Not syncsafe as it should be.", kEnd}},
        // ID3v2.0 and 2.1 frames have the ID3v2.2 layout.
        {"v2.0 as v2.2", V2Tag(0).text("TT2", 0, "T").text("TP1", 0, "P").padding(2).size(99).build(),
         16, both, {kEnd}},
        {"v2.1 as v2.2", V2Tag(1).text("TT2", 0, "T").text("TP1", 0, "P").padding(2).size(99).build(),
         16, both, {kEnd}},
        {"v2.2 identifiers translated", v22.size(999).build(), 52, {"APIC", "TIT2"},
         {unknown + "54494d45, TIME", "INFO unable to parse v2 frame: id=54494d45, TIME. Skipping it.",
          format("%s0043524d, %cCRM", unknown.c_str(), 0),
          format("INFO unable to parse v2 frame: id=0043524d, %cCRM. Skipping it.", 0),
          "INFO unable to parse v2 frame: id=54434f50, TCOP. Skipping it.", kEnd}},
    };
    // clang-format on
    for (const auto &[what, tag, rc, frames, notes] : cases) {
        SCOPED_TRACE(what);
        const long live = alloc_seam::live();
        {
            const Scan s = scan(tag);
            EXPECT_EQ(s.rc, rc);
            EXPECT_EQ(frame_ids(s.tag.get()), frames);
            EXPECT_EQ(s.notes, notes);
        }
        EXPECT_EQ(alloc_seam::live(), live);
        if (rc >= 0) continue;
        const Parsed p = parse(tag);
        EXPECT_EQ(p.rc, rc);
        EXPECT_TRUE(in_order(p.log, {format("ERROR unable to parse v2 frames: %d", rc)}));
    }
}

TEST(V2Scanner, UnsupportedVersionInTheRecordIsMalformed) {
    const Bytes tag = V2Tag(3).text("TIT2", 0, "x").build();
    id3_tag record{0x00020500, 0, 999, 10, nullptr};
    LogCapture log;
    EXPECT_EQ(id3_parse_v2x_body(tag.data() + 10, 12, &record, nullptr), KELID3_EBADTAG);
    EXPECT_EQ(record.frames, nullptr);
    EXPECT_EQ(log.strings(kScan, false),
              (Strings{"ERROR unsupported ID3-Version 2.5.0. Unable to parse frame-size."}));
}

// An ID3v2.3 size near 4 GiB must not wrap the position back to the same or an
// earlier frame; the alarm ends the test, should the scan never end.
TEST(V2Scanner, SkippedFrameNearFourGiBEndsMalformedWithoutHanging) {
    for (const auto &[size, flags] : {std::pair<uint32_t, uint16_t>{0xFFFFFFF6, 0x0004},
                                      std::pair<uint32_t, uint16_t>{0xFFFFFFFF, 0x0080}}) {
        V2Tag t(3);
        t.text("TIT2", 0, "T").frame_sized("TPE1", size, {0, 'a', 'b'}, flags);
        alarm(5);
        const Scan s = scan(t.text("TALB", 0, "x").size(999).build());
        alarm(0);
        EXPECT_EQ(s.rc, KELID3_EBADTAG);
        EXPECT_EQ(s.notes.back().rfind("ERROR Malformed tag ??? (or bug?) inbuf: ", 0), 0u);
    }
}

TEST(V2Scanner, SelectionListDecodesListedTranslatedIdsOnly) {
    V2Tag t(4);
    t.text("TIT2", 0, "T").text("TALB", 0, "A").frame("TPE1", {0, 'P'}, 0x0040);
    const Bytes b = t.text("TALB", 0, "B").build();
    Scan s = scan(b, {id("TALB"), id("TPE1"), 0, id("TIT2")});  // TIT2 stands behind the 0
    EXPECT_EQ(s.rc, 48);
    EXPECT_EQ(frame_ids(s.tag.get()), (Strings{"TALB", "TPE1", "TALB"}));
    EXPECT_EQ(s.notes, Strings{kEnd});
    s.trace.resize(5);
    EXPECT_EQ(s.trace, (Strings{"inbuf: 0/48 (0x0/0x30) tag->header_size 10, tag->size 48",
                                "frame: TIT2, size: 2 (0x2) flags: 0x0000 [10,12]",
                                "inbuf: 12/48 (0xc/0x30) tag->header_size 10, tag->size 48",
                                "frame: TALB, size: 2 (0x2) flags: 0x0000 [22,24]",
                                "found requested id 54414c42, TALB"}));
    const Scan none = scan(b, {0});
    EXPECT_EQ(std::make_pair(none.rc, frame_ids(none.tag.get())), std::make_pair(48, Strings{}));
    const Bytes v22 = V2Tag(2).text("TT2", 0, "Title").size(99).build();
    EXPECT_EQ(frame_ids(scan(v22, {id("TIT2"), 0}).tag.get()), Strings{"TIT2"});
    EXPECT_EQ(frame_ids(scan(v22, {id("TT2"), 0}).tag.get()), Strings{});
}

TEST(V2Map, TranslatesThreeLetterIdentifiersAndPassesOthersThrough) {
    // clang-format off
    const std::pair<const char *, const char *> cases[] = {
        {"BUF", "RBUF"}, {"CRA", "AENC"}, {"PIC", "APIC"}, {"TT2", "TIT2"}, {"TP1", "TPE1"}, {"TRC", "TSRC"},
        {"TRK", "TRCK"}, {"TYE", "TYER"}, {"WXX", "WXXX"}, {"CRM", "CRM"},  {"TT4", "TT4"},  {"XYZ", "XYZ"}};
    // clang-format on
    for (const auto &[from, to] : cases)
        EXPECT_EQ(kelid3::detail::map_v22_frame_identifier(id(from)), id(to)) << from;
}

// ---- Frame decoder ------------------------------------------------------------

// A picture's trace lines: MIME length and found, then as far as the content gets.
Strings traces(int mime_len, int found, int type_at = -1, int data_start = -1, int desc_found = 1,
               int data_len = 0) {
    Strings v = {format("TRACE mime_start 1, len %d, found %d", mime_len, found)};
    if (type_at >= 0) v.push_back(format("TRACE pic type at %u", type_at));
    if (data_start >= 0)
        v.push_back(format("TRACE desc ends: %d, found %d", data_start, desc_found));
    if (data_len > 0) v.push_back(format("TRACE data: start %d, len %d", data_start, data_len));
    return v;
}

// Each row decodes one frame's content (exactly its size on the heap). "PIC"
// is an APIC frame that the scanner found as ID3v2.2 PIC: read in its own layout.
TEST(V2Decoder, DecodesTextAndPicturesIntoFieldsAndLeavesNothingOtherwise) {
    Bytes hundred;
    for (int i = 0; i < 100; ++i) hundred.push_back(uint8_t(i * 37));
    const Bytes any = {0, 'a', 0, 3, 'd', 0, 0xAA}, jpg = Bytes{0} + bytes("JPG");
    const auto picture = [](const std::string &mime, uint8_t type, const Bytes &data) {
        return std::vector<FieldView>{text_view(bytes(mime)), number_view(type), blob_view(data)};
    };
    const std::vector<FieldView> none;
    // clang-format off
    const std::tuple<std::string, Bytes, Strings, std::vector<FieldView>> cases[] = {
        // Text: one FIELD_STRING with the bytes behind the encoding byte, as they stand.
        {"TIT2", {0}, {}, {text_view({})}},
        {"TPE1", {3, 'A', 'B', 'C', 'D', 'E'}, {}, {text_view(bytes("ABCDE"), 3)}},
        {"TXXX", {0, 'd', 0, 'v', 0}, {}, {text_view({'d', 0, 'v', 0})}},
        {"TCON", {1, 0xFF, 0xFE, '4', 0, 0, 0}, {}, {text_view({0xFF, 0xFE, '4', 0, 0, 0}, 1)}},
        {"TALB", {4, 'x'}, {"INFO Illegal text encoding: 04"}, none},
        {"TRCK", {0xFF, 'x'}, {"INFO Illegal text encoding: ff"}, none},
        // Recognised but not decoded, silently; any other value is unknown.
        {"AENC", any, {}, none}, {"COMM", any, {}, none}, {"TDRC", any, {}, none}, {"WXXX", any, {}, none},
        {"TIME", any, {"INFO Unknown frame: 54494d45, TIME"}, none},
        {"TIt2", any, {"INFO Unknown frame: 54497432, TIt2"}, none},
        {"APIc", any, {"INFO Unknown frame: 41504963, APIc"}, none},
        {std::string("\0CRM", 4), any, {format("INFO Unknown frame: 0043524d, %cCRM", 0)}, none},
        // APIC: encoding, MIME type, zero, picture type, description, zero, data.
        {"APIC", apic(3, "image/png", 3, bytes("descr") + Bytes{0}, hundred),
         traces(9, 1, 11, 18, 1, 100), picture("image/png", 3, hundred)},
        {"APIC", apic(0, "", 255, {'d', 0}, {0xAA}), traces(0, 1, 2, 5, 1, 1), picture("", 255, {0xAA})},
        {"APIC", {0, 'a', 'b'}, traces(0, 0), none},
        {"APIC", {0, 'a', 0, 3}, traces(1, 1), none},
        {"APIC", {0, 'a', 0, 3, 'd', 'e'}, traces(1, 1, 3, 6, 0), none},
        {"APIC", {0, 'a', 0, 3, 'd', 0}, traces(1, 1, 3, 6, 1), none},
        {"APIC", apic(0, "x", 3, {'A', 0}, {0, 'B'}), traces(1, 1, 3, 6, 1, 2), picture("x", 3, {0, 'B'})},
        // A UTF-16 description ends at a zero pair at an even offset from its start.
        {"APIC", apic(1, "x", 3, {0xFF, 0xFE, 'A', 0, 0, 0}, {0, 0x11, 0x22}), traces(1, 1, 3, 10, 1, 3),
         picture("x", 3, {0, 0x11, 0x22})},
        {"APIC", apic(2, "x", 3, {'A', 0, 0, 'B', 0, 0}, {0x33}), traces(1, 1, 3, 10, 1, 1),
         picture("x", 3, {0x33})},
        {"APIC", apic(1, "x", 3, {'A', 0, 'B', 0, 'C'}, {}), traces(1, 1, 3, 9, 0), none},
        // PIC: encoding, three format characters, type at 4, description from 5, data.
        {"PIC", jpg + Bytes{3, 'd', 0, 0xFF, 0xD8, 0xFF}, traces(3, 1, 4, 7, 1, 3),
         picture("JPG", 3, {0xFF, 0xD8, 0xFF})},
        {"PIC", Bytes{1} + bytes("PNG") + Bytes{0, 0xFF, 0xFE, 'A', 0, 0, 0, 0x89, 'P'},
         traces(3, 1, 4, 11, 1, 2), picture("PNG", 0, {0x89, 'P'})},
        {"PIC", {0, 'J', 'P'}, traces(0, 0), none},
        {"PIC", jpg + Bytes{3}, traces(3, 1), none},
        {"PIC", jpg + Bytes{3, 'd', 'e'}, traces(3, 1, 4, 7, 0), none},
        {"PIC", jpg + Bytes{3, 'd', 0}, traces(3, 1, 4, 7, 1), none},
    };
    // clang-format on
    for (const auto &[name, content, lines, fields] : cases) {
        SCOPED_TRACE(name + " " + testing::PrintToString(content));
        const bool pic = name == "PIC";
        id3_frame frame{nullptr, id(pic ? "APIC" : name), 0, uint32_t(content.size()), nullptr};
        const long live = alloc_seam::live();
        LogCapture log;
        const int rc = kelid3::detail::id3_parse_v2_frame(
            &frame, content.data(),
            pic ? kelid3::detail::PictureLayout::kPic : kelid3::detail::PictureLayout::kApic);
        EXPECT_EQ(alloc_seam::live() - live, long(fields.size()));  // one block per field
        EXPECT_EQ(rc, fields.empty() ? kelid3::detail::kNotDecoded : kelid3::detail::kDecoded);
        EXPECT_EQ(field_views(&frame), fields);
        EXPECT_EQ(log.strings("id3_parse_v2_frame"), lines);
        id3_field_free(frame.fields);
    }
}

}  // namespace
