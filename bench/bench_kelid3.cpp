// SPDX-License-Identifier: MIT
// Benchmarks: libkelid3 parsing representative tags, beside the peer
// libraries and two limits no implementation of the records can beat, and the
// presentation functions. Standard error goes to /dev/null for the whole run
// (the library's lines are written, and cost what writing them costs).
//
//   kelid3_bench --benchmark_repetitions=9
//
// After the table it prints the ratios, from the median CPU time of each case.
// KELID3_BENCH_ITERATIONS=<n> runs every case exactly n times (for counting
// instructions under callgrind: run twice with different n and subtract);
// KELID3_BENCH_STDERR_BUFFER=<bytes> gives standard error a buffer first.
#include <benchmark/benchmark.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iomanip>
#include <iostream>
#include <iterator>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "bench/counting_alloc.h"
#include "bench/peers.h"
#include "bench/tags.h"
#include "kelid3.h"

namespace bench {
namespace {

using Parse = int32_t (*)(const void *, uint32_t, id3_tag **, const uint32_t *);
using Free = void (*)(id3_tag *);
using Log = int (*)(const char *, int, const char *, const char *, ...);

// One block of a limit case: `size` bytes taken from the heap, `length` of
// them filled from `source`.
struct Block {
    size_t size;
    size_t offset;
    const uint8_t *source;
    size_t length;
};

struct Prepared {
    SampleTag tag;
    size_t records = 0;                 // tag + frames + fields of the parse result
    std::vector<Block> record_blocks;   // one per record
    std::vector<Block> field_copies;    // one per field: its bytes alone
    mutable std::vector<void *> slots;  // room for the blocks in hand
    id3_tag *parsed = nullptr;          // for the presentation cases
    TaglibInput *taglib = nullptr;
};

// Bytes of a field as stored behind its header.
size_t field_length(const id3_field *f) {
    switch (f->type) {
        case FIELD_STRING:
            return size_t{f->length} + 1;
        case FIELD_BLOB:
            return f->size;
        default:
            return 0;
    }
}

// Where the field's bytes lie in the tag, or any bytes of that length.
const uint8_t *source_of(const Bytes &tag, const id3_field *f, size_t length) {
    static const std::vector<uint8_t> elsewhere(1 << 20);
    if (length == 0) return elsewhere.data();
    // A text is looked for without its terminator, which the tag lacks.
    const size_t stored = f->type == FIELD_STRING ? length - 1 : length;
    const auto *bytes = reinterpret_cast<const uint8_t *>(f->data);
    const auto at = std::search(tag.begin(), tag.end(), bytes, bytes + stored);
    const bool inside = at != tag.end() && static_cast<size_t>(tag.end() - at) >= length;
    return inside ? &*at : elsewhere.data();
}

Prepared prepare(SampleTag sample) {
    Prepared p;
    p.tag = std::move(sample);
    const Bytes &bytes = p.tag.bytes;
    if (kelid3_tag_parse(bytes.data(), static_cast<uint32_t>(bytes.size()), &p.parsed, nullptr) <
        0) {
        std::printf("kelid3 refused %s\n", p.tag.name.c_str());
        std::exit(1);
    }
    // The limit cases fill the record headers from the tag's first bytes.
    p.record_blocks.push_back({sizeof(id3_tag), 0, bytes.data(), sizeof(id3_tag)});
    for (const id3_frame *fr = p.parsed->frames; fr != nullptr; fr = fr->next) {
        p.record_blocks.push_back({sizeof(id3_frame), 0, bytes.data(), sizeof(id3_frame)});
        for (const id3_field *f = fr->fields; f != nullptr; f = f->next) {
            const size_t length = field_length(f);
            const uint8_t *source = source_of(bytes, f, length);
            if (f->type == FIELD_UINT) {
                p.record_blocks.push_back({sizeof(id3_field), 0, bytes.data(), sizeof(id3_field)});
                p.field_copies.push_back({sizeof(uint32_t), 0, bytes.data(), sizeof(uint32_t)});
            } else {
                p.record_blocks.push_back(
                    {sizeof(id3_field) + length, sizeof(id3_field), source, length});
                p.field_copies.push_back({length, 0, source, length});
            }
        }
    }
    p.records = p.record_blocks.size();
    p.slots.resize(p.records);
#ifdef KELID3_BENCH_TAGLIB
    p.taglib = taglib_prepare(bytes.data(), bytes.size());
#endif
    return p;
}

void finish(benchmark::State &state, const Prepared &p, uint64_t allocations_before) {
    const double allocations = static_cast<double>(bench_allocations() - allocations_before);
    state.counters["allocs"] = benchmark::Counter(allocations, benchmark::Counter::kAvgIterations);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(p.tag.bytes.size()));
}

// ---- Parsing ------------------------------------------------------------------

void kelid3_parse(benchmark::State &state, const Prepared *p, Parse parse, Free release) {
    const auto *data = p->tag.bytes.data();
    const auto size = static_cast<uint32_t>(p->tag.bytes.size());
    const uint64_t before = bench_allocations();
    for (auto _ : state) {
        id3_tag *tag = nullptr;
        benchmark::DoNotOptimize(parse(data, size, &tag, nullptr));
        release(tag);
    }
    finish(state, *p, before);
}

// The complete reader: every text, URL, comment and lyrics frame, no lines.
void kelid3_read(benchmark::State &state, const Prepared *p) {
    const auto *data = p->tag.bytes.data();
    const auto size = static_cast<uint32_t>(p->tag.bytes.size());
    kelid3_read_options options{};
    options.struct_size = sizeof options;
    options.flags = KELID3_READ_COMPLETE;
    const uint64_t before = bench_allocations();
    for (auto _ : state) {
        id3_tag *tag = nullptr;
        benchmark::DoNotOptimize(kelid3_tag_read(data, size, &tag, &options));
        kelid3_tag_free(tag);
    }
    finish(state, *p, before);
}

// ---- Real writers' tags ---------------------------------------------------------

// The ID3v2 tags of the shared corpus of files written by real programs
// (../shared/corpus beside the source tree, or KELID3_CORPUS_DIR), each as a
// caller reads it: the header's size and ten bytes from the start.
struct Collection {
    std::vector<Bytes> tags;
    std::vector<TaglibInput *> taglib;
    size_t bytes = 0;
};

Collection load_corpus() {
    Collection c;
    const char *env = std::getenv("KELID3_CORPUS_DIR");
    const std::filesystem::path dir = env != nullptr && *env != 0 ? env : KELID3_CORPUS_DIR;
    if (!std::filesystem::is_directory(dir)) return c;
    std::vector<std::filesystem::path> files;
    for (const auto &entry : std::filesystem::recursive_directory_iterator(dir))
        if (entry.is_regular_file()) files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    for (const auto &path : files) {
        std::ifstream in(path, std::ios::binary);
        Bytes file{std::istreambuf_iterator<char>(in), {}};
        const auto len = static_cast<uint32_t>(std::min<size_t>(file.size(), UINT32_MAX));
        if (len < 14 || file[0] != 'I') continue;
        const int32_t size = kelid3_tag_query(file.data(), 14);
        if (size <= 0) continue;
        file.resize(std::min<size_t>(file.size(), static_cast<size_t>(size) + 10));
        c.bytes += file.size();
        c.tags.push_back(std::move(file));
#ifdef KELID3_BENCH_TAGLIB
        c.taglib.push_back(taglib_prepare(c.tags.back().data(), c.tags.back().size()));
#endif
    }
    return c;
}

// All the collection's tags, read by kelid3 as parse or as the complete reader.
void corpus_kelid3(benchmark::State &state, const Collection *c, uint32_t flags) {
    kelid3_read_options options{};
    options.struct_size = sizeof options;
    options.flags = flags;
    for (auto _ : state) {
        for (const Bytes &tag : c->tags) {
            id3_tag *parsed = nullptr;
            if (flags == 0) {
                benchmark::DoNotOptimize(kelid3_tag_parse(
                    tag.data(), static_cast<uint32_t>(tag.size()), &parsed, nullptr));
            } else {
                benchmark::DoNotOptimize(kelid3_tag_read(
                    tag.data(), static_cast<uint32_t>(tag.size()), &parsed, &options));
            }
            kelid3_tag_free(parsed);
        }
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(c->bytes));
}

#ifdef KELID3_BENCH_LIBID3TAG
// Seconds for 20 runs of f, the best of five.
template <class F>
double best_of_five(F f) {
    double best = 1e18;
    for (int round = 0; round < 5; ++round) {
        const auto start = std::chrono::steady_clock::now();
        for (int i = 0; i < 20; ++i) f();
        const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
        best = std::min(best, took.count());
    }
    return best;
}

// Tag by tag: libid3tag's time over the complete reader's for each tag that
// both read (a tag libid3tag refuses costs it next to nothing), their
// geometric mean and median. KELID3_BENCH_CORPUS_TAGS=1 prints them first.
void corpus_per_tag(const Collection &c) {
    kelid3_read_options options{};
    options.struct_size = sizeof options;
    options.flags = KELID3_READ_COMPLETE;
    std::vector<double> ratios;
    double log_sum = 0;
    for (const Bytes &tag : c.tags) {
        const auto size = static_cast<uint32_t>(tag.size());
        if (peer_libid3tag_parse(tag.data(), tag.size()) < 0) continue;
        const double own = best_of_five([&] {
            id3_tag *parsed = nullptr;
            kelid3_tag_read(tag.data(), size, &parsed, &options);
            kelid3_tag_free(parsed);
        });
        const double peer = best_of_five([&] { peer_libid3tag_parse(tag.data(), tag.size()); });
        ratios.push_back(peer / own);
        log_sum += std::log(peer / own);
    }
    if (ratios.empty()) return;
    std::sort(ratios.begin(), ratios.end());
    std::printf(
        "corpus, tag by tag: %zu tags both read; libid3tag over the complete reader: "
        "geometric mean %.2f, median %.2f, least %.2f\n",
        ratios.size(), std::exp(log_sum / static_cast<double>(ratios.size())),
        ratios[ratios.size() / 2], ratios.front());
}

void corpus_libid3tag(benchmark::State &state, const Collection *c) {
    for (auto _ : state)
        for (const Bytes &tag : c->tags)
            benchmark::DoNotOptimize(peer_libid3tag_parse(tag.data(), tag.size()));
}
#endif

#ifdef KELID3_BENCH_TAGLIB
void corpus_taglib(benchmark::State &state, const Collection *c) {
    for (auto _ : state)
        for (const TaglibInput *tag : c->taglib) benchmark::DoNotOptimize(taglib_parse(tag));
}
#endif

#ifdef KELID3_BENCH_LIBID3TAG
void libid3tag_parse(benchmark::State &state, const Prepared *p) {
    const uint64_t before = bench_allocations();
    for (auto _ : state) {
        benchmark::DoNotOptimize(peer_libid3tag_parse(p->tag.bytes.data(), p->tag.bytes.size()));
    }
    finish(state, *p, before);
}
#endif

#ifdef KELID3_BENCH_TAGLIB
void taglib_parse_case(benchmark::State &state, const Prepared *p) {
    const uint64_t before = bench_allocations();
    for (auto _ : state) benchmark::DoNotOptimize(taglib_parse(p->taglib));
    finish(state, *p, before);
}
#endif

// Blocks taken, filled with memcpy, then all released: no parsing at all.
void fill_blocks(benchmark::State &state, const Prepared *p, const std::vector<Block> &blocks) {
    void **slots = p->slots.data();
    const size_t n = blocks.size();
    const uint64_t before = bench_allocations();
    for (auto _ : state) {
        for (size_t i = 0; i < n; ++i) {
            const Block &b = blocks[i];
            auto *block = static_cast<uint8_t *>(std::malloc(b.size));
            std::memcpy(block + b.offset, b.source, b.length);
            slots[i] = block;
        }
        benchmark::ClobberMemory();
        for (size_t i = 0; i < n; ++i) std::free(slots[i]);
    }
    finish(state, *p, before);
}

void record_floor(benchmark::State &state, const Prepared *p) {
    fill_blocks(state, p, p->record_blocks);
}

void copy_floor(benchmark::State &state, const Prepared *p) {
    fill_blocks(state, p, p->field_copies);
}

// ---- Measuring and presentation -----------------------------------------------

void kelid3_query(benchmark::State &state, const Prepared *p) {
    const auto *data = p->tag.bytes.data();
    const auto size = static_cast<uint32_t>(p->tag.bytes.size());
    for (auto _ : state) benchmark::DoNotOptimize(kelid3_tag_query(data, size));
}

void kelid3_to_iso8859(benchmark::State &state, const id3_field *field) {
    const uint64_t before = bench_allocations();
    for (auto _ : state) {
        char *text = kelid3_field_to_iso8859(field);
        benchmark::DoNotOptimize(text);
        std::free(text);
    }
    state.counters["allocs"] = benchmark::Counter(static_cast<double>(bench_allocations() - before),
                                                  benchmark::Counter::kAvgIterations);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * field->length);
}

