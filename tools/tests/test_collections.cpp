// SPDX-License-Identifier: MIT
// kelid3-info on large collections, end to end: frames left unread, --frames
// the library never decodes, no raw control in any mode, memory running out,
// standard input, JSON lines, walks, progress, summary, help and manual page.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;
using Bytes = std::string;

Bytes slurp(const std::string &path) {
    std::ostringstream all;
    all << std::ifstream(path, std::ios::binary).rdbuf();
    return all.str();
}

Bytes syncsafe(size_t v) {
    return {char(v >> 21 & 0x7F), char(v >> 14 & 0x7F), char(v >> 7 & 0x7F), char(v & 0x7F)};
}

// An ID3v2.4 frame, and a tag of frames, bytes behind them and header flags.
Bytes frame(const Bytes &id, const Bytes &content) {
    return id + syncsafe(content.size()) + Bytes(2, '\0') + content;
}
Bytes tag(const Bytes &frames, const Bytes &after = Bytes(16, '\0'), char flags = 0) {
    return "ID3\x04\0"s + flags + syncsafe(frames.size() + after.size()) + frames + after;
}
// A tag of `bytes` bytes made of frames of one byte of content each.
Bytes tiny_frames(size_t bytes) {
    Bytes frames;
    while (frames.size() + 11 <= bytes - 10) frames += frame("TIT2", "\0"s);
    return tag(frames, Bytes(bytes - 10 - frames.size(), '\0'));
}
Bytes v1(const Bytes &title) {
    return "TAG" + (title + Bytes(122, '\0')).substr(0, 122) + "\0\x01\x0c"s;
}

struct Result {
    int status = -1;  // exit status, or 128 + signal
    Bytes out, err;
};

class Collections : public ::testing::Test {
  protected:
    void SetUp() override {
        char name[] = "/tmp/kelid3-collections-XXXXXX";
        ASSERT_NE(mkdtemp(name), nullptr);
        root_ = name;
        std::signal(SIGPIPE, SIG_IGN);
    }
    void TearDown() override { fs::remove_all(root_); }

    std::string write(const std::string &name, const Bytes &bytes) const {
        const std::string path = root_ + "/" + name;
        fs::create_directories(fs::path(path).parent_path());
        std::ofstream(path, std::ios::binary) << bytes;
        return path;
    }

    // Runs `argv` in the source tree, `input` through a pipe on its standard
    // input, its address space limited to `memory` bytes when not 0.
    Result exec(std::vector<std::string> argv, const Bytes &input = "", rlim_t memory = 0) const {
        const std::string out = root_ + "/.out", err = root_ + "/.err";
        int in[2];
        if (pipe(in) != 0) return {};
        const pid_t pid = fork();
        if (pid == 0) {
            const rlimit limit{memory, memory};
            if ((memory != 0 && setrlimit(RLIMIT_AS, &limit) != 0) || dup2(in[0], 0) < 0 ||
                !freopen(out.c_str(), "w", stdout) || !freopen(err.c_str(), "w", stderr) ||
                chdir(KELID3_SOURCE_DIR) != 0) {
                _exit(125);
            }
            close(in[1]);
            std::vector<char *> args;
            for (std::string &a : argv) args.push_back(a.data());
            args.push_back(nullptr);
            execvp(args[0], args.data());
            _exit(127);
        }
        close(in[0]);
        for (size_t done = 0; done < input.size();) {
            const ssize_t n = ::write(in[1], input.data() + done, input.size() - done);
            if (n <= 0) break;
            done += size_t(n);
        }
        close(in[1]);
        int status = 0;
        waitpid(pid, &status, 0);
        return {WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status), slurp(out),
                slurp(err)};
    }
    Result run(std::vector<std::string> args, const Bytes &input = "", rlim_t memory = 0) const {
        args.insert(args.begin(), KELID3_INFO);
        return exec(args, input, memory);
    }
    std::string jq(const Bytes &json, const std::string &filter) const {
        return exec({KELID3_JQ, "-c", "-r", filter, write(".json", json)}).out;
    }

    std::string root_;
};

