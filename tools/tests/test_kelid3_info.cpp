// SPDX-License-Identifier: MIT
// kelid3-info end to end: run as a user runs it, on the bundled samples and on
// files made with the tag writer; its output, messages, exit status and
// extracted pictures. JSON is read back with jq.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "support/id3_writer.h"

using namespace std::string_literals;
namespace fs = std::filesystem;

namespace {

std::string slurp(const fs::path &path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream all;
    all << in.rdbuf();
    return all.str();
}

struct Output {
    int status;
    std::string out, err;
};

class Tool : public testing::Test {
  protected:
    void SetUp() override { fs::create_directories(dir_ / "files"); }
    void TearDown() override { fs::remove_all(dir_); }

    std::string file(const std::string &name) const { return (dir_ / "files" / name).string(); }
    std::string write(const std::string &name, const Bytes &b) const {
        fs::create_directories(fs::path(file(name)).parent_path());
        std::ofstream(file(name), std::ios::binary)
            .write(reinterpret_cast<const char *>(b.data()), long(b.size()));
        return file(name);
    }
    // A shell command line run in the source tree.
    Output shell(const std::string &command) const {
        const int status = std::system(("cd " KELID3_SOURCE_DIR " && " + command + " >" +
                                        (dir_ / "out").string() + " 2>" + (dir_ / "err").string())
                                           .c_str());
        return {WEXITSTATUS(status), slurp(dir_ / "out"), slurp(dir_ / "err")};
    }
    Output run(const std::string &args) const { return shell(KELID3_INFO " " + args); }
    // jq's compact, raw output of a filter over a JSON text.
    std::string jq(const std::string &json, const std::string &filter) const {
        std::ofstream(dir_ / "in.json") << json;
        const Output r = shell(KELID3_JQ " -c -r '" + filter + "' " + (dir_ / "in.json").string());
        EXPECT_EQ(r.status, 0) << "jq (scripts/install-deps tests) refused it: " << r.err << json;
        return r.out;
    }

