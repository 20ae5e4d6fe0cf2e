// Writes the bundled sample files: small tags of every kind in front of (or
// behind) one second of silent MPEG audio. Run: generate <output-directory>.
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

void append(Bytes &out, const Bytes &more) {
    out.insert(out.end(), more.begin(), more.end());
}
void append(Bytes &out, const std::string &text) {
    out.insert(out.end(), text.begin(), text.end());
}

Bytes be32(uint32_t v) {
    return {uint8_t(v >> 24), uint8_t(v >> 16), uint8_t(v >> 8), uint8_t(v)};
}
Bytes syncsafe(uint32_t v) {
    return {uint8_t(v >> 21 & 0x7F), uint8_t(v >> 14 & 0x7F), uint8_t(v >> 7 & 0x7F),
            uint8_t(v & 0x7F)};
}

// One frame in the layout of ID3v2.`major`.
Bytes frame(int major, const std::string &id, const Bytes &content) {
    Bytes out;
    append(out, id);
    const auto size = static_cast<uint32_t>(content.size());
    if (major == 2) {
        append(out, Bytes{uint8_t(size >> 16), uint8_t(size >> 8), uint8_t(size)});
    } else {
        append(out, major == 4 ? syncsafe(size) : be32(size));
        append(out, Bytes{0, 0});
    }
    append(out, content);
    return out;
}

Bytes text(uint8_t encoding, const Bytes &value) {
    Bytes out{encoding};
    append(out, value);
    return out;
}
Bytes latin1(const std::string &s) {
    return Bytes(s.begin(), s.end());
}

// UTF-16 with a little-endian byte-order mark, from UTF-16 code units.
Bytes utf16(const std::vector<uint16_t> &units) {
    Bytes out{0xFF, 0xFE};
    for (uint16_t u : units) append(out, Bytes{uint8_t(u), uint8_t(u >> 8)});
    return out;
}

// A 1x1 PNG image.
const Bytes kPng = {0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A, 0x00, 0x00, 0x00, 0x0D,
                    0x49, 0x48, 0x44, 0x52, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x01,
                    0x08, 0x06, 0x00, 0x00, 0x00, 0x1F, 0x15, 0xC4, 0x89, 0x00, 0x00, 0x00,
                    0x0D, 0x49, 0x44, 0x41, 0x54, 0x78, 0x9C, 0x63, 0xF8, 0xCF, 0xC0, 0xF0,
                    0x1F, 0x00, 0x05, 0x00, 0x01, 0xFF, 0x89, 0x99, 0x3D, 0x1D, 0x00, 0x00,
                    0x00, 0x00, 0x49, 0x45, 0x4E, 0x44, 0xAE, 0x42, 0x60, 0x82};

Bytes tag_v2(int major, const std::vector<Bytes> &frames, uint32_t padding) {
    Bytes body;
    for (const Bytes &f : frames) append(body, f);
    body.resize(body.size() + padding, 0);
    Bytes out;
    append(out, "ID3");
    append(out, Bytes{uint8_t(major), 0, 0});
    append(out, syncsafe(static_cast<uint32_t>(body.size())));
    append(out, body);
    return out;
}

Bytes fixed(const std::string &s, size_t width) {
    Bytes out(s.begin(), s.end());
    out.resize(width, 0);
    return out;
}

// ID3v1.1: title, artist, album, year, 28-byte comment, zero, track, genre.
Bytes tag_v1(const std::string &title, const std::string &artist, const std::string &album,
             const std::string &year, const std::string &comment, uint8_t track, uint8_t genre) {
    Bytes out;
    append(out, "TAG");
    append(out, fixed(title, 30));
    append(out, fixed(artist, 30));
    append(out, fixed(album, 30));
    append(out, fixed(year, 4));
    append(out, fixed(comment, 28));
    append(out, Bytes{0, track, genre});
    return out;
}

// One second of silence: 38 MPEG-1 Layer III frames (128 kbit/s, 44.1 kHz,
// mono) of 417 bytes whose side information and main data are all zero.
Bytes silence() {
    Bytes out;
    for (int i = 0; i < 38; ++i) {
        append(out, Bytes{0xFF, 0xFB, 0x90, 0xC4});
        out.resize(out.size() + 413, 0);
    }
    return out;
}

bool write(const std::string &path, const Bytes &data) {
    FILE *f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) return false;
    const bool ok = std::fwrite(data.data(), 1, data.size(), f) == data.size();
    return std::fclose(f) == 0 && ok;
}

}  // namespace

int main(int argc, char **argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT-DIRECTORY\n", argv[0]);
        return 2;
    }
    const std::string dir = argv[1];
    const Bytes audio = silence();
    struct Sample {
        const char *name;
        Bytes head, tail;
    };
    Bytes picture{0};  // APIC: encoding, MIME type, type, description, data
    append(picture, "image/png");
    append(picture, Bytes{0, 3});
    append(picture, "cover");
    append(picture, Bytes{0});
    append(picture, kPng);
    Bytes pic_v22{0};  // PIC: encoding, image format, type, description, data
    append(pic_v22, "PNG");
    append(pic_v22, Bytes{3});
    append(pic_v22, "cover");
    append(pic_v22, Bytes{0});
    append(pic_v22, kPng);

    const Sample samples[] = {
        {"id3v1.mp3", {}, tag_v1("Silence", "kelid3", "Samples", "2026", "ID3v1.1", 1, 12)},
        {"id3v22.mp3",
         tag_v2(2,
                {frame(2, "TT2", text(0, latin1("Silence"))),
                 frame(2, "TP1", text(0, latin1("kelid3"))), frame(2, "TRK", text(0, latin1("2"))),
                 frame(2, "PIC", pic_v22)},
                64),
         {}},
        {"id3v23-picture.mp3",
         tag_v2(3,
                {frame(3, "TIT2", text(1, utf16({'S', 'i', 'l', 'e', 'n', 'c', 'e', 0xE9}))),
                 frame(3, "TPE1", text(0, latin1("kelid3"))),
                 frame(3, "TALB", text(0, latin1("Samples"))), frame(3, "APIC", picture)},
                256),
         {}},
        {"id3v24-utf8.mp3",
         tag_v2(4,
                {frame(4, "TIT2", text(3, latin1("Stille \xC3\xA9t\xC3\xA9 \xE2\x82\xAC"))),
                 frame(4, "TPE1", text(1, utf16({'k', 'e', 'l', 'i', 'd', '3'}))),
                 frame(4, "TXXX", text(3, latin1(std::string("mood\0calm", 9)))),
                 frame(4, "TCON", text(3, latin1("Other")))},
                128),
         {}},
        {"id3v1-and-v23.mp3",
         tag_v2(3,
                {frame(3, "TIT2", text(0, latin1("Both tags"))),
                 frame(3, "TPE1", text(0, latin1("kelid3")))},
                32),
         tag_v1("Both tags", "kelid3", "Samples", "2026", "", 5, 13)},
    };
    for (const Sample &s : samples) {
        Bytes file = s.head;
        append(file, audio);
        append(file, s.tail);
        if (!write(dir + "/" + s.name, file)) {
            std::perror(s.name);
            return 1;
        }
    }
    return 0;
}
