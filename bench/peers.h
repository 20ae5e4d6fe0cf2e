// SPDX-License-Identifier: MIT
// The peer libraries, each parsing and releasing a whole tag held in memory.
// Each returns the number of frames it found, or -1 when it refused the tag.
#pragma once

#include <cstddef>
#include <cstdint>

extern "C" int peer_libid3tag_parse(const uint8_t *data, size_t size);

namespace bench {

// The tag's bytes as TagLib holds them, made once; parses share them.
struct TaglibInput;
TaglibInput *taglib_prepare(const uint8_t *data, size_t size);
int taglib_parse(const TaglibInput *input);
void taglib_release(TaglibInput *input);

}  // namespace bench
