// SPDX-License-Identifier: MIT
// Standard output and standard error: every byte written, also to a
// non-blocking descriptor that is full for a while; the progress line.
#ifndef KELID3_INFO_OUTPUT_H
#define KELID3_INFO_OUTPUT_H

#include <cstdint>
#include <string>
#include <string_view>

namespace kelid3_info {

// Writes all of `text` to `fd`: after a short write it writes the rest, on
// EAGAIN it waits until the descriptor takes more (poll). False with errno
// set when the descriptor fails.
bool write_all(int fd, std::string_view text);

class Output {
  public:
    Output();
    // Standard output, buffered.
    void out(std::string_view text);
    void flush();
    // A message on standard error, "kelid3-info: TEXT\n" (TEXT escaped by the
    // caller), after what standard output holds so far.
    void message(std::string_view text);
    // Text for standard error as it is (the library's lines, already escaped).
    void err(std::string_view text);
    // The progress line on standard error, in place of the last one.
    void progress(std::string_view line);
    // Flushes standard output and erases the progress line; false, with a
    // message, when standard output failed at any time.
    bool finish();

  private:
    void put(std::string_view text);  // to standard output, unbuffered
    void erase_progress();

    std::string buffer_;
    int out_errno_ = 0;    // the first failure of standard output
    bool shared_ = false;  // standard output and error are one terminal
    bool progress_shown_ = false;
};

// The progress line: files done, tags found, files a second. Shown on a
// terminal once a run takes a second, or from the start when forced; redrawn
// at most four times a second.
class Progress {
  public:
    enum class Mode { kAuto, kOn, kOff };
    Progress(Mode mode, Output &output);
    void update(uint64_t files, uint64_t tags);

  private:
    Output &output_;
    bool enabled_, forced_;
    double start_, last_ = -1;
};

}  // namespace kelid3_info

#endif
