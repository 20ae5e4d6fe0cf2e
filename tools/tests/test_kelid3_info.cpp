// SPDX-License-Identifier: MIT
// kelid3-info end to end, run as a user runs it (under the emulator in a cross
// build) on the samples and on files made with the tag writer: what it shows,
// exit status, pictures, CSV, -j, escaping, memory and output.
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
bool has(const std::string &text, const std::string &part) {
    return text.find(part) != std::string::npos;
}
Bytes text(uint8_t encoding, const std::string &s) {
    return Bytes{encoding} + bytes(s);
}

const Bytes kPng = bytes("\x89PNG\r\n\x1A\nimage"s);
const Bytes kV1 = V1Tag{"v1", "a, \"b\"", "", "1999", "", -1, 17}.build();
const std::string kTry = "Try 'kelid3-info --help' for more information.\n";

// An ID3v2.3 tag of `count` pictures.
Bytes pictures(int count, const Bytes &data = kPng) {
    V2Tag tag(3);
    for (int i = 0; i < count; ++i) tag.frame("APIC", apic(0, "image/png", 3, {0}, data));
    return tag.build();
}

// Each test in a folder of its own, the samples linked into it.
class Tool : public testing::Test {
  protected:
    void SetUp() override {
        fs::create_directories(dir_);
        fs::create_directory_symlink(KELID3_SOURCE_DIR "/samples", dir_ + "/samples");
        fs::current_path(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    void write(const std::string &name, const Bytes &b) {
        if (fs::path(name).has_parent_path()) fs::create_directories(fs::path(name).parent_path());
        std::ofstream(name) << std::string(b.begin(), b.end());
    }
    // A shell command, its arguments quoted; `kib` KiB of address space when not 0.
    Result exec(std::string command, const std::vector<std::string> &args, long kib = 0) {
        for (const std::string &a : args)
            command += " '" + std::regex_replace(a, std::regex("'"), "'\\''") + "'";
        if (kib != 0) command = "ulimit -v " + std::to_string(kib) + "; " + command;
        const int status = std::system((command + " >.out 2>.err").c_str());
        return {WEXITSTATUS(status), slurp(".out"), slurp(".err")};
    }
    Result run(const std::vector<std::string> &args, const Bytes &input = {}, long kib = 0) {
        write(".in", input);
        return exec("cat .in | LC_ALL=" + locale_ + " " KELID3_EMULATOR " " KELID3_INFO, args, kib);
    }
    std::string jq(const std::string &json, const std::string &filter) {
        write(".in", bytes(json));
        const Result r = exec("cat .in | " KELID3_JQ " -c -r", {filter});
        EXPECT_EQ(r.status, 0) << "jq (scripts/install-deps tests) refused it: " << r.err << json;
        return r.out;
    }

    const std::string dir_ =
        fs::temp_directory_path() / ("kelid3-info-" + std::to_string(getpid()));
    std::string locale_ = "C.UTF-8";
};

TEST_F(Tool, ExportsTheSamplesAsBeforeAsJsonLinesOrOneArray) {
    const Result lines = run({"--json-lines", "--ext", "mp3", "samples"});
    EXPECT_EQ(lines.out, slurp(KELID3_SOURCE_DIR "/tools/tests/golden/samples"));
    EXPECT_EQ(lines.err + std::to_string(lines.status), "0");
    EXPECT_EQ(jq(run({"--json", "--ext", "mp3", "samples"}).out, ".[]"), jq(lines.out, "."));
}

struct GoldenRow {
    const char *name;  // tools/tests/golden/NAME
    std::vector<std::string> args;
};

// Every form of output over a tree of cases, each file one case, against the
// golden text of each run (its command, standard output, standard error and
// exit status; addresses and rates made constant). KELID3_GOLDEN_UPDATE=1
// writes the files anew, to be read and checked by hand before committing.
TEST_F(Tool, PrintsEachCaseAsTheGoldenTextsSay) {
    const Bytes cafe = utf16_bom(u"Caf\u00e9") + Bytes{0, 0} + utf16_bom(u"\u6771");
    V2Tag frames = V2Tag(4).frame("TIT2", Bytes{1} + cafe).text("TDRC", 0, "2024-05");
    frames.text("COMM", 0, "engd\0note"s).text("COMM", 3, "e\0g\0\xc3\xbc"s);
    frames.text("USLT", 3, "engs\0a\nb"s).text("WXXX", 0, "home\0http://a"s);
    frames.frame("WOAR", bytes("http://b")).text("TXXX", 3, "k\0v1\0v2"s).text("TXXX", 0, "only");
    frames.text("TCON", 0, "\0(17)\0(17\0000017\0(1)x"s).text("TXYZ", 0, "?").text("TPE1", 0, "");
    frames.text("TALB", 0, "album\0\0"s);
    write("g/frames.mp3", frames.frame("APIC", apic(0, "", 99, {0}, kPng)).padding(8).build());
    write("g/v22.mp3", V2Tag(2).frame("PIC", text(0, "png\3d\0"s) + kPng).build());
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
    write("g/large.mp3", large.frame("TPE1", text(0, "c"), 0x0008).build());
    write("g/inside.mp3", V2Tag(3).text("TIT2", 0, "x").raw(bytes("TAG") + fill(125, 'v')).build());
    write("g/tail.mp3", fill(200, 'x') + V2Tag(4).text("TIT2", 0, "z").padding(106).build());
    for (const char *name : {"g/X.MP3", "g/dir.mp3/noext", "g/sub/s.mp3", "h/a.mp3"})
        write(name, kV1);
    write("g/cover.jpg", kPng);
    fs::create_directory_symlink("..", "g/sub/up");
    fs::create_directory_symlink("sub", "g/link");
    fs::create_directories("empty");
    ASSERT_EQ(mkfifo("g/fifo.mp3", 0600), 0);
    const GoldenRow rows[] = {
        {"listing",
         {"--max-tag-bytes", "600045", "--ext", "mp3,JPG", "g", "h/", "g/dir.mp3/noext",
          "g/fifo.mp3", "-"}},
        {"json-lines", {"--json-lines", "g"}},
        {"csv", {"--csv", "g"}},
        {"csv-frames",
         {"--csv", "--frames", "tcon,TIT2,USLT,TXXX", "g/frames.mp3", "g/both.mp3", "-"}},
        {"strict", {"--strict", "g/frames.mp3", "g/large.mp3"}},
        {"frames",
         {"--frames", "TIT2,comm,PRIV", "--max-tag-bytes=600044", "g/frames.mp3", "g/v1.mp3",
          "g/large.mp3"}},
        {"dump", {"--dump", "g/both.mp3", "g/v25.mp3", "g/cover.jpg", "missing"}},
        {"summary", {"--summary", "--progress", "g/both.mp3", "g/v1.mp3", "g/cover.jpg"}},
        {"empty", {"--json", "empty"}},
    };
    for (const GoldenRow &row : rows) {
        SCOPED_TRACE(row.name);
        const Result r = run(row.args, bytes("x"));
        std::string text = "$ kelid3-info";
        for (const std::string &arg : row.args) text += " " + arg;
        text += "\n" + r.out + "-- standard error\n" + r.err + "-- exit status ";
        text = std::regex_replace(text, std::regex("next (0x[0-9a-f]+|\\(nil\\))|[0-9]+ files/s"),
                                  "#");
        text += std::to_string(r.status) + "\n";
        const std::string golden = KELID3_SOURCE_DIR "/tools/tests/golden/"s + row.name;
        if (getenv("KELID3_GOLDEN_UPDATE")) std::ofstream(golden) << text;
        EXPECT_EQ(text, slurp(golden));
    }
    const std::string full = "sh -c '" KELID3_EMULATOR " " KELID3_INFO " g/v1.mp3 >/dev/full'";
    const Result no_space = exec(full, {});
    EXPECT_EQ(no_space.err, "kelid3-info: standard output: No space left on device\n");
    EXPECT_EQ(no_space.status, 2);
}

TEST_F(Tool, PicturesMirrorTheTreeNeverReplaceAndStopAtTheLimit) {
    write("A/01.mp3", pictures(1));
    write("B/01.mp3", pictures(3, bytes("GIF8")));
    const std::vector<std::string> args = {"--max-pictures=2", "--extract-pictures", "p", "A", "B"};
    const Result first = run(args), again = run(args);
    EXPECT_EQ(slurp("p/A/01-1.png") + slurp("p/B/01-1.png") + slurp("p/B/01-2.png"),
              "\x89PNG\r\n\x1A\nimageGIF8GIF8");
    EXPECT_FALSE(fs::exists("p/B/01-3.png"));
    EXPECT_EQ(first.err + std::to_string(first.status), "0");
    EXPECT_TRUE(has(first.out,
                    "01-2.png\n    APIC  Attached picture: image/png, Cover (front), "
                    "4 bytes\n  pictures not written, more than --max-pictures: 1\n"));
    EXPECT_EQ(again.status, 2);
    EXPECT_TRUE(has(again.err, "kelid3-info: p/A/01-1.png: exists already, not replaced\n"));
    EXPECT_TRUE(has(again.out, "bytes, not written: p/A/01-1.png: exists already, not replaced"));
    write("D/01.mp3", pictures(1));
    const Result json =
        run({"--json-lines", "--max-pictures=2", "--extract-pictures", "p", "B", "D"});
    EXPECT_EQ(
        jq(json.out,
           "[.picture_errors[1], .pictures_over_limit, .tags[0].frames[0].picture.saved_as]"),
        "[\"p/B/01-2.png: exists already, not replaced\",1,null]\n[null,null,\"p/D/01-1.png\"]\n");
    EXPECT_EQ(run({"--extract-pictures", "none/p", "A"}).err,
              "kelid3-info: none/p: No such file or directory\n");
    EXPECT_EQ(run({"--extract-pictures", "A/01.mp3", "A"}).err,
              "kelid3-info: A/01.mp3: not a directory\n");
    write("q/A", kPng);  // a file where the picture's directory would be
    EXPECT_TRUE(has(run({"--extract-pictures", "q", "A"}).err, "q/A/01-1.png: Not a directory\n"));
    // A picture cut short (the file size limit of ulimit -f) does not stay behind.
    write("E/01.mp3", pictures(1, fill(5000, 1)));
    const std::string limited = "trap '' XFSZ; ulimit -f 4; " KELID3_EMULATOR " " KELID3_INFO;
    EXPECT_TRUE(has(exec("sh -c \"" + limited + " --extract-pictures r E\"", {}).err,
                    "r/E/01-1.png: File too large\n"));
    EXPECT_FALSE(fs::exists("r/E/01-1.png"));
}

TEST_F(Tool, JobsGiveTheSameBytesAsOneJob) {
    for (int i = 0; i < 60; ++i)
        write("t/" + std::to_string(i % 7) + "/" + std::to_string(i),
              i % 3 ? pictures(i % 4) : kV1);
    write("t/x/bad.mp3", V2Tag(5).build());
    fs::create_directory_symlink("..", "t/x/up");
    for (const char *form : {"--summary", "--json", "--csv", "--log"}) {
        SCOPED_TRACE(form);
        const Result one = run({form, "-j1", "t", "missing", "samples"});
        const Result four = run({form, "-j4", "t", "missing", "samples"});
        EXPECT_EQ(four.out, one.out);
        EXPECT_EQ(four.err, one.err);
        EXPECT_EQ(four.status, one.status);
    }
}

TEST_F(Tool, NoRawControlOrHighByteReachesACLocaleTerminal) {
    locale_ = "C";
    const std::string name = "n\x1b]0;\x07\xff\xe2\x80\xae\xc3\xa9.mp3",
                      title = "a\x7f\xc2\x9b\xe2\x81\xa6\tb\r\x01\xc3\xa9";
    write(name, V2Tag(4).text("TIT2", 3, title).raw(bytes("\x1b[2J")).padding(12).build());
    for (const char *form : {"--json", "--json-lines", "--csv", "--dump", "--log", "--summary"}) {
        SCOPED_TRACE(form);
        const Result r = run({form, name, "missing\x1b"});
        const std::string all = std::regex_replace(r.out + r.err, std::regex("\r\n"), "\n");
        EXPECT_EQ(std::count_if(all.begin(), all.end(),
                                [](unsigned char c) {
                                    return (c < 0x20 && c != '\n' && c != '\t') || c >= 0x7F;
                                }),
                  0)
            << all;
    }
    EXPECT_EQ(run({"--ext=\x1b]0;\x07,", name}).err,
              "kelid3-info: --ext: an empty extension in '\\x1b]0;\\x07,'\n" + kTry);
    EXPECT_TRUE(has(run({name}).out, ": a\\x7f\\u009b\\u2066\\tb\\r\\x01\\u00e9\n"));
    EXPECT_TRUE(has(run({"--utf8", name}).out, "\\x01\xc3\xa9\n"));
    EXPECT_EQ(jq(run({"--json-lines", name}).out, ".tags[0].frames[0].text[0], .file_bytes"),
              title + "\n6e1b5d303b07ffe280aec3a92e6d7033\n");
}

TEST_F(Tool, MemoryRunningOutFailsOneFileAndTheRunGoesOn) {
    if (KELID3_TOOL_SANITIZED) GTEST_SKIP() << "a sanitized tool needs more address space";
    if (*KELID3_EMULATOR) GTEST_SKIP() << "the emulator's own address space would be limited";
    write("claims.mp3", bytes("ID3\4\0\0\x1e\0\0\0xxxxxxxxxxxxx"s));  // 60 MiB; the file: 23 bytes
    EXPECT_EQ(run({"claims.mp3"}, {}, 40 << 10).out,
              "claims.mp3\n  ID3v2.4.0, 62914570 bytes (the file ends after 23)\n    no frames\n");
    V2Tag big(4);  // read in about 30 MiB, printed in 100 MiB more (each \1 as \u0001)
    for (int i = 0; i < 20; ++i) big.text("TIT2", 0, std::string(500000, '\1'));
    write("big.mp3", big.build());
    const Bytes one = V2Tag(4).text("TIT2", 0, "").body;  // 16 MiB of one-byte frames: more
    Bytes flood;                                          // records than the library can hold
    while (flood.size() < (16 << 20)) flood.insert(flood.end(), one.begin(), one.end());
    write("flood.mp3", V2Tag(4).raw(flood).build());
    const Result r = run({"--json", "big.mp3", "flood.mp3", "samples/id3v1.mp3"}, {}, 100 << 10);
    EXPECT_EQ(jq(r.out, "[.[] | .error // .tags[0].version]"),
              "[\"out of memory\",\"out of memory\",\"ID3v1.1\"]\n");
    EXPECT_EQ(r.err,
              "kelid3-info: big.mp3: out of memory\nkelid3-info: flood.mp3: out of memory\n");
    EXPECT_EQ(r.status, 2);
}

TEST_F(Tool, EveryLineArrivesThroughASlowNonBlockingPipe) {
    for (int i = 0; i < 1000; ++i) write("d/" + std::to_string(i), kV1);
    int out[2], in[2];  // standard output and error; standard input, which is late
    ASSERT_EQ(pipe(out) + pipe(in), 0);
    ASSERT_EQ(fcntl(out[1], F_SETFL, O_NONBLOCK) + fcntl(in[0], F_SETFL, O_NONBLOCK), 0);
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(out[1], 1), dup2(out[1], 2), dup2(in[0], 0), close(out[0]), close(in[1]);
        execl("/bin/sh", "sh", "-c", KELID3_EMULATOR " " KELID3_INFO " --summary d missing -",
              nullptr);
        _exit(127);
    }
    close(out[1]), close(in[0]);
    usleep(300000);  // the pipe is full by now
    std::string all;
    char piece[4096];
    for (ssize_t n; (n = read(out[0], piece, sizeof piece)) > 0; usleep(200)) {
        all.append(piece, size_t(n));
        if (in[1] < 0 || !has(all, "missing: No such")) continue;
        usleep(100000);  // the tool waits for standard input meanwhile
        EXPECT_EQ(::write(in[1], kV1.data(), kV1.size()), 128);
        close(in[1]), in[1] = -1;
    }
    waitpid(pid, nullptr, 0);
    EXPECT_EQ(std::count(all.begin(), all.end(), '\n'), 1001 * 9 - 1 + 2);
    EXPECT_TRUE(all.ends_with(
        "kelid3-info: summary: 1001 files, 1001 tags, 0 untagged, 0 refused, 1 unreadable\n"));
}

TEST_F(Tool, ReadsAStreamAndShowsTheLibrarysLinesAndDump) {
    const Bytes tagged =
        V2Tag(4).text("TIT2", 0, "a").padding(16).build() + fill(100000, 'x') + kV1;
    write(".in", tagged);  // in two pieces, the last of 50 bytes
    const Result pieces =
        exec("(head -c -50 .in; sleep 0.2; tail -c 50 .in) | " KELID3_EMULATOR " " KELID3_INFO,
             {"--json", "-"});
    EXPECT_EQ(jq(pieces.out, ".[0] | [.file, .size, [.tags[].version]]"),
              "[\"-\",100166,[\"ID3v2.4.0\",\"ID3v1\"]]\n");
    const Bytes inside = V2Tag(3).text("TIT2", 0, "x").raw(bytes("TAG") + fill(125, 'v')).build();
    EXPECT_EQ(jq(run({"--json", "-"}, inside).out, "[.[0].tags[].version]"), "[\"ID3v2.3.0\"]\n");
    const std::string log = run({"--log", "samples/id3v22.mp3", "missing", "-"}, tagged).err;
    EXPECT_LT(log.find("] INFO: found tag: version 2.2.0, size: 186\n"), log.find("missing"));
    EXPECT_LT(log.find("missing"), log.find("] INFO: found tag: version 2.4.0, size: 28\n"));
    // --json-lines writes each file when it is done: while standard input is still open.
    const std::string late = "(sleep 1 | " KELID3_EMULATOR " " KELID3_INFO
                             " --json-lines samples/id3v1.mp3 - >.late &); sleep 0.5; cat .late";
    EXPECT_TRUE(has(exec("sh -c '" + late + "'", {}).out, "{\"file\": \"samples/id3v1.mp3\""));
    const Result folder = exec("sh -c '" KELID3_EMULATOR " " KELID3_INFO " - <.'", {});
    EXPECT_EQ(folder.err, "kelid3-info: standard input: Is a directory\n");
    const std::string dump = run({"--dump", "samples/id3v23-picture.mp3"}).out;
    EXPECT_TRUE(
        dump.starts_with("samples/id3v23-picture.mp3\nTAG version 2.3.0, length 00418, flags "
                         "00000000\nframe: APIC[00088]"));
}

}  // namespace
