// SPDX-License-Identifier: MIT
// The tool's standard error: its messages, the progress line and the
// library's relayed diagnostic lines, written in order from either thread.
#ifndef KELID3_INFO_CONSOLE_H
#define KELID3_INFO_CONSOLE_H

#include <cstdint>
#include <ctime>
#include <mutex>
#include <string>
#include <string_view>

namespace kelid3_info {

constexpr const char *kName = "kelid3-info";

// One per process. A progress line that is shown is erased before anything
// else is written; writing allocates nothing.
class Console {
  public:
    static Console &instance();
    // The descriptor written to: a copy of the standard error that the tool
    // was started with (descriptor 2 itself is given to the library).
    void set_fd(int fd) { fd_ = fd; }
    [[nodiscard]] int fd() const { return fd_; }
    void write(std::string_view text);
    // Shows `line` in place of the progress line shown before (\r, erase line).
    void progress(std::string_view line);
    void clear_progress();

  private:
    void put(std::string_view text);

    std::mutex mutex_;
    int fd_ = 2;
    bool shown_ = false;
};

// "kelid3-info: TEXT" and a newline on the console, after what standard
// output holds so far.
void message(const std::string &text);

// What a run has done so far.
struct Counts {
    uint64_t files = 0;       // files read or tried
    uint64_t tags = 0;        // tags found
    uint64_t refused = 0;     // tags not read (refused by the library, or too large)
    uint64_t unreadable = 0;  // files and directories that could not be read
};

// The progress line: files done, tags found, files a second; shown on a
// terminal once a run takes more than a second (or always when forced), at
// most four times a second.
class Progress {
  public:
    enum class Mode { kAuto, kOn, kOff };
    explicit Progress(Mode mode);
    // Redraws the line when it is due.
    void update(const Counts &counts);
    // Erases the line: the run is over.
    void finish() { Console::instance().clear_progress(); }

  private:
    bool enabled_;
    bool forced_;
    timespec start_{};
    double last_ = -1;  // seconds from the start at which the line was drawn
};

}  // namespace kelid3_info

#endif
