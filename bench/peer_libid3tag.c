// SPDX-License-Identifier: MIT
/* libid3tag over a tag in memory: id3_tag_parse, then id3_tag_delete. Kept in
 * C and apart from kelid3.h, whose record names libid3tag shares. */
#include <id3tag.h>
#include <stddef.h>
#include <stdint.h>

int peer_libid3tag_parse(const uint8_t *data, size_t size);

int peer_libid3tag_parse(const uint8_t *data, size_t size) {
    struct id3_tag *tag = id3_tag_parse(data, (id3_length_t)size);
    if (tag == NULL) return -1;
    const int frames = (int)tag->nframes;
    id3_tag_delete(tag);
    return frames;
}
