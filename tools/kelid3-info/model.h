// SPDX-License-Identifier: MIT
// What one file holds, read once: its tags in the order of the file, each
// with its frames in tag order, texts as UTF-8, and what could not be read.
// The printers only print it; the driver writes its pictures.
#ifndef KELID3_INFO_MODEL_H
#define KELID3_INFO_MODEL_H

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "kelid3.hpp"

namespace kelid3_info {

// The name that stands for standard input on the command line and in output.
constexpr std::string_view kStandardInput = "-";

struct Value {
    std::string text;               // UTF-8
    std::optional<uint32_t> genre;  // TCON: the ID3v1 genre number it names
};

struct Picture {
    std::string mime;        // for ID3v2.2: the MIME type its image format stands for
    std::string format;      // ID3v2.2: the image format as stored
    uint32_t type = 0;       // picture type, 0 to 255
    kelid3::byte_view data;  // owned by the tag's record
    std::string saved_as;    // where it was written
    std::string error;       // why it was not written
};

// Kept small: a tag may hold a million frames.
struct Frame {
    uint32_t id = 0;
    // COMM, USLT: 2 (language, description); TXXX, WXXX: 1 (description);
    // the first `labels` of `values`, which the texts follow.
    uint32_t labels = 0;
    const char *encoding = nullptr;  // of a frame with text
    std::vector<Value> values;       // never empty for a frame with text
    std::unique_ptr<Picture> picture;
};

struct Tag {
    std::string version;  // "ID3v2.3.0", "ID3v1", "ID3v1.1"
    bool v1 = false;
    uint32_t flags = 0;      // ID3v2: the header's flags byte
    uint64_t size = 0;       // bytes in the file, header and footer included
    uint64_t available = 0;  // of them the file holds
    // ID3v2: where the frame scan stopped, from the start of the file, when
    // what follows up to the end of the frames is not zero padding.
    std::optional<uint64_t> unread_from;
    uint32_t large_frames = 0;    // passed over as larger than 512 KiB
    uint32_t skipped_frames = 0;  // passed over as compressed, encrypted, ...
    std::vector<Frame> frames;    // in tag order, those asked for
    kelid3::tag record;           // the library's records (picture data, --dump)
};

struct FileModel {
    std::string path;   // as named or found; kStandardInput
    std::string error;  // why it could not be read; empty when it was
    uint64_t size = 0;
    std::vector<Tag> tags;             // ID3v2 first, then ID3v1
    std::vector<std::string> refused;  // tags there but not read, with the reason
    uint64_t pictures_over_limit = 0;  // pictures beyond --max-pictures, not written
    std::string log;                   // the library's lines, escaped (--log)
};

// How files are read.
struct ReadSettings {
    uint32_t flags = KELID3_READ_COMPLETE;  // 0: as kelid3_tag_parse (--strict)
    std::vector<uint32_t> ids;              // the library's selection list, 0-ended; empty: all
    std::vector<uint32_t> shown;            // frames shown of ID3v1 tags; empty: all
    uint64_t max_tag_bytes = 64u << 20;
    bool log = false;
};

// Reads the leading ID3v2 tag and the trailing ID3v1 tag of a file (standard
// input for kStandardInput) into a model. Nothing else of the file is read
// but, from a stream, what lies before the last 128 bytes. Never throws: out
// of memory gives a model with that error.
FileModel read_file(const std::string &path, const ReadSettings &settings);

}  // namespace kelid3_info

#endif
