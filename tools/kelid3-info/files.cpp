// SPDX-License-Identifier: MIT
// Reading a file's leading ID3v2 tag and its trailing ID3v1 tag, walking
// directories, and writing new files.
#include "files.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <utility>

namespace kelid3_info {

namespace {

constexpr uint32_t kHeadBytes = 14;  // the ID3v2 header and an extended header's length
constexpr uint32_t kV2HeaderBytes = 10;
constexpr uint32_t kFooterBytes = 10;
constexpr uint32_t kFooterFlag = 0x10;
constexpr uint32_t kV1Bytes = 128;

// The library's result codes in words.
std::string result_text(int32_t result) {
    switch (result) {
        case KELID3_EINVAL:
            return "invalid arguments";
        case KELID3_ENOMEM:
            return "out of memory";
        case KELID3_EBADTAG:
            return "malformed tag, unsupported version or out of memory";
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

// The bytes of one file: a regular file read at offsets, or a stream
// (standard input as a pipe) read once from its start, whose last 128 bytes
// are kept as they go by.
class Input {
  public:
    Input(int fd, bool seekable, uint64_t size) : fd_(fd), seekable_(seekable), size_(size) {}

    // Reads up to `count` bytes at `offset` (of a stream: at or after the
    // bytes read so far); fewer only at the end. -1 with errno set on failure.
    ssize_t read(uint8_t *buffer, size_t count, uint64_t offset) {
        if (!seekable_ && (offset < pos_ || !skip(offset - pos_))) return -1;
        size_t done = 0;
        while (done < count) {
            const ssize_t n = seekable_ ? pread(fd_, buffer + done, count - done,
                                                static_cast<off_t>(offset + done))
                                        : ::read(fd_, buffer + done, count - done);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) return -1;
            if (n == 0) break;
            if (!seekable_) keep_last(buffer + done, static_cast<size_t>(n));
            done += static_cast<size_t>(n);
        }
        pos_ += seekable_ ? 0 : done;
        return static_cast<ssize_t>(done);
    }

    // The last 128 bytes, when they lie at or behind `from`; a stream is read
    // to its end first, which makes its size known. False with `error` set
    // when reading fails.
    bool tail(uint64_t from, uint8_t *out, bool &found, std::string &error) {
        found = false;
        if (!seekable_) {
            if (!skip(UINT64_MAX)) {
                error = std::strerror(errno);
                return false;
            }
            size_ = pos_;
            found = size_ >= from + kV1Bytes;
            std::memcpy(out, last_, found ? kV1Bytes : 0);
            return true;
        }
        if (size_ < from + kV1Bytes) return true;
        const ssize_t got = read(out, kV1Bytes, size_ - kV1Bytes);
        if (got != kV1Bytes) {
            error = got < 0 ? std::strerror(errno) : "file shrank while being read";
        }
        found = got == kV1Bytes;
        return found;
    }

    [[nodiscard]] uint64_t size() const { return size_; }

  private:
    // Reads and drops up to `count` bytes of a stream.
    bool skip(uint64_t count) {
        uint8_t buffer[16384];
        while (count > 0) {
            const auto want = static_cast<size_t>(std::min<uint64_t>(count, sizeof buffer));
            const ssize_t n = ::read(fd_, buffer, want);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) return false;
            if (n == 0) break;
            keep_last(buffer, static_cast<size_t>(n));
            pos_ += static_cast<uint64_t>(n);
            count -= static_cast<uint64_t>(n);
        }
        return true;
    }

    void keep_last(const uint8_t *bytes, size_t n) {
        const size_t kept =
            std::min<size_t>(last_length_, kV1Bytes - std::min<size_t>(n, kV1Bytes));
        std::memmove(last_, last_ + last_length_ - kept, kept);
        const size_t added = std::min<size_t>(n, kV1Bytes);
        std::memcpy(last_ + kept, bytes + n - added, added);
        last_length_ = kept + added;
    }

    int fd_;
    bool seekable_;
    uint64_t size_;     // a stream's only once read to its end
    uint64_t pos_ = 0;  // bytes of a stream read so far
    uint8_t last_[kV1Bytes] = {};
    size_t last_length_ = 0;
};

void refuse(const std::string &what, int32_t code, FileResult &result) {
    result.issues.push_back(what + " tag not read: " + result_text(code) + " (" +
                            std::to_string(code) + ")");
}

// An empty tag record as the library makes one: one zeroed heap block, which
// kelid3_tag_free releases with the frames linked into it.
kelid3::tag new_tag() {
    auto *record = static_cast<id3_tag *>(std::calloc(1, sizeof(id3_tag)));
    if (record == nullptr) throw std::bad_alloc();
    return kelid3::tag(record);
}

// The offset at which the scan stopped, when it stopped before `frames_end`
// and what lies between is not all zero bytes.
std::optional<uint64_t> unread_from(const uint8_t *bytes, uint64_t stop, uint64_t frames_end) {
    for (uint64_t at = stop; at < frames_end; ++at) {
        if (bytes[at] != 0) return stop;
    }
    return std::nullopt;
}

// The leading ID3v2 tag whose first 14 bytes are `head`: its header read into
// a new record, the rest of the tag read as the header measures it, its frames
// scanned. The library is asked through its building blocks so that the scan's
// stop offset is known exactly. Returns where the tag ends in the file, as far
// as the file holds it.
uint64_t read_v2(Input &in, const uint8_t *head, const ReadOptions &options, FileResult &result) {
    const std::string what = "ID3v2." + std::to_string(head[3]) + "." + std::to_string(head[4]);
    kelid3::tag tag = new_tag();
    const int header = id3_parse_v2x_header(head, kHeadBytes, tag.get());
    if (header <= 0) {
        refuse(what, KELID3_EBADTAG, result);
        return kV2HeaderBytes;
    }
    const uint64_t size = uint64_t{tag.size()} + kV2HeaderBytes;
    if (size > options.max_tag_bytes) {
        result.issues.push_back(what + " tag not read: " + std::to_string(size) +
                                " bytes, more than --max-tag-bytes (" +
                                std::to_string(options.max_tag_bytes) + ")");
        return size;
    }
    // At most 2^28 + 20 bytes: it fits a size_t.
    // Not zeroed: what the file does not hold is never looked at.
    const std::unique_ptr<uint8_t[]> bytes(new uint8_t[static_cast<size_t>(size)]);
    const size_t in_head = static_cast<size_t>(std::min<uint64_t>(size, kHeadBytes));
    std::memcpy(bytes.get(), head, in_head);
    const ssize_t got =
        in.read(bytes.get() + in_head, static_cast<size_t>(size) - in_head, in_head);
    if (got < 0) {
        result.error = std::strerror(errno);
        return 0;
    }
    const uint64_t available = in_head + static_cast<uint64_t>(got);
    const auto start = static_cast<uint32_t>(header);
    const int32_t scanned =
        start > available
            ? KELID3_EBADTAG
            : id3_parse_v2x_body(bytes.get() + start, static_cast<uint32_t>(available - start),
                                 tag.get(), options.ids);
    if (scanned == KELID3_ENOMEM) throw std::bad_alloc();
    if (scanned < 0) {
        refuse(what, scanned, result);
        return available;
    }
    const uint64_t frames_end = size - ((tag.flags() & kFooterFlag) != 0 ? kFooterBytes : 0);
    // Asked only of a tag that the file holds whole: a cut tag says so already,
    // and its last frame, cut by the file's end, is not read either.
    std::optional<uint64_t> unread;
    if (available == size) {
        unread = unread_from(bytes.get(), start + static_cast<uint64_t>(scanned), frames_end);
    }
    reverse_frames(tag);
    result.tags.push_back(FoundTag{std::move(tag), size, available, unread});
    return available;
}

// The ID3v1 tag in the last 128 bytes, when they lie behind the ID3v2 tag.
void read_v1(Input &in, uint64_t v2_end, const ReadOptions &options, FileResult &result) {
    uint8_t tail[kV1Bytes];
    bool found = false;
    if (!in.tail(v2_end, tail, found, result.error) || !found) return;
    if (kelid3::query(tail, kV1Bytes) != static_cast<int32_t>(kV1Bytes)) return;
    kelid3::parse_result parsed = kelid3::parse(tail, kV1Bytes, options.ids);
    if (parsed.code() == KELID3_ENOMEM) throw std::bad_alloc();
    if (!parsed) {
        refuse("ID3v1", parsed.code(), result);
        return;
    }
    reverse_frames(parsed.value());
    result.tags.push_back(FoundTag{std::move(parsed).value(), kV1Bytes, kV1Bytes, std::nullopt});
}

std::string join(const std::string &directory, const std::string &name) {
    if (!directory.empty() && directory.back() == '/') return directory + name;
    return directory + "/" + name;
}

// Opens a file to read; standard input for kStandardInput. -1 with errno set.
int open_input(const std::string &path) {
    if (path == kStandardInput) return fcntl(0, F_DUPFD_CLOEXEC, 3);
    // Non-blocking, so that a FIFO swapped in for the file cannot hang the open.
    return open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
}

void read_file(Input &in, bool seekable, const ReadOptions &options, FileResult &result) {
    uint64_t v2_end = 0;  // where the ID3v2 tag, as far as the file holds it, ends
    uint8_t head[kHeadBytes];
    const auto wanted = static_cast<size_t>(std::min<uint64_t>(in.size(), kHeadBytes));
    const ssize_t got = in.read(head, wanted, 0);
    if (got < 0 || (seekable && static_cast<size_t>(got) != wanted)) {
        result.error = got < 0 ? std::strerror(errno) : "file shrank while being read";
        return;
    }
    if (got == kHeadBytes && id3_match_v2x(head, kHeadBytes)) {
        v2_end = read_v2(in, head, options, result);
        if (!result.error.empty()) return;
    }
    // An ID3v1 tag stands behind the ID3v2 tag, never inside it.
    read_v1(in, v2_end, options, result);
    result.file_size = in.size();
    if (!result.error.empty()) result.tags.clear();
}

}  // namespace

FileResult read_tags(const std::string &path, const ReadOptions &options) {
    FileResult result;
    result.path = path;
    const Fd fd(open_input(path));
    struct stat info {};
    if (fd.get() < 0 || fstat(fd.get(), &info) != 0) {
        result.error = std::strerror(errno);
        return result;
    }
    const bool regular = S_ISREG(info.st_mode);
    if (!regular && path != kStandardInput) {
        result.error = "not a regular file";
        return result;
    }
    // A stream's size is not known before its end: it is taken as long
    // enough for a head until then.
    Input in(fd.get(), regular, regular ? static_cast<uint64_t>(info.st_size) : UINT64_MAX);
    read_file(in, regular, options, result);
    return result;
}

void reverse_frames(kelid3::tag &tag) {
    id3_tag *record = tag.get();
    if (record == nullptr) return;
    id3_frame *reversed = nullptr;
    for (id3_frame *frame = record->frames; frame != nullptr;) {
        id3_frame *next = frame->next;
        frame->next = reversed;
        reversed = frame;
        frame = next;
    }
    record->frames = reversed;
}

bool Walker::wanted(const std::string &name) const {
    if (extensions_.empty()) return true;
    const size_t dot = name.rfind('.');
    if (dot == std::string::npos || name.find('/', dot) != std::string::npos) return false;
    std::string extension = name.substr(dot + 1);
    for (char &c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return std::find(extensions_.begin(), extensions_.end(), extension) != extensions_.end();
}

// One path: named on the command line (named) or found in a directory.
void Walker::visit(const std::string &path, bool named) {
    struct stat info {};
    if (stat(path.c_str(), &info) != 0) {
        callbacks_.problem(path, std::strerror(errno), true);
    } else if (S_ISDIR(info.st_mode)) {
        walk_directory(path, DirectoryId{info.st_dev, info.st_ino});
    } else if (!named && !wanted(path)) {
        // Not of the extensions asked for.
    } else if (S_ISREG(info.st_mode)) {
        callbacks_.file(path);
    } else if (named) {
        callbacks_.problem(path, "not a regular file", true);
    } else {
        callbacks_.problem(path, "not a regular file, passed over", false);
    }
}

void Walker::walk_directory(const std::string &path, const DirectoryId &id) {
    if (std::find(ancestors_.begin(), ancestors_.end(), id) != ancestors_.end()) {
        callbacks_.problem(
            path, "directory already being walked (a symbolic link loop), passed over", false);
        return;
    }
    if (!walked_.insert(id).second) {
        callbacks_.problem(path, "directory walked already (reached another way), passed over",
                           false);
        return;
    }
    DIR *directory = opendir(path.c_str());
    if (directory == nullptr) {
        callbacks_.problem(path, std::strerror(errno), true);
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
        callbacks_.problem(path, std::strerror(error), true);
        return;
    }
    std::sort(names.begin(), names.end());
    ancestors_.push_back(id);
    for (const std::string &name : names) visit(join(path, name), false);
    ancestors_.pop_back();
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
