/* SPDX-License-Identifier: MIT */
/*
 * kelid3.h - read ID3v1 and ID3v2.0-2.4 tags from a memory buffer.
 *
 * The whole public interface of libkelid3. Valid C99 and C++.
 *
 * A parse turns a tag into one id3_tag record that owns a singly linked list
 * of id3_frame records, each owning a singly linked list of id3_field records.
 * Callers walk the lists directly. Every record is one heap block; the tag
 * owns its frames, a frame its fields, a field its bytes. Nothing in a parse
 * result points into the caller's buffer. Release a parse result with
 * kelid3_tag_free().
 *
 * ID3v1 data is presented under ID3v2.4 frame identifiers (title as TIT2,
 * genre as TCON, ...) and ID3v2.2 three-letter identifiers are translated to
 * their four-letter successors, so callers deal with one vocabulary.
 *
 * Diagnostics: every parse writes lines of the form "[function: line] LEVEL:
 * message" to stderr (levels TRACE, DEBUG, INFO, WARN, ERROR). They are not
 * filtered. Give stderr a buffer (setvbuf) or redirect it to make them cheap.
 *
 * Thread safety: the library has no global state. Calls on different buffers
 * and records may run on any number of threads at once; a record must not be
 * changed or released while another thread reads it. Diagnostic lines from
 * concurrent calls stay whole: each is handed to stderr in one call (only a
 * line longer than 256 bytes, which the library never writes, goes in pieces).
 */
#ifndef KELID3_H
#define KELID3_H

#include <stdint.h>
#include <stdio.h>

#if defined(KELID3_BUILDING) && defined(__GNUC__)
#define KELID3_API __attribute__((visibility("default")))
#else
#define KELID3_API
#endif

#if defined(__GNUC__)
#define KELID3_PRINTF(fmt_index, first_arg) __attribute__((format(printf, fmt_index, first_arg)))
#else
#define KELID3_PRINTF(fmt_index, first_arg)
#endif

/* The fourth word of id3_field is named `encoding` for strings and `size` for
 * blobs. Anonymous unions are standard in C11 and C++; C99 compilers of the GNU
 * family accept them as an extension. */
#if defined(__cplusplus) || (defined(__STDC_VERSION__) && __STDC_VERSION__ >= 201112L)
#define KELID3_ANON_UNION union
#elif defined(__GNUC__)
#define KELID3_ANON_UNION __extension__ union
#else
#error "kelid3.h needs C11, C++ or a GNU-compatible C99 compiler (anonymous union)"
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* ---- Identifiers, kinds and result codes ------------------------------- */

/* Packs four characters into a frame identifier, the first in the most
 * significant byte: KELID3_ID('T','I','T','2') == 0x54495432. An ID3v2.2
 * identifier without a four-letter successor keeps its three characters in the
 * low 24 bits: KELID3_ID(0,'C','R','M'). */
#define KELID3_ID(a, b, c, d)                                          \
    (((uint32_t)(uint8_t)(a) << 24) | ((uint32_t)(uint8_t)(b) << 16) | \
     ((uint32_t)(uint8_t)(c) << 8) | (uint32_t)(uint8_t)(d))

/* Field kinds (id3_field.type). */
#define FIELD_STRING 1 /* text bytes and encoding */
#define FIELD_BLOB 2   /* binary data (picture data) */
#define FIELD_UINT 3   /* a number held in `data` itself */

/* Text encoding bytes of ID3v2 text (id3_field.encoding). */
#define KELID3_ENC_ISO8859 0u /* ISO-8859-1 */
#define KELID3_ENC_UTF16 1u   /* UTF-16 with byte-order mark */
#define KELID3_ENC_UTF16BE 2u /* UTF-16 big-endian, no mark */
#define KELID3_ENC_UTF8 3u    /* UTF-8 */

/* Version words (id3_tag.version). */
#define KELID3_VERSION_V1 0x00010000u
#define KELID3_VERSION_V2(major, revision) (0x00020000u | ((major) << 8) | (revision))

/* Result codes: negative; non-negative results are byte counts or sizes. */
enum kelid3_result {
    KELID3_EINVAL = -22, /* invalid arguments */
    KELID3_ENOMEM = -12, /* out of memory for a tag, frame or ID3v1 field record
                            (kelid3_tag_query: null buffer) */
    KELID3_EBADTAG = -9, /* malformed tag, unsupported ID3v2 version, or out of
                            memory for an ID3v2 text field (out of memory for a
                            picture only leaves that frame out) */
    KELID3_ERANGE = -34, /* frame size 0 or above 0x80000 bytes */
    KELID3_ENOTAG = -77, /* neither "TAG" nor a valid "ID3" header */
    KELID3_ENOTIMPL = -1 /* operation not implemented */
};

