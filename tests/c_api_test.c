// SPDX-License-Identifier: MIT
// A C99 caller: the records' layout, the exported constants, and an ID3v2.3
// tag parsed and walked with nothing but the public header. Exits non-zero on a mismatch.
#include <stddef.h>
#include <stdio.h>
#include <string.h>

#include "kelid3.h"

static int failures = 0;
#define CHECK(cond) \
    ((cond) ? (void)0 : (void)(failures++, fprintf(stderr, "line %d: %s\n", __LINE__, #cond)))
#define P sizeof(void *)

int main(void) {
    /* TIT2 "Hello", TPE1 "World!" (ISO-8859-1), ten bytes of padding. */
    static const uint8_t v2[] =
        "ID3\3\0\0\0\0\0\53TIT2\0\0\0\6\0\0\0HelloTPE1\0\0\0\7\0\0\0World!\0\0\0\0\0\0\0\0\0";
    id3_tag *tag = NULL;

    /* 32-bit words and pointers in the documented order: no padding on 32-bit targets. */
    CHECK(offsetof(id3_tag, header_size) == 12);
    CHECK(offsetof(id3_tag, frames) == 16);
    CHECK(offsetof(id3_frame, id) == P);
    CHECK(offsetof(id3_frame, size) == P + 8);
    CHECK(offsetof(id3_frame, fields) == (P == 4 ? 16u : 24u));
    CHECK(offsetof(id3_field, next) == P);
    CHECK(offsetof(id3_field, data) == 2 * P);
    CHECK(offsetof(id3_field, encoding) == 3 * P);
    CHECK(offsetof(id3_field, size) == 3 * P);
    CHECK(offsetof(id3_field, length) == 3 * P + 4);
    CHECK(sizeof(id3_field) == 3 * P + 8);

    CHECK(id3v1_tag_size == 128);
    CHECK(id3v1_header_size == 3);
    CHECK(id3v1_body_size == 125);
    CHECK(id3v2_header_size == 10);
    CHECK(id3v2_extheader_size == 4);
    CHECK(kelid3_tag_query(v2, 14) == 43);
    CHECK(kelid3_tag_parse(v2, sizeof v2, &tag, NULL) == 43);
    if (tag == NULL || tag->frames == NULL || tag->frames->next == NULL) return 1;
    const id3_frame *frame = tag->frames; /* the reverse of the order in the tag */
    CHECK(tag->version == KELID3_VERSION_V2(3u, 0u));
    CHECK(frame->id == KELID3_ID('T', 'P', 'E', '1'));
    CHECK(frame->fields->type == FIELD_STRING);
    CHECK(frame->fields->encoding == KELID3_ENC_ISO8859);
    CHECK(frame->fields->length == 6);
    CHECK(strcmp((const char *)frame->fields->data, "World!") == 0);
    CHECK(frame->next->id == KELID3_ID('T', 'I', 'T', '2'));
    CHECK(frame->next->size == 6);
    CHECK(!frame->next->next);
    kelid3_tag_free(tag);
    return failures != 0;
}
