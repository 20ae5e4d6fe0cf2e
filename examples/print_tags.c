// SPDX-License-Identifier: MIT
/*
 * print_tags: a minimal reader of ID3 tags with libkelid3, in C.
 *
 *   print_tags FILE... 2>/dev/null
 *
 * Prints the ID3v2 tag at the start of each file and the ID3v1 tag in its last
 * 128 bytes, one line per frame, text as UTF-8. The library's diagnostic lines
 * go to standard error. examples/print_tags.cpp is the same program in C++.
 */
#include <kelid3.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

/* Writes ISO-8859-1 text, up to its first NUL, as UTF-8. */
static void print_latin1(const char *text) {
    const unsigned char *c;
    for (c = (const unsigned char *)text; *c != 0; ++c) {
        if (*c < 0x80) {
            putchar(*c);
        } else {
            putchar(0xC0 | (*c >> 6));
            putchar(0x80 | (*c & 0x3F));
        }
    }
}

static void print_field(const id3_field *field) {
    if (field->type == FIELD_UINT) {
        printf(" %lu", (unsigned long)field->data);
    } else if (field->type == FIELD_BLOB) {
        printf(" [%lu bytes]", (unsigned long)field->size);
    } else if (field->encoding == KELID3_ENC_ISO8859) {
        putchar(' ');
        print_latin1((const char *)field->data);
    } else {
        char *text = kelid3_field_to_iso8859(field); /* UTF-8/16 to a new Latin-1 string */
        putchar(' ');
        print_latin1(text != NULL ? text : "?");
        free(text);
    }
}

static void print_tag(const id3_tag *tag) {
    const id3_frame *frame;
    if (tag->version == KELID3_VERSION_V1)
        printf("  ID3v1\n");
    else
        printf("  ID3v2.%lu.%lu\n", (unsigned long)(tag->version >> 8) & 0xFF,
               (unsigned long)tag->version & 0xFF);
    for (frame = tag->frames; frame != NULL; frame = frame->next) {
        const char *what = kelid3_field_description(frame->id);
        const id3_field *field;
        int shift;
        printf("    ");
        for (shift = 24; shift >= 0; shift -= 8) /* "TIT2", or "CRM" for ID3v2.2 */
            if (((frame->id >> shift) & 0xFF) != 0) putchar((int)((frame->id >> shift) & 0xFF));
        printf(" %s:", what != NULL ? what : "");
        for (field = frame->fields; field != NULL; field = field->next) print_field(field);
        putchar('\n');
    }
}

/* Reads up to len bytes of f from `offset` bytes off `whence` and prints the
 * tag they hold, if any. */
static void print_tag_at(FILE *f, long offset, int whence, uint32_t len) {
    unsigned char *buf = malloc(len);
    id3_tag *tag = NULL;
    size_t got = 0;
    if (buf != NULL && fseek(f, offset, whence) == 0) got = fread(buf, 1, len, f);
    if (kelid3_tag_parse(buf, (uint32_t)got, &tag, NULL) >= 0 && tag != NULL) {
        print_tag(tag);
        kelid3_tag_free(tag);
    }
    free(buf);
}

int main(int argc, char **argv) {
    int i;
    for (i = 1; i < argc; ++i) {
        unsigned char head[14];
        FILE *f = fopen(argv[i], "rb");
        if (f == NULL) {
            perror(argv[i]);
            return 1;
        }
        printf("%s\n", argv[i]);
        /* An ID3v2 header tells the tag's size, not counting its 10 bytes. */
        if (fread(head, 1, sizeof head, f) == sizeof head && memcmp(head, "ID3", 3) == 0) {
            int32_t size = kelid3_tag_query(head, sizeof head);
            if (size > 0) print_tag_at(f, 0, SEEK_SET, (uint32_t)size + 10);
        }
        print_tag_at(f, -128, SEEK_END, 128); /* where an ID3v1 tag stands */
        fclose(f);
    }
    return 0;
}