    const fs::path dir_ =
        fs::temp_directory_path() / ("kelid3-info-" + std::to_string(getpid()) +
                                     testing::UnitTest::GetInstance()->current_test_info()->name());
};

const std::string kSamples =
    "samples/id3v1-and-v23.mp3 samples/id3v1.mp3 samples/id3v22.mp3 "
    "samples/id3v23-picture.mp3 samples/id3v24-utf8.mp3";

TEST_F(Tool, ListsAndExportsTheSamplesAsBefore) {
    const Output listing = run(kSamples), json = run("--json " + kSamples);
    EXPECT_EQ(listing.out, slurp(KELID3_EXPECTED_DIR "/samples.txt"));
    EXPECT_EQ(json.out, slurp(KELID3_EXPECTED_DIR "/samples.json"));
    EXPECT_EQ(jq(json.out, "map([.tags[].frames[]] | length)"), "[9,7,4,4,4]\n");
    EXPECT_EQ(listing.err + json.err, "");
    EXPECT_EQ(listing.status + json.status, 0);
}

TEST_F(Tool, ExitStatusSaysWhetherEveryFileWasReadAndHadATag) {
    const std::string empty = write("empty.mp3", {}), missing = file("missing"),
                      untagged = fs::path(write("d/plain.txt", bytes("no tag"))).parent_path();
    ASSERT_EQ(mkfifo(file("fifo").c_str(), 0600), 0);
    const struct {
        std::string args;
        int status;
    } rows[] = {
        // clang-format off
        {.args = "samples/id3v1.mp3 samples/id3v22.mp3", .status = 0},
        {.args = "--help", .status = 0},
        {.args = "samples/id3v1.mp3 " + empty, .status = 1}, {.args = untagged, .status = 1},
        {.args = "samples/id3v1.mp3 " + missing, .status = 2}, {.args = file("fifo"), .status = 2},
        {.args = empty + " " + missing, .status = 2}, {.args = "", .status = 2},
        {.args = "--bogus samples/id3v1.mp3", .status = 2}, {.args = "--version", .status = 0},
        {.args = "--frames TI2 samples/id3v1.mp3", .status = 2},
        {.args = "samples/id3v1.mp3 --frames", .status = 2},
        {.args = "--json --dump samples/id3v1.mp3", .status = 2},
        {.args = "--extract-pictures " + empty + " samples/id3v22.mp3", .status = 2},
        // clang-format on
    };
    for (const auto &row : rows) EXPECT_EQ(run(row.args).status, row.status) << row.args;
}

TEST_F(Tool, MessagesNameTheFileAndTheReason) {
    const std::string missing = file("missing.mp3"),
                      try_help = "Try 'kelid3-info --help' for more information.\n";
    EXPECT_EQ(
        run("--frames TIT2,X samples/id3v1.mp3").err,
        "kelid3-info: --frames: 'X' is not a frame identifier (four letters A-Z or digits)\n" +
            try_help);
    EXPECT_EQ(run("").err, "kelid3-info: no FILE or DIR given\n" + try_help);
    EXPECT_EQ(run("--version").out, "kelid3-info (libkelid3) " KELID3_VERSION "\n");
    EXPECT_TRUE(run("--help").out.starts_with("Usage: kelid3-info [OPTION]... FILE|DIR...\n"));
    const Output r = run("--json " + missing + " samples/id3v1.mp3");
    EXPECT_EQ(r.err, "kelid3-info: " + missing + ": No such file or directory\n");
    EXPECT_EQ(jq(r.out, ".[0].error, .[1].tags[0].version"),
              "No such file or directory\nID3v1.1\n");
}

TEST_F(Tool, WalksDirectoriesRecursivelyInSortedOrderWithoutLooping) {
    for (const char *name : {"d/c.mp3", "d/a/z.mp3", "d/B.mp3", "d/a/y.mp3", "d/b.mp3"})
        write(name, bytes(slurp(KELID3_SOURCE_DIR "/samples/id3v1.mp3")));
    fs::create_directory_symlink("..", file("d/a/up"));
    ASSERT_EQ(mkfifo(file("d/fifo").c_str(), 0600), 0);
    const Output r = run("--json " + file("d") + "/");
    EXPECT_EQ(jq(r.out, "[.[].file] | map(ltrimstr(\"" + file("d/") + "\")) | join(\" \")"),
              "B.mp3 a/y.mp3 a/z.mp3 b.mp3 c.mp3\n");
    EXPECT_EQ(r.err, "kelid3-info: " + file("d/a/up") +
                         ": directory already being walked (a symbolic link loop), "
                         "passed over\nkelid3-info: " +
                         file("d/fifo") + ": not a regular file, passed over\n");
    EXPECT_EQ(r.status, 0);
}

// Texts in every encoding come out as UTF-8, values apart, control characters
// escaped; ID3v1 texts lose trailing spaces and NULs; a tag cut by the file's
// end, one the library refuses, a file without a tag.
TEST_F(Tool, ShowsWhatTheFilesHold) {
    V2Tag texts(4);
    texts
        .text("TIT2", 1,
              "\xFF\xFE"
              "C\0a\0f\0\xE9\0\0\0\xFF\xFE\x71\x67\xAC\x4E"s)                  // a mark per value
        .text("TPE1", 2, "\x03\x95\x03\xBB\x03\xBB\x03\xAC\x03\xB4\x03\xB1"s)  // UTF-16BE
        .text("TALB", 3, "\xF0\x9F\x8E\xB5 M\xC3\xBAsica")
        .text("TCOM", 0, "Se\xF1or M\xFCller")
        .text("TOPE", 1, "L\0E\0"s)            // no mark
        .text("TIT1", 1, "\xFF\xFEO\0K\0\0"s)  // ended by a single NUL byte
        .text("TIT3", 3,
              "a\xFF"
              "b\xED\xA0\x80")  // not UTF-8
        .text("TPE2", 3, "tab\there\x01\"q\"\\")
        .text("TXXX", 3, "key\0one\0two\0"s)
        .text("TCON", 3, "17\0(12)\0Trip\0"s)
        .padding(16);
    const std::string files =
        write("texts.mp3", texts.build()) + " " +
        write("v1.mp3", fill(200) + V1Tag{"Title" + std::string(25, ' '), "Artist  ", "", "1999",
                                          "note", 7, 17}
                                        .build()) +
        " " +
        write("cut.mp3",
              bytes(slurp(KELID3_SOURCE_DIR "/samples/id3v23-picture.mp3").substr(0, 120))) +
        " " +
        write("bad.mp3", V2Tag(4).text("TIT2", 3, "ok").frame("TPE1", {}).padding(16).build()) +
        " " + write("small.mp3", V2Tag(4).text("TIT2", 3, "Short").build()) + " " +
        write("empty.mp3", {});
    const Output r = run(files);
    std::string out = r.out;
    for (size_t at; (at = out.find(file(""))) != std::string::npos;) out.erase(at, file("").size());
    EXPECT_EQ(
        out,
        "texts.mp3\n  ID3v2.4.0, 245 bytes\n"
        "    TIT2  Title/songname/content description: Caf\xC3\xA9 | \xE6\x9D\xB1\xE4\xBA\xAC\n"
        "    TPE1  Lead performer(s)/Soloist(s): \xCE\x95\xCE\xBB\xCE\xBB\xCE\xAC\xCE\xB4\xCE\xB1\n"
        "    TALB  Album/Movie/Show title: \xF0\x9F\x8E\xB5 M\xC3\xBAsica\n"
        "    TCOM  Composer: Se\xC3\xB1or M\xC3\xBCller\n"
        "    TOPE  Original artist(s)/performer(s): LE\n"
        "    TIT1  Content group description: OK\n"
        "    TIT3  Subtitle/Description refinement: a\xEF\xBF\xBD"
        "b\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\n"
        "    TPE2  Band/orchestra/accompaniment: tab\\there\\x01\"q\"\\\n"
        "    TXXX  User defined text information frame [key]: one | two\n"
        "    TCON  Content type: Rock (17) | Other (12) | Trip\n\n"
        "v1.mp3\n  ID3v1.1, 128 bytes\n"
        "    TIT2  Title/songname/content description: Title\n"
        "    TPE1  Lead performer(s)/Soloist(s): Artist\n"
        "    TALB  Album/Movie/Show title:\n"
        "    TDRC  Recording time: 1999\n"
        "    COMM  Comments: note\n"
        "    TRCK  Track number/Position in set: 7\n"
        "    TCON  Content type: Rock (17)\n\n"
        "cut.mp3\n  ID3v2.3.0, 428 bytes (the file ends after 120)\n"
        "    TIT2  Title/songname/content description: Silence\xC3\xA9\n"
        "    TPE1  Lead performer(s)/Soloist(s): kelid3\n"
        "    TALB  Album/Movie/Show title: Samples\n\n"
        "bad.mp3\n  ID3v2.4.0 tag not read: a frame of size 0 or larger than 512 KiB (-34)\n\n"
        "small.mp3\n  ID3v2.4.0, 26 bytes\n    TIT2  Title/songname/content description: Short\n\n"
        "empty.mp3\n  no ID3 tag\n");
    EXPECT_EQ(r.status, 1);
    const std::string json = run("--json " + file("texts.mp3")).out;
    const auto texts_of = [&](const char *id, const char *what = "text") {
        return jq(json,
                  ".[0].tags[0].frames[] | select(.id == \"" + std::string(id) + "\") | ." + what);
    };
    EXPECT_EQ(texts_of("TPE2"), R"(["tab\there\u0001\"q\"\\"])"
                                "\n");
    EXPECT_EQ(texts_of("TXXX", "user_description") + texts_of("TCON", "genres"),
              "key\n"
              R"([{"number":17,"name":"Rock"},{"number":12,"name":"Other"}])"
              "\n");
}