void kelid3_print(benchmark::State &state, const Prepared *p) {
    static char buffer[1 << 20];
    FILE *out = fmemopen(buffer, sizeof buffer, "w");
    for (auto _ : state) {
        std::rewind(out);
        kelid3_tag_print(out, p->parsed);
        std::fflush(out);
    }
    std::fclose(out);
}

// One line as a frame of a parse writes it.
void log_line(benchmark::State &state, Log log) {
    for (auto _ : state) {
        benchmark::DoNotOptimize(log("id3_parse_v2x_body", 207, "TRACE",
                                     "frame: %c%c%c%c, size: %d (0x%x) flags: 0x%04x [%d,%d]", 'T',
                                     'I', 'T', '2', 17, 17, 0, 10, 27));
    }
}

// The longest text of the given encoding in the tag, or null.
const id3_field *longest_text(const id3_tag *tag, uint32_t encoding) {
    const id3_field *best = nullptr;
    for (const id3_frame *fr = tag->frames; fr != nullptr; fr = fr->next) {
        for (const id3_field *f = fr->fields; f != nullptr; f = f->next) {
            if (f->type == FIELD_STRING && f->encoding == encoding &&
                (best == nullptr || f->length > best->length))
                best = f;
        }
    }
    return best;
}

// ---- Ratios -------------------------------------------------------------------

