// kelid3-info end to end: the tool is run as a user runs it, on the bundled
// samples and on files made here, and its output, messages, exit status and
// extracted pictures are checked. JSON is read back with jq.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;
using Bytes = std::string;

constexpr const char *kSource = KELID3_SOURCE_DIR;
constexpr const char *kSamples[] = {"samples/id3v1-and-v23.mp3", "samples/id3v1.mp3",
                                    "samples/id3v22.mp3", "samples/id3v23-picture.mp3",
                                    "samples/id3v24-utf8.mp3"};

std::string source(const std::string &path) {
    return std::string(kSource) + "/" + path;
}

Bytes slurp(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream all;
    all << in.rdbuf();
    return all.str();
}

// ---- Tags made here -------------------------------------------------------

Bytes syncsafe(uint32_t v) {
    return {char(v >> 21 & 0x7F), char(v >> 14 & 0x7F), char(v >> 7 & 0x7F), char(v & 0x7F)};
}

// An ID3v2.4 frame.
Bytes frame(const std::string &id, const Bytes &content) {
    return id + syncsafe(static_cast<uint32_t>(content.size())) + Bytes(2, '\0') + content;
}

Bytes tag_v2(const std::vector<Bytes> &frames, size_t padding = 16) {
    Bytes body;
    for (const Bytes &f : frames) body += f;
    body += Bytes(padding, '\0');
    return "ID3\x04\0\0"s + syncsafe(static_cast<uint32_t>(body.size())) + body;
}

Bytes fixed(const std::string &s, size_t width, char fill) {
    return (s + Bytes(width, fill)).substr(0, width);
}

// ID3v1.1, texts padded with spaces (the album with NULs), track 7, genre 17.
Bytes tag_v1(const std::string &title) {
    return "TAG" + fixed(title, 30, ' ') + fixed("Artist", 30, ' ') + fixed("", 30, '\0') + "1999" +
           fixed("note", 28, ' ') + Bytes{0, 7, 17};
}

// ---- Running programs -------------------------------------------------------

struct Result {
    int status = -1;
    std::string out;
    std::string err;
};

class Tool : public ::testing::Test {
  protected:
    void SetUp() override {
        char name[] = "/tmp/kelid3-info-test-XXXXXX";
        ASSERT_NE(mkdtemp(name), nullptr);
        root_ = name;
        fs::create_directory(files());
    }
    void TearDown() override { fs::remove_all(root_); }

    // Where made files go; the outputs of runs are kept beside it.
    std::string files() const { return root_ + "/files"; }
    std::string file(const std::string &name) const { return files() + "/" + name; }

    std::string write(const std::string &name, const Bytes &bytes) const {
        fs::create_directories(fs::path(file(name)).parent_path());
        std::ofstream(file(name), std::ios::binary) << bytes;
        return file(name);
    }

    // Runs a program in `cwd` (the source tree by default).
    [[nodiscard]] Result exec(std::vector<std::string> argv,
                              const std::string &cwd = kSource) const {
        const std::string out = root_ + "/stdout";
        const std::string err = root_ + "/stderr";
        const pid_t pid = fork();
        if (pid == 0) {
            const int o = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            const int e = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            if (o < 0 || e < 0 || dup2(o, 1) < 0 || dup2(e, 2) < 0 || chdir(cwd.c_str()) != 0) {
                _exit(125);
            }
            std::vector<char *> args;
            for (std::string &a : argv) args.push_back(a.data());
            args.push_back(nullptr);
            execvp(args[0], args.data());
            _exit(127);
        }
        int status = 0;
        waitpid(pid, &status, 0);
        Result r;
        r.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        r.out = slurp(out);
        r.err = slurp(err);
        return r;
    }

    [[nodiscard]] Result run(const std::vector<std::string> &args,
                             const std::string &cwd = kSource) const {
        std::vector<std::string> argv{KELID3_INFO};
        argv.insert(argv.end(), args.begin(), args.end());
        return exec(argv, cwd);
    }

