// SPDX-License-Identifier: MIT
// Captures the library's diagnostic lines from standard error, and printf
// into a string.
#pragma once

#include <unistd.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <regex>
#include <sstream>
#include <string>

// NUL bytes (%c of a three-character identifier) included.
__attribute__((format(printf, 1, 2))) inline std::string format(const char *fmt, ...) {
    va_list ap, again;
    va_start(ap, fmt);
    va_copy(again, ap);
    std::string s(size_t(std::vsnprintf(nullptr, 0, fmt, ap)), '\0');
    std::vsnprintf(s.data(), s.size() + 1, fmt, again);
    va_end(again);
    va_end(ap);
    return s;
}

// While alive, standard error goes to a temporary file; text() and lines()
// end the capture (once) and give what was written.
class LogCapture {
  public:
    LogCapture() : saved_(dup(STDERR_FILENO)) {
        char name[] = "/tmp/kelid3-log-XXXXXX";
        std::fflush(stderr);
        temp_ = mkstemp(name);
        if (temp_ < 0) std::abort();
        unlink(name);
        dup2(temp_, STDERR_FILENO);
    }
    ~LogCapture() { text(); }
    LogCapture(const LogCapture &) = delete;
    LogCapture &operator=(const LogCapture &) = delete;

    // Everything, as written.
    const std::string &text() {
        if (temp_ < 0) return text_;
        std::fflush(stderr);
        dup2(saved_, STDERR_FILENO);
        close(saved_);
        lseek(temp_, 0, SEEK_SET);
        char buf[4096];
        for (ssize_t n; (n = read(temp_, buf, sizeof buf)) > 0;) text_.append(buf, size_t(n));
        close(temp_);
        temp_ = -1;
        return text_;
    }

    // The lines "[func: n] LEVEL: message" without their line numbers, one
    // per line: "LEVEL message" for the lines of `own` (its TRACE lines only
    // when `own_trace`), "func: LEVEL message" for the others (only when
    // `others`). Other text is kept as it is.
    std::string lines(const std::string &own = "", bool own_trace = true, bool others = true) {
        std::istringstream in(text());
        std::string out;
        std::smatch m;
        for (std::string line; std::getline(in, line);) {
            if (!std::regex_match(line, m, std::regex(R"(\[(\w+): -?\d+\] (\w+): (.*))"))) {
            } else if (m[1] != own) {
                if (!others) continue;
                line = m[1].str() + ": " + m[2].str() + " " + m[3].str();
            } else if (own_trace || m[2] != "TRACE") {
                line = m[2].str() + " " + m[3].str();
            } else {
                continue;
            }
            out += (out.empty() ? "" : "\n") + line;
        }
        return out;
    }

  private:
    int saved_, temp_ = -1;
    std::string text_;
};