TEST_F(Collections, FramesTheScanLeavesAreReportedUnlessZeroPadding) {
    const Bytes title = frame("TIT2", "\0a"s);  // 12 bytes from byte 10 on
    const struct {
        const char *name;
        Bytes bytes;
        const char *unread;  // JSON, and the listing line when not null
    } rows[] = {
        {"padded", tag(title), "null"},
        {"junk", tag(title, "junk" + Bytes(12, '\0')), "22"},
        {"footer", "ID3\x04\0\x10"s + syncsafe(12) + title + "3DI\x04\0\x10" + syncsafe(12),
         "null"},
        {"cut", tag(title, "junk" + Bytes(12, '\0')).substr(0, 30), "null"},
    };
    for (const auto &row : rows) {
        const std::string path = write(row.name, row.bytes);
        EXPECT_EQ(jq(run({"--json", path}).out, ".[0].tags[0].unread_from"), row.unread + "\n"s);
        const bool line =
            run({path}).out.find("    frames from byte 22 on not read\n") != Bytes::npos;
        EXPECT_EQ(line, row.unread != "null"s) << row.name;
    }
}

TEST_F(Collections, FramesTheLibraryNeverDecodesAreNamedOnce) {
    const Result r = run({"--frames", "COMM,USLT,TIT2,uslt", "samples/id3v1.mp3"});
    EXPECT_EQ(
        r.err,
        "kelid3-info: --frames: COMM: the library decodes no ID3v2 frame COMM, only the "
        "ID3v1 field it stands for\n"
        "kelid3-info: --frames: USLT: the library never decodes USLT frames: none is shown\n");
    EXPECT_EQ(r.status, 0);
}

TEST_F(Collections, NoControlCharacterReachesTheTerminalRawInAnyMode) {
    const Bytes name = "n\x1b]0;\x07\xff\xe2\x80\xae.mp3";
    const Bytes text =
        "\x03"
        "a\x7f\xc2\x9b\xe2\x81\xa6\tb\r";
    const std::string path = write(name, tag(frame("TIT2", text) + "\x1b[2J" + Bytes(12, '\0')));
    const char *raw[] = {"\x1b",         "\x07",         "\x7f", "\xc2\x9b",
                         "\xe2\x81\xa6", "\xe2\x80\xae", "\xff", "\r"};
    for (const char *mode : {"--json", "--json-lines", "--dump", "--log", "--frames=TIT2"}) {
        const Result r = run({mode, path, root_ + "/missing\x1b"});
        for (const Bytes &stream : {r.out, r.err}) {
            for (const char *bytes : raw) EXPECT_EQ(stream.find(bytes), Bytes::npos) << mode;
        }
        EXPECT_EQ(r.status, 2) << mode;
    }
    EXPECT_NE(run({path}).out.find("a\\x7f\\u009b\\u2066\\tb\\r\n"), Bytes::npos);
    const Bytes json = run({"--json-lines", path}).out;
    EXPECT_EQ(jq(json, ".tags[0].frames[0].text[0]"), text.substr(1) + "\n");
    const std::string hex = jq(json, ".file_bytes");
    Bytes named;
    for (size_t i = 0; i + 1 < hex.size(); i += 2)
        named += char(std::stoi(hex.substr(i, 2), 0, 16));
    EXPECT_EQ(named, path);
}

TEST_F(Collections, MemoryRunningOutIsAMessageAndStatusNeverAnAbort) {
    if (KELID3_TOOL_SANITIZED) GTEST_SKIP() << "a sanitized tool needs more address space";
    const std::string claimed = write("claimed.mp3", "ID3\x04\0\0\x60\0\0\0"s + Bytes(100, 'x'));
    const Result buffer = run({"--max-tag-bytes", "256M", claimed}, "", 64 << 20);
    EXPECT_EQ(buffer.err, "kelid3-info: " + claimed + ": out of memory\n");
    EXPECT_EQ(buffer.status, 2);
    const Result records = run({"--json", write("tiny.mp3", tiny_frames(8 << 20))}, "", 48 << 20);
    EXPECT_NE((records.out + records.err).find("out of memory"), Bytes::npos) << records.err;
    EXPECT_TRUE(records.status == 1 || records.status == 2) << records.status;
    EXPECT_EQ(run({"--max-tag-bytes", "1k", claimed}).out,
              claimed +
                  "\n  ID3v2.4.0 tag not read: 201326602 bytes, more than --max-tag-bytes "
                  "(1024)\n");
}

