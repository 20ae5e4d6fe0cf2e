// SPDX-License-Identifier: MIT
// kelid3-info end to end, run as a user runs it (under the emulator in a cross
// build) on the samples and on files made with the tag writer: each run against
// its golden text, and what no golden text shows: jobs change no byte, and no
// line is lost through a slow non-blocking pipe.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>

#include "support/id3_writer.h"

using namespace std::string_literals;
namespace fs = std::filesystem;

namespace {

struct Result {
    int status;
    std::string out, err;
};

std::string slurp(const std::string &path) {
    std::ostringstream all;
    all << std::ifstream(path, std::ios::binary).rdbuf();
    return all.str();
}
void write(const std::string &name, const Bytes &b) {
    if (fs::path(name).has_parent_path()) fs::create_directories(fs::path(name).parent_path());
    std::ofstream(name) << std::string(b.begin(), b.end());
}

const Bytes kPng = bytes("\x89PNG\r\n\x1A\nimage"s);
const Bytes kV1 = V1Tag{"v1", "a, \"b\"", "", "1999", "", -1, 17}.build();

// An ID3v2.3 tag of `count` pictures.
Bytes pictures(int count, const Bytes &data = kPng) {
    V2Tag tag(3);
    for (int i = 0; i < count; ++i) tag.frame("APIC", apic(0, "image/png", 3, {0}, data));
    return tag.build();
}

struct GoldenRow {
    const char *name;    // tools/tests/golden/NAME
    const char *script;  // run by sh, in order, in one tree
};

// Each test in a folder of its own, the samples linked into it; `sh` runs a
// shell script there in which kelid3-info is the tool.
class Tool : public testing::Test {
  protected:
    void SetUp() override {
        fs::create_directories(dir_);
        fs::create_directory_symlink(KELID3_SOURCE_DIR "/samples", dir_ + "/samples");
        fs::current_path(dir_);
        write("bin/kelid3-info",
              bytes("#!/bin/sh\nexec " KELID3_EMULATOR " " KELID3_INFO " \"$@\"\n"));
        fs::permissions("bin/kelid3-info", fs::perms::owner_all);
    }
    void TearDown() override { fs::remove_all(dir_); }

    Result sh(const std::string &script) {
        write(".sh", bytes(script));
        const int status =
            std::system("PATH=\"$PWD/bin:$PATH\" LC_ALL=C.UTF-8 sh .sh </dev/null >.out 2>.err");
        return {WEXITSTATUS(status), slurp(".out"), slurp(".err")};
    }

    // The script's standard output, standard error and exit status against
    // tools/tests/golden/NAME, addresses and rates made constant.
    void expect_golden(const GoldenRow &row) {
        SCOPED_TRACE(row.name);
        const Result r = sh(row.script);
        std::string text = "$ "s + row.script + "\n" + r.out + "-- standard error\n" + r.err;
        text = std::regex_replace(text, std::regex("next (0x[0-9a-f]+|\\(nil\\))|[0-9]+ files/s"),
                                  "#");
        // A blob's first words are the library's dump of them, in the
        // machine's byte order.
        text =
            std::regex_replace(text, std::regex("(blob\\[[0-9]+\\], #:)( [0-9a-f]{8}){3}"), "$1 #");
        // A coverage build writes its profile at exit, which a file size
        // limit makes fail with lines of its own.
        text = std::regex_replace(text, std::regex("libgcov profiling error:[^\n]*\n"), "");
        text += "-- exit status " + std::to_string(r.status) + "\n";
        const std::string golden = KELID3_SOURCE_DIR "/tools/tests/golden/"s + row.name;
        if (getenv("KELID3_GOLDEN_UPDATE")) std::ofstream(golden) << text;
        EXPECT_EQ(text, slurp(golden));
    }

