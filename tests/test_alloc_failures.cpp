// Heap exhaustion: each allocation that a successful parse makes is failed in
// turn; the parse must report it the documented way and leak nothing.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "support/alloc_seam.h"
#include "support/tag_builder.h"
#include "v1/v1.h"

namespace {

// What failing one allocation leads to, by its kind: the result (0: the parse
// succeeds without the frame that needed it) and the lines logged, ERROR lines
// all of them. Kinds: 't' tag record, 'v' ID3v1 frame or field block, 'g' ID3v1
// genre number field (no line of its own), 'r' scanner frame record, 's' text
// field, 'p' picture field block.
// clang-format off
const std::map<char, std::pair<int32_t, Strings>> kOutcome = {
    {'t', {KELID3_ENOMEM, {"INFO unable to alloc memory"}}},
    {'v', {KELID3_ENOMEM, {"id3_parse_v1_frame: ERROR Unable to alloc field or frame.",
                           "ERROR unable to parse v1 body: -12"}}},
    {'g', {KELID3_ENOMEM, {"ERROR unable to parse v1 body: -12"}}},
    {'r', {KELID3_ENOMEM, {"id3_parse_v2x_body: INFO unable to malloc new buffer.",
                           "ERROR unable to parse v2 frames: -12"}}},
    {'s', {KELID3_EBADTAG, {"id3_parse_v2_frame: ERROR unable to alloc mem for field.",
                            "ERROR unable to parse v2 frames: -9"}}},
    {'p', {0, {"id3_parse_v2_frame: ERROR unable to malloc fields",
               "id3_parse_v2x_body: INFO unable to parse v2 frame: id=41504943, APIC. Skipping it."}}}};
// clang-format on

long errors(const Strings &lines) {
    return std::count_if(lines.begin(), lines.end(),
                         [](const std::string &l) { return l.find("ERROR ") != l.npos; });
}

TEST(AllocFailureParse, EachAllocationFailsAsDocumentedAndLeaksNothing) {
    const Bytes data = fill(40, 0xAB);
    const Bytes pic = Bytes{0} + bytes("JPG") + Bytes{3} + bytes("cover") + Bytes{0} + data;
    const Bytes apic_content = apic(0, "image/png", 3, bytes("cover") + Bytes{0}, data);
    V2Tag v23(3);
    v23.text("TIT2", 0, "Title").text("TPE1", 1, std::string("\xFF\xFE\x41\0", 4));
    v23.frame("APIC", apic_content).text("TALB", 0, "Album").padding(16);
    // clang-format off
    const std::tuple<const char *, Bytes, std::vector<uint32_t>, std::string> cases[] = {
        // tag, selection list (empty: none), kinds of the allocations of a successful parse
        {"v1.1 genre", V1Tag{"Title", "Artist", "Album", "1999", "Note", 7, 17}.build(), {},
         "tvvvvvvvvvvvvvvg"},
        {"v2.2", V2Tag(2).text("TT2", 0, "Title").frame("PIC", pic).build(), {}, "trsrppp"},
        {"v2.3", v23.build(), {}, "trsrsrppprsr"},
        // unselected frames reuse the record in hand
        {"v2.3 selected", v23.build(), {id("TIT2"), id("APIC"), 0}, "trsrpppr"}};
    // clang-format on
    id3_tag sentinel{};
    for (const auto &[name, tag, ids, allocs] : cases) {
        SCOPED_TRACE(name);
        const uint32_t *select = ids.empty() ? nullptr : ids.data();
        const auto len = uint32_t(tag.size());
        const long live = alloc_seam::live();
        Strings without_picture;
        int32_t full = 0;
        {
            LogCapture quiet;
            id3_tag *out = nullptr;
            alloc_seam::reset();
            full = kelid3_tag_parse(tag.data(), len, &out, select);
            ASSERT_EQ(alloc_seam::count(), long(allocs.size()));
            for (const std::string &i : frame_ids(out))
                if (i != "APIC") without_picture.push_back(i);
            kelid3_tag_free(out);
        }
        for (size_t k = 0; k < allocs.size(); ++k) {
            SCOPED_TRACE("allocation " + std::to_string(k + 1) + " " + allocs[k]);
            const auto &[want, lines] = kOutcome.at(allocs[k]);
            LogCapture log;
            id3_tag *out = &sentinel;
            alloc_seam::fail_nth(long(k) + 1);
            EXPECT_EQ(kelid3_tag_parse(tag.data(), len, &out, select), want == 0 ? full : want);
            alloc_seam::reset();
            EXPECT_EQ(out == &sentinel, want != 0);  // a failure leaves the caller's pointer
            EXPECT_EQ(want == 0 ? frame_ids(out) : without_picture, without_picture);
            if (out != &sentinel) kelid3_tag_free(out);
            EXPECT_EQ(alloc_seam::live(), live);  // before the capture's own allocations
            const Strings got = log.strings("kelid3_tag_parse", false);
            EXPECT_TRUE(in_order(got, lines));
            EXPECT_EQ(errors(got), errors(lines)) << "unexpected ERROR lines";
        }
    }
}

TEST(AllocFailureConvert, MissingResultBlockGivesNullAndOneLine) {
    const std::string utf8 = "utf8_to_8859_15: ERROR unable to alloc space for utf8->latin1",
                      utf16 = "utf16_to_8859_15: ERROR unable to alloc space for utf16->latin1";
    const std::tuple<uint32_t, Bytes, std::string> rows[] = {
        {3, bytes("abc"), utf8}, {1, {0xFF, 0xFE, 0x41, 0}, utf16}, {2, {0x00, 0x41}, utf16}};
    for (const auto &[encoding, text, line] : rows) {
        const Bytes store = text + Bytes{0};
        const id3_field field{
            FIELD_STRING, nullptr, uintptr_t(store.data()), {encoding}, uint32_t(text.size())};
        LogCapture log;
        const long live = alloc_seam::live();
        alloc_seam::fail_nth(1);
        EXPECT_EQ(kelid3_field_to_iso8859(&field), nullptr) << encoding;
        alloc_seam::reset();
        EXPECT_EQ(alloc_seam::live(), live);
        EXPECT_EQ(log.strings(), Strings{line});
    }
}

// Both blocks are requested before either is tested; the one obtained is released.
TEST(AllocFailureV1Frame, RequestsBothBlocksAndReleasesTheOneObtained) {
    const uint8_t text[] = "Title";
    for (long n : {1L, 2L}) {
        LogCapture log;
        const long live = alloc_seam::live();
        alloc_seam::fail_nth(n);
        EXPECT_EQ(kelid3::detail::id3_parse_v1_frame(text, 5, id("TIT2"), FIELD_STRING, 0),
                  nullptr);
        EXPECT_EQ(alloc_seam::count(), 2);
        alloc_seam::reset();
        EXPECT_EQ(alloc_seam::live(), live);
        EXPECT_EQ(log.strings(),
                  Strings{"id3_parse_v1_frame: ERROR Unable to alloc field or frame."});
    }
}

}  // namespace