/* ---- Records ------------------------------------------------------------ */

/* One field of a frame. One heap block: this header directly followed by the
 * field's bytes, released together. */
typedef struct id3_field id3_field;
struct id3_field {
    uint32_t type;          /* FIELD_STRING, FIELD_BLOB or FIELD_UINT */
    struct id3_field *next; /* next field of the frame, or NULL */
    /* Pointer-sized. FIELD_STRING, FIELD_BLOB: the address of the bytes that
     * follow this header (cast: (const char *)f->data). FIELD_UINT: the number
     * itself, at most 32 bits (cast: (uint32_t)f->data). */
    uintptr_t data;
    KELID3_ANON_UNION {
        uint32_t encoding; /* FIELD_STRING: text encoding byte, 0 to 3 */
        uint32_t size;     /* FIELD_BLOB: number of data bytes, no terminator */
    };
    /* FIELD_STRING: number of text bytes, not counting the NUL byte that always
     * follows them (a UTF-16 text also ends in one NUL byte). Text is stored as
     * found, unconverted. Unused by the other kinds. */
    uint32_t length;
};

/* One frame of a tag. */
typedef struct id3_frame id3_frame;
struct id3_frame {
    struct id3_frame *next;   /* next frame of the tag, or NULL */
    uint32_t id;              /* frame identifier, see KELID3_ID */
    uint32_t flags;           /* ID3v2.3/2.4: the two frame flag bytes, big-endian;
                                 otherwise 0 */
    uint32_t size;            /* content bytes, not counting the frame header; ID3v1:
                                 the width of the field (30, 4, 1) or the genre name's
                                 length */
    struct id3_field *fields; /* first field, or NULL */
};

/* A parse result. */
typedef struct id3_tag id3_tag;
struct id3_tag {
    uint32_t version;         /* KELID3_VERSION_V1 (0x00010000), or 0x00020000 +
                                 (major << 8) + revision for ID3v2 */
    uint32_t flags;           /* ID3v2: the header's flags byte (0x40 extended header,
                                 0x10 footer); ID3v1: 0 */
    uint32_t size;            /* ID3v2: tag size from the header, excluding the 10-byte
                                 header, plus 10 with a footer; ID3v1: 128 */
    uint32_t header_size;     /* ID3v2: 10 (an extended header is not added); ID3v1: 3 */
    struct id3_frame *frames; /* first frame, or NULL. ID3v2 frames stand in the
                                 reverse of their order in the tag. */
};

/* ---- Constants ---------------------------------------------------------- */

extern KELID3_API const uint32_t id3v1_tag_size;       /* 128 */
extern KELID3_API const uint32_t id3v1_header_size;    /* 3: "TAG" */
extern KELID3_API const uint32_t id3v1_body_size;      /* 125 */
extern KELID3_API const uint32_t id3v2_header_size;    /* 10 */
extern KELID3_API const uint32_t id3v2_extheader_size; /* 4 */

/* ---- Measuring and parsing ---------------------------------------------- */

/* Tells whether a tag begins at buf. Returns 128 for an ID3v1 block ("TAG",
 * len >= 3); for an ID3v2 header (len >= 14) its tag size, which does not count
 * the 10-byte header but counts a 10-byte footer (read size + 10 bytes from the
 * start to hold the whole tag); 0 when no tag is there or len < 14;
 * KELID3_ENOMEM (-12) when buf is NULL. Logs the header's lines. */
KELID3_API int32_t kelid3_tag_query(const void *buf, uint32_t len);

/* Parses the tag at the start of buf (len bytes, at least 10) into a new
 * id3_tag stored in *tag. An ID3v1 tag is expected as its 128 bytes; an ID3v2
 * tag at the start of the file. ids: NULL for all ID3v2 frames, or a 0-ended
 * array of frame identifiers to decode (ignored for ID3v1).
 * On success stores the tag, which the caller then owns and releases with
 * kelid3_tag_free (a previous *tag is overwritten, not released), and returns
 * a count >= 0: 128 for ID3v1; for ID3v2 the offset from buf at which the frame
 * scan stopped, except that when the scan stopped short of the header's size
 * and len exceeds that size, the header's size (which leaves out the 10-byte
 * header) is returned instead. On failure returns KELID3_EINVAL,
 * KELID3_ENOMEM, KELID3_EBADTAG, KELID3_ERANGE, KELID3_ENOTAG, or 0 for a "TAG"
 * buffer shorter than 128 bytes; *tag is left unchanged and nothing stays
 * allocated. buf is only read. */
