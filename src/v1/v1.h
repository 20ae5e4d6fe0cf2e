// SPDX-License-Identifier: MIT
// ID3v1 reader internals.
#pragma once

#include <cstdint>
#include <cstdio>

#include "kelid3.h"

namespace kelid3::detail {

// One unlinked frame holding one field made of `count` bytes at `source`:
// FIELD_STRING (with `encoding`) copies them and adds a NUL; FIELD_UINT takes
// the byte at `source` as its number. Null, after a line to `log`, when either
// block cannot be had.
id3_frame *id3_parse_v1_frame(std::FILE *log, const uint8_t *source, uint32_t count, uint32_t id,
                              uint32_t kind, uint32_t encoding);

// id3_parse_v1_body, its lines to `log`.
int parse_v1_body(std::FILE *log, const uint8_t *body, uint32_t len, id3_tag *tag);

}  // namespace kelid3::detail
