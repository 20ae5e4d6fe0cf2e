// SPDX-License-Identifier: MIT
// Heap exhaustion: every allocation of a representative parse fails in turn;
// each is reported the documented way (the live-block check after each test
// finds any leak). The conversions' blocks: with their tables.
#include "support/alloc_seam.h"
#include "support/records.h"

namespace {

// Each allocation of a parse made to fail in turn; `kinds` names them in
// order: t the tag record, f and v an ID3v1 frame and field block (both are
// requested before either is tested), g the ID3v1 genre number, r the
// scanner's frame record, s a text field, p a picture field (the parse goes
// on without the picture), c a field of a comment that the complete reader
// decodes. Expected: tests/golden/alloc_failures, a section
// an allocation: the result, the frames, the lines that tell of something not
// had, and the allocations asked for (after a failure, none but an ID3v1
// frame's field block).
TEST(AllocFailure, EachAllocationOfAParseFailsAsDocumented) {
    const V2Tag titled = V2Tag(3).text("TIT2", 0, "Title").text("TPE1", 1, "\xFF\xFE\x41\0"s);
    const Bytes png = apic(0, "image/png", 3, {0}, {1, 2});
    const V2Tag v23 = V2Tag(titled).frame("APIC", png).text("TALB", 0, "Al");
    const Bytes v1 = V1Tag{"Title", "Artist", "Album", "1999", "Note", 7, 17}.build();
    const Bytes comm = V2Tag(3).frame("COMM", bytes("\0engd\0t"s)).build();
    const std::vector<uint32_t> selected = {id("TIT2"), id("APIC"), 0};
    const Bytes v22 = V2Tag(2).text("TT2", 0, "T").frame("PIC", bytes("\0PNG\3d\0\xFF"s)).build();
    const struct {
        Case tag;
        std::string kinds;
    } parses[] = {
        {{"ID3v1", v1}, "tfvfvfvfvfvfvfvg"},
        {{"ID3v2.2", v22}, "trsrppp"},
        {{"ID3v2.3", v23.build()}, "trsrsrppprs"},
        {{"ID3v2.3, TIT2 and APIC selected", v23.build(), 0, selected}, "trsrpppr"},
        {{"COMM, every frame read", comm, KELID3_READ_ALL_FRAMES}, "trccc"},
    };
    struct Row {
        std::string name;
        Case tag;
        long fail;  // the allocation that fails
    };
    std::vector<Row> rows;
    for (const auto &[tag, kinds] : parses) {
        alloc_seam::fail_nth(0);
        parse(tag.input, tag.ids, true, tag.flags);
        EXPECT_EQ(alloc_seam::count.load(), long(kinds.size())) << tag.name;
        for (size_t k = 0; k < kinds.size(); ++k)
            rows.push_back(
                {tag.name + format(", allocation %zu (%c)", k + 1, kinds[k]), tag, long(k + 1)});
    }
    expect_rows("alloc_failures", rows, [](const Row &row) {
        alloc_seam::fail_nth(row.fail);
        const Parsed p = parse(row.tag.input, row.tag.ids, true, row.tag.flags);
        const long count = alloc_seam::count;
        alloc_seam::fail_nth(0);
        std::string lines;
        for (const std::string &line : split(p.lines))
            if (line.find("nable ") != std::string::npos)
                lines += (lines.empty() ? "" : "\n") + line;
        Fields out = outcome(p.rc, p.tag.get(), lines);
        out.emplace_back("allocations", std::to_string(count));
        return out;
    });
}

}  // namespace
