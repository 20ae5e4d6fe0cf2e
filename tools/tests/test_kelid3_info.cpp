// SPDX-License-Identifier: MIT
// kelid3-info end to end, run as a user runs it (under the emulator in a cross
// build) on the samples and on files made with the tag writer: what it shows,
// exit status, pictures, CSV, -j, escaping, memory and output.
#include <fcntl.h>
#include <gtest/gtest.h>
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
const std::string kTitle = "    TIT2  Title/songname/content description: ";
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
        const int status = std::system((command + " <.in >.out 2>.err").c_str());
        return {WEXITSTATUS(status), slurp(".out"), slurp(".err")};
    }
    Result run(const std::vector<std::string> &args, const Bytes &input = {}, long kib = 0) {
        write(".in", input);
        return exec("LC_ALL=" + locale_ + " " KELID3_EMULATOR " " KELID3_INFO, args, kib);
    }
    std::string jq(const std::string &json, const std::string &filter) {
        write(".in", bytes(json));
        const Result r = exec(KELID3_JQ " -c -r", {filter});
        EXPECT_EQ(r.status, 0) << "jq (scripts/install-deps tests) refused it: " << r.err << json;
        return r.out;
    }

    const std::string dir_ =
        fs::temp_directory_path() / ("kelid3-info-" + std::to_string(getpid()));
    std::string locale_ = "C.UTF-8";
};

TEST_F(Tool, ExportsTheSamplesAsBeforeAsJsonLinesOrOneArray) {
    const Result lines = run({"--json-lines", "--ext", "mp3", "samples"});
    EXPECT_EQ(lines.out, slurp(KELID3_SOURCE_DIR "/tools/tests/samples.jsonl"));
    EXPECT_EQ(lines.err + std::to_string(lines.status), "0");
    EXPECT_EQ(jq(run({"--json", "--ext", "mp3", "samples"}).out, ".[]"), jq(lines.out, "."));
}

struct FrameRow {
    const char *id;
    Bytes content;
    std::string shown;
};

// Each row adds a frame to the tag; the listing shows them all in tag order.
TEST_F(Tool, ListsEveryFrameOfTheCompleteReaderInTagOrder) {
    const Bytes cafe = utf16_bom(u"Caf\u00e9") + Bytes{0, 0} + utf16_bom(u"\u6771");
    const FrameRow rows[] = {
        {"TIT2", Bytes{1} + cafe, "Title/songname/content description: Caf\u00e9 | \u6771"},
        {"TDRC", text(0, "2024-05"), "Recording time: 2024-05"},
        {"COMM", text(0, "engd\0note"s), "Comments [eng, d]: note"},
        {"USLT", text(3, "eng\0a\nb"s), "Unsynchronised lyric/text transcription [eng]: a\\nb"},
        {"WXXX", text(0, "home\0http://a"s), "[home]: http://a"},
        {"WOAR", bytes("http://b"), "Official artist/performer webpage: http://b"},
        {"TXXX", text(3, "k\0v1\0v2"s), "User defined text information frame [k]: v1 | v2"},
        {"TCON", text(0, "(17)\0Trip\0"s), "Content type: Rock (17) | Trip"},
    };
    V2Tag tag(4);
    std::string want;
    for (const FrameRow &row : rows) {
        SCOPED_TRACE(row.id);
        write("f", tag.frame(row.id, row.content).build());
        want += "    "s + row.id + "  " + row.shown + "\n";
        const std::string out = run({"f"}).out;
        EXPECT_EQ(out.substr(out.find('\n', 3) + 1), want);
    }
    EXPECT_EQ(
        jq(run({"--json", "f"}).out, ".[0].tags[0].frames[2] | [.language, .user_description]"),
        "[\"eng\",\"d\"]\n");
    write("v23", V2Tag(3).text("TYER", 0, "1987").frame("COMM", text(0, "eng\0"s)).build());
    EXPECT_EQ(run({"--strict", "v23"}).out, "v23\n  ID3v2.3.0, 40 bytes\n    TYER  1987\n");
}

