// Concurrency: the library keeps no state between calls, so parsing, printing
// and converting different tags on many threads at once gives every thread
// exactly what one thread alone gets. Run under ThreadSanitizer by
// scripts/check-threads.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <thread>

#include "support/alloc_seam.h"
#include "support/tag_builder.h"

using namespace std::string_literals;

// libc fills a memory stream through its own malloc, which the allocation seam
// does not see; its buffer goes back the same way, past the seam's count.
extern "C" void __real_free(void *p);

namespace {

constexpr int kThreads = 8;
constexpr int kRounds = 150;  // per thread, each round every tag once

// Standard error goes to /dev/null while alive: eight threads logging several
// lines per frame would flood the test output.
class QuietStderr {
  public:
    QuietStderr() {
        std::fflush(stderr);
        saved_ = dup(STDERR_FILENO);
        const int null = open("/dev/null", O_WRONLY);
        dup2(null, STDERR_FILENO);
        close(null);
    }
    ~QuietStderr() {
        std::fflush(stderr);
        dup2(saved_, STDERR_FILENO);
        close(saved_);
    }
    QuietStderr(const QuietStderr &) = delete;
    QuietStderr &operator=(const QuietStderr &) = delete;

  private:
    int saved_ = -1;
};

struct Case {
    const char *name;
    Bytes tag;
    std::vector<uint32_t> ids;  // selection list with its 0, or empty for none
    size_t frames;              // frames the parse yields
};

std::vector<Case> cases() {
    const Bytes data = fill(300, 0x5A);
    const Bytes pic = Bytes{0} + bytes("PNG") + Bytes{3} + bytes("cover\0"s) + data;
    const Bytes v1 = V1Tag{"Title", "Artist", "Album", "2001", "Comment", 7, 17}.build();
    return {
        {"v1.1", v1, {}, 7},
        {"v2.2 picture",
         V2Tag(2).text("TT2", 0, "Title").text("TP1", 0, "Artist").frame("PIC", pic).build(),
         {},
         3},
        {"v2.3 picture",
         V2Tag(3)
             .text("TIT2", 1,
                   "\xFF\xFE"
                   "T\0i\0t\0l\0\xE9\0"s)
             .frame("APIC", apic(0, "image/jpeg", 3, bytes("front\0"s), data))
             .text("TALB", 0, "Album")
             .padding(64)
             .build(),
         {},
         3},
        {"v2.3 selected",
         V2Tag(3).text("TIT2", 0, "Title").text("TPE1", 0, "Artist").text("TALB", 0, "A").build(),
         {id("TPE1"), id("TALB"), 0},
         2},
        {"v2.4 utf-8 and utf-16",
         V2Tag(4)
             .text("TIT2", 3, "Caf\xC3\xA9 \xE2\x82\xAC")
             .text("TPE1", 2, "\0A\0r\x01\x00"s)
             .text("TALB", 1, "\xFE\xFF\0B\xD8\x3D\xDE\x00"s)
             .text("TCON", 3, "Rock")
             .build(),
         {},
         4},
    };
}

// The dump with every %p pointer replaced: addresses differ from run to run.
std::string without_pointers(const std::string &dump) {
    const std::string key = "next ";
    std::string out;
    size_t at = 0;
    for (size_t hit; (hit = dump.find(key, at)) != std::string::npos;) {
        hit += key.size();
        out.append(dump, at, hit - at);
        at = dump.find_first_of(":\n", hit);
        out += dump.compare(hit, at - hit, "(nil)") == 0 ? "null" : "pointer";
    }
    return out.append(dump, at, std::string::npos);
}

// What a caller gets from one tag: the query, the parse, the dump, every
// string field converted and every frame's description.
std::string outcome(const Case &c) {
    const uint32_t head = c.tag[0] == 'T' ? 128 : 14;
    std::string r = "query " + std::to_string(kelid3_tag_query(c.tag.data(), head));
    id3_tag *tag = nullptr;
    const int32_t rc = kelid3_tag_parse(c.tag.data(), uint32_t(c.tag.size()), &tag,
                                        c.ids.empty() ? nullptr : c.ids.data());
    r += " parse " + std::to_string(rc) + "\n";
    if (rc <= 0) return r;
    char *buf = nullptr;
    size_t size = 0;
    FILE *out = open_memstream(&buf, &size);
    kelid3_tag_print(out, tag);
    std::fclose(out);
    r += without_pointers(std::string(buf, size));
    __real_free(buf);
    for (const id3_frame *f : chain(tag->frames)) {
        const char *description = kelid3_field_description(f->id);
        r += description ? description : "-";
        for (const id3_field *field : chain(f->fields)) {
            char *text = kelid3_field_to_iso8859(field);
            r += text ? " [" + std::string(text) + "]" : " null";
            std::free(text);
        }
        r += "\n";
    }
    kelid3_tag_free(tag);
    return r;
}

TEST(Threads, ConcurrentCallsGiveWhatOneThreadGets) {
    const std::vector<Case> all = cases();
    const long live = alloc_seam::live();
    QuietStderr quiet;
    std::vector<std::string> reference;
    for (const Case &c : all) {
        reference.push_back(outcome(c));
        id3_tag *tag = nullptr;
        const int32_t rc = kelid3_tag_parse(c.tag.data(), uint32_t(c.tag.size()), &tag,
                                            c.ids.empty() ? nullptr : c.ids.data());
        EXPECT_GT(rc, 0) << c.name;
        EXPECT_EQ(chain(tag ? tag->frames : nullptr).size(), c.frames) << c.name;
        kelid3_tag_free(tag);
    }

    std::atomic<int> ready{0};
    std::atomic<long> mismatches{0};
    std::mutex first_mutex;
    std::string first;  // the first mismatch seen
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            // Start together, each thread at a different tag.
            ++ready;
            while (ready < kThreads) std::this_thread::yield();
            for (int round = 0; round < kRounds; ++round) {
                for (size_t k = 0; k < all.size(); ++k) {
                    const size_t i = (k + size_t(t)) % all.size();
                    const std::string got = outcome(all[i]);
                    if (got == reference[i]) continue;
                    ++mismatches;
                    const std::lock_guard<std::mutex> lock(first_mutex);
                    if (first.empty()) first = std::string(all[i].name) + ":\n" + got;
                }
            }
        });
    }
    for (std::thread &t : threads) t.join();
    EXPECT_EQ(mismatches, 0) << first;
    EXPECT_EQ(alloc_seam::live(), live);
}

}  // namespace
