// SPDX-License-Identifier: MIT
// Reading the tags of one file, finding the files to read, writing pictures.
#ifndef KELID3_INFO_FILES_H
#define KELID3_INFO_FILES_H

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "kelid3.hpp"

namespace kelid3_info {

// A tag read from a file.
struct FoundTag {
    kelid3::tag tag;
    uint64_t size = 0;       // bytes of the tag in the file, header and footer included
    uint64_t available = 0;  // bytes of it that the file holds (less when the file ends early)
};

// What reading one file gave.
struct FileResult {
    std::string path;
    std::string error;  // why the file could not be read; empty when it was read
    uint64_t file_size = 0;
    std::vector<FoundTag> tags;       // the ID3v2 tag first, then the ID3v1 tag
    std::vector<std::string> issues;  // tags that are there but could not be read
};

// Reads the leading ID3v2 tag of a regular file (14 bytes, then exactly the
// rest of the tag) and the ID3v1 tag in its last 128 bytes, and parses them.
// `ids` is the library's selection list (0-ended) or null. Nothing between
// the two tags is read.
FileResult read_tags(const std::string &path, const uint32_t *ids);

// Walks the paths named on the command line: a regular file is passed to
// `file`, a directory is walked recursively in sorted order (following
// symbolic links, but never into a directory that is being walked already).
// `problem` receives what cannot be read (error true) and what is passed over
// (error false), with the reason.
struct WalkCallbacks {
    std::function<void(const std::string &path)> file;
    std::function<void(const std::string &path, const std::string &reason, bool error)> problem;
};
void walk(const std::string &path, const WalkCallbacks &callbacks);

// Writes `data` into a new file; an existing file is never replaced.
enum class WriteResult { kWritten, kExists, kFailed };
WriteResult write_new_file(const std::string &path, kelid3::byte_view data, std::string &error);

}  // namespace kelid3_info

#endif