struct NotesRow {
    const char *name;
    Bytes file;
    std::string shown;
};

TEST_F(Tool, SaysWhereTheScanStoppedAndWhatWasNotRead) {
    const Bytes junk = V2Tag(4).text("TIT2", 0, "a").raw(bytes("junk")).padding(12).build();
    V2Tag footer = V2Tag(4, 0, 0x10).text("TIT2", 0, "a").padding(1);
    footer.raw(bytes("3DI\4\0\x10\0\0\0\x0C"s)).size(12);
    const std::string bad =
        "ID3v2.5.0 tag not read: malformed tag, unsupported version or out of memory";
    const NotesRow rows[] = {
        {"junk", junk,
         "ID3v2.4.0, 38 bytes\n" + kTitle + "a\n    frames from byte 22 on not read\n"},
        {"padding", V2Tag(4).text("TIT2", 0, "a").padding(16).build(),
         "ID3v2.4.0, 38 bytes\n" + kTitle + "a\n"},
        {"cut", Bytes(junk.begin(), junk.begin() + 30),
         "ID3v2.4.0, 38 bytes (the file ends after 30)\n"},
        {"footer", footer.build(), "ID3v2.4.0, 32 bytes, flags 0x10 (footer)\n" + kTitle + "a\n"},
        {"no tag", bytes("no tag"), "no ID3 tag\n"},
        {"v2.5", V2Tag(5).padding(4).build(), bad + " (-9)\n"},
        {"big", V2Tag(4).padding(2000).build(), "ID3v2.4.0 tag not read: 2010 bytes, more than "},
    };
    for (const NotesRow &row : rows) {
        SCOPED_TRACE(row.name);
        write("f", row.file);
        EXPECT_EQ(run({"--max-tag-bytes", "2009", "f"}).out.substr(0, row.shown.size() + 4),
                  "f\n  " + row.shown);
    }
    EXPECT_EQ(jq(run({"--json", "f", "f"}).out, "[.[].tag_errors[0]] | length"), "2\n");
}

struct StatusRow {
    const char *name;
    std::vector<std::string> args;
    int status;
    std::string err;
};

TEST_F(Tool, ExitStatusCountsFilesNamedNotFilesFoundWithoutTags) {
    write("album/01.mp3", kV1);
    write("album/cover.jpg", kPng);
    fs::create_directory("empty");
    const std::string in_dir = " in this directory\n";
    const StatusRow rows[] = {
        {"cover found", {"album"}, 0, ""},
        {"cover named", {"album/01.mp3", "album/cover.jpg"}, 1, ""},
        {"empty walk", {"album", "empty"}, 1, "kelid3-info: empty: no file" + in_dir},
        {"ext walk",
         {"--ext", "flac", "album"},
         1,
         "kelid3-info: album: no file with these extensions" + in_dir},
        {"missing", {"album", "missing"}, 2, "kelid3-info: missing: No such file or directory\n"},
        {"usage", {}, 2, "kelid3-info: no FILE or DIR given\n" + kTry},
        {"summary",
         {"--summary", "album"},
         0,
         "kelid3-info: summary: 2 files, 1 tags, 1 untagged, 0 refused, 0 unreadable\n"},
    };
    for (const StatusRow &row : rows) {
        SCOPED_TRACE(row.name);
        const Result r = run(row.args);
        EXPECT_EQ(r.status, row.status);
        EXPECT_EQ(r.err, row.err);
    }
    EXPECT_EQ(run({"--version"}).out, "kelid3-info (libkelid3) " KELID3_VERSION "\n");
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
    const Result json = run({"--json-lines", "--max-pictures=2", "--extract-pictures", "p", "B"});
    EXPECT_EQ(jq(json.out, "[.picture_errors[1], .pictures_over_limit]"),
              "[\"p/B/01-2.png: exists already, not replaced\",1]\n");
}

