// SPDX-License-Identifier: MIT
// Reading a file's tags into its model: the bytes of the tags only, then the
// library's records turned into frames as they are shown.
#include "model.h"

#include <fcntl.h>
#include <poll.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <new>
#include <system_error>

#include "text.h"

namespace kelid3_info {

namespace {

using namespace kelid3::literals;

constexpr size_t kHead = 14;  // an ID3v2 header and an extended header's length
constexpr size_t kV1 = 128;
constexpr size_t kFirstChunk = 1 << 16;  // of a tag from a stream, which grows as bytes come

[[noreturn]] void fail() {
    throw std::system_error(errno, std::generic_category());
}

// The bytes of a file: a regular file read at offsets, or a stream read once
// from its start, whose last 128 bytes are kept as they go by. Failures
// throw std::system_error.
class Source {
  public:
    Source(int fd, const struct stat &info)
        : fd_(fd),
          stream_(!S_ISREG(info.st_mode)),
          size_(stream_ ? UINT64_MAX : static_cast<uint64_t>(info.st_size)) {}

    bool stream() const { return stream_; }
    uint64_t size() const { return size_; }

    // Up to `count` bytes at `offset` (of a stream: right behind what was
    // read); fewer only at the end.
    size_t read(uint64_t offset, uint8_t *to, size_t count) {
        size_t got = 0;
        for (size_t n = 1; got < count && n > 0; got += n)
            n = get(to + got, count - got, offset + got);
        return got;
    }

    // The last 128 bytes, when they lie at or behind `from`; a stream is read
    // to its end, which makes its size known.
    bool tail(uint64_t from, uint8_t *to) {
        if (!stream_) return size_ >= from + kV1 && read(size_ - kV1, to, kV1) == kV1;
        while (get(skipped_, sizeof skipped_, 0) > 0) continue;
        size_ = pos_;
        std::memcpy(to, last_, kV1);
        return size_ >= from + kV1;
    }

  private:
    size_t get(uint8_t *to, size_t count, uint64_t offset) {
        for (;;) {
            const ssize_t n = stream_ ? ::read(fd_, to, count)
                                      : pread(fd_, to, count, static_cast<off_t>(offset));
            if (n > 0 && stream_) keep(to, static_cast<size_t>(n));
            if (n >= 0) return static_cast<size_t>(n);
            pollfd wait{fd_, POLLIN, 0};  // a non-blocking stream that has nothing yet
            if (errno == EAGAIN || errno == EWOULDBLOCK) poll(&wait, 1, -1);
            if (errno != EINTR && errno != EAGAIN && errno != EWOULDBLOCK) fail();
        }
    }

    void keep(const uint8_t *bytes, size_t n) {
        pos_ += n;
        const size_t added = std::min(n, kV1), kept = std::min(kept_, kV1 - added);
        std::memmove(last_, last_ + kept_ - kept, kept);
        std::memcpy(last_ + kept, bytes + n - added, added);
        kept_ = kept + added;
    }