// The ratio columns: cases named prefix + tag. A peer's time over kelid3's
// tells how many times faster kelid3 is; a limit's is the other way round,
// kelid3's time over the limit's, the overhead above it.
struct Column {
    const char *title;
    const char *prefix;
    bool limit;
    int width;
};
constexpr Column kColumns[] = {{"libid3tag", "libid3tag_parse/", false, 11},
                               {"TagLib", "taglib_parse/", false, 9},
                               {"record floor", "record_floor/", true, 14},
                               {"copy floor", "copy_floor/", true, 12},
                               {"3-piece/1", "kelid3_parse_three_piece/", false, 11}};

void geometric_means(std::ostream &out, const char *title,
                     const std::vector<double> (&ratios)[std::size(kColumns)]) {
    out << std::left << std::setw(52) << title << std::right;
    for (size_t i = 0; i < std::size(kColumns); ++i) {
        out << std::setw(kColumns[i].width);
        if (ratios[i].empty()) {
            out << "-";
            continue;
        }
        double log_sum = 0;
        for (double r : ratios[i]) log_sum += std::log(r);
        out << std::setprecision(2) << std::exp(log_sum / static_cast<double>(ratios[i].size()));
    }
    out << "\n";
}

// The console table, then the ratios from the median CPU time of each case.
class RatioReporter : public benchmark::ConsoleReporter {
  public:
    // Colours only on a terminal.
    explicit RatioReporter(std::vector<Prepared> *tags)
        : ConsoleReporter(isatty(STDOUT_FILENO) ? OO_ColorTabular : OO_Tabular), tags_(tags) {}

