// English descriptions of the frame identifiers of the ID3v2.4 frame list.
#include "kelid3.h"
#include "tag/bytes.h"
#include "tag/sorted_table.h"

namespace kelid3 {
namespace {

struct Description {
    uint32_t key;
    const char *text;
};

// Every frame of the ID3v2.4 list but WXXX, sorted by packed identifier. Only
// read at compile time: the library keeps the packed form below.
constexpr Description kRows[] = {
    {fourcc("AENC"), "Audio encryption"},
    {fourcc("APIC"), "Attached picture"},
    {fourcc("ASPI"), "Audio seek point index"},
    {fourcc("COMM"), "Comments"},
    {fourcc("COMR"), "Commercial frame"},
    {fourcc("ENCR"), "Encryption method registration"},
    {fourcc("EQU2"), "Equalisation (2)"},
    {fourcc("ETCO"), "Event timing codes"},
    {fourcc("GEOB"), "General encapsulated object"},
    {fourcc("GRID"), "Group identification registration"},
    {fourcc("LINK"), "Linked information"},
    {fourcc("MCDI"), "Music CD identifier"},
    {fourcc("MLLT"), "MPEG location lookup table"},
    {fourcc("OWNE"), "Ownership frame"},
    {fourcc("PCNT"), "Play counter"},
    {fourcc("POPM"), "Popularimeter"},
    {fourcc("POSS"), "Position synchronisation frame"},
    {fourcc("PRIV"), "Private frame"},
    {fourcc("RBUF"), "Recommended buffer size"},
    {fourcc("RVA2"), "Relative volume adjustment (2)"},
    {fourcc("RVRB"), "Reverb"},
    {fourcc("SEEK"), "Seek frame"},
    {fourcc("SIGN"), "Signature frame"},
    {fourcc("SYLT"), "Synchronised lyric/text"},
    {fourcc("SYTC"), "Synchronised tempo codes"},
    {fourcc("TALB"), "Album/Movie/Show title"},
    {fourcc("TBPM"), "BPM (beats per minute)"},
    {fourcc("TCOM"), "Composer"},
    {fourcc("TCON"), "Content type"},
    {fourcc("TCOP"), "Copyright message"},
    {fourcc("TDEN"), "Encoding time"},
    {fourcc("TDLY"), "Playlist delay"},
    {fourcc("TDOR"), "Original release time"},
    {fourcc("TDRC"), "Recording time"},
    {fourcc("TDRL"), "Release time"},
    {fourcc("TDTG"), "Tagging time"},
    {fourcc("TENC"), "Encoded by"},
    {fourcc("TEXT"), "Lyricist/Text writer"},
    {fourcc("TFLT"), "File type"},
    {fourcc("TIPL"), "Involved people list"},
    {fourcc("TIT1"), "Content group description"},
    {fourcc("TIT2"), "Title/songname/content description"},
    {fourcc("TIT3"), "Subtitle/Description refinement"},
    {fourcc("TKEY"), "Initial key"},
    {fourcc("TLAN"), "Language(s)"},
    {fourcc("TLEN"), "Length"},
    {fourcc("TMCL"), "Musician credits list"},
    {fourcc("TMED"), "Media type"},
    {fourcc("TMOO"), "Mood"},
    {fourcc("TOAL"), "Original album/movie/show title"},
    {fourcc("TOFN"), "Original filename"},
    {fourcc("TOLY"), "Original lyricist(s)/text writer(s)"},
    {fourcc("TOPE"), "Original artist(s)/performer(s)"},
    {fourcc("TOWN"), "File owner/licensee"},
    {fourcc("TPE1"), "Lead performer(s)/Soloist(s)"},
    {fourcc("TPE2"), "Band/orchestra/accompaniment"},
    {fourcc("TPE3"), "Conductor/performer refinement"},
    {fourcc("TPE4"), "Interpreted, remixed, or otherwise modified by"},
    {fourcc("TPOS"), "Part of a set"},
    {fourcc("TPRO"), "Produced notice"},
    {fourcc("TPUB"), "Publisher"},
    {fourcc("TRCK"), "Track number/Position in set"},
    {fourcc("TRSN"), "Internet radio station name"},
    {fourcc("TRSO"), "Internet radio station owner"},
    {fourcc("TSOA"), "Album sort order"},
    {fourcc("TSOP"), "Performer sort order"},
    {fourcc("TSOT"), "Title sort order"},
    {fourcc("TSRC"), "ISRC (international standard recording code)"},
    {fourcc("TSSE"), "Software/Hardware and settings used for encoding"},
    {fourcc("TSST"), "Set subtitle"},
    {fourcc("TXXX"), "User defined text information frame"},
    {fourcc("UFID"), "Unique file identifier"},
    {fourcc("USER"), "Terms of use"},
    {fourcc("USLT"), "Unsynchronised lyric/text transcription"},
    {fourcc("WCOM"), "Commercial information"},
    {fourcc("WCOP"), "Copyright/Legal information"},
    {fourcc("WOAF"), "Official audio file webpage"},
    {fourcc("WOAR"), "Official artist/performer webpage"},
    {fourcc("WOAS"), "Official audio source webpage"},
    {fourcc("WORS"), "Official Internet radio station homepage"},
    {fourcc("WPAY"), "Payment"},
    {fourcc("WPUB"), "Publishers official webpage"},
};
constexpr size_t kCount = sizeof kRows / sizeof kRows[0];
static_assert(kCount == 82, "82 descriptions");
static_assert(keys_ascending(kRows), "sorted by identifier, no duplicates");

// The rows split into a sorted key array and one block of texts.
struct Key {
    uint32_t key;
};

struct Keys {
    Key key[kCount];
};

constexpr Keys keys_of() {
    Keys keys{};
    for (size_t i = 0; i < kCount; ++i) keys.key[i].key = kRows[i].key;
    return keys;
}

struct Texts {
    const char *text[kCount];
};

constexpr Texts texts_of() {
    Texts texts{};
    for (size_t i = 0; i < kCount; ++i) texts.text[i] = kRows[i].text;
    return texts;
}

constexpr Keys kKeys = keys_of();
constexpr auto kTexts = pack_strings<packed_bytes(texts_of().text)>(texts_of().text);

}  // namespace
}  // namespace kelid3

extern "C" const char *kelid3_field_description(uint32_t id) {
    using namespace kelid3;
    const Key *row = find_row(kKeys.key, id);
    return row != nullptr ? kTexts[static_cast<size_t>(row - kKeys.key)] : nullptr;
}
