// SPDX-License-Identifier: MIT
// The representative tags the benchmarks parse.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace bench {

using Bytes = std::vector<uint8_t>;

struct SampleTag {
    std::string name;
    Bytes bytes;
    bool has_text;  // holds text frames (the ratios' geometric means are over these)
};

// ID3v2.3 with 12 text frames (mostly UTF-16) and a 30 KB JPEG; ID3v2.4 with
// 12 UTF-8 text frames; ID3v2.3 with 200 TXXX frames; ID3v2.4 with a 490 KB
// picture; ID3v2.2 with text and a picture; ID3v1.1; ID3v2.4 as a current
// tagger writes it (texts, comment, lyrics, URL, cover). Always the same bytes.
std::vector<SampleTag> sample_tags();

}  // namespace bench
