// SPDX-License-Identifier: MIT
// Reading a file's leading ID3v2 tag and its trailing ID3v1 tag, walking
// directories, and writing new files.
#include "files.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

namespace kelid3_info {

namespace {

constexpr uint32_t kHeadBytes = 14;  // enough for kelid3_tag_query
constexpr uint32_t kV2HeaderBytes = 10;
constexpr uint32_t kV1Bytes = 128;

// The library's result codes in words.
std::string result_text(int32_t result) {
    switch (result) {
        case KELID3_EINVAL:
            return "invalid arguments";
        case KELID3_ENOMEM:
            return "out of memory";
        case KELID3_EBADTAG:
            return "malformed tag or unsupported version";
        case KELID3_ERANGE:
            return "a frame of size 0 or larger than 512 KiB";
        case KELID3_ENOTAG:
            return "no tag found";
        case 0:
            return "too short";
        default:
            return "unexpected result";
    }
}

class Fd {
  public:
    explicit Fd(int fd) : fd_(fd) {}
    ~Fd() {
        if (fd_ >= 0) close(fd_);
    }
    Fd(const Fd &) = delete;
    Fd &operator=(const Fd &) = delete;
    [[nodiscard]] int get() const { return fd_; }

  private:
    int fd_;
};

// Reads up to `count` bytes at `offset`; fewer only at the end of the file.
// Returns the number read, or -1 with errno set.
ssize_t read_at(int fd, uint8_t *buffer, size_t count, uint64_t offset) {
    size_t done = 0;
    while (done < count) {
        const ssize_t n = pread(fd, buffer + done, count - done, static_cast<off_t>(offset + done));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return -1;
        if (n == 0) break;
        done += static_cast<size_t>(n);
    }
    return static_cast<ssize_t>(done);
}

// Parses `length` bytes at `bytes`; stores the tag, or an issue naming `what`.
void parse(const uint8_t *bytes, uint64_t length, uint64_t size, const uint32_t *ids,
           const std::string &what, FileResult &result) {
    kelid3::parse_result parsed = kelid3::parse(bytes, static_cast<uint32_t>(length), ids);
    if (parsed) {
        result.tags.push_back(FoundTag{std::move(parsed).value(), size, length});
    } else {
        result.issues.push_back(what + " tag not read: " + result_text(parsed.code()) + " (" +
                                std::to_string(parsed.code()) + ")");
    }
}

std::string join(const std::string &directory, const std::string &name) {
    if (!directory.empty() && directory.back() == '/') return directory + name;
    return directory + "/" + name;
}

struct DirectoryId {
    dev_t device;
    ino_t inode;
    bool operator==(const DirectoryId &other) const {
        return device == other.device && inode == other.inode;
    }
};

void walk_directory(const std::string &path, const struct stat &info,
                    std::vector<DirectoryId> &ancestors, const WalkCallbacks &callbacks);

// One path: named on the command line (named) or found in a directory.
void visit(const std::string &path, bool named, std::vector<DirectoryId> &ancestors,
           const WalkCallbacks &callbacks) {
    struct stat info {};
    if (stat(path.c_str(), &info) != 0) {
        callbacks.problem(path, std::strerror(errno), true);
    } else if (S_ISDIR(info.st_mode)) {
        walk_directory(path, info, ancestors, callbacks);
    } else if (S_ISREG(info.st_mode)) {
        callbacks.file(path);
    } else if (named) {
        callbacks.problem(path, "not a regular file", true);
    } else {
        callbacks.problem(path, "not a regular file, passed over", false);
    }
}

void walk_directory(const std::string &path, const struct stat &info,
                    std::vector<DirectoryId> &ancestors, const WalkCallbacks &callbacks) {
    const DirectoryId id{info.st_dev, info.st_ino};
    if (std::find(ancestors.begin(), ancestors.end(), id) != ancestors.end()) {
        callbacks.problem(
            path, "directory already being walked (a symbolic link loop), passed over", false);
        return;
    }
    DIR *directory = opendir(path.c_str());
    if (directory == nullptr) {
        callbacks.problem(path, std::strerror(errno), true);
        return;
    }
    std::vector<std::string> names;
    for (;;) {
        errno = 0;
        const dirent *entry = readdir(directory);
        if (entry == nullptr) break;
        if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0) {
            names.emplace_back(entry->d_name);
        }
    }
    const int error = errno;
    closedir(directory);  // closed before going down: deep trees need no open descriptors
    if (error != 0) {
        callbacks.problem(path, std::strerror(error), true);
        return;
    }
    std::sort(names.begin(), names.end());
    ancestors.push_back(id);
    for (const std::string &name : names) visit(join(path, name), false, ancestors, callbacks);
    ancestors.pop_back();
}

}  // namespace