    void ReportRuns(const std::vector<Run> &runs) override {
        // Single runs, or only the aggregates when those alone are reported.
        for (const Run &run : runs) {
            const bool single = run.run_type == Run::RT_Iteration;
            if (run.error_occurred || !(single || run.aggregate_name == "median")) continue;
            const std::string name = run.run_name.str();
            (single ? times_ : median_times_)[name].push_back(run.GetAdjustedCPUTime());
            const auto allocs = run.counters.find("allocs");
            if (allocs != run.counters.end()) allocations_[name] = allocs->second.value;
        }
        ConsoleReporter::ReportRuns(runs);
    }

    void Finalize() override {
        ConsoleReporter::Finalize();
        std::ostream &out = GetOutputStream();
        out << "\nRatios from the median CPU time per tag (x > 1: kelid3 is x times faster)\n"
            << std::left << std::setw(18) << "tag" << std::right << std::setw(11) << "kelid3 ns"
            << std::setw(10) << "MB/s" << std::setw(13) << "allocs/recs";
        for (const Column &c : kColumns) out << std::setw(c.width) << c.title;
        out << "\n" << std::fixed;
        std::vector<double> with_text[std::size(kColumns)], all[std::size(kColumns)];
        for (const Prepared &p : *tags_) {
            const std::string &tag = p.tag.name;
            const double own = median("kelid3_parse/" + tag);
            if (own <= 0) continue;
            out << std::left << std::setw(18) << tag << std::right << std::setprecision(0)
                << std::setw(11) << own << std::setw(10)
                << static_cast<double>(p.tag.bytes.size()) / own * 1e3 << std::setw(13)
                << allocs_and_records("kelid3_parse/" + tag, p.records);
            for (size_t i = 0; i < std::size(kColumns); ++i) {
                const Column &c = kColumns[i];
                const double other = median(c.prefix + tag);
                out << std::setw(c.width);
                if (other <= 0) {
                    out << "-";
                    continue;
                }
                const double ratio = c.limit ? own / other : other / own;
                out << std::setprecision(2) << ratio;
                all[i].push_back(ratio);
                if (p.tag.has_text) with_text[i].push_back(ratio);
            }
            out << "\n";
        }
        geometric_means(out, "geometric mean, tags with text", with_text);
        geometric_means(out, "geometric mean, all tags", all);
        complete_reader(out);
        const double one = median("id3_log/one_write");
        const double three = median("id3_log/three_piece");
        if (one > 0 && three > 0) {
            out << "one line: " << std::setprecision(0) << one << " ns in one write, " << three
                << " ns in three pieces (" << std::setprecision(2) << three / one << ")\n";
        }
        out << "(libid3tag, TagLib, 3-piece: their time over kelid3's; record floor, copy floor: "
               "kelid3's time over theirs;\n allocs/recs: allocations per parse / records in the "
               "result)\n"
            << std::defaultfloat;
    }

