// SPDX-License-Identifier: MIT
// kelid3.hpp where it can break: ownership and moves, empty and absent values,
// the selection passed through, and walking a tag allocates nothing.
#include <type_traits>

#include "support/alloc_seam.h"
#include "support/records.h"

using namespace kelid3::literals;

namespace {

static_assert("TIT2"_id == 0x54495432u && "CRM"_id == 0x0043524Du &&
              "\xFF\x80\x01\x7F"_id == 0xFF80017Fu);
static_assert(kelid3::id_string("TPE1"_id).view() == "TPE1" &&
              kelid3::id_string("CRM"_id).view() == "CRM");
static_assert(!std::is_copy_constructible_v<kelid3::tag> &&
              !std::is_copy_assignable_v<kelid3::iso8859_text>);
constexpr uint32_t kWanted[] = {"TCON"_id, "APIC"_id, 0};  // literals as constants

const Bytes kTag = V2Tag(4)
                       .text("TIT2", 0, "first")
                       .text("TCON", 3, "Caf\xC3\xA9")
                       .text("TIT2", 0, "second")
                       .build();

TEST(CppLayer, OwnersMoveAndReleaseOnceAndWalkingATagAllocatesNothing) {
    LogCapture log;
    const long before = alloc_seam::live;
    kelid3::parse_result parsed = kelid3::parse(kTag.data(), uint32_t(kTag.size()));
    const long blocks = alloc_seam::live - before, news = alloc_seam::news;
    alloc_seam::fail_nth(0);
    size_t seen = 0;
    for (const kelid3::frame f : parsed->frames()) {
        seen += f.description().size() + (f.id() == "TIT2"_id);
        for (const kelid3::field x : f.fields())
            seen += x.text().size() + x.number() + x.blob().size();
    }
    const kelid3::frame title = parsed->find("TIT2"_id);
    EXPECT_EQ(alloc_seam::count + alloc_seam::news - news, 0);
    EXPECT_EQ(seen, 2 * (34 + 1) + 12 + 6 + 5 + 5);  // descriptions, the two titles, the texts
    EXPECT_EQ(parsed.code(), int32_t(kTag.size()));
    EXPECT_EQ(title.fields().front().text(), "second");  // the first in list order
    EXPECT_FALSE(title.fields().front().to_iso8859());   // ISO-8859-1: used as stored
    kelid3::iso8859_text text = parsed->find("TCON"_id).fields().front().to_iso8859(),
                         moved_text = std::move(text);
    EXPECT_TRUE(!text && text.view().empty() && text.c_str() != nullptr &&
                moved_text.view() == "Caf\xE9");
    EXPECT_EQ(alloc_seam::live - before, blocks + 1);
    moved_text = kelid3::iso8859_text();
    kelid3::tag moved = std::move(parsed).value();
    EXPECT_FALSE(parsed->get());
    kelid3::tag other = kelid3::parse(kTag.data(), uint32_t(kTag.size()), kWanted).value();
    EXPECT_EQ(show(other.get()), "TCON/6 s3'Caf<c3><a9>'");
    other = std::move(moved);  // releases the selected tag
    other.reset(other.release());
    EXPECT_TRUE(!moved && alloc_seam::live - before == blocks);
}

// Empty views answer empty, 0 or false; no string_view they give has a null data().
TEST(CppLayer, AbsentFramesFieldsAndNamesGiveEmptyValues) {
    LogCapture log;
    const kelid3::parse_result failed = kelid3::parse(kTag.data(), 9);
    const kelid3::frame none = failed->find("TIT2"_id);
    const kelid3::field field = none.fields().front();
    EXPECT_TRUE(!failed && failed.code() == KELID3_EINVAL && failed->frames().empty() &&
                failed->version() == 0);
    EXPECT_TRUE(!none && none.id() == 0 && none.fields().empty() && !field && !field.to_iso8859());
    EXPECT_EQ(field.number() + field.blob().size() + size_t(field.type()), 0u);
    for (const std::string_view empty : {none.description(), field.text(), kelid3::genre_name(126),
                                         kelid3::description("WXXX"_id)})
        EXPECT_TRUE(empty.empty() && empty.data() != nullptr);
    EXPECT_EQ(kelid3::genre_name(125), "Dance Hall");
    EXPECT_EQ(kelid3::query(kTag.data(), 14), int32_t(kTag.size() - 10));
}

}  // namespace
