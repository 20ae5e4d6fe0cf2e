// kelid3.hpp: the C++ layer gives what the C interface gives, from the same
// records, at the same cost.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>

#include "kelid3.hpp"
#include "support/alloc_seam.h"
#include "support/log_capture.h"
#include "support/tag_builder.h"

using namespace std::string_literals;
using namespace kelid3::literals;

namespace {

// ---- Compile-time properties ---------------------------------------------------

static_assert("TIT2"_id == 0x54495432u);
static_assert("TIT2"_id == KELID3_ID('T', 'I', 'T', '2'));
static_assert("CRM"_id == KELID3_ID(0, 'C', 'R', 'M'));
static_assert("\xFF\x80\x01\x7F"_id == 0xFF80017Fu);  // bytes above 0x7F do not sign-extend
static_assert(kelid3::id_string("TPE1"_id).view() == "TPE1");
static_assert(kelid3::id_string("CRM"_id).view() == "CRM");

static_assert(!std::is_copy_constructible_v<kelid3::tag>);
static_assert(!std::is_copy_assignable_v<kelid3::tag>);
static_assert(std::is_nothrow_move_constructible_v<kelid3::tag>);
static_assert(std::is_nothrow_move_assignable_v<kelid3::tag>);
static_assert(!std::is_copy_constructible_v<kelid3::iso8859_text>);
static_assert(std::is_nothrow_move_constructible_v<kelid3::iso8859_text>);
static_assert(!std::is_copy_constructible_v<kelid3::parse_result>);
static_assert(noexcept(kelid3::parse(nullptr, 0)));
static_assert(noexcept(kelid3::field().to_iso8859()));
// Views are pointers: passing them around copies one word.
static_assert(sizeof(kelid3::frame) == sizeof(void *) && sizeof(kelid3::field) == sizeof(void *));
static_assert(sizeof(kelid3::tag) == sizeof(void *));

// A switch over identifiers needs them as constants.
int title_or_artist(uint32_t frame_id) {
    switch (frame_id) {
        case "TIT2"_id:
            return 1;
        case "TPE1"_id:
            return 2;
        default:
            return 0;
    }
}

// ---- Tags both interfaces parse ---------------------------------------------

const Bytes kPng = bytes("\x89PNG\r\n\x1A\n"s) + fill(40, 0xA5);

struct Input {
    const char *what;
    Bytes buf;
};

// clang-format off
const Input kTags[] = {
    {"v2.3 texts in every encoding and a picture",
     V2Tag(3)
         .text("TIT2", 0, "Caf\xE9")
         .text("TPE1", 1, "\xFF\xFE" "A\0r\0t\0"s)
         .text("TALB", 2, "\0A\0l\0b"s)
         .text("TCON", 3, "Caf\xC3\xA9 \xE2\x82\xAC")
         .text("TXXX", 0, "key\0value"s)
         .frame("APIC", apic(0, "image/png", 3, bytes("cover"s + '\0'), kPng))
         .padding(16)
         .build()},
    {"v2.4 with frame flags and a passed-over frame",
     V2Tag(4)
         .frame("TIT2", bytes("\x03" "a\0b"s), 0x6000)
         .frame("COMM", bytes("\0engdesc\0text"s))
         .text("TRCK", 0, "7/9")
         .build()},
    {"v2.2 under four-letter identifiers",
     V2Tag(2).text("TT2", 0, "Old").text("TP1", 0, "Band").build()},
    {"v1.1 with track and genre",
     V1Tag{"Title", "Artist", "Album", "1999", "Comment", 3, 17}.build()},
    {"v2.3 without frames", V2Tag(3).padding(32).build()},
};
// clang-format on

// The C++ view of one field shows the record's own bytes and values.
void expect_view_of(const id3_field *c, kelid3::field cpp) {
    ASSERT_EQ(cpp.get(), c);
    EXPECT_EQ(static_cast<uint32_t>(cpp.type()), c->type);
    EXPECT_EQ(cpp.is_string(), c->type == FIELD_STRING);
    EXPECT_EQ(cpp.is_blob(), c->type == FIELD_BLOB);
    EXPECT_EQ(cpp.is_number(), c->type == FIELD_UINT);
    switch (c->type) {
        case FIELD_STRING: {
            const std::string_view text = cpp.text();
            EXPECT_EQ(static_cast<const void *>(text.data()),
                      reinterpret_cast<const void *>(c->data))
                << "the text is the record's, not a copy";
            EXPECT_EQ(text.size(), c->length);
            EXPECT_EQ(static_cast<uint32_t>(cpp.encoding()), c->encoding);
            char *expected = kelid3_field_to_iso8859(c);
            const kelid3::iso8859_text converted = cpp.to_iso8859();
            ASSERT_EQ(expected == nullptr, !converted);
            if (expected != nullptr) {
                EXPECT_STREQ(converted.get(), expected);
            }
            free(expected);
            EXPECT_TRUE(cpp.blob().empty());
            EXPECT_EQ(cpp.number(), 0u);
            break;
        }
        case FIELD_BLOB:
            EXPECT_EQ(static_cast<const void *>(cpp.blob().data()),
                      reinterpret_cast<const void *>(c->data));
            EXPECT_EQ(cpp.blob().size(), c->size);
            EXPECT_TRUE(cpp.text().empty());
            EXPECT_FALSE(cpp.to_iso8859());
            break;
        case FIELD_UINT:
            EXPECT_EQ(cpp.number(), static_cast<uint32_t>(c->data));
            EXPECT_TRUE(cpp.text().empty());
            EXPECT_TRUE(cpp.blob().empty());
            break;
        default:
            ADD_FAILURE() << "field of type " << c->type;
    }
}

// Walks the records along `next` and the C++ ranges side by side.
void expect_views_of(const id3_tag *c, const kelid3::tag &cpp) {
    ASSERT_EQ(cpp.get(), c);
    EXPECT_EQ(cpp.version(), c->version);
    EXPECT_EQ(cpp.is_v1(), c->version == KELID3_VERSION_V1);
    EXPECT_EQ(cpp.flags(), c->flags);
    EXPECT_EQ(cpp.size(), c->size);
    EXPECT_EQ(cpp.header_size(), c->header_size);
    const id3_frame *cf = c->frames;
    for (const kelid3::frame frame : cpp.frames()) {
        ASSERT_EQ(frame.get(), cf);
        EXPECT_EQ(frame.id(), cf->id);
        EXPECT_EQ(frame.flags(), cf->flags);
        EXPECT_EQ(frame.size(), cf->size);
        const char *what = kelid3_field_description(cf->id);
        EXPECT_EQ(frame.description(), what != nullptr ? std::string_view(what) : "");
        const id3_field *field = cf->fields;
        for (const kelid3::field f : frame.fields()) {
            ASSERT_NE(field, nullptr) << "the C++ range has more fields";
            expect_view_of(field, f);
            field = field->next;
        }
        EXPECT_EQ(field, nullptr) << "the C++ range has fewer fields";
        cf = cf->next;
    }
    EXPECT_EQ(cf, nullptr) << "the C++ range has fewer frames";
}

// Everything a parse result says, in list order, for comparing two parses.
std::string contents(const id3_tag *tag) {
    std::string s = format("%08x %x %u %u;", tag->version, tag->flags, tag->size, tag->header_size);
    for (const id3_frame *f = tag->frames; f != nullptr; f = f->next) {
        s += format(" %08x %x %u:", f->id, f->flags, f->size);
        for (const id3_field *x = f->fields; x != nullptr; x = x->next) {
            const Bytes b = field_content(x);
            s += format(" %u/%u/%lu/", x->type, x->encoding,
                        x->type == FIELD_UINT ? static_cast<unsigned long>(x->data) : 0ul) +
                 std::string(b.begin(), b.end());
        }
    }
    return s;
}

TEST(CppLayer, ParseGivesTheRecordsAndResultOfTheCInterface) {
    for (const auto &[what, buf] : kTags) {
        SCOPED_TRACE(what);
        LogCapture log;
        id3_tag *c = nullptr;
        const int32_t rc = kelid3_tag_parse(buf.data(), uint32_t(buf.size()), &c, nullptr);
        const kelid3::parse_result cpp = kelid3::parse(buf.data(), uint32_t(buf.size()));
        ASSERT_GT(rc, 0);
        ASSERT_TRUE(cpp.has_value());
        EXPECT_EQ(cpp.code(), rc);
        EXPECT_EQ(contents(cpp->get()), contents(c));
        expect_views_of(cpp->get(), *cpp);
        kelid3_tag_free(c);
    }
}

TEST(CppLayer, SelectionListIsPassedThrough) {
    static constexpr uint32_t wanted[] = {"TCON"_id, "APIC"_id, 0};
    const Bytes &buf = kTags[0].buf;
    LogCapture log;
    const kelid3::parse_result parsed = kelid3::parse(buf.data(), uint32_t(buf.size()), wanted);
    ASSERT_TRUE(parsed);
    std::string ids;
    for (const kelid3::frame frame : parsed->frames()) ids += kelid3::id_string(frame.id()).view();
    EXPECT_EQ(ids, "APICTCON");
}

TEST(CppLayer, FailedParseGivesTheCResultCodeAndAnEmptyTag) {
    // clang-format off
    const std::tuple<const char *, Bytes, int32_t> cases[] = {
        {"9 bytes", bytes("TAG") + fill(6), KELID3_EINVAL},
        {"TAG, 127 bytes", bytes("TAG") + fill(124), 0},
        {"no signature", bytes("XYZ") + fill(20), KELID3_ENOTAG},
        {"unsupported version", V2Tag(5).padding(20).build(), KELID3_EBADTAG},
        {"frame of size 0", V2Tag(3).frame("TPE1", {}).padding(20).size(999).build(), KELID3_ERANGE}};
    // clang-format on
    for (const auto &[what, buf, expected] : cases) {
        SCOPED_TRACE(what);
        LogCapture log;
        id3_tag *c = nullptr;
        const int32_t rc = kelid3_tag_parse(buf.data(), uint32_t(buf.size()), &c, nullptr);
        const long live = alloc_seam::live();
        const kelid3::parse_result cpp = kelid3::parse(buf.data(), uint32_t(buf.size()));
        EXPECT_EQ(rc, expected);
        EXPECT_FALSE(cpp);
        EXPECT_EQ(cpp.code(), rc);
        EXPECT_EQ(alloc_seam::live(), live);
        EXPECT_TRUE(cpp->frames().empty());
        EXPECT_EQ(cpp->version(), 0u);
    }
    LogCapture log;
    EXPECT_EQ(kelid3::parse(nullptr, 128).code(), KELID3_EINVAL);
}

// ---- Cost ------------------------------------------------------------------------

TEST(CppLayer, ParsingWalkingAndReleasingAllocateWhatTheCInterfaceDoes) {
    for (const auto &[what, buf] : kTags) {
        SCOPED_TRACE(what);
        LogCapture log;
        const long live = alloc_seam::live();

        alloc_seam::reset();
        id3_tag *c = nullptr;
        kelid3_tag_parse(buf.data(), uint32_t(buf.size()), &c, nullptr);
        const long c_allocations = alloc_seam::count();
        kelid3_tag_free(c);
        ASSERT_EQ(alloc_seam::live(), live);

        alloc_seam::reset();
        long walk_allocations = 0, cpp_allocations = 0;
        {
            const kelid3::parse_result parsed = kelid3::parse(buf.data(), uint32_t(buf.size()));
            cpp_allocations = alloc_seam::count();
            alloc_seam::reset();
            size_t seen = 0;
            for (const kelid3::frame frame : parsed->frames()) {
                seen += frame.description().size();
                for (const kelid3::field field : frame.fields())
                    seen += field.text().size() + field.blob().size() + field.number();
            }
            (void)parsed->find("TIT2"_id);
            walk_allocations = alloc_seam::count();
            EXPECT_EQ(seen == 0, parsed->frames().empty());
        }
        EXPECT_EQ(cpp_allocations, c_allocations);
        EXPECT_EQ(walk_allocations, 0);
        EXPECT_EQ(alloc_seam::live(), live) << "the owner released the whole tag";
    }
}

TEST(CppLayer, ConversionAllocatesOnceAndItsOwnerFreesIt) {
    const Bytes &buf = kTags[0].buf;
    LogCapture log;
    const kelid3::parse_result parsed = kelid3::parse(buf.data(), uint32_t(buf.size()));
    const kelid3::field utf8 = parsed->find("TCON"_id).fields().front();
    ASSERT_EQ(utf8.encoding(), kelid3::text_encoding::utf8);
    const long live = alloc_seam::live();
    alloc_seam::reset();
    {
        kelid3::iso8859_text text = utf8.to_iso8859();
        EXPECT_EQ(text.view(), "Caf\xE9 {");
        kelid3::iso8859_text moved = std::move(text);
        EXPECT_FALSE(text);
        EXPECT_STREQ(text.c_str(), "");
        EXPECT_EQ(moved.view(), "Caf\xE9 {");
        EXPECT_EQ(alloc_seam::live(), live + 1);
    }
    EXPECT_EQ(alloc_seam::count(), 1);
    EXPECT_EQ(alloc_seam::live(), live);
}

// ---- Ownership -----------------------------------------------------------------

TEST(CppLayer, TagOwnerMovesAndReleasesExactlyOnce) {
    const Bytes &one = kTags[0].buf;
    const Bytes &two = kTags[3].buf;
    LogCapture log;
    const long live = alloc_seam::live();
    {
        kelid3::tag a = kelid3::parse(one.data(), uint32_t(one.size())).value();
        ASSERT_TRUE(a);
        const long with_one = alloc_seam::live();
        kelid3::tag b = std::move(a);
        EXPECT_FALSE(a);
        EXPECT_TRUE(a.frames().empty());
        EXPECT_EQ(b.version(), KELID3_VERSION_V2(3u, 0u));
        EXPECT_EQ(alloc_seam::live(), with_one);

        kelid3::tag c = kelid3::parse(two.data(), uint32_t(two.size())).value();
        const long with_both = alloc_seam::live();
        b = std::move(c);  // releases the v2.3 tag
        EXPECT_TRUE(b.is_v1());
        EXPECT_FALSE(c);
        EXPECT_EQ(alloc_seam::live(), with_both - (with_one - live));

        id3_tag *raw = b.release();
        EXPECT_FALSE(b);
        b.reset(raw);
        EXPECT_EQ(b.get(), raw);
    }
    EXPECT_EQ(alloc_seam::live(), live);
}

// ---- Lookups and empty views -------------------------------------------------

TEST(CppLayer, FindGivesTheFirstFrameInListOrderOrAnEmptyFrame) {
    const Bytes buf = V2Tag(3).text("TIT2", 0, "first").text("TIT2", 0, "second").build();
    LogCapture log;
    const kelid3::parse_result parsed = kelid3::parse(buf.data(), uint32_t(buf.size()));
    ASSERT_TRUE(parsed);
    // ID3v2 frames stand in reverse order: the list begins with the second.
    const kelid3::frame title = parsed->find("TIT2"_id);
    EXPECT_EQ(title.get(), parsed->get()->frames);
    EXPECT_EQ(title.fields().front().text(), "second");

    const kelid3::frame none = parsed->find("TPE1"_id);
    EXPECT_FALSE(none);
    EXPECT_EQ(none.id(), 0u);
    EXPECT_TRUE(none.fields().empty());
    EXPECT_FALSE(none.fields().front());
    EXPECT_TRUE(none.description().empty());
    EXPECT_EQ(static_cast<uint32_t>(kelid3::field().type()), 0u);
    EXPECT_FALSE(kelid3::field().to_iso8859());
    // Empty strings still point somewhere: safe for fwrite and memcpy.
    for (const std::string_view empty : {none.description(), kelid3::field().text(),
                                         kelid3::iso8859_text().view(), kelid3::genre_name(999)}) {
        EXPECT_TRUE(empty.empty());
        EXPECT_NE(empty.data(), nullptr);
    }
}

TEST(CppLayer, IdentifiersAndNamesMatchTheCInterface) {
    // clang-format off
    const std::tuple<uint32_t, uint32_t, const char *> ids[] = {
        {"TIT2"_id, id("TIT2"), "TIT2"}, {"APIC"_id, id("APIC"), "APIC"},
        {"WXXX"_id, id("WXXX"), "WXXX"}, {"CRM"_id, id("CRM"), "CRM"},
        {"XY"_id, 0, ""}};
    // clang-format on
    for (const auto &[literal, packed, chars] : ids) {
        EXPECT_EQ(literal, packed) << chars;
        EXPECT_STREQ(kelid3::id_string(packed).c_str(), chars);
        const char *what = kelid3_field_description(packed);
        EXPECT_EQ(kelid3::description(packed), what != nullptr ? what : "") << chars;
        EXPECT_NE(kelid3::description(packed).data(), nullptr) << chars;
    }
    for (const uint32_t genre : {0u, 17u, 125u, 126u, 255u}) {
        const char *name = kelid3_genre_description(genre);
        EXPECT_EQ(kelid3::genre_name(genre), name != nullptr ? name : "") << genre;
        EXPECT_NE(kelid3::genre_name(genre).data(), nullptr) << genre;
    }
    EXPECT_EQ(title_or_artist("TIT2"_id), 1);
    EXPECT_EQ(title_or_artist("TPE1"_id), 2);
    EXPECT_EQ(title_or_artist("TALB"_id), 0);
}

TEST(CppLayer, QueryIsTheCQuery) {
    const Bytes v23 = V2Tag(3).text("TIT2", 0, "x").padding(100).build();
    const Bytes v1 = kTags[3].buf;
    LogCapture log;
    for (const Bytes *buf : {&v23, &v1})
        EXPECT_EQ(kelid3::query(buf->data(), 14), kelid3_tag_query(buf->data(), 14));
    EXPECT_EQ(kelid3::query(nullptr, 14), KELID3_ENOMEM);
}

}  // namespace