  private:
    // The complete reader beside the peers, which decode every frame too.
    void complete_reader(std::ostream &out) const {
        out << "\nThe complete reader (kelid3_tag_read, KELID3_READ_COMPLETE, no lines)\n"
            << std::left << std::setw(18) << "tag" << std::right << std::setw(11) << "read ns"
            << std::setw(11) << "parse/read" << std::setw(11) << "libid3tag" << std::setw(9)
            << "TagLib"
            << "\n";
        const char *const peers[] = {"libid3tag_parse/", "taglib_parse/"};
        std::vector<double> ratios[2];
        for (const Prepared &p : *tags_) {
            const std::string &tag = p.tag.name;
            const double read = median("kelid3_read/" + tag);
            if (read <= 0) continue;
            out << std::left << std::setw(18) << tag << std::right << std::setprecision(0)
                << std::setw(11) << read << std::setprecision(2) << std::setw(11)
                << median("kelid3_parse/" + tag) / read;
            for (size_t i = 0; i < 2; ++i) {
                const double other = median(peers[i] + tag);
                out << std::setw(i == 0 ? 11 : 9);
                if (other <= 0) {
                    out << "-";
                    continue;
                }
                out << other / read;
                if (p.tag.has_text) ratios[i].push_back(other / read);
            }
            out << "\n";
        }
        out << std::left << std::setw(40) << "geometric mean, tags with text" << std::right;
        for (size_t i = 0; i < 2; ++i) {
            double log_sum = 0;
            for (double r : ratios[i]) log_sum += std::log(r);
            out << std::setw(i == 0 ? 11 : 9);
            if (ratios[i].empty()) {
                out << "-";
            } else {
                out << std::exp(log_sum / static_cast<double>(ratios[i].size()));
            }
        }
        const double corpus = median("kelid3_read/corpus");
        if (corpus > 0) {
            out << "real writers' tags (the corpus, one run over all)\n"
                << std::left << std::setw(18) << "corpus" << std::right << std::setprecision(0)
                << std::setw(11) << corpus << std::setprecision(2) << std::setw(11)
                << median("kelid3_parse/corpus") / corpus;
            const char *const whole[] = {"libid3tag_parse/corpus", "taglib_parse/corpus"};
            for (size_t i = 0; i < 2; ++i) {
                const double other = median(whole[i]);
                out << std::setw(i == 0 ? 11 : 9);
                if (other > 0) {
                    out << other / corpus;
                } else {
                    out << "-";
                }
            }
            out << "\n";
        }
        out << "(libid3tag, TagLib: their time over the complete reader's)\n";
    }

