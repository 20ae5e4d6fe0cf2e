// SPDX-License-Identifier: MIT
// TagLib over a tag in memory: an ID3v2::Tag (or ID3v1::Tag) read from a
// ByteVectorStream through a minimal File.
#include <taglib/id3v1tag.h>
#include <taglib/id3v2tag.h>
#include <taglib/tbytevector.h>
#include <taglib/tbytevectorstream.h>
#include <taglib/tfile.h>

#include "bench/peers.h"

namespace bench {

struct TaglibInput {
    TagLib::ByteVector bytes;
    bool v1;
};

namespace {

// A File over any stream; the tag classes read through it.
class StreamFile : public TagLib::File {
  public:
    explicit StreamFile(TagLib::IOStream *stream) : TagLib::File(stream) {}
    TagLib::Tag *tag() const override { return nullptr; }
    TagLib::AudioProperties *audioProperties() const override { return nullptr; }
    bool save() override { return false; }
};

}  // namespace

TaglibInput *taglib_prepare(const uint8_t *data, size_t size) {
    const bool v1 = size >= 3 && data[0] == 'T' && data[1] == 'A' && data[2] == 'G';
    return new TaglibInput{
        TagLib::ByteVector(reinterpret_cast<const char *>(data), static_cast<unsigned>(size)), v1};
}

int taglib_parse(const TaglibInput *input) {
    // The stream shares the prepared bytes: nothing is copied here.
    TagLib::ByteVectorStream stream(input->bytes);
    StreamFile file(&stream);
    if (input->v1) {
        TagLib::ID3v1::Tag tag(&file, 0);
        return tag.isEmpty() ? -1 : 7;
    }
    TagLib::ID3v2::Tag tag(&file, 0);
    return static_cast<int>(tag.frameList().size());
}

void taglib_release(TaglibInput *input) {
    delete input;
}

}  // namespace bench
