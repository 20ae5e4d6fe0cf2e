#include "support/log_capture.h"

#include <unistd.h>
#include <cstdio>
#include <cstdlib>

LogCapture::LogCapture() {
    std::fflush(stderr);
    char name[] = "/tmp/kelid3-log-XXXXXX";
    temp_fd_ = mkstemp(name);
    if (temp_fd_ < 0) std::abort();
    unlink(name);
    saved_fd_ = dup(STDERR_FILENO);
    dup2(temp_fd_, STDERR_FILENO);
}

LogCapture::~LogCapture() {
    stop();
}

void LogCapture::stop() {
    if (stopped_) return;
    stopped_ = true;
    std::fflush(stderr);
    dup2(saved_fd_, STDERR_FILENO);
    close(saved_fd_);
    lseek(temp_fd_, 0, SEEK_SET);
    char buf[4096];
    ssize_t n;
    while ((n = read(temp_fd_, buf, sizeof buf)) > 0) text_.append(buf, static_cast<size_t>(n));
    close(temp_fd_);

    // "[func: line] LEVEL: message\n"
    size_t start = 0;
    while (start < text_.size()) {
        size_t end = text_.find('\n', start);
        if (end == std::string::npos) end = text_.size();
        const std::string raw = text_.substr(start, end - start);
        start = end + 1;
        LogLine line;
        const size_t colon = raw.find(": ");
        const size_t close = raw.find("] ");
        const size_t level_end = close == std::string::npos ? close : raw.find(": ", close + 2);
        if (raw.empty() || raw[0] != '[' || colon == std::string::npos ||
            close == std::string::npos || level_end == std::string::npos) {
            line.message = raw;  // not a diagnostic line: kept whole
        } else {
            line.func = raw.substr(1, colon - 1);
            line.line = std::atoi(raw.substr(colon + 2, close - colon - 2).c_str());
            line.level = raw.substr(close + 2, level_end - close - 2);
            line.message = raw.substr(level_end + 2);
        }
        lines_.push_back(line);
    }
}

const std::vector<LogLine> &LogCapture::lines() {
    stop();
    return lines_;
}

const std::string &LogCapture::text() {
    stop();
    return text_;
}

int LogCapture::count(const std::string &func, const std::string &level,
                      const std::string &message) {
    int n = 0;
    for (const LogLine &l : lines())
        n += l.func == func && l.level == level && l.message == message;
    return n;
}

int LogCapture::count(const std::string &message) {
    int n = 0;
    for (const LogLine &l : lines()) n += l.message == message;
    return n;
}
