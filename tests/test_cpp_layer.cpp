// SPDX-License-Identifier: MIT
// kelid3.hpp where it can break: ownership and moves, empty and absent values,
// the selection passed through, and allocations: walking a tag makes none,
// and a parse or conversion makes those of the C interface, no more.
#include "support/alloc_seam.h"
#include "support/records.h"

using namespace kelid3::literals;

namespace {

// Identifier literals of four and three characters are constants (of two or
// five: refused, id_literal_length.cpp).
static_assert("TIT2"_id == 0x54495432u);
static_assert("CRM"_id == 0x0043524Du);
static_assert("\xFF\x80\x01\x7F"_id == 0xFF80017Fu);
static_assert(kelid3::id_string("TPE1"_id).view() == "TPE1");
static_assert(kelid3::id_string("CRM"_id).view() == "CRM");
constexpr uint32_t kWanted[] = {"TCON"_id, "APIC"_id, 0};  // literals as constants

const Bytes kTag =
    V2Tag(4).text("TIT2", 0, "a").text("TCON", 3, "Caf\xC3\xA9").text("TIT2", 0, "b").build();

// Allocations since the last restart: of the seam, and with operator new.
long allocations() {
    return alloc_seam::count + alloc_seam::news;
}

// Descriptions, identifiers, texts, numbers and blobs are read in place; find
// gives the first frame in list order.
TEST(CppLayer, WalkingATagAllocatesNothing) {
    LogCapture log;
    const kelid3::parse_result parsed = kelid3::parse(kTag.data(), uint32_t(kTag.size()));
    alloc_seam::fail_nth(0);
    const long before = allocations();
    size_t seen = 0;  // descriptions, the titles, the texts
    for (const kelid3::frame f : parsed->frames())
        for (const kelid3::field x : f.fields())
            seen += f.description().size() + (f.id() == "TIT2"_id) + x.text().size() + x.number() +
                    x.blob().size();
    const kelid3::frame title = parsed->find("TIT2"_id);
    EXPECT_EQ(allocations() - before, 0);
    EXPECT_EQ(seen, 2 * (34 + 1) + 12 + 1 + 1 + 5);
    EXPECT_EQ(title.fields().front().text(), "b");
}

// The owners release what they hold once (the live-block check finds a leak,
// the seam a double release); a parse hands over a null tag pointer, so no
// line tells of a leaked tag.
TEST(CppLayer, OwnersMoveAndReleaseOnce) {
    LogCapture log;
    kelid3::parse_result parsed = kelid3::parse(kTag.data(), uint32_t(kTag.size()));
    const kelid3::field genre = parsed->find("TCON"_id).fields().front();
    kelid3::iso8859_text text = genre.to_iso8859(), moved_text = std::move(text);
    EXPECT_FALSE(text);
    EXPECT_NE(text.c_str(), nullptr);
    EXPECT_EQ(moved_text.view(), "Caf\xE9");
    EXPECT_FALSE(parsed->find("TIT2"_id).fields().front().to_iso8859());  // used as stored
    kelid3::tag moved = std::move(parsed).value();
    kelid3::tag other = kelid3::parse(kTag.data(), uint32_t(kTag.size()), kWanted).value();
    EXPECT_FALSE(parsed->get());
    EXPECT_EQ(frames(other.get()), "TCON/6 s3'Caf<c3><a9>'");
    other = std::move(moved);  // releases the selected tag
    other.reset(other.release());
    EXPECT_FALSE(moved);
    EXPECT_EQ(log.text().find("*tag not NULL"), std::string::npos);
}

// The same parse and conversion through both faces, each logging into a
// capture of its own: the C++ one adds nothing.
TEST(CppLayer, AllocatesWhatTheCInterfaceAllocates) {
    const auto made = [](const auto &work) {
        LogCapture log;
        alloc_seam::fail_nth(0);
        const long before = alloc_seam::news;
        work();
        return std::pair{alloc_seam::count.load(), alloc_seam::news - before};
    };
    const auto c = made([] {
        id3_tag *tag = nullptr;
        kelid3_tag_parse(kTag.data(), uint32_t(kTag.size()), &tag, nullptr);
        std::free(kelid3_field_to_iso8859(tag->frames->next->fields));
        kelid3_tag_free(tag);
    });
    const auto cpp = made([] {
        const kelid3::parse_result parsed = kelid3::parse(kTag.data(), uint32_t(kTag.size()));
        (void)parsed->find("TCON"_id).fields().front().to_iso8859();
    });
    EXPECT_EQ(c.first, 8) << "a tag, three frames and fields, a text";
    EXPECT_EQ(cpp.first, c.first);
    EXPECT_EQ(cpp.second, c.second) << "blocks taken with operator new";
}

// Empty views answer empty, 0 or false; no string_view they give has a null data().
TEST(CppLayer, AbsentFramesFieldsAndNamesGiveEmptyValues) {
    LogCapture log;
    const kelid3::parse_result failed = kelid3::parse("ID3", 3);
    const kelid3::frame none = failed->find("TIT2"_id);
    const kelid3::field field = none.fields().front();
    EXPECT_FALSE(failed);
    EXPECT_EQ(failed.code(), KELID3_EINVAL);
    EXPECT_TRUE(failed->frames().empty());
    EXPECT_EQ(failed->version(), 0u);
    EXPECT_FALSE(none);
    EXPECT_EQ(none.id(), 0u);
    EXPECT_FALSE(field);
    EXPECT_FALSE(field.to_iso8859());
    EXPECT_EQ(field.number(), 0u);
    EXPECT_EQ(field.blob().size(), 0u);
    for (const std::string_view empty : {none.description(), field.text(), kelid3::genre_name(126),
                                         kelid3::description("WXXX"_id)}) {
        EXPECT_TRUE(empty.empty());
        EXPECT_NE(empty.data(), nullptr);
    }
    EXPECT_EQ(kelid3::genre_name(125), "Dance Hall");
    EXPECT_EQ(kelid3::query("TAG", 3), 128);
}

}  // namespace