TEST_F(Tool, ExtractsPicturesByteIdenticalAndNeverOverwrites) {
    const std::string out = file("pictures"),
                      args = "--extract-pictures " + out +
                             " samples/id3v23-picture.mp3 samples/id3v22.mp3";
    const Output first = run(args);
    ASSERT_EQ(first.status, 0) << first.err;
    for (const std::string sample : {"id3v23-picture", "id3v22"}) {
        const std::string from = slurp(KELID3_SOURCE_DIR "/samples/" + sample + ".mp3");
        EXPECT_EQ(slurp(out + "/" + sample + "-1.png"), from.substr(from.find("\x89PNG"), 70))
            << sample;
    }
    EXPECT_NE(first.out.find("Cover (front), 70 bytes, saved as " + out + "/id3v22-1.png\n"),
              std::string::npos);
    std::ofstream(out + "/id3v22-1.png") << "mine";
    const Output again = run(args);
    EXPECT_EQ(again.err,
              "kelid3-info: " + out +
                  "/id3v23-picture-1.png: exists already, not overwritten\nkelid3-info: " + out +
                  "/id3v22-1.png: exists already, not overwritten\n");
    EXPECT_EQ(slurp(out + "/id3v22-1.png") + std::to_string(again.status), "mine0");
}

TEST_F(Tool, FramesDumpAndLogOptions) {
    EXPECT_EQ(run("--frames tit2,TXXX samples/id3v24-utf8.mp3 samples/id3v1.mp3").out,
              "samples/id3v24-utf8.mp3\n  ID3v2.4.0, 226 bytes\n    TIT2  Title/songname/content "
              "description: Stille "
              "\xC3\xA9t\xC3\xA9 \xE2\x82\xAC\n    TXXX  User defined text information frame "
              "[mood]: calm\n\n"
              "samples/id3v1.mp3\n  ID3v1.1, 128 bytes\n    TIT2  Title/songname/content "
              "description: Silence\n");
    const std::string dump = run("--dump samples/id3v23-picture.mp3").out;
    EXPECT_TRUE(dump.starts_with(
        "samples/id3v23-picture.mp3\nTAG version 2.3.0, length 00418, flags 00000000\n"
        "frame: APIC[00088], flags 00000000, next "))
        << dump;
    EXPECT_NE(dump.find("\tfield: blob[00070], next (nil): "), std::string::npos) << dump;
    EXPECT_EQ(run("samples/id3v23-picture.mp3").err, "");
    EXPECT_NE(run("--log samples/id3v23-picture.mp3")
                  .err.find("] INFO: found tag: version 2.3.0, size: 418\n"),
              std::string::npos);
}

}  // namespace