KELID3_API int32_t kelid3_tag_parse(const void *buf, uint32_t len, id3_tag **tag,
                                    const uint32_t *ids);

/* Not implemented: logs "NYI!" and returns KELID3_ENOTIMPL (-1). */
KELID3_API int32_t kelid3_tags_join(void);

/* ---- The complete reader ------------------------------------------------ */

/* Flags of kelid3_read_options.flags; 0 reads exactly as kelid3_tag_parse. */
/* Every frame a tag reader shows: besides the text frames and pictures, every
 * text frame T??? (TDRC, TCOP, TSOP, ...: one FIELD_STRING as for TIT2), every
 * URL frame W??? (one FIELD_STRING of encoding 0, the URL), WXXX (two
 * FIELD_STRINGs: the description in the frame's encoding, then the URL in
 * encoding 0), COMM and USLT (three FIELD_STRINGs: the language, encoding 0,
 * 3 bytes; the description and the text, both in the frame's encoding; the
 * description without its terminator, the text as stored). */
#define KELID3_READ_ALL_FRAMES 0x1u
/* ID3v2.4 unsynchronisation undone: a frame with flag 0x0002, and every frame
 * of a tag with header flag 0x80, is resynchronised and decoded instead of
 * passed over. (ID3v2.2/2.3 tags are always resynchronised.) */
#define KELID3_READ_UNSYNC 0x2u
/* A frame of size 0 or above 512 KiB is passed over, with a line, instead of
 * failing the parse with KELID3_ERANGE. It is never copied. */
#define KELID3_READ_LARGE_FRAMES 0x4u
/* All of the above. */
#define KELID3_READ_COMPLETE 0x7u

/* What kelid3_tag_read is asked to do, and what it reports. Set struct_size,
 * zero what you do not use: {sizeof(struct kelid3_read_options)} is flags 0,
 * every frame, no diagnostic lines. The struct may grow at its end; the
 * library reads and writes only the first struct_size bytes. */
struct kelid3_read_options {
    uint32_t struct_size;    /* in: sizeof(struct kelid3_read_options) */
    uint32_t flags;          /* in: KELID3_READ_* */
    const uint32_t *ids;     /* in: selection list as for kelid3_tag_parse; NULL: every frame */
    FILE *log;               /* in: where this call's diagnostic lines go; NULL: nowhere */
    uint32_t stopped_at;     /* out: offset from buf at which the frame scan stopped, in
                                the caller's bytes (also for a resynchronised tag): where
                                the header's size ends the frames (the tag's size, plus the
                                length of an extended header), or the first byte of padding,
                                or the frame it could not read or that failed the parse;
                                128 for ID3v1; 0 when no ID3v2 header was read */
    uint32_t large_frames;   /* out: frames passed over for their size (KELID3_READ_LARGE_FRAMES) */
    uint32_t skipped_frames; /* out: frames passed over as compressed, encrypted, or
                                unsynchronised without KELID3_READ_UNSYNC */
};

/* kelid3_tag_parse with options: the same records, results, ownership and
 * failure guarantees. options may be NULL (flags 0, every frame, no lines).
 * With flags 0 and log = stderr every result, record and line is what
 * kelid3_tag_parse gives. The lines of this call go to options->log only, so
 * other threads' calls are unaffected. Returns KELID3_EINVAL also when
 * struct_size is smaller than the first version of the struct (28 bytes on
 * 32-bit targets). The out members are written on success and on failure. */
KELID3_API int32_t kelid3_tag_read(const void *buf, uint32_t len, id3_tag **tag,
                                   struct kelid3_read_options *options);

/* ---- Release ------------------------------------------------------------ */

/* Releases a tag with all its frames and fields. NULL does nothing. */
KELID3_API void kelid3_tag_free(id3_tag *tag);

/* Releases a frame and its fields, not the frames behind it. NULL does nothing. */
KELID3_API void id3_frame_free(id3_frame *frame);

/* Releases a field and the fields behind it. A field of unknown type is
 * released with a log line and ends the walk. NULL does nothing. */
KELID3_API void id3_field_free(id3_field *field);

/* ---- Presentation ------------------------------------------------------- */

/* Name of an ID3v1 genre number 0 to 125, or NULL. Constant text: neither
 * change nor release it. */
KELID3_API const char *kelid3_genre_description(uint32_t genre);

/* English description of an ID3v2.4 frame identifier (all but WXXX), or NULL.
 * Constant text: neither change nor release it. */
