// Heap exhaustion: each allocation that a successful parse makes is failed in
// turn; the parse must report it the documented way and leak nothing.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "kelid3.h"
#include "support/alloc_seam.h"
#include "support/log_capture.h"
#include "support/tag_builder.h"
#include "v1/v1.h"

using namespace std::string_literals;

namespace {

// What failing one allocation leads to, by its kind: the result (0: the parse
// succeeds without the frame that needed it) and the lines logged. Kinds: 't' tag
// record, 'v' ID3v1 frame or field block, 'g' ID3v1 genre number field (no line
// of its own), 'r' scanner frame record, 's' text field, 'p' picture field block.
struct Expected {
    char kind;
    int32_t result;
    const char *func, *level, *message;
};
const Expected kExpected[] = {
    {'t', KELID3_ENOMEM, "kelid3_tag_parse", "INFO", "unable to alloc memory"},
    {'v', KELID3_ENOMEM, "id3_parse_v1_frame", "ERROR", "Unable to alloc field or frame."},
    {'v', KELID3_ENOMEM, "kelid3_tag_parse", "ERROR", "unable to parse v1 body: -12"},
    {'g', KELID3_ENOMEM, "kelid3_tag_parse", "ERROR", "unable to parse v1 body: -12"},
    {'r', KELID3_ENOMEM, "id3_parse_v2x_body", "INFO", "unable to malloc new buffer."},
    {'r', KELID3_ENOMEM, "kelid3_tag_parse", "ERROR", "unable to parse v2 frames: -12"},
    {'s', KELID3_EBADTAG, "id3_parse_v2_frame", "ERROR", "unable to alloc mem for field."},
    {'s', KELID3_EBADTAG, "kelid3_tag_parse", "ERROR", "unable to parse v2 frames: -9"},
    {'p', 0, "id3_parse_v2_frame", "ERROR", "unable to malloc fields"},
    {'p', 0, "id3_parse_v2x_body", "INFO",
     "unable to parse v2 frame: id=41504943, APIC. Skipping it."},
};

struct Case {
    const char *name;
    Bytes tag;
    std::vector<uint32_t> ids;  // selection list with its 0, or empty for none
    std::string allocs;         // kinds of the allocations of a successful parse, in order
};

TEST(AllocFailureParse, EachAllocationFailsAsDocumentedAndLeaksNothing) {
    const Bytes data = fill(40, 0xAB);
    const Bytes pic = Bytes{0} + bytes("JPG") + Bytes{3} + bytes("cover") + Bytes{0} + data;
    const Bytes apic_content = apic(0, "image/png", 3, bytes("cover") + Bytes{0}, data);
    const Bytes v23 = V2Tag(3)
                          .text("TIT2", 0, "Title")
                          .text("TPE1", 1, std::string("\xFF\xFE\x41\0", 4))
                          .frame("APIC", apic_content)
                          .text("TALB", 0, "Album")
                          .padding(16)
                          .build();
    // clang-format off
    const Case cases[] = {
        {"v1", V1Tag{"Title", "Artist", "Album", "1999", "Note", -1, 255}.build(), {},
         "tvvvvvvvvvv"},
        {"v1.1 genre", V1Tag{"Title", "Artist", "Album", "1999", "Note", 7, 17}.build(), {},
         "tvvvvvvvvvvvvvvg"},
        {"v2.2", V2Tag(2).text("TT2", 0, "Title").frame("PIC", pic).build(), {}, "trsrppp"},
        {"v2.3", v23, {}, "trsrsrppprsr"},
        // unselected frames reuse the record in hand
        {"v2.3 selected", v23, {id("TIT2"), id("APIC"), 0}, "trsrpppr"},
        {"v2.4", V2Tag(4).text("TIT2", 3, "T").frame("APIC", apic_content).text("TPE1", 0, "A").build(),
         {}, "trsrppprs"},
    };
    // clang-format on
    id3_tag sentinel{};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const uint32_t *ids = c.ids.empty() ? nullptr : c.ids.data();
        const auto len = uint32_t(c.tag.size());
        const long live = alloc_seam::live();
        std::vector<std::string> without_picture;
        int32_t full = 0;
        {
            LogCapture quiet;
            id3_tag *tag = nullptr;
            alloc_seam::reset();
            full = kelid3_tag_parse(c.tag.data(), len, &tag, ids);
            ASSERT_EQ(alloc_seam::count(), long(c.allocs.size()));
            ASSERT_GT(full, 0);
            for (const std::string &i : frame_ids(tag))
                if (i != "APIC") without_picture.push_back(i);
            kelid3_tag_free(tag);
            ASSERT_EQ(alloc_seam::live(), live);
        }
        for (size_t k = 0; k < c.allocs.size(); ++k) {
            SCOPED_TRACE("allocation " + std::to_string(k + 1) + " " + c.allocs[k]);
            LogCapture log;
            id3_tag *tag = &sentinel;
            alloc_seam::fail_nth(long(k) + 1);
            const int32_t result = kelid3_tag_parse(c.tag.data(), len, &tag, ids);
            alloc_seam::reset();
            int32_t want = 0;
            for (const Expected &e : kExpected) want = e.kind == c.allocs[k] ? e.result : want;
            if (want == 0) {
                EXPECT_EQ(result, full);
                EXPECT_EQ(frame_ids(tag), without_picture);
                if (tag != &sentinel) kelid3_tag_free(tag);
            } else {
                EXPECT_EQ(result, want);
                EXPECT_EQ(tag, &sentinel);
            }
            EXPECT_EQ(alloc_seam::live(), live);  // before the capture's own allocations
            int errors = 0;
            for (const Expected &e : kExpected) {
                if (e.kind != c.allocs[k]) continue;
                EXPECT_EQ(log.count(e.func, e.level, e.message), 1) << e.message;
                errors += e.level == "ERROR"s;
            }
            for (const LogLine &l : log.lines()) errors -= l.level == "ERROR";
            EXPECT_EQ(errors, 0) << "unexpected ERROR lines";
        }
    }
}

