// SPDX-License-Identifier: MIT
// The table of known ID3v2 frames: identifier, how the frame is decoded, and
// the description of the ID3v2.4 frame list (all but WXXX).
#include "v2/frame_table.h"

#include "tag/bytes.h"
#include "tag/sorted_table.h"

namespace kelid3::detail {
namespace {

struct Row {
    uint32_t key;
    FrameClass kind;
    const char *text;  // null: no ID3v2.4 description
};

constexpr FrameClass T = FrameClass::kText;
constexpr FrameClass P = FrameClass::kPicture;
constexpr FrameClass K = FrameClass::kKnown;

// Sorted by packed identifier. Only read at compile time: the library keeps
// the split form below.
constexpr Row kRows[] = {
    {fourcc("AENC"), K, "Audio encryption"},
    {fourcc("APIC"), P, "Attached picture"},
    {fourcc("ASPI"), K, "Audio seek point index"},
    {fourcc("COMM"), K, "Comments"},
    {fourcc("COMR"), K, "Commercial frame"},
    {fourcc("ENCR"), K, "Encryption method registration"},
    {fourcc("EQU2"), K, "Equalisation (2)"},
    {fourcc("ETCO"), K, "Event timing codes"},
    {fourcc("GEOB"), K, "General encapsulated object"},
    {fourcc("GRID"), K, "Group identification registration"},
    {fourcc("LINK"), K, "Linked information"},
    {fourcc("MCDI"), K, "Music CD identifier"},
    {fourcc("MLLT"), K, "MPEG location lookup table"},
    {fourcc("OWNE"), K, "Ownership frame"},
    {fourcc("PCNT"), K, "Play counter"},
    {fourcc("POPM"), K, "Popularimeter"},
    {fourcc("POSS"), K, "Position synchronisation frame"},
    {fourcc("PRIV"), K, "Private frame"},
    {fourcc("RBUF"), K, "Recommended buffer size"},
    {fourcc("RVA2"), K, "Relative volume adjustment (2)"},
    {fourcc("RVRB"), K, "Reverb"},
    {fourcc("SEEK"), K, "Seek frame"},
    {fourcc("SIGN"), K, "Signature frame"},
    {fourcc("SYLT"), K, "Synchronised lyric/text"},
    {fourcc("SYTC"), K, "Synchronised tempo codes"},
    {fourcc("TALB"), T, "Album/Movie/Show title"},
    {fourcc("TBPM"), T, "BPM (beats per minute)"},
    {fourcc("TCOM"), T, "Composer"},
    {fourcc("TCON"), T, "Content type"},
    {fourcc("TCOP"), K, "Copyright message"},
    {fourcc("TDAT"), T, nullptr},
    {fourcc("TDEN"), K, "Encoding time"},
    {fourcc("TDLY"), K, "Playlist delay"},
    {fourcc("TDOR"), K, "Original release time"},
    {fourcc("TDRC"), K, "Recording time"},
    {fourcc("TDRL"), K, "Release time"},
    {fourcc("TDTG"), K, "Tagging time"},
    {fourcc("TENC"), T, "Encoded by"},
    {fourcc("TEXT"), T, "Lyricist/Text writer"},
    {fourcc("TFLT"), K, "File type"},
    {fourcc("TIPL"), T, "Involved people list"},
    {fourcc("TIT1"), T, "Content group description"},
    {fourcc("TIT2"), T, "Title/songname/content description"},
    {fourcc("TIT3"), T, "Subtitle/Description refinement"},
    {fourcc("TKEY"), K, "Initial key"},
    {fourcc("TLAN"), K, "Language(s)"},
    {fourcc("TLEN"), T, "Length"},
    {fourcc("TMCL"), T, "Musician credits list"},
    {fourcc("TMED"), K, "Media type"},
    {fourcc("TMOO"), T, "Mood"},
    {fourcc("TOAL"), T, "Original album/movie/show title"},
    {fourcc("TOFN"), K, "Original filename"},
    {fourcc("TOLY"), T, "Original lyricist(s)/text writer(s)"},
    {fourcc("TOPE"), T, "Original artist(s)/performer(s)"},
    {fourcc("TORY"), T, nullptr},
    {fourcc("TOWN"), K, "File owner/licensee"},
    {fourcc("TPE1"), T, "Lead performer(s)/Soloist(s)"},
    {fourcc("TPE2"), T, "Band/orchestra/accompaniment"},
    {fourcc("TPE3"), T, "Conductor/performer refinement"},
    {fourcc("TPE4"), T, "Interpreted, remixed, or otherwise modified by"},
    {fourcc("TPOS"), T, "Part of a set"},
    {fourcc("TPRO"), T, "Produced notice"},
    {fourcc("TPUB"), T, "Publisher"},
    {fourcc("TRCK"), T, "Track number/Position in set"},
    {fourcc("TRDA"), T, nullptr},
    {fourcc("TRSN"), T, "Internet radio station name"},
    {fourcc("TRSO"), T, "Internet radio station owner"},
    {fourcc("TSOA"), K, "Album sort order"},
    {fourcc("TSOP"), K, "Performer sort order"},
    {fourcc("TSOT"), K, "Title sort order"},
    {fourcc("TSRC"), T, "ISRC (international standard recording code)"},
    {fourcc("TSSE"), K, "Software/Hardware and settings used for encoding"},
    {fourcc("TSST"), T, "Set subtitle"},
    {fourcc("TXXX"), T, "User defined text information frame"},
    {fourcc("TYER"), T, nullptr},
    {fourcc("UFID"), K, "Unique file identifier"},
    {fourcc("USER"), K, "Terms of use"},
    {fourcc("USLT"), K, "Unsynchronised lyric/text transcription"},
    {fourcc("WCOM"), K, "Commercial information"},
    {fourcc("WCOP"), K, "Copyright/Legal information"},
    {fourcc("WOAF"), K, "Official audio file webpage"},
    {fourcc("WOAR"), K, "Official artist/performer webpage"},
    {fourcc("WOAS"), K, "Official audio source webpage"},
    {fourcc("WORS"), K, "Official Internet radio station homepage"},
    {fourcc("WPAY"), K, "Payment"},
    {fourcc("WPUB"), K, "Publishers official webpage"},
    {fourcc("WXXX"), K, nullptr},
};
constexpr size_t kCount = sizeof kRows / sizeof kRows[0];
static_assert(keys_ascending(kRows), "sorted by identifier, no duplicates");

constexpr size_t count_of(FrameClass kind) {
    size_t n = 0;
    for (const Row &row : kRows) n += row.kind == kind;
    return n;
}
constexpr size_t described() {
    size_t n = 0;
    for (const Row &row : kRows) n += row.text != nullptr;
    return n;
}
static_assert(count_of(T) == 33, "33 text frames");
static_assert(count_of(P) == 1, "one picture frame");
static_assert(count_of(K) == 53, "53 frames recognised, not decoded");
static_assert(described() == 82, "82 descriptions: the ID3v2.4 list but WXXX");

// The rows split into identifiers, classes and one block of texts, each
// found by row number.
struct Key {
    uint32_t key;
};
struct Frames {
    Key key[kCount];
    FrameClass kind[kCount];
};

constexpr Frames frames_of() {
    Frames out{};
    for (size_t i = 0; i < kCount; ++i) out.key[i] = {kRows[i].key}, out.kind[i] = kRows[i].kind;
    return out;
}

struct Texts {
    const char *text[kCount];
};

constexpr Texts texts_of() {
    Texts out{};
    for (size_t i = 0; i < kCount; ++i) out.text[i] = kRows[i].text;
    return out;
}

constexpr Frames kFrames = frames_of();
constexpr auto kTexts = pack_strings<packed_bytes(texts_of().text)>(texts_of().text);
// Every frame is classified through this index, found at most three slots
// from home.
constexpr auto kIndex = index_keys<256>(kFrames.key);
static_assert(index_finds_all(kFrames.key, kIndex, 3), "every row within three slots");

}  // namespace

FrameRow find_frame(uint32_t id) {
    const Key *key = find_row(kFrames.key, kIndex, id);
    if (key == nullptr) return {kNoFrame, FrameClass::kKnown};
    const auto row = static_cast<uint32_t>(key - kFrames.key);
    return {row, kFrames.kind[row]};
}

const char *frame_description(uint32_t row) {
    return kTexts[row];
}

}  // namespace kelid3::detail
