// SPDX-License-Identifier: MIT
// The library's diagnostic lines, which it writes to standard error: kept out
// of sight, or relayed to the console escaped and in order (--log).
#ifndef KELID3_INFO_LIBRARY_LOG_H
#define KELID3_INFO_LIBRARY_LOG_H

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "text.h"

namespace kelid3_info {

// Descriptor 2 belongs to the library: /dev/null, or the write end of a pipe
// whose other end a thread of the tool reads, escapes and writes to the
// console as it comes, so that no output is too big for the pipe. The
// library's standard error is buffered either way.
class LibraryLog {
  public:
    LibraryLog();
    ~LibraryLog() { stop(); }
    LibraryLog(const LibraryLog &) = delete;
    LibraryLog &operator=(const LibraryLog &) = delete;

    // Sends the library's lines nowhere (the start, and after stop()).
    static void hide();
    // Relays them to the console; false with `error` when that cannot be set up.
    bool show(std::string &error);
    // Returns once every line written so far is on the console.
    void sync();
    // Ends the relay after the last line.
    void stop();

  private:
    void relay();
    bool drain();
    void answer(uint64_t asked);

    int read_ = -1;  // the pipe's read end
    int wake_[2] = {-1, -1};
    std::vector<char> buffer_;
    std::unique_ptr<TerminalStream> escaped_;
    std::thread thread_;
    std::mutex mutex_;
    std::condition_variable answered_cv_;
    uint64_t asked_ = 0;
    uint64_t answered_ = 0;
};

}  // namespace kelid3_info

#endif