TEST(AllocFailureConvert, MissingResultBlockGivesNullAndOneLine) {
    const struct {
        uint32_t encoding;
        Bytes text;
        const char *func, *message;
    } rows[] = {
        {3, bytes("abc"), "utf8_to_8859_15", "unable to alloc space for utf8->latin1"},
        {1, {0xFF, 0xFE, 0x41, 0}, "utf16_to_8859_15", "unable to alloc space for utf16->latin1"},
        {2, {0x00, 0x41}, "utf16_to_8859_15", "unable to alloc space for utf16->latin1"},
    };
    for (const auto &r : rows) {
        Bytes store = r.text + Bytes{0};
        const id3_field field{
            FIELD_STRING, nullptr, uintptr_t(store.data()), {r.encoding}, uint32_t(r.text.size())};
        LogCapture log;
        const long live = alloc_seam::live();
        alloc_seam::fail_nth(1);
        EXPECT_EQ(kelid3_field_to_iso8859(&field), nullptr) << r.encoding;
        alloc_seam::reset();
        EXPECT_EQ(alloc_seam::live(), live);
        EXPECT_EQ(log.lines().size(), 1u) << r.encoding;
        EXPECT_EQ(log.count(r.func, "ERROR", r.message), 1) << r.encoding;
    }
}

TEST(AllocFailureV1Frame, RequestsBothBlocksAndReleasesTheOneObtained) {
    const uint8_t text[] = "Title";
    for (uint32_t kind : {FIELD_STRING, FIELD_UINT}) {
        for (long n : {1L, 2L}) {
            SCOPED_TRACE("kind " + std::to_string(kind) + ", failing request " + std::to_string(n));
            LogCapture log;
            const long live = alloc_seam::live();
            alloc_seam::fail_nth(n);
            EXPECT_EQ(kelid3::id3_parse_v1_frame(text, 5, id("TIT2"), kind, 0), nullptr);
            EXPECT_EQ(alloc_seam::count(), 2);
            alloc_seam::reset();
            EXPECT_EQ(alloc_seam::live(), live);
            EXPECT_EQ(log.lines().size(), 1u);
            EXPECT_EQ(log.count("id3_parse_v1_frame", "ERROR", "Unable to alloc field or frame."),
                      1);
        }
    }
}

}  // namespace
