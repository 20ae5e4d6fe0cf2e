// SPDX-License-Identifier: MIT
// The seven tags, written with the project's tag writer (tests/support).
#include "bench/tags.h"

#include <cstddef>

#include "support/id3_writer.h"

namespace bench {
namespace {

constexpr uint8_t kLatin1 = 0;
constexpr uint8_t kUtf16 = 1;
constexpr uint8_t kUtf8 = 3;
constexpr uint8_t kFrontCover = 3;

// Image-like bytes: a JPEG start and end around reproducible noise.
Bytes jpeg(size_t size) {
    Bytes out{0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x10, 'J', 'F', 'I', 'F', 0};
    uint32_t x = 2463534242u;
    while (out.size() + 2 < size) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        out.push_back(uint8_t(x));
    }
    out.push_back(0xFF);
    out.push_back(0xD9);
    return out;
}

Bytes v23_text_jpeg() {
    const std::pair<const char *, std::u16string> texts[] = {
        {"TIT2", u"Piano Concerto No. 2 in C minor, Op. 18: II. Adagio sostenuto"},
        {"TPE1", u"Sergei Rachmaninoff"},
        {"TPE2", u"Berliner Philharmoniker"},
        {"TALB", u"Piano Concertos Nos. 2 & 3 \u2014 Rhapsody on a Theme of Paganini"},
        {"TCOM", u"Sergei Rachmaninoff"},
        {"TCON", u"Classical"},
        {"TPE3", u"Herbert von Karajan"},
        {"TPUB", u"Deutsche Grammophon"},
        {"TENC", u"Exact Audio Copy (secure mode)"},
    };
    V2Tag tag(3);
    for (const auto &[frame, text] : texts) tag.frame(frame, Bytes{kUtf16} + utf16_bom(text));
    tag.text("TRCK", kLatin1, "2/6").text("TPOS", kLatin1, "1/1").text("TYER", kLatin1, "1998");
    tag.frame("APIC", apic(kLatin1, "image/jpeg", kFrontCover, Bytes{0}, jpeg(30 * 1024)));
    return tag.build();
}

Bytes v24_utf8() {
    const char *const texts[][2] = {
        {"TIT2", "J\xC3\xB3ga"},
        {"TPE1", "Bj\xC3\xB6rk"},
        {"TPE2", "Bj\xC3\xB6rk"},
        {"TALB", "Homog\xC3\xA9nic"},
        {"TCOM", "Bj\xC3\xB6rk Gu\xC3\xB0mundsd\xC3\xB3ttir, Sj\xC3\xB3n"},
        {"TCON", "Electronic"},
        {"TRCK", "3/10"},
        {"TPOS", "1/1"},
        {"TPUB", "One Little Indian"},
        {"TSRC", "GBAJY9700032"},
        {"TENC", "LAME 3.100"},
        {"TMOO",
         "Stra\xC3\x9F"
         "e, Ebene, Vulkan"},
    };
    V2Tag tag(4);
    for (const auto &t : texts) tag.text(t[0], kUtf8, t[1]);
    return tag.build();
}

Bytes v23_txxx200() {
    V2Tag tag(3);
    for (int i = 0; i < 200; ++i) {
        std::string content = "Custom property " + std::to_string(i);
        content.push_back('\0');
        content += "value " + std::to_string(i * 7919) + " 0123456789abcdef0123456789abcdef";
        tag.text("TXXX", kLatin1, content);
    }
    return tag.build();
}

Bytes v24_picture_490k() {
    return V2Tag(4)
        .frame("APIC", apic(kLatin1, "image/jpeg", kFrontCover,
                            bytes(std::string("Cover (front)", 14)), jpeg(490 * 1024)))
        .build();
}

Bytes v22_text_pic() {
    V2Tag tag(2);
    tag.text("TT2", kLatin1, "Blue in Green").text("TP1", kLatin1, "Miles Davis");
    tag.frame("TAL", Bytes{kUtf16} + utf16_bom(u"Kind of Blue"));
    tag.text("TYE", kLatin1, "1959").text("TCO", kLatin1, "(8)Jazz").text("TRK", kLatin1, "3/5");
    // Encoding, image format, picture type, empty description, data.
    tag.frame("PIC", Bytes{kLatin1} + bytes("JPG") + Bytes{kFrontCover, 0} + jpeg(8 * 1024));
    return tag.build();
}

// What a current tagger writes: UTF-8 texts, the year as TDRC, sort orders,
// a comment, lyrics, user texts, a URL and a cover; frames that only the
// complete reader decodes among them.
Bytes v24_tagger() {
    const char *const texts[][2] = {
        {"TIT2", "Ne me quitte pas"},
        {"TPE1", "Nina Simone"},
        {"TALB", "I Put a Spell on You"},
        {"TDRC", "1965-06"},
        {"TCON", "Jazz"},
        {"TRCK", "9/12"},
        {"TPOS", "1/1"},
        {"TSOP", "Simone, Nina"},
        {"TSOA", "I Put a Spell on You"},
        {"TCOP", "\xE2\x84\x97 1965 Philips"},
        {"TSSE", "LAME 3.100 -V 0"},
        {"TKEY", "Cm"},
    };
    V2Tag tag(4);
    for (const auto &t : texts) tag.text(t[0], kUtf8, t[1]);
    const char *const users[][2] = {
        {"REPLAYGAIN_TRACK_GAIN", "-3.21 dB"},
        {"REPLAYGAIN_TRACK_PEAK", "0.988"},
        {"MusicBrainz Album Id", "5b8c3a2e-9e0c-4f5a-8f0e-3c1a2b4d6e7f"}};
    for (const auto &u : users)
        tag.frame("TXXX", Bytes{kUtf8} + bytes(u[0]) + Bytes{0} + bytes(u[1]));
    tag.frame("COMM", Bytes{kUtf8} + bytes("eng") + Bytes{0} + bytes("Remastered 2006"));
    std::string lyrics = "eng";
    lyrics.push_back('\0');
    for (int verse = 0; verse < 24; ++verse)
        lyrics += "Ne me quitte pas, il faut oublier, tout peut s'oublier\n";
    tag.frame("USLT", Bytes{kUtf8} + bytes(lyrics));
    tag.frame("WOAR", bytes("https://en.wikipedia.org/wiki/Nina_Simone"));
    tag.frame("APIC", apic(kLatin1, "image/jpeg", kFrontCover, Bytes{0}, jpeg(20 * 1024)));
    return tag.padding(1024).build();
}

Bytes v11() {
    return V1Tag{"So What", "Miles Davis", "Kind of Blue", "1959", "Remastered", 1, 8}.build();
}

}  // namespace

std::vector<SampleTag> sample_tags() {
    return {
        {"v23_text_jpeg", v23_text_jpeg(), true}, {"v24_utf8", v24_utf8(), true},
        {"v23_txxx200", v23_txxx200(), true},     {"v24_picture_490k", v24_picture_490k(), false},
        {"v22_text_pic", v22_text_pic(), true},   {"v11", v11(), true},
        {"v24_tagger", v24_tagger(), true},
    };
}

}  // namespace bench
