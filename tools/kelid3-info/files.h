// SPDX-License-Identifier: MIT
// Reading the tags of one file, finding the files to read, writing pictures.
#ifndef KELID3_INFO_FILES_H
#define KELID3_INFO_FILES_H

#include <sys/types.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "kelid3.hpp"

namespace kelid3_info {

// The name that stands for standard input on the command line and in output.
constexpr const char *kStandardInput = "-";

// A tag read from a file.
struct FoundTag {
    kelid3::tag tag;         // its frames in their order in the tag (see reverse_frames)
    uint64_t size = 0;       // bytes of the tag in the file, header and footer included
    uint64_t available = 0;  // bytes of it that the file holds (less when the file ends early)
    // ID3v2: the offset from the start of the file at which the library's
    // frame scan stopped, when it stopped short of the frames' end and what
    // lies between is not all zero padding.
    std::optional<uint64_t> unread_from;
};

// What reading one file gave.
struct FileResult {
    std::string path;   // as named, kStandardInput for standard input
    std::string error;  // why the file could not be read; empty when it was read
    uint64_t file_size = 0;
    std::vector<FoundTag> tags;       // the ID3v2 tag first, then the ID3v1 tag
    std::vector<std::string> issues;  // tags that are there but could not be read
};

struct ReadOptions {
    const uint32_t *ids = nullptr;         // the library's selection list (0-ended) or null
    uint64_t max_tag_bytes = 64ull << 20;  // larger ID3v2 tags are not read
};

// Reads the leading ID3v2 tag of a regular file (14 bytes, then exactly the
// rest of the tag) and the ID3v1 tag in its last 128 bytes, and parses them.
// Nothing between the two tags is read, except from standard input when it
// is not a regular file: a stream is read to its end, keeping its last 128
// bytes. The read buffer is released before the function returns. Throws
// std::bad_alloc when memory runs out, also when the library says so.
FileResult read_tags(const std::string &path, const ReadOptions &options);

// Puts a tag's frames in the reverse of their list order, in place: the
// library's order into their order in the tag, and back.
void reverse_frames(kelid3::tag &tag);

// Walks the paths named on the command line: a regular file is passed to
// `file`, a directory is walked recursively in sorted order, following
// symbolic links; a directory met again (a loop, or a second way to it) is
// passed over. With `extensions`, files found in directories are read only
// when their extension is one of them (compared without case). `problem`
// receives what cannot be read (error true) and what is passed over (error
// false), with the reason.
struct WalkCallbacks {
    std::function<void(const std::string &path)> file;
    std::function<void(const std::string &path, const std::string &reason, bool error)> problem;
};

class Walker {
  public:
    Walker(std::vector<std::string> extensions, WalkCallbacks callbacks)
        : extensions_(std::move(extensions)), callbacks_(std::move(callbacks)) {}
    void walk(const std::string &path) { visit(path, true); }

  private:
    using DirectoryId = std::pair<dev_t, ino_t>;
    void visit(const std::string &path, bool named);
    void walk_directory(const std::string &path, const DirectoryId &id);
    bool wanted(const std::string &name) const;

    std::vector<std::string> extensions_;  // lower case, no dot
    WalkCallbacks callbacks_;
    std::vector<DirectoryId> ancestors_;  // the directories being walked
    std::set<DirectoryId> walked_;        // every directory walked in the run
};

// Writes `data` into a new file; an existing file is never replaced.
enum class WriteResult { kWritten, kExists, kFailed };
WriteResult write_new_file(const std::string &path, kelid3::byte_view data, std::string &error);

}  // namespace kelid3_info

#endif
