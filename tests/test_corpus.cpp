// SPDX-License-Identifier: MIT
// Real files: every file of the shared ID3 corpus (../shared/corpus beside
// the source tree, or the folder KELID3_CORPUS_DIR names) read as a caller
// reads it, every record walked; the counts are pinned so a change shows.
#include <filesystem>
#include <fstream>
#include <map>

#include "support/records.h"

namespace {

TEST(Corpus, EveryFileParsesAsBeforeWithoutLeaks) {
    const char *env = std::getenv("KELID3_CORPUS_DIR");
    const std::filesystem::path dir = env && *env ? env : KELID3_CORPUS_DIR;
    if (!std::filesystem::is_directory(dir))
        GTEST_SKIP() << "no corpus folder " << dir << " (KELID3_CORPUS_DIR names another)";
    std::map<std::string, int> counts;
    LogCapture quiet;
    for (const auto &entry : std::filesystem::recursive_directory_iterator(dir)) {
        if (!entry.is_regular_file() || entry.path().extension() == ".md") continue;
        ++counts["files"];
        std::ifstream in(entry.path(), std::ios::binary);
        const Bytes file{std::istreambuf_iterator<char>(in), {}};
        const auto len = uint32_t(file.size());
        // The head: 14 bytes to measure the tag, then the tag with its header.
        const int32_t query = kelid3_tag_query(file.data(), std::min(len, 14u));
        const uint32_t head = std::min(len, uint32_t(query) + (len && file[0] == 'I' ? 10 : 0));
        const kelid3::parse_result p = kelid3::parse(file.data(), query > 0 ? head : 0);
        if (query > 0) ++counts[p ? "parsed" : "parse failed " + std::to_string(p.code())];
        for (const kelid3::frame f : p->frames()) {
            ++counts["frames"];
            for (const kelid3::field x : f.fields()) x.to_iso8859();
        }
        // Without flags and with its lines on stderr, the reader is the parse:
        // the same result, records and lines.
        if (query > 0) {
            SCOPED_TRACE(entry.path());
            LogCapture parse_log;
            const kelid3::parse_result again = kelid3::parse(file.data(), head);
            const std::string parse_lines = parse_log.text();
            LogCapture read_log;
            const kelid3::read_result plain = kelid3::read(file.data(), head, {0, nullptr, stderr});
            EXPECT_EQ(plain.code(), again.code());
            EXPECT_EQ(frames(plain->get()), frames(again->get()));
            EXPECT_EQ(read_log.text(), parse_lines);
        }
        // The complete reader: every frame walked, every text as UTF-8.
        const kelid3::read_result all = kelid3::read(file.data(), query > 0 ? head : 0);
        if (query > 0) ++counts[all ? "read" : "read failed"];
        for (const kelid3::frame f : all->frames()) {
            ++counts["frames read"];
            for (const kelid3::field x : f.fields()) EXPECT_EQ(x.is_string(), bool(x.utf8()));
        }
        // The record layout, and a dump exactly for a tag.
        EXPECT_EQ(frames(p->get()).find("<!>"), std::string::npos) << entry.path();
        EXPECT_EQ(frames(all->get()).find("<!>"), std::string::npos) << entry.path();
        EXPECT_NE(dump(p->get()).empty(), bool(p)) << entry.path();
        // The last 128 bytes.
        const uint8_t *tail = file.data() + len - std::min(len, 128u);
        if (len >= 128 && kelid3_tag_query(tail, 128) == 128)
            counts["ID3v1 at the end"] += kelid3::parse(tail, 128).code() == 128;
    }
    // Expected: tests/golden/corpus. Parse failed -34: frames of size 0 (six
    // files, read by the complete reader); -9: an extended header longer than
    // the file.
    Fields got;
    for (const auto &[what, n] : counts) got.emplace_back(what, std::to_string(n));
    expect_rows("corpus", std::vector<Case>{{"../shared/corpus", {}}},
                [&](const Case &) { return got; });
}

}  // namespace
