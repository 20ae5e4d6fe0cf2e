// SPDX-License-Identifier: MIT
// Attached pictures: their names, and writing them under the picture
// directory in the tree of the files they come from.
#ifndef KELID3_INFO_PICTURES_H
#define KELID3_INFO_PICTURES_H

#include <cstdint>
#include <string>
#include <string_view>

#include "model.h"

namespace kelid3_info {

// Name of an APIC picture type ("Cover (front)"); empty above 20.
std::string_view picture_type_name(uint32_t type);

// File name extension for a picture: from its MIME type, else from the
// signature of its data, else "bin".
std::string picture_extension(const Picture &picture);

// Where the `n`th picture (from 1) of the file at `path` goes: `path` below
// `dir`, without its extension, '-', n, '.' and the extension; "." and empty
// parts of `path` are left out and ".." becomes "__", so that nothing lands
// outside `dir`. Standard input is "stdin".
std::string picture_path(const std::string &dir, const std::string &path, uint64_t n,
                         const Picture &picture);

// Writes the first `max` pictures of the file below `dir`, never replacing a
// file, and notes in each picture where it went or why it did not; counts
// the others. Returns the number of pictures not written for a failure.
uint64_t save_pictures(FileModel &model, const std::string &dir, uint64_t max);

}  // namespace kelid3_info

#endif
