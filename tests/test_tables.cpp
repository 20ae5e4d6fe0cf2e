// SPDX-License-Identifier: MIT
// The lookup tables whole, as callers meet them, against the golden files in
// tests/golden, which are the published tables of the ID3 formats written out
// by hand, one entry a line: every genre name, every frame description, every
// ID3v2.2 identifier that is translated, and every frame that is decoded or
// passed over (every other frame is unknown).
#include <algorithm>
#include <fstream>
#include <set>

#include "support/records.h"

namespace {

const std::string kChars = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ";  // in ascending order

// Compares the lines with those of the golden file; a failure names the first
// line that differs and shows both.
void expect_golden(const std::string &name, const Lines &lines) {
    std::ifstream in(KELID3_GOLDEN_DIR "/" + name);
    const Lines golden = split(std::string(std::istreambuf_iterator<char>(in), {}));
    ASSERT_FALSE(golden.empty()) << "no golden file " << name;
    const auto [want, got] =
        std::mismatch(golden.begin(), golden.end(), lines.begin(), lines.end());
    if (want == golden.end() && got == lines.end()) return;
    ADD_FAILURE() << "tests/golden/" << name << " differs first at line "
                  << want - golden.begin() + 1
                  << "\n  golden: " << (want != golden.end() ? *want : "(ends)")
                  << "\n  found:  " << (got != lines.end() ? *got : "(ends)");
}

// The identifiers of `length` characters, in ascending order.
std::vector<std::string> identifiers(size_t length) {
    std::vector<std::string> out = {""};
    for (std::vector<std::string> shorter; out[0].size() < length; shorter.clear()) {
        shorter.swap(out);
        for (const std::string &s : shorter)
            for (const char c : kChars) out.push_back(s + c);
    }
    return out;
}

// A tag of the version with a frame of each identifier, parsed; its log.
std::pair<kelid3::tag, std::string> outcome(uint8_t version, const std::vector<std::string> &ids) {
    V2Tag tag(version);
    for (const std::string &id : ids) tag.frame(id, apic(0, "m", 3, bytes("d\0"s), {'x'}));
    const Bytes b = tag.build();
    LogCapture log;
    kelid3::tag parsed = kelid3::parse(b.data(), uint32_t(b.size())).value();
    return {std::move(parsed), log.text()};
}

TEST(Tables, GenreNamesAreThePublishedOnes) {
    Lines genres;
    for (uint32_t g = 0; const char *name = kelid3_genre_description(g); ++g)
        genres.push_back(std::to_string(g) + " " + name);
    expect_golden("genres", genres);
}

TEST(Tables, FrameDescriptionsAreThoseOfTheID3v24FrameList) {
    Lines described;
    for (const std::string &id : identifiers(4))
        if (const char *text = kelid3_field_description(kelid3::make_id(id)))
            described.push_back(id + " " + text);
    expect_golden("descriptions", described);
}

// Each frame's trace line names it as translated ("\0" and the three
// characters when it is not).
TEST(Tables, ID3v22IdentifiersAreTranslatedByThePublishedTable) {
    const std::vector<std::string> ids = identifiers(3);
    Lines translated;
    auto id = ids.begin();
    for (const std::string &line : split(outcome(2, ids).second)) {
        const size_t at = line.find("] TRACE: frame: ");
        if (at == std::string::npos) continue;
        if (line.substr(at + 16, 4) != '\0' + *id)
            translated.push_back(*id + " " + line.substr(at + 16, 4));
        ++id;
    }
    EXPECT_EQ(size_t(id - ids.begin()), ids.size()) << "frames scanned";
    expect_golden("v22_translations", translated);
}

// Probed: every identifier of a description or starting with T or W in an
// ID3v2.4 tag, and every ID3v2.2 identifier as translated. A text frame has
// one field, a picture three; a frame passed over gives a line that it is
// skipped ("..., TIT2. Skipping it."), an unknown one first a line that says
// so ("Unknown frame: 54494d45, TIME").
TEST(Tables, FramesAreDecodedPassedOverOrUnknownByTheirClass) {
    std::set<std::string> probed, classes, unknown;
    for (const std::string &id : identifiers(4))
        if (id[0] == 'T' || id[0] == 'W' || kelid3_field_description(kelid3::make_id(id)))
            probed.insert(id);
    const auto classify = [&](const std::pair<kelid3::tag, std::string> &tag) {
        for (const id3_frame *f = tag.first.get()->frames; f; f = f->next)
            classes.insert(kelid3::id_string(f->id).c_str() +
                           (f->fields->next ? " picture"s : " text"));
        for (const std::string &line : split(tag.second)) {
            const size_t at = line.find(", ") + 2;
            if (line.find("INFO: Unknown frame: ") != std::string::npos)
                unknown.insert(line.substr(at, 4));
            if (line.find(". Skipping it.") == std::string::npos ||
                unknown.contains(line.substr(at, 4)))
                continue;
            classes.insert(line.substr(at, 4) + " passed over");
        }
    };
    classify(outcome(4, {probed.begin(), probed.end()}));
    classify(outcome(2, identifiers(3)));
    expect_golden("frame_classes", {classes.begin(), classes.end()});
}

}  // namespace
