// SPDX-License-Identifier: MIT
// Eight threads at once (scripts/check-threads runs this under
// ThreadSanitizer): parsing, dumping and converting different tags give what
// one thread alone gets, and the diagnostic lines stay whole.
#include <atomic>
#include <set>
#include <thread>

#include "support/records.h"

using namespace std::string_literals;

namespace {

// What a caller gets from a tag: the parse, the dump without its pointers and
// every string field converted.
const std::regex kNext("next [^:\n]+");

std::string outcome(const Bytes &tag) {
    const kelid3::parse_result p = kelid3::parse(tag.data(), uint32_t(tag.size()));
    std::string out = std::to_string(p.code()) + std::regex_replace(dump(p->get()), kNext, "");
    for (const kelid3::frame f : p->frames())
        for (const kelid3::field x : f.fields()) out += x.to_iso8859().view();
    return out;
}

TEST(Threads, ConcurrentParsesGiveWhatOneThreadGetsInWholeLines) {
    const Bytes tags[] = {
        V1Tag{"Title", "Artist", "Album", "2001", "Comment", 7, 17}.build(),
        V2Tag(2)
            .text("TT2", 0, "Title")
            .frame("PIC", bytes("\0PNG\3front\0"s) + fill(300, 0x5A))
            .build(),
        V2Tag(3)
            .text("TIT2", 1, "\xFF\xFET\0\xE9\0"s)
            .frame("APIC", apic(0, "image/jpeg", 3, {0}, fill(99, 1)))
            .build(),
        V2Tag(4).text("TIT2", 3, "Caf\xC3\xA9 \xE2\x82\xAC").text("TPE1", 2, "\0A\x01\0"s).build()};
    std::string reference[4], lines[4];
    for (int i = 0; i < 4; ++i) {
        LogCapture log;
        reference[i] = outcome(tags[i]);
        lines[i] = log.text();
    }
    std::atomic<int> mismatches{0};
    LogCapture log;
    std::vector<std::thread> threads;
    for (size_t t = 0; t < 8; ++t) {
        threads.emplace_back([&, t] {
            for (size_t round = 0; round < 100; ++round)
                mismatches += outcome(tags[(round + t) % 4]) != reference[(round + t) % 4];
        });
    }
    for (std::thread &thread : threads) thread.join();
    EXPECT_EQ(mismatches, 0);
    // Each line is written in one piece: the lines of all rounds, whole, in some order.
    std::multiset<std::string> all, want;
    std::istringstream in(log.text());
    for (std::string line; std::getline(in, line);) all.insert(line);
    for (int i = 0; i < 4; ++i) {
        std::istringstream one(lines[i]);
        for (std::string line; std::getline(one, line);)
            for (int k = 0; k < 200; ++k) want.insert(line);
    }
    EXPECT_TRUE(all == want) << "torn or lost lines";
}

}  // namespace
