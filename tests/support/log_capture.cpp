#include "support/log_capture.h"

#include <unistd.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <regex>
#include <sstream>

LogCapture::LogCapture() {
    std::fflush(stderr);
    char name[] = "/tmp/kelid3-log-XXXXXX";
    temp_fd_ = mkstemp(name);
    if (temp_fd_ < 0) std::abort();
    unlink(name);
    saved_fd_ = dup(STDERR_FILENO);
    dup2(temp_fd_, STDERR_FILENO);
}

void LogCapture::stop() {
    if (stopped_) return;
    stopped_ = true;
    std::fflush(stderr);
    dup2(saved_fd_, STDERR_FILENO);
    close(saved_fd_);
    lseek(temp_fd_, 0, SEEK_SET);
    char buf[4096];
    for (ssize_t n; (n = read(temp_fd_, buf, sizeof buf)) > 0;) text_.append(buf, size_t(n));
    close(temp_fd_);
}

const std::string &LogCapture::text() {
    stop();
    return text_;
}

Strings LogCapture::strings(const std::string &own, bool trace) {
    stop();
    static const std::regex kLine(R"(\[(\w+): -?\d+\] (\w+): (.*))");
    std::istringstream in(text_);
    Strings v;
    std::smatch m;
    for (std::string raw; std::getline(in, raw);) {
        if (!std::regex_match(raw, m, kLine)) {
            v.push_back(raw);  // not a diagnostic line: kept whole
        } else if (trace || m[2] != "TRACE") {
            v.push_back((m[1] == own ? "" : m[1].str() + ": ") + m[2].str() + " " + m[3].str());
        }
    }
    return v;
}

std::string format(const char *fmt, ...) {
    char buf[1024];
    va_list ap;
    va_start(ap, fmt);
    const int n = std::vsnprintf(buf, sizeof buf, fmt, ap);
    va_end(ap);
    return std::string(buf, size_t(n));
}

testing::AssertionResult in_order(const Strings &actual, const Strings &expected) {
    size_t next = 0;
    for (const std::string &line : actual) next += next < expected.size() && line == expected[next];
    if (next == expected.size()) return testing::AssertionSuccess();
    return testing::AssertionFailure() << "missing, in this order: " << expected[next] << "\nin "
                                       << testing::PrintToString(actual);
}