TEST_F(Collections, StandardInputIsReadAsAStreamToItsEnd) {
    const struct {
        Bytes input;
        const char *seen;
    } rows[] = {
        {tag(frame("TIT2", "\0a"s)) + Bytes(100000, 'x') + v1("t"),
         R"(["-",100166,["ID3v2.4.0","ID3v1.1"]])"},
        {v1("t"), R"(["-",128,["ID3v1.1"]])"},
        {"ab", R"(["-",2,[]])"},
    };
    for (const auto &row : rows) {
        const Result r = run({"--json", "-"}, row.input);
        EXPECT_EQ(jq(r.out, ".[0] | [.file, .size, [.tags[].version]]"), row.seen + "\n"s);
    }
}

TEST_F(Collections, JsonLinesHoldTheObjectsOfTheJsonArrayOneALine) {
    const auto with = [&](const char *form) {
        return run({form, "samples/id3v22.mp3", "samples/id3v1-and-v23.mp3", root_ + "/missing"});
    };
    const Bytes lines = with("--json-lines").out;
    EXPECT_EQ(std::count(lines.begin(), lines.end(), '\n'), 3);
    EXPECT_EQ(jq(lines, "."), jq(with("--json").out, ".[]"));
}

TEST_F(Collections, WalksReadEachDirectoryOnceAndOnlyTheExtensionsAsked) {
    for (const char *file : {"d2/x.MP3", "d2/y.txt", "d2/z.mp2"}) write(file, v1("t"));
    fs::create_directories(root_ + "/d0");
    fs::create_directories(root_ + "/d1");
    for (const char *link : {"d0/a", "d0/b", "d1/a", "d1/b"}) {
        fs::create_directory_symlink(link[1] == '0' ? "../d1" : "../d2", root_ + "/" + link);
    }
    const Result r = run({"--json", "--ext", "mp3,.Mp2", root_ + "/d0", root_ + "/d2/y.txt"});
    EXPECT_EQ(jq(r.out, "[.[].file | ltrimstr(\"" + root_ + "/\")]"),
              R"(["d0/a/a/x.MP3","d0/a/a/z.mp2","d2/y.txt"])"
              "\n");
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 2) << r.err;
}

TEST_F(Collections, ProgressAndSummaryGoToStandardError) {
    const auto with = [&](const char *progress) {
        return run({progress, "--summary", "samples/id3v1.mp3", "samples/id3v1-and-v23.mp3",
                    "missing"})
            .err;
    };
    const Bytes err = with("--progress");
    EXPECT_EQ(err.rfind("\r\x1b[Kkelid3-info: 1 files, 1 tags, ", 0), 0u) << err;
    EXPECT_NE(err.find("\r\x1b[Kkelid3-info: missing: No such file or directory\n"), Bytes::npos);
    const Bytes summary = "kelid3-info: summary: 2 files, 3 tags, 0 refused, 1 unreadable\n";
    EXPECT_EQ(err.substr(err.size() - std::min(err.size(), summary.size())), summary);
    EXPECT_EQ(with("--no-progress").find('\r'), Bytes::npos);
}

TEST_F(Collections, LibraryLinesKeepTheirOrderWithMessagesWhateverTheirBulk) {
    const std::string big = write("big.mp3", tiny_frames(1 << 20));  // two lines a frame
    const Bytes err = run({"--log", big, "missing", "samples/id3v22.mp3"}).err;
    const size_t message = err.find("kelid3-info: missing: No such file or directory\n");
    ASSERT_NE(message, Bytes::npos);
    EXPECT_GT(std::count(err.begin(), err.begin() + long(message), '\n'), 190000);
    EXPECT_GT(err.find("INFO: found tag: version 2.2.0"), message);
}

TEST_F(Collections, HelpAndManualPageNameTheSameOptions) {
    const auto options = [](const Bytes &text) {
        std::set<std::string> found;
        for (size_t at = text.find("--"); at != Bytes::npos; at = text.find("--", at + 2)) {
            found.insert(text.substr(
                at, text.find_first_not_of("abcdefghijklmnopqrstuvwxyz-", at + 2) - at));
        }
        return found;
    };
    Bytes page = slurp(KELID3_MAN_PAGE);
    for (size_t at = page.find("\\-"); at != Bytes::npos; at = page.find("\\-", at)) {
        page.erase(at, 1);  // roff's \- is a minus sign
    }
    EXPECT_EQ(options(page), options(run({"--help"}).out));
}

}  // namespace