    const std::string dir_ =
        fs::temp_directory_path() / ("kelid3-info-" + std::to_string(getpid()));
};

// Every form of output over a tree of cases, each file one case, against the
// golden text of each run (its script, standard output, standard error and
// exit status; addresses and rates made constant).
TEST_F(Tool, PrintsEachCaseAsTheGoldenTextsSay) {
    const Bytes cafe = utf16_bom(u"Caf\u00e9") + Bytes{0, 0} + utf16_bom(u"\u6771");
    V2Tag frames = V2Tag(4).frame("TIT2", Bytes{1} + cafe).text("TDRC", 0, "2024-05");
    frames.text("COMM", 0, "engd\0note"s).text("COMM", 3, "e\0g\0\xc3\xbc"s);
    frames.text("USLT", 3, "engs\0a\nb"s).text("WXXX", 0, "home\0http://a"s);
    frames.frame("WOAR", bytes("http://b")).text("TXXX", 3, "k\0v1\0v2"s).text("TXXX", 0, "only");
    frames.text("TCON", 0, "\0(17)\0(17\0000017\0(1)x"s).text("TXYZ", 0, "?").text("TPE1", 0, "");
    frames.text("TALB", 0, "album\0\0"s);
    write("g/frames.mp3", frames.frame("APIC", apic(0, "", 99, {0}, kPng)).padding(8).build());
    write("g/v22.mp3", V2Tag(2).frame("PIC", bytes("\0png\3d\0"s) + kPng).build());
    write("g/v1.mp3", fill(300, 'x') + V1Tag{"Title   ", "", "", "1999", "", 3, 17}.build());
    write("g/both.mp3", V2Tag(3).text("TYER", 0, "1987").text("TCON", 0, "(13)").build() + kV1);
    const Bytes junk = V2Tag(4).text("TIT2", 0, "a").raw(bytes("junk")).padding(12).build();
    write("g/junk.mp3", junk);
    write("g/cut.mp3", Bytes(junk.begin(), junk.begin() + 30));
    write("g/padded.mp3", V2Tag(4).text("TIT2", 0, "a").padding(16).build());
    write("g/big.mp3", V2Tag(4).text("TIT2", 0, "a").padding(17).build());
    V2Tag footer = V2Tag(4, 0, 0x10).text("TIT2", 0, "a").padding(1);
    write("g/footer.mp3", footer.raw(bytes("3DI\4\0\x10\0\0\0\x0C"s)).size(12).build());
    write("g/v25.mp3", V2Tag(5).padding(4).build());
    write("g/badsize.mp3", bytes("ID3\4\0\0\x80\0\0\0"s) + fill(20));
    write("g/header.mp3", V2Tag(4).build());
    V2Tag large = V2Tag(4).text("TIT2", 0, "t").text("TALB", 0, std::string(600000, 'a'));
    write("g/large.mp3", large.frame("TPE1", bytes("\0c"s), 0x0008).build());
    write("g/inside.mp3", V2Tag(3).text("TIT2", 0, "x").raw(bytes("TAG") + fill(125, 'v')).build());
    write("g/tail.mp3", fill(200, 'x') + V2Tag(4).text("TIT2", 0, "z").padding(106).build());
    for (const char *name : {"g/X.MP3", "g/dir.mp3/noext", "g/sub/s.mp3", "h/a.mp3"})
        write(name, kV1);
    write("g/cover.jpg", kPng);
    fs::create_directory_symlink("..", "g/sub/up");
    fs::create_directory_symlink("sub", "g/link");
    fs::create_directories("empty");
    ASSERT_EQ(mkfifo("g/fifo.mp3", 0600), 0);
    write("A/01.mp3", pictures(1, bytes("A-data")));
    write("B/01.mp3", pictures(3, bytes("GIF8")));
    write("D/01.mp3", pictures(1));
    write("q/A", kPng);  // a file where a picture's directory would be
    write("E/01.mp3", pictures(1, fill(5000, 1)));
    const std::string title = "a\x7f\xc2\x9b\xe2\x81\xa6\tb\r\x01\xc3\xa9";
    const Bytes escapes = V2Tag(4).text("TIT2", 3, title).raw(bytes("\x1b[2J")).padding(12).build();
    write("n\x1b]0;\x07\xff\xe2\x80\xae\xc3\xa9.mp3", escapes);
    write("s.mp3", V2Tag(4).text("TIT2", 0, "a").padding(16).build() + fill(100000, 'x') + kV1);
    const GoldenRow rows[] = {
        {"samples-json-lines", "kelid3-info --json-lines --ext mp3 samples"},
        {"samples-json", "kelid3-info --json --ext mp3 samples"},
        {"listing",
         "kelid3-info --max-tag-bytes 600045 --ext mp3,JPG g h/ g/dir.mp3/noext g/fifo.mp3 -"},
        {"json-lines", "kelid3-info --json-lines g"},
        {"csv", "kelid3-info --csv g"},
        {"csv-frames", "kelid3-info --csv --frames tcon,TIT2,USLT,TXXX g/frames.mp3 g/both.mp3 -"},
        {"strict", "kelid3-info --strict g/frames.mp3 g/large.mp3"},
        {"frames",
         "kelid3-info --frames TIT2,comm,PRIV --max-tag-bytes=600044 g/frames.mp3 g/v1.mp3 "
         "g/large.mp3"},
        {"dump", "kelid3-info --dump g/both.mp3 g/v25.mp3 g/cover.jpg missing"},
        {"summary", "kelid3-info --summary --progress g/both.mp3 g/v1.mp3 g/cover.jpg"},
        {"empty", "kelid3-info --json empty"},
        {"json-no-frames", "kelid3-info --json g/header.mp3"},
        {"help", "kelid3-info --help"},
        {"version-needs-no-path", "kelid3-info --version >/dev/null"},
        {"above-4g", "kelid3-info --max-tag-bytes 4194305K f"},
        {"plain-above-4g", "kelid3-info --max-tag-bytes=4294967297 f"},
        {"no-digits", "kelid3-info --max-tag-bytes k f"},
        {"bad-suffix", "kelid3-info --max-tag-bytes 1x f"},
        {"jobs-0", "kelid3-info -j 0 f"},
        {"jobs-65", "kelid3-info --jobs=65 f"},
        {"overflow", "kelid3-info --max-pictures 18446744073709551616 f"},
        {"unknown", "kelid3-info \"--bogus=$(printf '\\033')\" f"},
        {"unknown-short", "kelid3-info \"-x$(printf '\\007')\" f"},
        {"needs-argument", "kelid3-info f --frames"},
        {"takes-none", "kelid3-info --json=1 f"},
        {"forms", "kelid3-info --csv --csv --dump f"},
        {"frame-id", "kelid3-info --frames \"tit2,T$(printf '\\033')\" f"},
        {"three-letters", "kelid3-info --frames TT2 f"},
        {"empty-extension", "kelid3-info --ext mp3,,x f"},
        {"empty-directory", "kelid3-info --extract-pictures= f"},
        {"no-path", "kelid3-info --json"},
        {"no-space", "kelid3-info g/v1.mp3 >/dev/full"},
        {"pictures",
         "kelid3-info --max-pictures=2 --extract-pictures p A B; cat p/*/*; echo; ls p/B"},
        {"pictures-again", "kelid3-info --max-pictures=2 --extract-pictures p A B"},
        {"pictures-json", "kelid3-info --json-lines --max-pictures=2 --extract-pictures p B D"},
        {"pictures-no-dir", "kelid3-info --extract-pictures none/p A"},
        {"pictures-in-file", "kelid3-info --extract-pictures A/01.mp3 A"},
        {"pictures-blocked", "kelid3-info --extract-pictures q A"},
        {"pictures-cut", "trap '' XFSZ; ulimit -f 4; kelid3-info --extract-pictures r E; ls r/E"},
        {"c-listing", "LC_ALL=C kelid3-info n* \"$(printf 'missing\\033')\""},
        {"c-utf8", "LC_ALL=C kelid3-info --utf8 n*"},
        {"c-json", "LC_ALL=C kelid3-info --json n* \"$(printf 'missing\\033')\""},
        {"c-csv", "LC_ALL=C kelid3-info --csv n* \"$(printf 'missing\\033')\""},
        {"c-dump", "LC_ALL=C kelid3-info --dump n*"},
        {"c-log", "LC_ALL=C kelid3-info --log n* 2>&1 >/dev/null | sed 's/^\\[[^]]*\\]//'"},
        {"c-ext", "LC_ALL=C kelid3-info --ext=\"$(printf '\\033]0;\\007,')\" n*"},
        {"stream", "(head -c -50 s.mp3; sleep 0.2; tail -c 50 s.mp3) | kelid3-info --json -"},
        {"stream-inside", "cat g/inside.mp3 | kelid3-info --json -"},
        {"log-order",
         "cat s.mp3 | kelid3-info --log samples/id3v22.mp3 missing - 2>&1 >/dev/null | grep -o "
         "'found tag.*\\|missing.*'"},
        {"json-lines-early",
         "(sleep 1 | kelid3-info --json-lines samples/id3v1.mp3 - >.late &); sleep 0.5; cat .late"},
        {"stdin-folder", "kelid3-info - <."},
        {"dump-sample", "kelid3-info --dump samples/id3v23-picture.mp3"},
    };
    for (const GoldenRow &row : rows) expect_golden(row);
}

TEST_F(Tool, MemoryRunningOutFailsOneFileAndTheRunGoesOn) {
    if (KELID3_TOOL_SANITIZED) GTEST_SKIP() << "a sanitized tool needs more address space";
    if (*KELID3_EMULATOR) GTEST_SKIP() << "the emulator's own address space would be limited";
    write("claims.mp3", bytes("ID3\4\0\0\x1e\0\0\0xxxxxxxxxxxxx"s));  // 60 MiB; the file: 23 bytes
    V2Tag big(4);  // read in about 30 MiB, printed in 100 MiB more (each \1 as \u0001)
    for (int i = 0; i < 20; ++i) big.text("TIT2", 0, std::string(500000, '\1'));
    write("big.mp3", big.build());
    const Bytes one = V2Tag(4).text("TIT2", 0, "").body;  // 16 MiB of one-byte frames: more
    Bytes flood;                                          // records than the library can hold
    while (flood.size() < (16 << 20)) flood.insert(flood.end(), one.begin(), one.end());
    write("flood.mp3", V2Tag(4).raw(flood).build());
    expect_golden({"claims", "ulimit -v 40960; kelid3-info claims.mp3"});
    expect_golden({"out-of-memory",
                   "ulimit -v 102400; kelid3-info --json big.mp3 flood.mp3 samples/id3v1.mp3"});
}

TEST_F(Tool, JobsGiveTheSameBytesAsOneJob) {
    for (int i = 0; i < 60; ++i)
        write("t/" + std::to_string(i % 7) + "/" + std::to_string(i),
              i % 3 ? pictures(i % 4) : kV1);
    write("t/x/bad.mp3", V2Tag(5).build());
    fs::create_directory_symlink("..", "t/x/up");
    for (const std::string form : {"--summary", "--json", "--csv", "--log"}) {
        SCOPED_TRACE(form);
        const Result one = sh("kelid3-info " + form + " -j1 t missing samples");
        const Result four = sh("kelid3-info " + form + " -j4 t missing samples");
        EXPECT_EQ(four.out, one.out);
        EXPECT_EQ(four.err, one.err);
        EXPECT_EQ(four.status, one.status);
    }
}

TEST_F(Tool, EveryLineArrivesThroughASlowNonBlockingPipe) {
    for (int i = 0; i < 1000; ++i) write("d/" + std::to_string(i), kV1);
    int out[2], in[2];  // standard output and error; standard input, which is late
    ASSERT_EQ(pipe(out) + pipe(in), 0);
    ASSERT_EQ(fcntl(out[1], F_SETFL, O_NONBLOCK) + fcntl(in[0], F_SETFL, O_NONBLOCK), 0);
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(out[1], 1), dup2(out[1], 2), dup2(in[0], 0), close(out[0]), close(in[1]);
        execl("/bin/sh", "sh", "-c", "bin/kelid3-info --summary d missing -", nullptr);
        _exit(127);
    }
    close(out[1]), close(in[0]);
    usleep(300000);  // the pipe is full by now
    std::string all;
    char piece[4096];
    for (ssize_t n; (n = read(out[0], piece, sizeof piece)) > 0; usleep(200)) {
        all.append(piece, size_t(n));
        if (in[1] < 0 || all.find("missing: No such") == std::string::npos) continue;
        usleep(100000);  // the tool waits for standard input meanwhile
        EXPECT_EQ(::write(in[1], kV1.data(), kV1.size()), 128);
        close(in[1]), in[1] = -1;
    }
    waitpid(pid, nullptr, 0);
    EXPECT_EQ(std::count(all.begin(), all.end(), '\n'), 1001 * 9 - 1 + 2);
    EXPECT_TRUE(all.ends_with(
        "kelid3-info: summary: 1001 files, 1001 tags, 0 untagged, 0 refused, 1 unreadable\n"));
}

}  // namespace
