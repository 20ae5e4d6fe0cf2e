// SPDX-License-Identifier: MIT
// A parsed tag as it is shown: frames in tag order, texts as UTF-8 values,
// genres with their names, pictures with their type and data.
#ifndef KELID3_INFO_FRAMES_H
#define KELID3_INFO_FRAMES_H

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "files.h"

namespace kelid3_info {

// One value of a text frame. `genre` holds the ID3v1 genre number that a
// TCON value stands for ("(17)" or "17" in ID3v2, the genre byte in ID3v1).
struct TextValue {
    std::string text;
    std::optional<uint32_t> genre;
};

struct Picture {
    std::string mime;        // MIME type; for ID3v2.2 the one its image format stands for
    std::string format;      // ID3v2.2: the three-letter image format as stored
    uint32_t type = 0;       // picture type, 0 to 255
    kelid3::byte_view data;  // owned by the tag
    std::string saved_as;    // where --extract-pictures wrote it
};

struct FrameView {
    uint32_t id = 0;                              // "TIT2"_id
    std::string_view description;                 // from the library; empty when it has none
    const char *encoding = nullptr;               // text frames: name of the stored encoding
    std::optional<std::string> user_description;  // TXXX
    std::vector<TextValue> values;
    std::optional<Picture> picture;
};

// What is shown of a tag before its frames.
struct TagView {
    std::string version;  // "ID3v2.3.0", "ID3v1", "ID3v1.1"
    bool v1 = false;
    uint32_t flags = 0;
    uint64_t size = 0;
    uint64_t available = 0;
    std::optional<uint64_t> unread_from;
};

TagView describe(const FoundTag &found);

// Calls `each` with a view of every frame of the tag, in tag order, one at a
// time. `selection` (empty for all) also chooses among the frames of an
// ID3v1 tag, for which the library takes no selection list.
void for_each_frame(const FoundTag &found, const std::vector<uint32_t> &selection,
                    const std::function<void(FrameView &)> &each);

// Whether the library decodes frames with this identifier: from ID3v2 tags,
// only as a field of an ID3v1 tag, or never. Found by parsing small tags; the
// library's diagnostic lines should be out of sight meanwhile.
enum class Decoded { kFromId3v2, kFromId3v1Only, kNever };
Decoded decoded_by_library(uint32_t id);

// Name of an APIC picture type ("Cover (front)"); empty above 20.
std::string_view picture_type_name(uint32_t type);

// File name extension for a picture: from its MIME type, else from the
// signature of its data, else "bin".
std::string picture_extension(const Picture &picture);

// Names of the set bits of an ID3v2 tag header's flags byte.
std::string tag_flag_names(uint32_t flags);

}  // namespace kelid3_info

#endif
