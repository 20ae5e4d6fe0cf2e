// SPDX-License-Identifier: MIT
// kelid3-info end to end, run as a user runs it (under the emulator in a cross
// build) on the bundled samples and on files made with the tag writer: output,
// JSON read back with jq, messages, exit status, pictures, walks, standard
// input, limits, escaping, progress, summary and the manual page.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>

#include "support/id3_writer.h"

using namespace std::string_literals;
namespace fs = std::filesystem;

namespace {

std::string slurp(const std::string &path) {
    std::ostringstream all;
    all << std::ifstream(path, std::ios::binary).rdbuf();
    return all.str();
}

// An ID3v2.4 tag of about `size` bytes, of frames of one byte each.
Bytes tiny_frames(size_t size) {
    const Bytes one = V2Tag(4).text("TIT2", 0, "").body;
    Bytes frames;
    while (frames.size() < size - 20) frames.insert(frames.end(), one.begin(), one.end());
    return V2Tag(4).raw(frames).build();
}

struct Result {
    int status;
    std::string out, err;
};

const Bytes kV1 = V1Tag{.title = "t", .track = 1}.build();
const std::string kTry = "Try 'kelid3-info --help' for more information.\n",
                  kMissing = "kelid3-info: missing: No such file or directory\n";
// What --json-lines writes for the bundled samples, as it first did.
// clang-format off
const std::string kSamples = R"json({"file": "samples/id3v1-and-v23.mp3", "size": 16053, "tags": [{"version": "ID3v2.3.0", "size": 79, "flags": 0, "truncated": false, "frames": [{"id": "TIT2", "description": "Title/songname/content description", "encoding": "ISO-8859-1", "text": ["Both tags"]}, {"id": "TPE1", "description": "Lead performer(s)/Soloist(s)", "encoding": "ISO-8859-1", "text": ["kelid3"]}]}, {"version": "ID3v1.1", "size": 128, "flags": 0, "truncated": false, "frames": [{"id": "TIT2", "description": "Title/songname/content description", "encoding": "ISO-8859-1", "text": ["Both tags"]}, {"id": "TPE1", "description": "Lead performer(s)/Soloist(s)", "encoding": "ISO-8859-1", "text": ["kelid3"]}, {"id": "TALB", "description": "Album/Movie/Show title", "encoding": "ISO-8859-1", "text": ["Samples"]}, {"id": "TDRC", "description": "Recording time", "encoding": "ISO-8859-1", "text": ["2026"]}, {"id": "COMM", "description": "Comments", "encoding": "ISO-8859-1", "text": [""]}, {"id": "TRCK", "description": "Track number/Position in set", "text": ["5"]}, {"id": "TCON", "description": "Content type", "encoding": "ISO-8859-1", "text": ["Pop"], "genres": [{"number": 13, "name": "Pop"}]}]}]}
{"file": "samples/id3v1.mp3", "size": 15974, "tags": [{"version": "ID3v1.1", "size": 128, "flags": 0, "truncated": false, "frames": [{"id": "TIT2", "description": "Title/songname/content description", "encoding": "ISO-8859-1", "text": ["Silence"]}, {"id": "TPE1", "description": "Lead performer(s)/Soloist(s)", "encoding": "ISO-8859-1", "text": ["kelid3"]}, {"id": "TALB", "description": "Album/Movie/Show title", "encoding": "ISO-8859-1", "text": ["Samples"]}, {"id": "TDRC", "description": "Recording time", "encoding": "ISO-8859-1", "text": ["2026"]}, {"id": "COMM", "description": "Comments", "encoding": "ISO-8859-1", "text": ["ID3v1.1"]}, {"id": "TRCK", "description": "Track number/Position in set", "text": ["1"]}, {"id": "TCON", "description": "Content type", "encoding": "ISO-8859-1", "text": ["Other"], "genres": [{"number": 12, "name": "Other"}]}]}]}
{"file": "samples/id3v22.mp3", "size": 16042, "tags": [{"version": "ID3v2.2.0", "size": 196, "flags": 0, "truncated": false, "frames": [{"id": "TIT2", "description": "Title/songname/content description", "encoding": "ISO-8859-1", "text": ["Silence"]}, {"id": "TPE1", "description": "Lead performer(s)/Soloist(s)", "encoding": "ISO-8859-1", "text": ["kelid3"]}, {"id": "TRCK", "description": "Track number/Position in set", "encoding": "ISO-8859-1", "text": ["2"]}, {"id": "APIC", "description": "Attached picture", "picture": {"mime": "image/png", "format": "PNG", "type": 3, "type_name": "Cover (front)", "size": 70}}]}]}
{"file": "samples/id3v23-picture.mp3", "size": 16274, "tags": [{"version": "ID3v2.3.0", "size": 428, "flags": 0, "truncated": false, "frames": [{"id": "TIT2", "description": "Title/songname/content description", "encoding": "UTF-16", "text": ["Silenceé"]}, {"id": "TPE1", "description": "Lead performer(s)/Soloist(s)", "encoding": "ISO-8859-1", "text": ["kelid3"]}, {"id": "TALB", "description": "Album/Movie/Show title", "encoding": "ISO-8859-1", "text": ["Samples"]}, {"id": "APIC", "description": "Attached picture", "picture": {"mime": "image/png", "type": 3, "type_name": "Cover (front)", "size": 70}}]}]}
{"file": "samples/id3v24-utf8.mp3", "size": 16072, "tags": [{"version": "ID3v2.4.0", "size": 226, "flags": 0, "truncated": false, "frames": [{"id": "TIT2", "description": "Title/songname/content description", "encoding": "UTF-8", "text": ["Stille été €"]}, {"id": "TPE1", "description": "Lead performer(s)/Soloist(s)", "encoding": "UTF-16", "text": ["kelid3"]}, {"id": "TXXX", "description": "User defined text information frame", "encoding": "UTF-8", "user_description": "mood", "text": ["calm"]}, {"id": "TCON", "description": "Content type", "encoding": "UTF-8", "text": ["Other"]}]}]}
)json";
// clang-format on

