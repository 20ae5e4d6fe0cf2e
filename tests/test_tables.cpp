// SPDX-License-Identifier: MIT
// The lookup tables whole, as callers meet them: every genre name, every frame
// description, and what a tag gives for every ID3v2.2 identifier and every
// ID3v2.4 one starting with T (the translations, the frames decoded, passed
// over or unknown). A digest of each rendering pins every entry; a failure
// prints the rendering.
#include "support/records.h"

namespace {

uint64_t digest(const std::string &s) {
    uint64_t h = 14695981039346656037u;  // FNV-1a
    for (const char c : s) h = (h ^ uint8_t(c)) * 1099511628211u;
    return h;
}

// The frames a tag of these frames gives, and its lines that name frames.
std::string outcome(const Bytes &frames, uint8_t version) {
    LogCapture log;
    const Bytes tag = V2Tag(version).raw(frames).build();
    std::string out = show(kelid3::parse(tag.data(), uint32_t(tag.size()))->get()) + "\n", line;
    for (std::istringstream in(log.text()); std::getline(in, line);)
        if (line.find(" INFO: ") != std::string::npos) out += line.substr(line.find(" INFO: ")) + "\n";
    return out;
}

TEST(Tables, EveryGenreDescriptionTranslationAndFrameClassAsPublished) {
    const std::string chars = "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    std::string genres, described;
    Bytes v22, v24 = V2Tag(4).text("WXXX", 0, "x").text("EQUA", 0, "x").text("PCST", 0, "x").text("ZZZZ", 0, "x").body;
    const auto add = [](Bytes &to, const Bytes &frame) { to.insert(to.end(), frame.begin(), frame.end()); };
    for (uint32_t g = 0; const char *name = kelid3_genre_description(g); ++g) genres += name + "|"s;
    for (const char a : chars)
        for (const char b : chars)
            for (const char c : chars) {
                add(v22, V2Tag(2).text({a, b, c}, 0, "x").body);
                for (const char d : chars) {
                    const char *text = kelid3_field_description(id({a, b, c, d}));
                    if (text != nullptr) described += std::string{a, b, c, d} + " " + text + "|";
                    if (text != nullptr || a == 'T') add(v24, V2Tag(4).text({a, b, c, d}, 0, "x").body);
                }
            }
    const std::string renderings[] = {genres, described, outcome(v22, 2), outcome(v24, 4)};
    const uint64_t pinned[] = {0x07b687cf995b84d5, 0x19d2f7561fc96337, 0xb12472b8157a274a, 0x8116b9b13abda22c};
    for (int i = 0; i < 4; ++i) EXPECT_EQ(digest(renderings[i]), pinned[i]) << renderings[i];
}

}  // namespace
