/*
 * read_tag: prints the ID3 tags of MP3 files with libkelid3.
 *
 *   read_tag [--log] FILE...
 *
 * Reads the leading ID3v2 tag (asking kelid3_tag_query how large it is) and the
 * ID3v1 tag in the last 128 bytes, then lists each frame with its description
 * and value. The library's diagnostic lines go to stderr; they are hidden
 * unless --log is given.
 */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "kelid3.h"

/* Writes ISO-8859-1 text as UTF-8. */
static void put_latin1(const unsigned char *s) {
    for (; *s != 0; ++s) {
        if (*s < 0x80) {
            putchar(*s);
        } else {
            putchar(0xC0 | (*s >> 6));
            putchar(0x80 | (*s & 0x3F));
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
        put_latin1((const unsigned char *)field->data);
    } else {
        char *text = kelid3_field_to_iso8859(field);
        putchar(' ');
        if (text != NULL) put_latin1((const unsigned char *)text);
        free(text);
    }
}

static void print_tag(const id3_tag *tag) {
    const id3_frame *frame;
    printf("  ID3v%u.%u.%u, %u bytes\n", (unsigned)(tag->version >> 16) & 0xFF,
           (unsigned)(tag->version >> 8) & 0xFF, (unsigned)tag->version & 0xFF,
           (unsigned)tag->size);
    for (frame = tag->frames; frame != NULL; frame = frame->next) {
        const char *description = kelid3_field_description(frame->id);
        const id3_field *field;
        printf("    %c%c%c%c %-36s", (char)(frame->id >> 24), (char)(frame->id >> 16),
               (char)(frame->id >> 8), (char)frame->id, description ? description : "");
        for (field = frame->fields; field != NULL; field = field->next) print_field(field);
        putchar('\n');
    }
}

/* Parses len bytes at buf; prints the tag when there is one. */
static int parse_and_print(const unsigned char *buf, uint32_t len) {
    id3_tag *tag = NULL;
    int32_t result = kelid3_tag_parse(buf, len, &tag, NULL);
    if (result <= 0 || tag == NULL) return 0;
    print_tag(tag);
    kelid3_tag_free(tag);
    return 1;
}

static int read_file(const char *path) {
    unsigned char head[14];
    unsigned char tail[128];
    int found = 0;
    long file_size;
    FILE *f = fopen(path, "rb");
    if (f == NULL) {
        perror(path);
        return -1;
    }
    printf("%s\n", path);
    if (fread(head, 1, sizeof head, f) == sizeof head) {
        int32_t size = kelid3_tag_query(head, sizeof head);
        if (size > 0 && head[0] == 'I') {
            /* The reported size does not count the 10-byte header. */
            uint32_t whole = (uint32_t)size + 10;
            unsigned char *tag = malloc(whole);
            if (tag != NULL && fseek(f, 0, SEEK_SET) == 0) {
                size_t got = fread(tag, 1, whole, f);
                found += parse_and_print(tag, (uint32_t)got);
            }
            free(tag);
        }
    }
    if (fseek(f, 0, SEEK_END) == 0 && (file_size = ftell(f)) >= 128 &&
        fseek(f, file_size - 128, SEEK_SET) == 0 && fread(tail, 1, sizeof tail, f) == sizeof tail &&
        kelid3_tag_query(tail, sizeof tail) == 128) {
        found += parse_and_print(tail, sizeof tail);
    }
    fclose(f);
    if (!found) printf("  no tag\n");
    return found;
}

int main(int argc, char **argv) {
    int i;
    int status = 0;
    int first = 1;
    if (argc > 1 && strcmp(argv[1], "--log") == 0) {
        first = 2;
    } else if (freopen("/dev/null", "w", stderr) == NULL) {
        return 2;
    }
    if (first >= argc) {
        printf("usage: %s [--log] FILE...\n", argv[0]);
        return 2;
    }
    for (i = first; i < argc; ++i) {
        int found = read_file(argv[i]);
        if (found < 0)
            status = 2;
        else if (found == 0 && status == 0)
            status = 1;
    }
    return status;
}