    double median(const std::string &name) const {
        auto it = times_.find(name);
        if (it == times_.end()) it = median_times_.find(name);
        if (it == median_times_.end()) return 0;
        std::vector<double> v = it->second;
        std::sort(v.begin(), v.end());
        const size_t n = v.size();
        return n % 2 == 1 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
    }

    std::string allocs_and_records(const std::string &name, size_t records) const {
        const auto it = allocations_.find(name);
        std::ostringstream s;
        s << std::fixed << std::setprecision(0)
          << (it == allocations_.end() ? 0.0 : std::round(it->second)) << "/" << records;
        return s.str();
    }

    std::vector<Prepared> *tags_;
    std::map<std::string, std::vector<double>> times_;
    std::map<std::string, std::vector<double>> median_times_;
    std::map<std::string, double> allocations_;
};

// ---- Set-up -------------------------------------------------------------------

// Standard error to /dev/null: the library's lines are still written. With
// KELID3_BENCH_STDERR_BUFFER=<bytes>, through a buffer of that size.
void silence_stderr() {
    std::fflush(stderr);
    const int null = open("/dev/null", O_WRONLY);
    if (null < 0 || dup2(null, STDERR_FILENO) < 0) {
        std::perror("/dev/null");
        std::exit(1);
    }
    close(null);
    if (const char *size = std::getenv("KELID3_BENCH_STDERR_BUFFER")) {
        static std::vector<char> buffer(static_cast<size_t>(std::atol(size)));
        std::setvbuf(stderr, buffer.data(), _IOFBF, buffer.size());
    }
}

// The same library, but writing its lines in three pieces (built beside the
// benchmark, never installed): loaded apart, so both run here.
struct ThreePiece {
    Parse parse = nullptr;
    Free release = nullptr;
    Log log = nullptr;
};

ThreePiece load_three_piece() {
    ThreePiece lib;
    void *handle = dlopen(KELID3_THREE_PIECE_LIBRARY, RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
        std::printf("three-piece library not loaded: %s\n", dlerror());
        return lib;
    }
    lib.parse = reinterpret_cast<Parse>(dlsym(handle, "kelid3_tag_parse"));
    lib.release = reinterpret_cast<Free>(dlsym(handle, "kelid3_tag_free"));
    lib.log = reinterpret_cast<Log>(dlsym(handle, "id3_log"));
    return lib;
}