    // jq's compact, raw output of a filter over a JSON text.
    [[nodiscard]] std::string jq(const std::string &json, const std::string &filter) const {
        const std::string input = root_ + "/input.json";
        std::ofstream(input, std::ios::binary) << json;
        const Result r = exec({KELID3_JQ, "-c", "-r", filter, input});
        EXPECT_EQ(r.status, 0) << "jq (" << KELID3_JQ << ", installed by scripts/install-deps"
                               << " tests) refused the document: " << r.err;
        return r.out;
    }

    std::string root_;
};

std::vector<std::string> samples() {
    return std::vector<std::string>(std::begin(kSamples), std::end(kSamples));
}

// ---- Output of the samples --------------------------------------------------

TEST_F(Tool, ListsTheSamplesAsExpected) {
    const Result r = run(samples());
    EXPECT_EQ(r.out, slurp(KELID3_EXPECTED_DIR "/samples.txt"));
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.status, 0);
}

TEST_F(Tool, ExportsTheSamplesAsExpectedValidJson) {
    const Result r = run([] {
        std::vector<std::string> a = samples();
        a.insert(a.begin(), "--json");
        return a;
    }());
    EXPECT_EQ(r.out, slurp(KELID3_EXPECTED_DIR "/samples.json"));
    EXPECT_EQ(jq(r.out, "map([.tags[].frames[]] | length)"), "[9,7,4,4,4]\n");
    EXPECT_EQ(r.status, 0);
}

// ---- Exit status ------------------------------------------------------------

TEST_F(Tool, ExitStatusSaysWhetherEveryFileWasReadAndTagged) {
    const std::string empty = write("empty.mp3", "");
    const std::string missing = file("missing.mp3");
    const std::string untagged_dir = fs::path(write("dir/plain.txt", "no tag here")).parent_path();
    const std::string fifo = file("fifo");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const struct {
        std::vector<std::string> args;
        int status;
    } cases[] = {
        {{"samples/id3v1.mp3", "samples/id3v22.mp3"}, 0},
        {{"samples/id3v1.mp3", empty}, 1},
        {{untagged_dir}, 1},
        {{"samples/id3v1.mp3", missing}, 2},
        {{empty, missing}, 2},
        {{fifo}, 2},
        {{}, 2},
        {{"--bogus", "samples/id3v1.mp3"}, 2},
        {{"--frames", "TI2", "samples/id3v1.mp3"}, 2},
        {{"samples/id3v1.mp3", "--frames"}, 2},
        {{"--json", "--dump", "samples/id3v1.mp3"}, 2},
        {{"--extract-pictures", empty, "samples/id3v22.mp3"}, 2},
        {{"--help"}, 0},
        {{"--version"}, 0},
    };
    for (const auto &c : cases) {
        const Result r = run(c.args);
        EXPECT_EQ(r.status, c.status) << ::testing::PrintToString(c.args) << "\n" << r.err;
    }
}

TEST_F(Tool, UsageErrorsExplainThemselves) {
    EXPECT_EQ(run({"--frames", "TIT2,X", "samples/id3v1.mp3"}).err,
              "kelid3-info: --frames: 'X' is not a frame identifier (four letters A-Z or digits)\n"
              "Try 'kelid3-info --help' for more information.\n");
    EXPECT_EQ(run({}).err,
              "kelid3-info: no FILE or DIR given\n"
              "Try 'kelid3-info --help' for more information.\n");
    EXPECT_EQ(run({"--version"}).out, "kelid3-info (libkelid3) " KELID3_VERSION "\n");
    EXPECT_EQ(run({"--help"}).out.rfind("Usage: kelid3-info [OPTION]... FILE|DIR...\n", 0), 0u);
}

// ---- Files that are not what they seem ---------------------------------------

