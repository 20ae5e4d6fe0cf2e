// id3_log hands each line to stderr whole: the same bytes as prefix, message
// and newline written one after the other, at every length, and never torn
// apart by lines of other threads.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "kelid3.h"
#include "support/log_capture.h"

namespace {

// The bytes that prefix, message and newline written one after the other make.
std::string expected_line(const char *func, int line, const char *level, const std::string &m) {
    return std::string("[") + (func != nullptr ? func : "(null)") + ": " + std::to_string(line) +
           "] " + (level != nullptr ? level : "(null)") + ": " + m + "\n";
}

TEST(LogLines, SameBytesAsThreePiecesAtEveryLengthAroundTheStackRoom) {
    const std::string long_name(300, 'f');
    // "[f: 7] INFO: " is 13 bytes; the writer's room on the stack is 256.
    // clang-format off
    const std::tuple<const char *, int, const char *, size_t> cases[] = {
        {"f", 7, "INFO", 0},     {"f", 7, "INFO", 1},     {"f", 7, "INFO", 241},
        {"f", 7, "INFO", 242},   {"f", 7, "INFO", 243},   {"f", 7, "INFO", 244},
        {"f", 7, "INFO", 5000},  {"f", 0, "TRACE", 10},   {"f", -1, "WARN", 10},
        {"f", INT_MIN, "ERROR", 10},  {"f", INT_MAX, "DEBUG", 10},
        {long_name.c_str(), 7, "INFO", 10},  {"f", 7, long_name.c_str(), 0},
        {nullptr, 7, "INFO", 10},  {"f", 7, nullptr, 10}};
    // clang-format on
    for (const auto &[func, line, level, n] : cases) {
        const std::string message(n, 'm');
        LogCapture log;
        EXPECT_EQ(id3_log(func, line, level, "%s", message.c_str()), '\n') << n;
        EXPECT_EQ(log.text(), expected_line(func, line, level, message)) << line << " " << n;
    }
}

TEST(LogLines, NulBytesOfTheMessageAreWritten) {
    LogCapture log;
    id3_log("f", 7, "INFO", "id %c%c%c%c.", 0, 'T', 'T', '2');
    EXPECT_EQ(log.text(), std::string("[f: 7] INFO: id \0TT2.\n", 22));
}

TEST(LogLines, FailedWriteReturnsEof) {
    std::fflush(stderr);
    const int saved = dup(STDERR_FILENO);
    const int read_only = open("/dev/null", O_RDONLY);
    dup2(read_only, STDERR_FILENO);
    const int short_line = id3_log("f", 7, "INFO", "x");
    const int long_line = id3_log("f", 7, "INFO", "%s", std::string(400, 'x').c_str());
    dup2(saved, STDERR_FILENO);
    close(read_only);
    close(saved);
    std::clearerr(stderr);
    EXPECT_EQ(short_line, EOF);
    EXPECT_EQ(long_line, EOF);
}

TEST(LogLines, EightThreadsLoggingAtOnceWriteOnlyWholeLines) {
    constexpr int kThreads = 8;
    constexpr int kLines = 400;
    std::string text;
    {
        LogCapture log;
        std::vector<std::thread> threads;
        for (int t = 0; t < kThreads; ++t) {
            threads.emplace_back([t] {
                for (int i = 0; i < kLines; ++i)
                    id3_log("worker", t, "TRACE", "line %d of thread %d: %s", i, t,
                            "frame TIT2, size 17 (0x11) flags 0x0000");
            });
        }
        for (std::thread &thread : threads) thread.join();
        text = log.text();
    }
    const std::regex whole(
        R"(\[worker: (\d)\] TRACE: line (\d+) of thread (\d): frame TIT2, size 17 \(0x11\) flags 0x0000)");
    std::map<int, int> next_line;  // per thread, the line expected next
    std::istringstream in(text);
    int lines = 0;
    std::smatch m;
    for (std::string line; std::getline(in, line); ++lines) {
        ASSERT_TRUE(std::regex_match(line, m, whole) && m[1] == m[3]) << "torn line: " << line;
        const int thread = std::stoi(m[1]);
        EXPECT_EQ(std::stoi(m[2]), next_line[thread]++) << line;
    }
    EXPECT_EQ(lines, kThreads * kLines);
    EXPECT_EQ(text.back(), '\n');
}

}  // namespace
