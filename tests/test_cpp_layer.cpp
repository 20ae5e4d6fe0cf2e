// SPDX-License-Identifier: MIT
// kelid3.hpp where it can break: ownership and moves, empty and absent values,
// the selection passed through, and walking a tag allocates nothing.
#include "support/alloc_seam.h"
#include "support/records.h"

using namespace kelid3::literals;

namespace {

static_assert("TIT2"_id == 0x54495432u && kelid3::id_string("TPE1"_id).view() == "TPE1" && "CRM"_id == 0x0043524Du &&
              kelid3::id_string("CRM"_id).view() == "CRM" && "\xFF\x80\x01\x7F"_id == 0xFF80017Fu);
constexpr uint32_t kWanted[] = {"TCON"_id, "APIC"_id, 0};  // literals as constants

// The owners release what they hold once (the live-block check finds a leak,
// the seam a double release); find gives the first frame in list order.
TEST(CppLayer, OwnersMoveAndReleaseOnceAndWalkingATagAllocatesNothing) {
    const Bytes b = V2Tag(4).text("TIT2", 0, "a").text("TCON", 3, "Caf\xC3\xA9").text("TIT2", 0, "b").build();
    LogCapture log;
    kelid3::parse_result parsed = kelid3::parse(b.data(), uint32_t(b.size()));
    const long news = alloc_seam::news;
    alloc_seam::fail_nth(0);
    size_t seen = 0;  // descriptions, the titles, the texts
    for (const kelid3::frame f : parsed->frames())
        for (const kelid3::field x : f.fields())
            seen += f.description().size() + (f.id() == "TIT2"_id) + x.text().size() + x.number() + x.blob().size();
    const kelid3::frame title = parsed->find("TIT2"_id);
    EXPECT_EQ(alloc_seam::count + alloc_seam::news - news, 0);
    EXPECT_TRUE(seen == 2 * (34 + 1) + 12 + 1 + 1 + 5 && title.fields().front().text() == "b");
    kelid3::iso8859_text text = parsed->find("TCON"_id).fields().front().to_iso8859(), moved_text = std::move(text);
    EXPECT_TRUE(!text && text.c_str() != nullptr && moved_text.view() == "Caf\xE9");
    EXPECT_FALSE(title.fields().front().to_iso8859());  // ISO-8859-1: used as stored
    kelid3::tag moved = std::move(parsed).value(), other = kelid3::parse(b.data(), uint32_t(b.size()), kWanted).value();
    EXPECT_TRUE(!parsed->get() && show(other.get()) == "TCON/6 s3'Caf<c3><a9>'");
    other = std::move(moved);  // releases the selected tag
    other.reset(other.release());
    EXPECT_FALSE(moved);
}

// Empty views answer empty, 0 or false; no string_view they give has a null data().
TEST(CppLayer, AbsentFramesFieldsAndNamesGiveEmptyValues) {
    LogCapture log;
    const kelid3::parse_result failed = kelid3::parse("ID3", 3);
    const kelid3::frame none = failed->find("TIT2"_id);
    const kelid3::field field = none.fields().front();
    EXPECT_TRUE(!failed && failed.code() == KELID3_EINVAL && failed->frames().empty() && failed->version() == 0 &&
                !none && none.id() == 0 && !field && !field.to_iso8859() && field.number() + field.blob().size() == 0);
    for (const std::string_view empty :
         {none.description(), field.text(), kelid3::genre_name(126), kelid3::description("WXXX"_id)})
        EXPECT_TRUE(empty.empty() && empty.data() != nullptr);
    EXPECT_TRUE(kelid3::genre_name(125) == "Dance Hall" && kelid3::query("TAG", 3) == 128);
}

}  // namespace
