// Release of the three records and the diagnostic line writer.
#include <gtest/gtest.h>

#include <cstdlib>
#include <new>
#include <string>
#include <tuple>
#include <vector>

#include "kelid3.h"
#include "support/alloc_seam.h"
#include "support/log_capture.h"

namespace {

template <typename T>
T *heap(const T &value) {
    return new (std::malloc(sizeof(T))) T(value);
}
// A field block with no bytes behind it, in front of next.
id3_field *field(uint32_t type, id3_field *next = nullptr) {
    return heap(id3_field{type, next, 0, {0}, 0});
}
id3_frame *frame(id3_field *fields, id3_frame *next = nullptr) {
    return heap(id3_frame{next, 0, 0, 0, fields});
}

}  // namespace

TEST(Records, LogWritesPrefixMessageAndOneNewline) {
    LogCapture log;
    EXPECT_EQ(id3_log("x", 12, "INFO", "n=%d", 5), '\n');
    id3_log("id3_parse_v1_body", -3, "ERROR", "%s|%u|%x", "a b", 7u, 255u);
    EXPECT_EQ(log.text(), "[x: 12] INFO: n=5\n[id3_parse_v1_body: -3] ERROR: a b|7|ff\n");
}

TEST(Records, TagFreeReleasesEveryFrameAndFieldAndIgnoresNull) {
    const long before = alloc_seam::live();
    LogCapture log;
    id3_field_free(nullptr);
    id3_frame_free(nullptr);
    kelid3_tag_free(nullptr);
    kelid3_tag_free(heap(id3_tag{}));  // no frames
    id3_tag *tag = heap(id3_tag{});
    tag->frames =
        frame(field(FIELD_UINT, field(FIELD_STRING)), frame(nullptr, frame(field(FIELD_BLOB))));
    kelid3_tag_free(tag);
    EXPECT_EQ(alloc_seam::live(), before);
    EXPECT_EQ(log.text(), "");
}

TEST(Records, FrameFreeReleasesItsFieldsButNotTheNextFrame) {
    const long before = alloc_seam::live();
    id3_frame *second = frame(field(FIELD_STRING));
    id3_frame_free(frame(field(FIELD_STRING, field(FIELD_UINT)), second));
    EXPECT_EQ(alloc_seam::live(), before + 2);  // the second frame and its field
    EXPECT_EQ(second->fields->type, FIELD_STRING);
    id3_frame_free(second);
    EXPECT_EQ(alloc_seam::live(), before);
}

TEST(Records, FieldFreeStopsAfterAFieldOfUnknownType) {
    const std::tuple<std::vector<uint32_t>, size_t, std::string> cases[] = {
        // types along the chain, fields released, the line ("" for none)
        {{1, 2, 3}, 3, ""},
        {{1, 7, 2}, 2, "unsupported field type 7."},
        {{7, 1, 3}, 1, "unsupported field type 7."},
        {{2, 3, 0}, 3, "unsupported field type 0."},
        {{1, 0xFFFFFFFFu, 1}, 2, "unsupported field type -1."}};
    for (const auto &[types, released, message] : cases) {
        SCOPED_TRACE(message);
        const long before = alloc_seam::live();
        std::vector<id3_field *> chain(types.size());
        id3_field *next = nullptr;
        for (size_t i = chain.size(); i-- > 0;) next = chain[i] = field(types[i], next);
        LogCapture log;
        id3_field_free(chain[0]);
        EXPECT_EQ(alloc_seam::live(), before + long(chain.size() - released));
        EXPECT_EQ(log.lines().size(), message.empty() ? 0u : 1u);
        EXPECT_EQ(log.count("id3_field_free", "INFO", message), message.empty() ? 0 : 1);
        for (size_t i = released; i < chain.size(); ++i) {
            EXPECT_EQ(chain[i]->type, types[i]);  // left untouched
            std::free(chain[i]);
        }
        EXPECT_EQ(alloc_seam::live(), before);
    }
}