    int fd_;
    bool stream_;
    uint64_t size_;     // of a stream, known once it is read to its end
    uint64_t pos_ = 0;  // bytes of a stream read so far
    uint8_t last_[kV1] = {}, skipped_[16384] = {};
    size_t kept_ = 0;
};

std::string result_text(int32_t code) {
    return code == KELID3_EBADTAG  ? "malformed tag, unsupported version or out of memory"
           : code == KELID3_ERANGE ? "a frame of size 0 or larger than 512 KiB"
                                   : "unexpected result";
}

// A text field's values as UTF-8: apart at its NUL separators, without the
// empty ones at its end (its terminator, padding), at least one.
std::vector<std::string> values_of(kelid3::field field) {
    const kelid3::utf8_text utf8 = field.utf8();
    if (!utf8 && field.encoding() <= kelid3::text_encoding::utf8) throw std::bad_alloc();
    std::vector<std::string> values(1);
    for (const char c : utf8.view()) {
        if (c == '\0') values.emplace_back();
        if (c != '\0') values.back() += c;
    }
    while (values.size() > 1 && values.back().empty()) values.pop_back();
    return values;
}

// The genre number that an ID3v2 TCON value names: "(17)" or "17".
std::optional<uint32_t> genre_of(std::string_view text) {
    if (text.size() >= 2 && text.front() == '(' && text.back() == ')')
        text = text.substr(1, text.size() - 2);
    uint32_t number = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        number = number * 10 + static_cast<uint32_t>(c - '0');
    }
    if (text.empty() || text.size() > 3 || kelid3::genre_name(number).empty()) return std::nullopt;
    return number;
}

// An attached picture: MIME type (ID3v2.2: image format), picture type, data.
std::unique_ptr<Picture> picture_of(kelid3::frame frame, bool v22) {
    kelid3::field fields[4];
    size_t n = 0;
    for (const kelid3::field field : frame.fields()) {
        if (n == std::size(fields)) break;
        fields[n++] = field;
    }
    if (n != 3 || !fields[0].is_string() || !fields[1].is_number() || !fields[2].is_blob())
        return nullptr;
    auto picture = std::make_unique<Picture>(
        Picture{values_of(fields[0]).front(), "", fields[1].number(), fields[2].blob(), "", ""});
    static const char *const kFormats[][2] = {
        {"JPG", "image/jpeg"}, {"PNG", "image/png"}, {"GIF", "image/gif"}, {"BMP", "image/bmp"}};
    if (!v22) return picture;
    picture->format = picture->mime;
    for (const auto &format : kFormats)
        if (strcasecmp(picture->format.c_str(), format[0]) == 0) picture->mime = format[1];
    return picture;
}

Frame frame_of(kelid3::frame record, bool v1, bool v22) {
    Frame frame;
    const uint32_t id = frame.id = record.id();
    if (id == "APIC"_id && (frame.picture = picture_of(record, v22))) return frame;
    // COMM and USLT begin with a language and a description, WXXX with a
    // description: one value each.
    const size_t labels = v1 ? 0 : id == "COMM"_id || id == "USLT"_id ? 2 : size_t{id == "WXXX"_id};
    std::optional<uint32_t> number;
    size_t strings = 0;
    for (const kelid3::field field : record.fields()) {
        if (field.is_number()) number = field.number();
        if (!field.is_string()) continue;
        std::vector<std::string> texts = values_of(field);
        // An ID3v1 text ends at its first NUL; its width is padded with spaces.
        if (v1 || strings < labels) texts.resize(1);
        while (v1 && !texts[0].empty() && texts[0].back() == ' ') texts[0].pop_back();
        static const char *const kNames[] = {"ISO-8859-1", "UTF-16", "UTF-16BE", "UTF-8",
                                             "unknown"};
        const auto encoding = std::min<size_t>(static_cast<size_t>(field.encoding()), 4);
        if (strings++ == (labels == 2 ? 1 : 0)) frame.encoding = kNames[encoding];
        for (std::string &text : texts) frame.values.push_back({std::move(text), std::nullopt});
    }
    frame.labels = static_cast<uint32_t>(std::min(labels, strings));
    if (id == "TXXX"_id && !frame.values.empty()) frame.labels = 1;  // its description
    if (frame.labels != 0 && frame.values.size() == frame.labels) frame.values.emplace_back();
    if (id == "TCON"_id && !frame.values.empty()) frame.values[0].genre = number;  // ID3v1
    if (id == "TCON"_id && !v1)
        for (Value &value : frame.values) value.genre = genre_of(value.text);
    if (number && frame.values.empty())
        frame.values.push_back({std::to_string(*number), std::nullopt});
    return frame;
}

// A tag read by the library into the model: its frames in tag order (the
// library lists them the other way round).
Tag tag_of(kelid3::tag record, uint64_t size, uint64_t available, const ReadSettings &settings) {
    Tag tag;
    tag.v1 = record.is_v1();
    tag.flags = record.flags();
    tag.size = size;
    tag.available = available;
    const uint32_t major = (record.version() >> 8) & 0xFF;
    tag.version =
        tag.v1 ? record.find("TRCK"_id) ? "ID3v1.1" : "ID3v1"
               : "ID3v2." + std::to_string(major) + "." + std::to_string(record.version() & 0xFF);
    std::vector<kelid3::frame> frames(record.frames().begin(), record.frames().end());
    for (auto it = frames.rbegin(); it != frames.rend(); ++it) {
        const std::vector<uint32_t> &shown = settings.shown;
        if (tag.v1 && !shown.empty() &&
            std::find(shown.begin(), shown.end(), it->id()) == shown.end())
            continue;
        tag.frames.push_back(frame_of(*it, tag.v1, !tag.v1 && major <= 2));
    }
    tag.record = std::move(record);
    return tag;
}

// Reads `bytes` with the library, its lines into the model (--log).
kelid3::read_result read_tag(const std::vector<uint8_t> &bytes, const ReadSettings &settings,
                             FileModel &model) {
    char *lines = nullptr;
    size_t length = 0;
    FILE *log = settings.log ? open_memstream(&lines, &length) : nullptr;
    if (settings.log && log == nullptr) throw std::bad_alloc();
    const uint32_t *ids = settings.ids.empty() ? nullptr : settings.ids.data();
    kelid3::read_result result =
        kelid3::read(bytes.data(), static_cast<uint32_t>(bytes.size()), {settings.flags, ids, log});
    if (log != nullptr) std::fclose(log);
    const std::unique_ptr<char, decltype(&std::free)> owner(lines, &std::free);
    escape(std::string_view(lines, length), Style::kLines, model.log);
    if (result.code() == KELID3_ENOMEM) throw std::bad_alloc();
    return result;
}

// Notes a tag that the library refused (and not for holding no tag).
void refuse(FileModel &model, const std::string &what, int32_t code) {
    if (code == KELID3_ENOTAG) return;
    model.refused.push_back(what + " tag not read: " + result_text(code) + " (" +
                            std::to_string(code) + ")");
}

// The leading ID3v2 tag, whose first bytes are in `head`. Returns where the
// tag ends in the file, as far as the file holds it.
uint64_t read_v2(Source &source, std::vector<uint8_t> bytes, const ReadSettings &settings,
                 FileModel &model) {
    const std::string what = "ID3v2." + std::to_string(bytes[3]) + "." + std::to_string(bytes[4]);
    // The header's size (kelid3_tag_query would measure it too, but its lines
    // go to standard error): 28 bits, 7 a byte, then the 10-byte header and a
    // 10-byte footer when flag 0x10 announces one.
    uint64_t declared = 0;
    for (size_t i = 6; i < 10; ++i) declared = declared << 7 | (bytes[i] & 0x7Fu);
    declared += (bytes[5] & 0x10) != 0 ? 20 : 10;
    // Never more than the file holds: a stream's buffer grows as bytes come.
    const uint64_t limit = std::min(declared, source.size());
    if (limit > settings.max_tag_bytes) {
        model.refused.push_back(what + " tag not read: " + std::to_string(declared) +
                                " bytes, more than --max-tag-bytes (" +
                                std::to_string(settings.max_tag_bytes) + ")");
        return declared;
    }
    while (bytes.size() < limit) {
        const size_t have = bytes.size();
        const size_t want = static_cast<size_t>(
            source.stream() ? std::min<uint64_t>(limit - have, std::max(have, kFirstChunk))
                            : limit - have);
        bytes.resize(have + want);
        bytes.resize(have + source.read(have, bytes.data() + have, want));
        if (bytes.size() < have + want) break;
    }
    kelid3::read_result result = read_tag(bytes, settings, model);
    if (!result) {
        refuse(model, what, result.code());
        return bytes.size();
    }
    Tag tag = tag_of(std::move(result).value(), declared, bytes.size(), settings);
    tag.large_frames = result.large_frames();
    tag.skipped_frames = result.skipped_frames();
    // Frames the scan did not reach, unless only zero padding is left there.
    const uint64_t stop = result.stopped_at();
    const uint64_t frames_end = declared - ((tag.flags & 0x10) != 0 ? 10 : 0);
    if (bytes.size() == declared && stop < frames_end &&
        std::any_of(bytes.begin() + static_cast<long>(stop),
                    bytes.begin() + static_cast<long>(frames_end),
                    [](uint8_t b) { return b != 0; }))
        tag.unread_from = stop;
    model.tags.push_back(std::move(tag));
    return bytes.size();
}

void read_tags(Source &source, const ReadSettings &settings, FileModel &model) {
    std::vector<uint8_t> head(static_cast<size_t>(std::min<uint64_t>(source.size(), kHead)));
    head.resize(source.read(0, head.data(), head.size()));
    uint64_t v2_end = 0;  // an ID3v1 tag stands behind the ID3v2 tag, never inside it
    if (head.size() >= 10 && std::memcmp(head.data(), "ID3", 3) == 0)
        v2_end = read_v2(source, head, settings, model);
    std::vector<uint8_t> tail(kV1);
    const bool found = source.tail(v2_end, tail.data());
    model.size = source.size();
    if (!found || std::memcmp(tail.data(), "TAG", 3) != 0) return;
    kelid3::read_result result = read_tag(tail, settings, model);
    if (!result) return refuse(model, "ID3v1", result.code());
    model.tags.push_back(tag_of(std::move(result).value(), kV1, kV1, settings));
}

}  // namespace

FileModel read_file(const std::string &path, const ReadSettings &settings) {
    FileModel model;
    model.path = path;
    // Non-blocking, so that a FIFO put in the file's place cannot hang the open.
    const int fd = path == kStandardInput
                       ? fcntl(0, F_DUPFD_CLOEXEC, 3)
                       : open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    struct stat info {};
    try {
        if (fd < 0 || fstat(fd, &info) != 0) fail();
        Source source(fd, info);
        read_tags(source, settings, model);
    } catch (const std::system_error &error) {
        model.error = std::strerror(error.code().value());
    } catch (const std::bad_alloc &) {
        model.error = "out of memory";
    }
    if (fd >= 0) close(fd);
    if (!model.error.empty()) {
        model.tags.clear();
        model.refused.clear();
    }
    return model;
}

}  // namespace kelid3_info