TEST_F(Tool, MissingFileIsNamedWithTheSystemsReason) {
    const std::string missing = file("missing.mp3");
    const Result r = run({"--json", missing, "samples/id3v1.mp3"});
    EXPECT_EQ(r.err, "kelid3-info: " + missing + ": No such file or directory\n");
    EXPECT_EQ(jq(r.out, ".[0].error, .[1].tags[0].version"),
              "No such file or directory\nID3v1.1\n");
}

TEST_F(Tool, WalksDirectoriesRecursivelyInSortedOrderWithoutLooping) {
    const Bytes tagged = slurp(source("samples/id3v1.mp3"));
    for (const char *name : {"d/c.mp3", "d/a/z.mp3", "d/B.mp3", "d/a/y.mp3", "d/b.mp3"}) {
        write(name, tagged);
    }
    fs::create_directory_symlink("..", file("d/a/up"));
    ASSERT_EQ(mkfifo(file("d/fifo").c_str(), 0600), 0);
    const Result r = run({"--json", file("d") + "/"});
    EXPECT_EQ(jq(r.out, "[.[].file] | map(ltrimstr(\"" + files() + "/d/\")) | join(\" \")"),
              "B.mp3 a/y.mp3 a/z.mp3 b.mp3 c.mp3\n");
    EXPECT_EQ(r.err, "kelid3-info: " + file("d/a/up") +
                         ": directory already being walked (a symbolic link loop), passed over\n"
                         "kelid3-info: " +
                         file("d/fifo") + ": not a regular file, passed over\n");
    EXPECT_EQ(r.status, 0);
}

TEST_F(Tool, EmptyFileHasNoTag) {
    const Result r = run({"--json", write("empty.mp3", "")});
    EXPECT_EQ(jq(r.out, ".[0] | [.size, (.tags | length)]"), "[0,0]\n");
    EXPECT_EQ(run({file("empty.mp3")}).out, file("empty.mp3") + "\n  no ID3 tag\n");
    EXPECT_EQ(r.status, 1);
}

// The first 120 bytes of the ID3v2.3 sample end inside its picture frame.
TEST_F(Tool, TruncatedTagShowsTheFramesThatFitAndSaysWhereTheFileEnds) {
    const std::string cut =
        write("cut.mp3", slurp(source("samples/id3v23-picture.mp3")).substr(0, 120));
    const Result r = run({cut});
    EXPECT_EQ(r.out, cut +
                         "\n"
                         "  ID3v2.3.0, 428 bytes (the file ends after 120)\n"
                         "    TIT2  Title/songname/content description: Silence\xC3\xA9\n"
                         "    TPE1  Lead performer(s)/Soloist(s): kelid3\n"
                         "    TALB  Album/Movie/Show title: Samples\n");
    EXPECT_EQ(jq(run({"--json", cut}).out, ".[0].tags[0] | [.truncated, .size]"), "[true,428]\n");
    EXPECT_EQ(r.status, 0);
}

TEST_F(Tool, FileShorterThan128BytesIsReadForItsId3v2TagOnly) {
    const Bytes small = tag_v2({frame("TIT2", "\x03Short")}, 0);
    const std::string tagged = write("small.mp3", small);
    const std::string v1_cut = write("v1cut.mp3", tag_v1("Title").substr(0, 100));
    const Result r = run({tagged, v1_cut});
    EXPECT_EQ(r.out, tagged + "\n  ID3v2.4.0, " + std::to_string(small.size()) +
                         " bytes\n    TIT2  Title/songname/content description: Short\n\n" +
                         v1_cut + "\n  no ID3 tag\n");
    EXPECT_EQ(r.status, 1);
}

TEST_F(Tool, TagTheLibraryRefusesIsReported) {
    // A frame of size 0 makes the library give up the whole tag.
    const std::string bad = write("bad.mp3", tag_v2({frame("TIT2", "\x03ok"), frame("TPE1", "")}));
    const Result r = run({bad});
    EXPECT_EQ(r.out,
              bad + "\n  ID3v2.4.0 tag not read: a frame of size 0 or larger than 512 KiB (-34)\n");
    EXPECT_EQ(r.status, 1);
}

