// Captures the library's diagnostic lines from standard error.
#pragma once

#include <string>
#include <vector>

struct LogLine {
    std::string func;
    int line = 0;
    std::string level;
    std::string message;  // may hold NUL bytes (a three-character id printed with %c)
};

// While alive, standard error goes to a temporary file; lines() stops the
// capture (once) and returns what was written, split into lines.
class LogCapture {
  public:
    LogCapture();
    ~LogCapture();
    LogCapture(const LogCapture &) = delete;
    LogCapture &operator=(const LogCapture &) = delete;

    const std::vector<LogLine> &lines();
    // Everything written, unparsed.
    const std::string &text();
    // Lines whose function, level and message are exactly these.
    int count(const std::string &func, const std::string &level, const std::string &message);
    // Lines with this message, whatever function and level.
    int count(const std::string &message);

  private:
    void stop();
    int saved_fd_ = -1;
    int temp_fd_ = -1;
    bool stopped_ = false;
    std::string text_;
    std::vector<LogLine> lines_;
};
