// Captures the library's diagnostic lines from standard error.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

using Strings = std::vector<std::string>;

// While alive, standard error goes to a temporary file; text() and strings()
// stop the capture (once) and give what was written.
class LogCapture {
  public:
    LogCapture();
    ~LogCapture() { stop(); }
    LogCapture(const LogCapture &) = delete;
    LogCapture &operator=(const LogCapture &) = delete;

    const std::string &text();  // everything written, unparsed
    // One entry per line "[func: line] LEVEL: message": "LEVEL message" for
    // the lines of function `own`, "func: LEVEL message" for the others;
    // TRACE lines only when `trace` is set. Messages may hold NUL bytes (a
    // three-character identifier printed with %c).
    Strings strings(const std::string &own = "", bool trace = true);

  private:
    void stop();
    int saved_fd_ = -1, temp_fd_ = -1;
    bool stopped_ = false;
    std::string text_;
};

// printf into a string, NUL bytes (%c of a three-character id) included.
std::string format(const char *fmt, ...) __attribute__((format(printf, 1, 2)));

// `expected` stand in `actual` in this order; other lines may stand between.
testing::AssertionResult in_order(const Strings &actual, const Strings &expected);