KELID3_API const char *kelid3_field_description(uint32_t id);

/* Converts a UTF-8 (encoding 3) or UTF-16 (1, 2) FIELD_STRING into a new
 * NUL-terminated ISO-8859-1 string; characters above 255 become '{' (UTF-8) or
 * 0xB7 (UTF-16), and UTF-16 surrogate pairs are dropped. A UTF-16 byte-order
 * mark decides the byte order; without one, big-endian. Returns NULL for NULL,
 * a field of another kind, an ISO-8859-1 field (encoding 0: use its bytes as
 * they are) or any other encoding, malformed UTF-8, UTF-16 text shorter than
 * 2 bytes, or memory exhaustion (as for a UTF-8 field of length 0xFFFFFFFF,
 * whose result a 32-bit size cannot count). The caller releases the result
 * with free(). */
KELID3_API char *kelid3_field_to_iso8859(const id3_field *field);

/* Not implemented: logs "NYI!" and returns NULL. Use kelid3_field_utf8. */
KELID3_API char *kelid3_field_to_utf8(const id3_field *field);

/* Converts any FIELD_STRING into a new UTF-8 string: ISO-8859-1 (encoding 0),
 * UTF-16 (1: a byte-order mark decides, also after a NUL separator; without
 * one, little-endian when the zero bytes say so, else big-endian), UTF-16BE
 * (2; a mark is honoured) and UTF-8 (3). Invalid sequences, lone surrogates
 * and a trailing odd byte other than zero become U+FFFD; the NUL separators of
 * multi-value text are kept as NUL bytes, byte-order marks are dropped. Stores
 * the number of bytes in *length (not counting the NUL byte that always follows
 * them) when length is not NULL. Returns NULL for NULL, a field of another kind
 * or with an encoding above 3, or when memory runs out. The caller releases the
 * result with free(). Does not log. */
KELID3_API char *kelid3_field_utf8(const id3_field *field, uint32_t *length);

/* Writes a readable dump of the tag, its frames and fields to out. Text is
 * printed as stored. NULL out or tag writes nothing. */
KELID3_API void kelid3_tag_print(FILE *out, const id3_tag *tag);

/* ---- Building blocks ---------------------------------------------------- */

/* 1 when buf begins with "TAG", else 0. Reads 3 bytes; len is not examined. */
KELID3_API int id3_match_v1(const void *buf, uint32_t len);

/* Fills the ID3v1 header members of tag (version, flags, size, header_size)
 * and returns 3. Reads nothing from buf. */
KELID3_API int id3_parse_v1_header(const void *buf, uint32_t len, id3_tag *tag);

/* Builds the frames of the 125 bytes behind "TAG" and puts them in front of
 * tag->frames. Returns 125, 0 when len < 125 (nothing changed), or
 * KELID3_ENOMEM (frames built so far stay linked: release the tag). */
KELID3_API int id3_parse_v1_body(const void *body, uint32_t len, id3_tag *tag);

/* 1 when buf begins with "ID3", version and revision bytes other than 0xFF
 * and a syncsafe size, else 0. The version itself is judged by
 * id3_parse_v2x_header. Reads 10 bytes; len is not examined. */
KELID3_API int id3_match_v2x(const void *buf, uint32_t len);

/* Reads the ID3v2 header into tag (version, flags, size, header_size). Returns
 * the offset of the first frame header (10, plus the extended header's length),
 * or 0 for a refused header (unsupported version, size not syncsafe, or an
 * extended header cut off by len). Needs 10 bytes, 14 with an extended header. */
KELID3_API int id3_parse_v2x_header(const void *buf, uint32_t len, id3_tag *tag);

/* Scans the frames at buf (len bytes, from the first frame header on) of a tag
 * whose header id3_parse_v2x_header has read; decoded frames are put in front
 * of tag->frames. ids as for kelid3_tag_parse. Returns the offset at which the
 * scan stopped, or KELID3_EBADTAG, KELID3_ENOMEM or KELID3_ERANGE (frames
 * linked so far stay linked: release the tag). */
KELID3_API int32_t id3_parse_v2x_body(const void *buf, uint32_t len, id3_tag *tag,
                                      const uint32_t *ids);

/* Writes one diagnostic line to stderr: "[func: line] level: " followed by the
 * formatted message and a newline, handed to stderr in one call when the line
 * fits in 256 bytes. Returns '\n' when the line was written, EOF otherwise. */
KELID3_API int id3_log(const char *func, int line, const char *level, const char *fmt, ...)
    KELID3_PRINTF(4, 5);

#ifdef __cplusplus
}
#endif

#endif /* KELID3_H */