// ---- Texts ------------------------------------------------------------------

TEST_F(Tool, TextsComeOutAsUtf8WhateverTheirStoredEncoding) {
    // Frame content (encoding byte first), and its texts as jq prints them.
    const struct {
        const char *id;
        Bytes content;
        const char *texts;
    } cases[] = {
        {"TIT2",
         "\x01\xFF\xFE"
         "C\0a\0f\0\xE9\0\0\0\xFF\xFE\x71\x67\xAC\x4E"s,  // a mark per value
         "[\"Caf\xC3\xA9\",\"\xE6\x9D\xB1\xE4\xBA\xAC\"]"},
        {"TPE1", "\x02\x03\x95\x03\xBB\x03\xBB\x03\xAC\x03\xB4\x03\xB1"s,  // UTF-16BE
         "[\"\xCE\x95\xCE\xBB\xCE\xBB\xCE\xAC\xCE\xB4\xCE\xB1\"]"},
        {"TALB", "\x03\xF0\x9F\x8E\xB5 M\xC3\xBAsica"s, "[\"\xF0\x9F\x8E\xB5 M\xC3\xBAsica\"]"},
        {"TCOM", "\x00Se\xF1or M\xFCller"s, "[\"Se\xC3\xB1or M\xC3\xBCller\"]"},
        {"TOPE",
         "\x01"
         "L\0E\0"s,
         "[\"LE\"]"},                                   // no mark, little-endian
        {"TIT1", "\x01\xFF\xFEO\0K\0\0"s, "[\"OK\"]"},  // ended by a single NUL byte
        {"TIT3",
         "\x03"
         "a\xFF"
         "b\xED\xA0\x80"s,  // not UTF-8
         "[\"a\xEF\xBF\xBD"
         "b\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\"]"},
        {"TPE2", "\x03tab\there\x01\"q\"\\"s, R"(["tab\there\u0001\"q\"\\"])"},
        {"TXXX", "\x03key\0one\0two\0"s, R"(["one","two"])"},
        {"TCON",
         "\x03"
         "17\0(12)\0Trip\0"s,
         R"j(["17","(12)","Trip"])j"},
    };
    std::vector<Bytes> frames;
    for (const auto &c : cases) frames.push_back(frame(c.id, c.content));
    const std::string path = write("texts.mp3", tag_v2(frames));
    const std::string json = run({"--json", path}).out;
    const auto of = [&](const std::string &id, const std::string &what) {
        return jq(json, ".[0].tags[0].frames[] | select(.id == \"" + id + "\") | " + what);
    };
    for (const auto &c : cases) EXPECT_EQ(of(c.id, ".text"), std::string(c.texts) + "\n") << c.id;
    EXPECT_EQ(of("TPE2", ".text[0]"), "tab\there\x01\"q\"\\\n");
    EXPECT_EQ(of("TXXX", ".user_description"), "key\n");
    EXPECT_EQ(of("TCON", ".genres"), R"([{"number":17,"name":"Rock"},{"number":12,"name":"Other"}])"
                                     "\n");

    const std::string listing = run({path}).out;
    for (const char *line : {
             "    TIT2  Title/songname/content description: Caf\xC3\xA9 | "
             "\xE6\x9D\xB1\xE4\xBA\xAC\n",
             "    TPE2  Band/orchestra/accompaniment: tab\\there\\x01\"q\"\\\n",
             "    TXXX  User defined text information frame [key]: one | two\n",
             "    TCON  Content type: Rock (17) | Other (12) | Trip\n",
         }) {
        EXPECT_NE(listing.find(line), std::string::npos) << line << listing;
    }
}

