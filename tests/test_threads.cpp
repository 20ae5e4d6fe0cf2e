// SPDX-License-Identifier: MIT
// Eight threads at once (scripts/check-threads runs this under
// ThreadSanitizer): parsing, dumping and converting different tags give what
// one thread alone gets, and the diagnostic lines stay whole; the complete
// reader's lines go whole to the stream of their call, and not to stderr.
#include <atomic>
#include <thread>

#include "support/records.h"

namespace {

// What a caller gets from a tag: the parse, the dump without its pointers and
// every string field converted.
std::string outcome(const Bytes &tag) {
    static const std::regex kNext("next [^:\n]+");
    const kelid3::parse_result p = kelid3::parse(tag.data(), uint32_t(tag.size()));
    std::string out = std::to_string(p.code()) + std::regex_replace(dump(p->get()), kNext, "");
    for (const kelid3::frame f : p->frames())
        for (const kelid3::field x : f.fields()) out += x.to_iso8859().view();
    return out;
}

TEST(Threads, ConcurrentCallsGiveWhatOneThreadGetsInWholeLines) {
    const Bytes pic = bytes("\0PNG\3front\0"s) + fill(300, 1),
                jpeg = apic(0, "image/jpeg", 3, {0}, fill(99, 1));
    const Bytes tags[] = {
        V2Tag(2).text("TT2", 0, "Title").frame("PIC", pic).build(),
        V2Tag(3).text("TIT2", 1, "\xFF\xFET\0\xE9\0"s).frame("APIC", jpeg).build(),
        V2Tag(4).text("TIT2", 3, "Caf\xC3\xA9 \xE2\x82\xAC").text("TPE1", 2, "\0A\x01\0"s).build(),
    };
    // the lines of each tag's outcome once; the lines of its parse
    std::string reference[3], lines = "\n", parse_lines[3];
    for (int i = 0; i < 3; ++i) {
        LogCapture log;
        reference[i] = outcome(tags[i]);
        lines += log.text();
        LogCapture parse_log;
        kelid3::parse(tags[i].data(), uint32_t(tags[i].size()));
        parse_lines[i] = parse_log.text();
    }
    std::atomic<int> mismatches{0}, stream_mismatches{0};
    LogCapture log;
    for (std::vector<std::jthread> threads; threads.size() < 8;)  // joined as the loop ends
        threads.emplace_back([&, t = threads.size()] {
            FILE *own = std::tmpfile();
            std::string expected;
            for (size_t round = t; round < t + 99; ++round) {
                const Bytes &tag = tags[round % 3];
                mismatches += outcome(tag) != reference[round % 3];
                kelid3::read(tag.data(), uint32_t(tag.size()), {0, nullptr, own});
                expected += parse_lines[round % 3];
            }
            stream_mismatches += contents(own) != expected;
        });
    EXPECT_EQ(mismatches, 0);
    EXPECT_EQ(stream_mismatches, 0) << "a read's lines not those of a parse on its own stream";
    EXPECT_EQ(log.text().size(), 8 * 33 * (lines.size() - 1)) << "lost or extra lines";
    std::istringstream in(log.text());
    for (std::string line; std::getline(in, line);)
        ASSERT_NE(lines.find("\n" + line + "\n"), std::string::npos) << "torn line: " << line;
}

}  // namespace