TEST_F(Tool, CsvHasAHeaderAndARowPerFileFromEitherTag) {
    V2Tag v23 = V2Tag(3).text("TYER", 0, "1987").text("TCON", 0, "(17)");
    write("a.mp3",
          v23.frame("COMM", text(0, "engx\0no"s)).frame("COMM", text(0, "eng\0c"s)).build() + kV1);
    write("b.mp3", V2Tag(4).text("TIT2", 3, "x\0y"s).build() + kV1);
    const Result r = run({"--csv", "a.mp3", "b.mp3", "missing"});
    EXPECT_EQ(
        r.out,
        "path,TIT2,TPE1,TALB,TRCK,TDRC,TCON,COMM\r\na.mp3,v1,\"a, \"\"b\"\"\",,,1987,Rock,c\r\n"
        "b.mp3,x / y,\"a, \"\"b\"\"\",,,1999,Rock,\r\n");
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(run({"--csv", "--frames", "tcon,TIT2", "b.mp3"}).out,
              "path,TCON,TIT2\r\nb.mp3,Rock,x / y\r\n");
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
    const Result r = run({"--json", "big.mp3", "samples/id3v1.mp3"}, {}, 100 << 10);
    EXPECT_EQ(jq(r.out, "[.[] | .error // .tags[0].version]"), "[\"out of memory\",\"ID3v1.1\"]\n");
    EXPECT_EQ(r.err, "kelid3-info: big.mp3: out of memory\n");
    EXPECT_EQ(r.status, 2);
}

TEST_F(Tool, EveryLineArrivesThroughASlowNonBlockingPipe) {
    for (int i = 0; i < 1000; ++i) write("d/" + std::to_string(i), kV1);
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    ASSERT_EQ(fcntl(fds[1], F_SETFL, O_NONBLOCK), 0);
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(fds[1], 1), dup2(fds[1], 2), close(fds[0]);
        execl("/bin/sh", "sh", "-c", KELID3_EMULATOR " " KELID3_INFO " --summary d missing",
              nullptr);
        _exit(127);
    }
    close(fds[1]);
    usleep(300000);  // the pipe is full by now
    std::string all;
    char piece[4096];
    for (ssize_t n; (n = read(fds[0], piece, sizeof piece)) > 0; usleep(200))
        all.append(piece, size_t(n));
    waitpid(pid, nullptr, 0);
    EXPECT_EQ(std::count(all.begin(), all.end(), '\n'), 1000 * 9 - 1 + 2);
    EXPECT_TRUE(
        all.ends_with("missing: No such file or directory\nkelid3-info: summary: 1000 files, 1000 "
                      "tags, 0 untagged, 0 refused, 1 unreadable\n"));
}

TEST_F(Tool, ReadsAStreamAndShowsTheLibrarysLinesAndDump) {
    const Bytes tagged =
        V2Tag(4).text("TIT2", 0, "a").padding(16).build() + fill(100000, 'x') + kV1;
    EXPECT_EQ(jq(run({"--json", "-"}, tagged).out, ".[0] | [.file, .size, [.tags[].version]]"),
              "[\"-\",100166,[\"ID3v2.4.0\",\"ID3v1\"]]\n");
    const std::string log = run({"--log", "samples/id3v22.mp3", "missing", "-"}, tagged).err;
    EXPECT_LT(log.find("] INFO: found tag: version 2.2.0, size: 186\n"), log.find("missing"));
    EXPECT_LT(log.find("missing"), log.find("] INFO: found tag: version 2.4.0, size: 28\n"));
    const std::string dump = run({"--dump", "samples/id3v23-picture.mp3"}).out;
    EXPECT_TRUE(
        dump.starts_with("samples/id3v23-picture.mp3\nTAG version 2.3.0, length 00418, flags "
                         "00000000\nframe: APIC[00088]"));
}

}  // namespace
