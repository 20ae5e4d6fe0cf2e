// SPDX-License-Identifier: MIT
// The library's diagnostic lines out of sight, or through a pipe and a relay
// thread to the console, escaped.
#include "library_log.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>

#include "console.h"

namespace kelid3_info {

LibraryLog::LibraryLog() {
    hide();
    // Buffered: the library's lines cost no system call each.
    static char buffer[1 << 16];
    std::setvbuf(stderr, buffer, _IOFBF, sizeof buffer);
}

void LibraryLog::hide() {
    std::fflush(stderr);
    const int null = open("/dev/null", O_WRONLY | O_CLOEXEC);
    if (null >= 0 && null != 2) {
        dup2(null, 2);
        close(null);
    }
}

bool LibraryLog::show(std::string &error) {
    int log[2];
    if (pipe2(log, O_CLOEXEC) != 0 || pipe2(wake_, O_CLOEXEC) != 0) {
        error = std::strerror(errno);
        return false;
    }
    fcntl(log[0], F_SETFL, O_NONBLOCK);
    read_ = log[0];
    std::fflush(stderr);
    dup2(log[1], 2);
    close(log[1]);
    try {
        buffer_.resize(TerminalStream::kPiece);
        escaped_ = std::make_unique<TerminalStream>(
            [](std::string_view text) { Console::instance().write(text); });
        thread_ = std::thread([this] { relay(); });
    } catch (const std::exception &e) {
        error = e.what();
        stop();
        return false;
    }
    return true;
}

void LibraryLog::sync() {
    std::fflush(stderr);
    if (!thread_.joinable()) return;
    std::unique_lock<std::mutex> lock(mutex_);
    const uint64_t ticket = ++asked_;
    lock.unlock();
    const char byte = 1;
    while (::write(wake_[1], &byte, 1) < 0 && errno == EINTR) {
    }
    lock.lock();
    answered_cv_.wait(lock, [&] { return answered_ >= ticket; });
}

void LibraryLog::stop() {
    hide();  // closes the pipe's write end: the relay reads to its end
    if (thread_.joinable()) thread_.join();
    for (int *fd : {&read_, &wake_[0], &wake_[1]}) {
        if (*fd >= 0) close(*fd);
        *fd = -1;
    }
}

// Reads what the pipe holds and passes it on; false at the pipe's end.
bool LibraryLog::drain() {
    for (;;) {
        const ssize_t n = ::read(read_, buffer_.data(), buffer_.size());
        if (n > 0) {
            escaped_->write(std::string_view(buffer_.data(), static_cast<size_t>(n)));
        } else if (n == 0) {
            return false;
        } else if (errno != EINTR) {
            return errno == EAGAIN || errno == EWOULDBLOCK;
        }
    }
}

void LibraryLog::answer(uint64_t asked) {
    const std::lock_guard<std::mutex> lock(mutex_);
    answered_ = asked;
    answered_cv_.notify_all();
}

// Everything the library wrote before a sync was asked for is in the pipe
// when the request arrives: it is drained before the answer.
void LibraryLog::relay() {
    pollfd fds[2] = {{read_, POLLIN, 0}, {wake_[0], POLLIN, 0}};
    bool open = true;
    while (open) {
        if (poll(fds, 2, -1) < 0) {
            if (errno == EINTR) continue;
            break;
        }
        if ((fds[1].revents & POLLIN) == 0) {
            open = drain();
            continue;
        }
        char bytes[64];
        while (::read(wake_[0], bytes, sizeof bytes) < 0 && errno == EINTR) {
        }
        uint64_t asked = 0;
        {
            const std::lock_guard<std::mutex> lock(mutex_);
            asked = asked_;
        }
        open = drain();
        escaped_->finish();  // the library's lines are whole at a sync
        answer(asked);
    }
    escaped_->finish();
    answer(UINT64_MAX);
}

}  // namespace kelid3_info
