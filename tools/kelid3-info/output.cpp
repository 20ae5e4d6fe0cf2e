// SPDX-License-Identifier: MIT
// Writing standard output and standard error in full, and the progress line.
#include "output.h"

#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>

namespace kelid3_info {

namespace {

constexpr size_t kBufferBytes = 1 << 16;
constexpr std::string_view kEraseLine = "\r\033[K";

double now() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

}  // namespace

bool write_all(int fd, std::string_view text) {
    while (!text.empty()) {
        const ssize_t n = ::write(fd, text.data(), text.size());
        if (n >= 0) {
            text.remove_prefix(static_cast<size_t>(n));
            continue;
        }
        if (errno == EAGAIN || errno == EWOULDBLOCK) {
            pollfd wait{fd, POLLOUT, 0};
            if (poll(&wait, 1, -1) < 0 && errno != EINTR) return false;
        } else if (errno != EINTR) {
            return false;
        }
    }
    return true;
}

Output::Output() {
    struct stat out {
    }, err{};
    shared_ = isatty(2) && isatty(1) && fstat(1, &out) == 0 && fstat(2, &err) == 0 &&
              out.st_rdev == err.st_rdev;
    buffer_.reserve(kBufferBytes);
}

void Output::out(std::string_view text) {
    if (buffer_.size() + text.size() > kBufferBytes) flush();
    if (text.size() <= kBufferBytes) buffer_ += text;  // within what was reserved
    if (text.size() > kBufferBytes) put(text);
}

void Output::flush() {
    if (!buffer_.empty()) put(buffer_);
    buffer_.clear();
}

void Output::put(std::string_view text) {
    if (shared_) erase_progress();
    if (out_errno_ == 0 && !write_all(1, text)) out_errno_ = errno;
}

void Output::erase_progress() {
    if (progress_shown_) write_all(2, kEraseLine);
    progress_shown_ = false;
}

void Output::err(std::string_view text) {
    flush();
    erase_progress();
    write_all(2, text);
}

void Output::message(std::string_view text) {
    err(std::string("kelid3-info: ").append(text) + "\n");
}

void Output::progress(std::string_view line) {
    flush();
    write_all(2, std::string(kEraseLine).append(line));
    progress_shown_ = true;
}

bool Output::finish() {
    flush();
    erase_progress();
    if (out_errno_ != 0) message(std::string("standard output: ") + std::strerror(out_errno_));
    return out_errno_ == 0;
}

Progress::Progress(Mode mode, Output &output)
    : output_(output),
      enabled_(mode == Mode::kOn || (mode == Mode::kAuto && isatty(2))),
      forced_(mode == Mode::kOn),
      start_(now()) {}

void Progress::update(uint64_t files, uint64_t tags) {
    if (!enabled_) return;
    const double at = now() - start_;
    if ((!forced_ && at < 1.0) || (last_ >= 0 && at - last_ < 0.25)) return;
    last_ = at;
    char line[128];
    std::snprintf(line, sizeof line, "kelid3-info: %llu files, %llu tags, %.0f files/s",
                  static_cast<unsigned long long>(files), static_cast<unsigned long long>(tags),
                  at > 0 ? static_cast<double>(files) / at : 0.0);
    output_.progress(line);
}

}  // namespace kelid3_info