TEST_F(Tool, Id3v1TextsLoseTheirTrailingSpacesAndNuls) {
    const std::string path = write("v1.mp3", Bytes(200, '\0') + tag_v1("Title"));
    EXPECT_EQ(run({path}).out, path +
                                   "\n  ID3v1.1, 128 bytes\n"
                                   "    TIT2  Title/songname/content description: Title\n"
                                   "    TPE1  Lead performer(s)/Soloist(s): Artist\n"
                                   "    TALB  Album/Movie/Show title:\n"
                                   "    TDRC  Recording time: 1999\n"
                                   "    COMM  Comments: note\n"
                                   "    TRCK  Track number/Position in set: 7\n"
                                   "    TCON  Content type: Rock (17)\n");
}

// ---- Options ----------------------------------------------------------------

TEST_F(Tool, ExtractsPicturesByteIdenticalAndNeverOverwrites) {
    const std::string out = root_ + "/pictures";
    const Result first =
        run({"--extract-pictures", out, "samples/id3v23-picture.mp3", "samples/id3v22.mp3"});
    ASSERT_EQ(first.status, 0) << first.err;
    for (const char *sample : {"id3v23-picture", "id3v22"}) {
        const Bytes file = slurp(source("samples/" + std::string(sample) + ".mp3"));
        const Bytes picture = slurp(out + "/" + sample + "-1.png");
        ASSERT_EQ(picture.size(), 70u) << sample;
        EXPECT_EQ(file.substr(file.find("\x89PNG"), 70), picture) << sample;
    }
    EXPECT_NE(first.out.find("Cover (front), 70 bytes, saved as " + out + "/id3v22-1.png\n"),
              std::string::npos);

    std::ofstream(out + "/id3v22-1.png", std::ios::binary) << "mine";
    const Result again =
        run({"--extract-pictures", out, "samples/id3v23-picture.mp3", "samples/id3v22.mp3"});
    EXPECT_EQ(again.err,
              "kelid3-info: " + out + "/id3v23-picture-1.png: exists already, not overwritten\n" +
                  "kelid3-info: " + out + "/id3v22-1.png: exists already, not overwritten\n");
    EXPECT_EQ(slurp(out + "/id3v22-1.png"), "mine");
    EXPECT_EQ(again.status, 0);
}

TEST_F(Tool, FramesChoosesTheFramesOfEveryTag) {
    const Result r = run({"--frames", "tit2,TXXX", "samples/id3v24-utf8.mp3", "samples/id3v1.mp3"});
    EXPECT_EQ(
        r.out,
        "samples/id3v24-utf8.mp3\n"
        "  ID3v2.4.0, 226 bytes\n"
        "    TIT2  Title/songname/content description: Stille \xC3\xA9t\xC3\xA9 \xE2\x82\xAC\n"
        "    TXXX  User defined text information frame [mood]: calm\n"
        "\n"
        "samples/id3v1.mp3\n"
        "  ID3v1.1, 128 bytes\n"
        "    TIT2  Title/songname/content description: Silence\n");
}

TEST_F(Tool, DumpIsTheLibrarysOwn) {
    const Result r = run({"--dump", "samples/id3v23-picture.mp3"});
    EXPECT_EQ(r.out.rfind("samples/id3v23-picture.mp3\n"
                          "TAG version 2.3.0, length 00418, flags 00000000\n"
                          "frame: APIC[00088], flags 00000000, next ",
                          0),
              0u)
        << r.out;
    EXPECT_NE(r.out.find("\tfield: blob[00070], next (nil): 474e5089 0a1a0a0d 0d000000 ...\n"),
              std::string::npos)
        << r.out;
}

TEST_F(Tool, LibraryDiagnosticsAppearOnlyWithLog) {
    EXPECT_EQ(run({"samples/id3v23-picture.mp3"}).err, "");
    const std::string log = run({"--log", "samples/id3v23-picture.mp3"}).err;
    EXPECT_NE(log.find("] INFO: found tag: version 2.3.0, size: 418\n"), std::string::npos) << log;
}

}  // namespace
