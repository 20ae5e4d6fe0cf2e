// SPDX-License-Identifier: MIT
// English descriptions of the frame identifiers of the ID3v2.4 frame list,
// from the table of known frames.
#include "kelid3.h"
#include "v2/frame_table.h"

extern "C" const char *kelid3_field_description(uint32_t id) {
    using namespace kelid3::detail;
    const uint32_t row = find_frame(id).row;
    return row != kNoFrame ? frame_description(row) : nullptr;
}