template <typename... Args>
void add(const std::string &name, void (*fn)(benchmark::State &, Args...), Args... args) {
    auto *b = benchmark::RegisterBenchmark(name.c_str(), fn, args...);
    b->Unit(benchmark::kNanosecond);
    if (const char *n = std::getenv("KELID3_BENCH_ITERATIONS"))
        b->Iterations(static_cast<benchmark::IterationCount>(std::atoll(n)));
}

}  // namespace
}  // namespace bench

int main(int argc, char **argv) {
    using namespace bench;
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    silence_stderr();

    auto tags = std::make_unique<std::vector<Prepared>>();
    for (SampleTag &sample : sample_tags()) tags->push_back(prepare(std::move(sample)));
    const ThreePiece three_piece = load_three_piece();

    for (const Prepared &p : *tags) {
        const std::string &tag = p.tag.name;
        add("kelid3_parse/" + tag, kelid3_parse, &p, Parse{kelid3_tag_parse},
            Free{kelid3_tag_free});
        add("kelid3_read/" + tag, kelid3_read, &p);
        if (three_piece.parse != nullptr)
            add("kelid3_parse_three_piece/" + tag, kelid3_parse, &p, three_piece.parse,
                three_piece.release);
#ifdef KELID3_BENCH_LIBID3TAG
        const int frames = peer_libid3tag_parse(p.tag.bytes.data(), p.tag.bytes.size());
        if (frames <= 0) std::printf("libid3tag: %d frames in %s\n", frames, tag.c_str());
        add("libid3tag_parse/" + tag, libid3tag_parse, &p);
#endif
#ifdef KELID3_BENCH_TAGLIB
        const int taglib_frames = taglib_parse(p.taglib);
        if (taglib_frames <= 0)
            std::printf("TagLib: %d frames in %s\n", taglib_frames, tag.c_str());
        add("taglib_parse/" + tag, taglib_parse_case, &p);
#endif
        add("record_floor/" + tag, record_floor, &p);
        add("copy_floor/" + tag, copy_floor, &p);
    }
    const Collection corpus = load_corpus();
    if (!corpus.tags.empty()) {
        std::printf("corpus: %zu ID3v2 tags, %zu bytes\n", corpus.tags.size(), corpus.bytes);
#ifdef KELID3_BENCH_LIBID3TAG
        if (std::getenv("KELID3_BENCH_CORPUS_TAGS") != nullptr) corpus_per_tag(corpus);
#endif
        add("kelid3_parse/corpus", corpus_kelid3, &corpus, uint32_t{0});
        add("kelid3_read/corpus", corpus_kelid3, &corpus, uint32_t{KELID3_READ_COMPLETE});
#ifdef KELID3_BENCH_LIBID3TAG
        add("libid3tag_parse/corpus", corpus_libid3tag, &corpus);
#endif
#ifdef KELID3_BENCH_TAGLIB
        add("taglib_parse/corpus", corpus_taglib, &corpus);
#endif
    }
    for (const Prepared &p : *tags) add("kelid3_query/" + p.tag.name, kelid3_query, &p);
    for (const Prepared &p : *tags) add("kelid3_print/" + p.tag.name, kelid3_print, &p);
    const id3_field *utf8 = longest_text((*tags)[1].parsed, KELID3_ENC_UTF8);
    const id3_field *utf16 = longest_text((*tags)[0].parsed, KELID3_ENC_UTF16);
    add("kelid3_to_iso8859/utf8", kelid3_to_iso8859, utf8);
    add("kelid3_to_iso8859/utf16", kelid3_to_iso8859, utf16);
    add("id3_log/one_write", log_line, Log{id3_log});
    if (three_piece.log != nullptr) add("id3_log/three_piece", log_line, three_piece.log);

    RatioReporter reporter(tags.get());
    reporter.SetErrorStream(&std::cout);  // the run's context, with stderr gone
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
#ifdef KELID3_BENCH_TAGLIB
    for (TaglibInput *input : corpus.taglib) taglib_release(input);
#endif
    for (Prepared &p : *tags) {
        kelid3_tag_free(p.parsed);
#ifdef KELID3_BENCH_TAGLIB
        taglib_release(p.taglib);
#endif
    }
    return 0;
}