FileResult read_tags(const std::string &path, const uint32_t *ids) {
    FileResult result;
    result.path = path;
    // Non-blocking, so that a FIFO swapped in for the file cannot hang the open.
    const Fd fd(open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    struct stat info {};
    if (fd.get() < 0 || fstat(fd.get(), &info) != 0) {
        result.error = std::strerror(errno);
        return result;
    }
    if (!S_ISREG(info.st_mode)) {
        result.error = "not a regular file";
        return result;
    }
    result.file_size = static_cast<uint64_t>(info.st_size);

    uint64_t v2_end = 0;  // where the ID3v2 tag, as far as the file holds it, ends
    uint8_t head[kHeadBytes];
    if (result.file_size >= kHeadBytes) {
        const ssize_t got = read_at(fd.get(), head, kHeadBytes, 0);
        if (got != kHeadBytes) {
            result.error = got < 0 ? std::strerror(errno) : "file shrank while being read";
            return result;
        }
    }
    if (result.file_size >= kHeadBytes && id3_match_v2x(head, kHeadBytes)) {
        // The size that the query reports leaves out the 10-byte header; it is
        // 0 for a header that the library refuses, whose parse then says why.
        const int32_t query = kelid3::query(head, kHeadBytes);
        const uint64_t size = static_cast<uint64_t>(std::max<int32_t>(query, 0)) + kV2HeaderBytes;
        // At most 2^28 + 20 bytes: it fits a size_t.
        const auto available = static_cast<size_t>(std::min(size, result.file_size));
        std::vector<uint8_t> tag(available);
        std::memcpy(tag.data(), head, std::min<size_t>(available, kHeadBytes));
        if (available > kHeadBytes) {
            const ssize_t got =
                read_at(fd.get(), tag.data() + kHeadBytes, available - kHeadBytes, kHeadBytes);
            if (got < 0) {
                result.error = std::strerror(errno);
                return result;
            }
            tag.resize(kHeadBytes + static_cast<size_t>(got));
        }
        const std::string what = "ID3v2." + std::to_string(head[3]) + "." + std::to_string(head[4]);
        parse(tag.data(), tag.size(), size, ids, what, result);
        v2_end = tag.size();
    }
    // An ID3v1 tag stands behind the ID3v2 tag, never inside it.
    if (result.file_size >= v2_end + kV1Bytes) {
        uint8_t tail[kV1Bytes];
        const ssize_t got = read_at(fd.get(), tail, kV1Bytes, result.file_size - kV1Bytes);
        if (got != kV1Bytes) {
            result.tags.clear();
            result.error = got < 0 ? std::strerror(errno) : "file shrank while being read";
            return result;
        }
        if (kelid3::query(tail, kV1Bytes) == static_cast<int32_t>(kV1Bytes)) {
            parse(tail, kV1Bytes, kV1Bytes, ids, "ID3v1", result);
        }
    }
    return result;
}

void walk(const std::string &path, const WalkCallbacks &callbacks) {
    std::vector<DirectoryId> ancestors;
    visit(path, true, ancestors, callbacks);
}

WriteResult write_new_file(const std::string &path, kelid3::byte_view data, std::string &error) {
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0666);
    if (fd < 0) {
        error = std::strerror(errno);
        return errno == EEXIST ? WriteResult::kExists : WriteResult::kFailed;
    }
    size_t done = 0;
    while (done < data.size()) {
        const ssize_t n = write(fd, data.data() + done, data.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) break;
        done += static_cast<size_t>(n);
    }
    const int write_error = done < data.size() ? errno : 0;
    const bool closed = close(fd) == 0;
    if (write_error != 0 || !closed) {
        error = std::strerror(write_error != 0 ? write_error : errno);
        unlink(path.c_str());  // no half-written picture stays behind
        return WriteResult::kFailed;
    }
    return WriteResult::kWritten;
}

}  // namespace kelid3_info
