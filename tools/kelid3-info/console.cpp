// SPDX-License-Identifier: MIT
// The tool's standard error, shared by its messages, the progress line and
// the library's relayed lines.
#include "console.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>

namespace kelid3_info {

namespace {

constexpr std::string_view kEraseLine = "\r\033[K";
constexpr double kFirstAfter = 1.0;  // seconds before the line is first shown
constexpr double kEvery = 0.25;      // seconds between two redraws

double seconds_since(const timespec &start) {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<double>(now.tv_sec - start.tv_sec) +
           static_cast<double>(now.tv_nsec - start.tv_nsec) / 1e9;
}

}  // namespace

Console &Console::instance() {
    static Console console;
    return console;
}

void Console::put(std::string_view text) {
    while (!text.empty()) {
        const ssize_t n = ::write(fd_, text.data(), text.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return;  // nowhere left to say it
        text.remove_prefix(static_cast<size_t>(n));
    }
}

void Console::write(std::string_view text) {
    const std::lock_guard<std::mutex> lock(mutex_);
    if (shown_) put(kEraseLine);
    shown_ = false;
    put(text);
}

void Console::progress(std::string_view line) {
    const std::lock_guard<std::mutex> lock(mutex_);
    put(kEraseLine);
    put(line);
    shown_ = true;
}

void Console::clear_progress() {
    const std::lock_guard<std::mutex> lock(mutex_);
    if (shown_) put(kEraseLine);
    shown_ = false;
}

void message(const std::string &text) {
    std::fflush(stdout);
    Console::instance().write(std::string(kName) + ": " + text + "\n");
}

Progress::Progress(Mode mode)
    : enabled_(mode == Mode::kOn || (mode == Mode::kAuto && isatty(Console::instance().fd()))),
      forced_(mode == Mode::kOn) {
    clock_gettime(CLOCK_MONOTONIC, &start_);
}

void Progress::update(const Counts &counts) {
    if (!enabled_) return;
    const double now = seconds_since(start_);
    if ((!forced_ && now < kFirstAfter) || (last_ >= 0 && now - last_ < kEvery)) return;
    last_ = now;
    char line[160];
    std::snprintf(line, sizeof line, "%s: %llu files, %llu tags, %.0f files/s", kName,
                  static_cast<unsigned long long>(counts.files),
                  static_cast<unsigned long long>(counts.tags),
                  now > 0 ? static_cast<double>(counts.files) / now : 0.0);
    std::fflush(stdout);  // what the files gave stands above the line
    Console::instance().progress(line);
}

}  // namespace kelid3_info
