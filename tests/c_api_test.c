// A C99 caller: builds an ID3v2.3 and an ID3v1 tag, parses them and walks the
// records with nothing but the public header. Exits non-zero on a mismatch.
#include <stddef.h>
#include <stdio.h>
#include <string.h>

#include "kelid3.h"

static int failures = 0;
#define CHECK(cond) \
    ((cond) ? (void)0 : (void)(failures++, fprintf(stderr, "line %d: %s\n", __LINE__, #cond)))

// An ID3v2.3 text frame (ISO-8859-1) at p; returns its length.
static size_t text_frame(uint8_t *p, const char *frame_id, const char *text) {
    const size_t n = strlen(text);
    memcpy(p, frame_id, 4);
    p[7] = (uint8_t)(n + 1);  // the other size and flag bytes, the encoding stay 0
    memcpy(p + 11, text, n);
    return 11 + n;
}

// A frame with one ISO-8859-1 text field of `length` bytes holding this text.
static void check_text(const id3_frame *frame, uint32_t frame_id, const char *text,
                       uint32_t length) {
    const id3_field *f = frame ? frame->fields : NULL;
    CHECK(frame != NULL && frame->id == frame_id);
    CHECK(f != NULL && f->type == FIELD_STRING && f->next == NULL &&
          f->encoding == KELID3_ENC_ISO8859 && f->length == length &&
          strcmp((const char *)f->data, text) == 0);
}

int main(void) {
    uint8_t v2[64] = {0}, v1[128] = {0};
    size_t len = 10;
    id3_tag *tag = NULL;
    const id3_frame *frame = NULL;

    // The records are 32-bit words and pointers in the documented order, the
    // same on 32-bit targets (no padding) and 64-bit ones.
    CHECK(offsetof(id3_tag, frames) == 16 && offsetof(id3_tag, header_size) == 12);
    CHECK(offsetof(id3_frame, id) == sizeof(void *) &&
          offsetof(id3_frame, size) == sizeof(void *) + 8);
    CHECK(offsetof(id3_frame, fields) == (sizeof(void *) == 4 ? 16u : 24u));
    CHECK(offsetof(id3_field, next) == sizeof(void *) &&
          offsetof(id3_field, data) == 2 * sizeof(void *));
    CHECK(offsetof(id3_field, encoding) == 3 * sizeof(void *) &&
          offsetof(id3_field, size) == offsetof(id3_field, encoding));
    CHECK(offsetof(id3_field, length) == 3 * sizeof(void *) + 4 &&
          sizeof(id3_field) == 3 * sizeof(void *) + 8);

    memcpy(v2, "ID3\3", 4);
    len += text_frame(v2 + len, "TIT2", "Hello");
    len += text_frame(v2 + len, "TPE1", "World!");
    len += 10;  // padding
    v2[9] = (uint8_t)(len - 10);
    CHECK(kelid3_tag_query(v2, (uint32_t)len) == 43);
    CHECK(kelid3_tag_parse(v2, (uint32_t)len, &tag, NULL) == 43);
    if (tag == NULL) return 1;
    CHECK(tag->version == KELID3_VERSION_V2(3u, 0u) && tag->size == 43);
    frame = tag->frames;  // the reverse of the order in the tag
    check_text(frame, KELID3_ID('T', 'P', 'E', '1'), "World!", 6);
    frame = frame ? frame->next : NULL;
    check_text(frame, KELID3_ID('T', 'I', 'T', '2'), "Hello", 5);
    CHECK(frame != NULL && frame->size == 6 && frame->next == NULL);
    kelid3_tag_free(tag);

    memcpy(v1, "TAGTitle", 8);
    v1[126] = 7;   // ID3v1.1 track, behind the zero marker
    v1[127] = 17;  // Rock: TCON holds the number, then the name
    tag = NULL;
    CHECK(kelid3_tag_parse(v1, (uint32_t)sizeof v1, &tag, NULL) == 128);
    if (tag == NULL || tag->frames == NULL || tag->frames->next == NULL) return 1;
    frame = tag->frames;
    CHECK(tag->version == KELID3_VERSION_V1 && frame->id == KELID3_ID('T', 'C', 'O', 'N') &&
          (uint32_t)frame->fields->data == 17 &&
          strcmp((const char *)frame->fields->next->data, kelid3_genre_description(17)) == 0);
    frame = frame->next;
    CHECK(frame->id == KELID3_ID('T', 'R', 'C', 'K') && (uint32_t)frame->fields->data == 7);
    while (frame->next != NULL) frame = frame->next;
    check_text(frame, KELID3_ID('T', 'I', 'T', '2'), "Title", 30);
    kelid3_tag_free(tag);
    if (failures == 0) printf("c_api_test: all checks passed\n");
    return failures == 0 ? 0 : 1;
}