// Each test in a folder of its own, the samples linked into it: names in the
// output are as given.
class Tool : public testing::Test {
  protected:
    void SetUp() override {
        fs::create_directories(dir_);
        fs::create_directory_symlink(KELID3_SOURCE_DIR "/samples", dir_ + "/samples");
        fs::current_path(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    // A file of these bytes, its folder made.
    template <class B>
    void write(const std::string &name, const B &b) {
        if (fs::path(name).has_parent_path()) fs::create_directories(fs::path(name).parent_path());
        std::ofstream(name, std::ios::binary).write(reinterpret_cast<const char *>(b.data()), long(b.size()));
    }
    // A shell's command with these arguments quoted, `input` piped to it;
    // `kib` KiB of address space when not 0.
    Result exec(std::string command, const std::vector<std::string> &args, const Bytes &input = {}, long kib = 0) {
        for (const std::string &a : args) command += " '" + std::regex_replace(a, std::regex("'"), "'\\''") + "'";
        write(".in", input);
        command = (kib ? "ulimit -v " + std::to_string(kib) + "; " : "") + "cat .in | " + command;
        const int status = std::system((command + " >.out 2>.err").c_str());
        return {WEXITSTATUS(status), slurp(".out"), slurp(".err")};
    }
    // kelid3-info, through the emulator of a cross build.
    Result run(const std::vector<std::string> &args, const Bytes &input = {}, long kib = 0) {
        return exec(KELID3_EMULATOR " " KELID3_INFO, args, input, kib);
    }
    // jq's compact, raw output of a filter over a JSON text.
    std::string jq(const std::string &json, const std::string &filter) {
        const Result r = exec(KELID3_JQ " -c -r", {filter}, bytes(json));
        EXPECT_EQ(r.status, 0) << "jq (scripts/install-deps tests) refused it: " << r.err << json;
        return r.out;
    }

    const std::string dir_ = fs::temp_directory_path() / ("kelid3-info-" + std::to_string(getpid()));
};

// --json-lines: one object per file, one a line, as before; --json: the same
// objects in one array.
TEST_F(Tool, ExportsJsonLinesAsBeforeAndTheSameObjectsInAnArray) {
    const Result lines = run({"--json-lines", "--ext", "mp3", "samples"}),
                 json = run({"--json", "--ext", "mp3", "samples"});
    EXPECT_EQ(lines.out + lines.err + json.err + std::to_string(lines.status + json.status), kSamples + "0");
    EXPECT_EQ(jq(json.out, ".[]"), jq(lines.out, "."));
}

// 0: every file read and tagged; 1: some file without a tag; 2: a usage error
// or a file not read; each message names the file or option and the reason.
// --version, and the options of --help as the manual page has them.
TEST_F(Tool, ExitStatusMessagesVersionAndOptions) {
    write("empty.mp3", ""s);
    write("d/plain.txt", "no tag"s);
    ASSERT_EQ(mkfifo("fifo", 0600), 0);
    const std::string v1 = "samples/id3v1.mp3";
    // clang-format off
    const struct { std::vector<std::string> args; int status; std::string err; } rows[] = {
        {.args = {v1, "samples/id3v22.mp3"}, .status = 0, .err = ""}, {.args = {"--help"}, .status = 0, .err = ""},
        {.args = {v1, "empty.mp3"}, .status = 1, .err = ""}, {.args = {"d"}, .status = 1, .err = ""},
        {.args = {v1, "missing"}, .status = 2, .err = kMissing}, {.args = {"empty.mp3", "missing"}, .status = 2, .err = kMissing},
        {.args = {"fifo"}, .status = 2, .err = "kelid3-info: fifo: not a regular file\n"},
        {.args = {}, .status = 2, .err = "kelid3-info: no FILE or DIR given\n" + kTry},
        {.args = {"--bogus", v1}, .status = 2, .err = "kelid3-info: unknown option '--bogus'\n" + kTry},
        {.args = {"--frames", "TIT2,X", v1}, .status = 2,
         .err = "kelid3-info: --frames: 'X' is not a frame identifier (four letters A-Z or digits)\n" + kTry},
        {.args = {v1, "--frames"}, .status = 2, .err = "kelid3-info: option '--frames' needs an argument\n" + kTry},
        {.args = {"--json", "--dump", v1}, .status = 2, .err = "kelid3-info: --json, --json-lines and --dump exclude each other\n" + kTry},
        {.args = {"--extract-pictures", "empty.mp3", v1}, .status = 2, .err = "kelid3-info: empty.mp3: not a directory\n"},
    };
    // clang-format on
    for (const auto &row : rows) {
        const Result r = run(row.args);
        EXPECT_EQ(r.err + std::to_string(r.status), row.err + std::to_string(row.status));
    }
    EXPECT_EQ(run({"--version"}).out, "kelid3-info (libkelid3) " KELID3_VERSION "\n");
    EXPECT_EQ(jq(run({"--json", "missing"}).out, ".[0].error"), "No such file or directory\n");
    // the manual page names the options --help names
    const std::regex option("--[a-z-]*");
    const auto options = [&](const std::string &s) {
        return std::set<std::string>(std::sregex_token_iterator(s.begin(), s.end(), option), {});
    };
    const std::string page = slurp(KELID3_SOURCE_DIR "/tools/kelid3-info/kelid3-info.1");
    EXPECT_EQ(options(std::regex_replace(page, std::regex(R"(\\-)"), "-")), options(run({"--help"}).out));
}

// Sorted, symbolic links followed; a loop, a directory reached a second way
// and a file that is not regular passed over with a note; --ext in walks only.
TEST_F(Tool, WalksDirectoriesOnceInSortedOrder) {
    for (const char *name :
         {"d/c.mp3", "d/a/z.mp3", "d/B.mp3", "d/a/y.mp2", "d/b.MP3", "d/b.txt", "e/x.mp3", "e/y.txt"})
        write(name, kV1);
    for (const char *link : {"d/a/up", "d/e1", "d/e2"})
        fs::create_directory_symlink(link[2] == 'a' ? ".." : "../e", link);
    ASSERT_EQ(mkfifo("d/fifo.mp3", 0600), 0);
    const Result r = run({"--json", "--ext", "mp3,.Mp2", "d", "e/y.txt"});
    EXPECT_EQ(jq(r.out, "[.[].file] | join(\" \")"),
              "d/B.mp3 d/a/y.mp2 d/a/z.mp3 d/b.MP3 d/c.mp3 d/e1/x.mp3 e/y.txt\n");
    EXPECT_EQ(r.err + std::to_string(r.status),
              "kelid3-info: d/a/up: directory already being walked (a symbolic link loop), passed over\n"
              "kelid3-info: d/e2: directory walked already (reached another way), passed over\n"
              "kelid3-info: d/fifo.mp3: not a regular file, passed over\n0");
}

// Texts in every encoding come out as UTF-8, values apart, control characters
// escaped; ID3v1 texts lose trailing spaces and NULs; a tag cut by the file's
// end, one the library refuses (noted after the tags read), a file without a tag.
TEST_F(Tool, ShowsWhatTheFilesHold) {
    // clang-format off
    const struct { const char *id; uint8_t encoding; std::string text, shown; } frames[] = {
        {"TIT2", 1, "\xFF\xFE" "C\0a\0f\0\xE9\0\0\0\xFF\xFE\x71\x67\xAC\x4E"s,  // a mark per value
         "Title/songname/content description: Caf\xC3\xA9 | \xE6\x9D\xB1\xE4\xBA\xAC"},
        {"TPE1", 2, "\x03\x95\x03\xBB\x03\xBB\x03\xAC\x03\xB4\x03\xB1"s,
         "Lead performer(s)/Soloist(s): \xCE\x95\xCE\xBB\xCE\xBB\xCE\xAC\xCE\xB4\xCE\xB1"},
        {"TALB", 3, "\xF0\x9F\x8E\xB5 M\xC3\xBAsica", "Album/Movie/Show title: \xF0\x9F\x8E\xB5 M\xC3\xBAsica"},
        {"TOPE", 1, "L\0E\0"s, "Original artist(s)/performer(s): LE"},  // no mark
        {"TIT1", 1, "\xFF\xFEO\0K\0\0"s, "Content group description: OK"},  // a single NUL byte at the end
        {"TIT3", 3, "a\xFF" "b\xED\xA0\x80", "Subtitle/Description refinement: a\xEF\xBF\xBD" "b\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},
        {"TXXX", 3, "key\0one\0two\0"s, "User defined text information frame [key]: one | two"},
        {"TCON", 3, "17\0(12)\0Trip\0"s, "Content type: Rock (17) | Other (12) | Trip"},
    };
    // clang-format on
    V2Tag texts(4);
    std::string want = "texts.mp3\n  ID3v2.4.0, 198 bytes\n";
    for (const auto &f : frames) texts.text(f.id, f.encoding, f.text), want += "    "s + f.id + "  " + f.shown + "\n";
    write("texts.mp3", texts.padding(16).build());
    write("cut.mp3", slurp("samples/id3v23-picture.mp3").substr(0, 120));
    const Bytes v1 = fill(200) + V1Tag{"Title   ", "Artist  ", "", "1999", "note", 7, 17}.build();
    write("bad.mp3", V2Tag(4).text("TIT2", 3, "ok").frame("TPE1", {}).padding(16).build() + v1);
    write("empty.mp3", ""s);
    const Result r = run({"texts.mp3", "cut.mp3", "bad.mp3", "empty.mp3"});
    // clang-format off
    EXPECT_EQ(r.out + std::to_string(r.status), want +
        "\ncut.mp3\n  ID3v2.3.0, 428 bytes (the file ends after 120)\n    TIT2  Title/songname/content description: "
        "Silence\xC3\xA9\n    TPE1  Lead performer(s)/Soloist(s): kelid3\n    TALB  Album/Movie/Show title: Samples\n\n"
        "bad.mp3\n  ID3v1.1, 128 bytes\n    TIT2  Title/songname/content description: Title\n"
        "    TPE1  Lead performer(s)/Soloist(s): Artist\n    TALB  Album/Movie/Show title:\n    TDRC  Recording time: 1999\n"
        "    COMM  Comments: note\n    TRCK  Track number/Position in set: 7\n    TCON  Content type: Rock (17)\n"
        "  ID3v2.4.0 tag not read: a frame of size 0 or larger than 512 KiB (-34)\n\nempty.mp3\n  no ID3 tag\n1");
    // clang-format on
}

TEST_F(Tool, ExtractsPicturesByteIdenticalAndNeverOverwrites) {
    const std::vector<std::string> args = {"--extract-pictures", "pictures", "samples/id3v23-picture.mp3",
                                           "samples/id3v22.mp3"};
    const Result first = run(args);
    for (const std::string sample : {"id3v23-picture", "id3v22"}) {
        const std::string from = slurp("samples/" + sample + ".mp3");
        EXPECT_EQ(slurp("pictures/" + sample + "-1.png"), from.substr(from.find("\x89PNG"), 70));
    }
    write("pictures/id3v22-1.png", "mine"s);
    const Result again = run(args);
    // clang-format off
    EXPECT_EQ(first.out.substr(first.out.find("\nsamples/id3v22.mp3")) + first.err + again.err +
              slurp("pictures/id3v22-1.png") + std::to_string(first.status + again.status),
              "\nsamples/id3v22.mp3\n  ID3v2.2.0, 196 bytes\n    TIT2  Title/songname/content description: Silence\n"
              "    TPE1  Lead performer(s)/Soloist(s): kelid3\n    TRCK  Track number/Position in set: 2\n"
              "    APIC  Attached picture: image/png, Cover (front), 70 bytes, saved as pictures/id3v22-1.png\n"
              "kelid3-info: pictures/id3v23-picture-1.png: exists already, not overwritten\n"
              "kelid3-info: pictures/id3v22-1.png: exists already, not overwritten\nmine0");
    // clang-format on
}

// --frames goes to the library as its selection list (ID3v1 frames are chosen
// by it too) and names once the frames the library never decodes; --dump
// prints the library's records.
TEST_F(Tool, FramesSelectsWhatIsShownAndDumpPrintsTheRecords) {
    const Result frames = run({"--frames", "tit2,TXXX,COMM,USLT,uslt", "samples/id3v24-utf8.mp3", "samples/id3v1.mp3"});
    // clang-format off
    EXPECT_EQ(frames.out + frames.err,
              "samples/id3v24-utf8.mp3\n  ID3v2.4.0, 226 bytes\n    TIT2  Title/songname/content description: Stille "
              "\xC3\xA9t\xC3\xA9 \xE2\x82\xAC\n    TXXX  User defined text information frame [mood]: calm\n\n"
              "samples/id3v1.mp3\n  ID3v1.1, 128 bytes\n    TIT2  Title/songname/content description: Silence\n"
              "    COMM  Comments: ID3v1.1\nkelid3-info: --frames: COMM: the library decodes no ID3v2 frame COMM, only the "
              "ID3v1 field it stands for\nkelid3-info: --frames: USLT: the library never decodes USLT frames: none is shown\n");
    const std::string dump = run({"--dump", "samples/id3v23-picture.mp3"}).out;
    EXPECT_TRUE(dump.starts_with("samples/id3v23-picture.mp3\nTAG version 2.3.0, length 00418, flags 00000000\n"
                                 "frame: APIC[00088], flags 00000000, next ")) << dump;
    EXPECT_NE(dump.find("\tfield: blob[00070], next (nil): "), std::string::npos) << dump;
    // clang-format on
}

// Frames the scan did not reach are reported (TIT2 ends at byte 22), unless
// only zero padding is left, the file ends inside the tag or a footer follows.
TEST_F(Tool, FramesTheScanLeavesAreReportedUnlessZeroPadding) {
    const Bytes junk = V2Tag(4).text("TIT2", 0, "a").raw(bytes("junk")).padding(12).build();
    V2Tag footer = V2Tag(4, 0, 0x10).text("TIT2", 0, "a");
    write("s/junk", junk);
    write("s/padded", V2Tag(4).text("TIT2", 0, "a").padding(16).build());
    write("s/cut", Bytes(junk.begin(), junk.begin() + 30));
    write("s/footer", footer.raw(bytes("3DI\4\0\x10\0\0\0\x0C"s)).size(12).build());
    const std::string title = "    TIT2  Title/songname/content description: a\n";
    // clang-format off
    EXPECT_EQ(run({"s"}).out, "s/cut\n  ID3v2.4.0, 38 bytes (the file ends after 30)\n" + title +
              "\ns/footer\n  ID3v2.4.0, 32 bytes, flags 0x10 (footer)\n" + title + "\ns/junk\n  ID3v2.4.0, 38 bytes\n" +
              title + "    frames from byte 22 on not read\n\ns/padded\n  ID3v2.4.0, 38 bytes\n" + title);
    // clang-format on
    EXPECT_EQ(jq(run({"--json", "s"}).out, "[.[].tags[0].unread_from]"), "[null,null,22,null]\n");
}

// Control characters (C0, DEL, C1), bidirectional overrides and isolates and
// bytes that are not UTF-8 reach neither stream raw, in a name or a text, in
// any mode; JSON gives the text back whole and keeps the name's bytes in
// file_bytes.
TEST_F(Tool, NoControlCharacterReachesTheTerminalRawInAnyMode) {
    const std::string name = "n\x1b]0;\x07\xff\xe2\x80\xae.mp3", text = "a\x7f\xc2\x9b\xe2\x81\xa6\tb\r\x01\"q\"\\";
    write(name, V2Tag(4).text("TIT2", 3, text).raw(bytes("\x1b[2J")).padding(12).build());
    for (const char *mode : {"--json", "--json-lines", "--dump", "--log", "--frames=TIT2"}) {
        const Result r = run({mode, name, "missing\x1b"});
        for (const char *raw :
             {"\x1b", "\x07", "\x7f", "\xc2\x9b", "\xe2\x81\xa6", "\xe2\x80\xae", "\xff", "\r", "\x01"})
            EXPECT_EQ((r.out + r.err).find(raw), std::string::npos) << mode;
        EXPECT_EQ(r.status, 2) << mode;
    }
    EXPECT_NE(run({name}).out.find(": a\\x7f\\u009b\\u2066\\tb\\r\\x01\"q\"\\\n"), std::string::npos);
    EXPECT_EQ(jq(run({"--json-lines", name}).out, ".tags[0].frames[0].text[0], .file_bytes"),
              text + "\n6e1b5d303b07ffe280ae2e6d7033\n");
}

// --max-tag-bytes; out of memory (an address space of 64 and 48 MiB) is a
// message and status 2 for the buffer, a message in place of the tag for its
// records, never an abort.
TEST_F(Tool, MemoryRunningOutIsAMessageAndStatusNeverAnAbort) {
    write("big", bytes("ID3\x04\0\0\x60\0\0\0"s) + fill(100, 'x'));  // 192 MiB
    EXPECT_EQ(run({"--max-tag-bytes", "1k", "big"}).out,
              "big\n  ID3v2.4.0 tag not read: 201326602 bytes, more than --max-tag-bytes (1024)\n");
    if (KELID3_TOOL_SANITIZED) GTEST_SKIP() << "a sanitized tool needs more address space";
    if (*KELID3_EMULATOR) GTEST_SKIP() << "the emulator's own address space would be limited";
    const Result buffer = run({"--max-tag-bytes", "256M", "big"}, {}, 64 << 10);
    EXPECT_EQ(buffer.err + std::to_string(buffer.status), "kelid3-info: big: out of memory\n2");
    write("tiny.mp3", tiny_frames(8 << 20));
    const Result records = run({"--json", "tiny.mp3"}, {}, 48 << 10);
    EXPECT_NE((records.out + records.err).find("out of memory"), std::string::npos) << records.err;
    EXPECT_TRUE(records.status == 1 || records.status == 2) << records.status;
}

TEST_F(Tool, StandardInputIsReadAsAStreamToItsEnd) {
    const std::string seen = ".[0] | [.file, .size, [.tags[].version]]";
    const Bytes tagged = V2Tag(4).text("TIT2", 0, "a").padding(16).build() + fill(100000, 'x') + kV1;
    EXPECT_EQ(jq(run({"--json", "-"}, tagged).out, seen) + jq(run({"--json", "-"}, bytes("ab")).out, seen),
              "[\"-\",100166,[\"ID3v2.4.0\",\"ID3v1.1\"]]\n[\"-\",2,[]]\n");
}

// --progress and --summary on standard error; --log: the library's lines,
// two a frame, keep their place among the tool's messages.
TEST_F(Tool, ProgressSummaryAndLibraryLinesGoToStandardError) {
    std::vector<std::string> args = {"--progress", "--summary", "samples/id3v1.mp3", "samples/id3v1-and-v23.mp3",
                                     "missing"};
    const std::string err = run(args).err, summary = "kelid3-info: summary: 2 files, 3 tags, 0 refused, 1 unreadable\n";
    EXPECT_TRUE(err.starts_with("\r\x1b[Kkelid3-info: 1 files, 1 tags, ") && err.ends_with(summary)) << err;
    EXPECT_NE(err.find("\r\x1b[K" + kMissing), std::string::npos);
    args[0] = "--no-progress";
    EXPECT_EQ(run(args).err, kMissing + summary);
    write("big.mp3", tiny_frames(1 << 20));
    const std::string log = run({"--log", "big.mp3", "missing", "samples/id3v22.mp3"}).err;
    const size_t message = log.find(kMissing);
    EXPECT_GT(std::ranges::count(log.substr(0, message), '\n'), 190000);
    EXPECT_LT(log.find("] INFO: found tag: version 2.2.0, size: 186\n", message), log.size());
}

}  // namespace
