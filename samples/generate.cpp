// SPDX-License-Identifier: MIT
// Writes the bundled sample files: small tags of every kind in front of (or
// behind) one second of silent MPEG audio. Run: generate <output-directory>.
#include <cstdio>
#include <string>

#include "support/id3_writer.h"

namespace {

// A 1x1 PNG image.
const Bytes kPng = {0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A, 0x00, 0x00, 0x00, 0x0D,
                    0x49, 0x48, 0x44, 0x52, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x01,
                    0x08, 0x06, 0x00, 0x00, 0x00, 0x1F, 0x15, 0xC4, 0x89, 0x00, 0x00, 0x00,
                    0x0D, 0x49, 0x44, 0x41, 0x54, 0x78, 0x9C, 0x63, 0xF8, 0xCF, 0xC0, 0xF0,
                    0x1F, 0x00, 0x05, 0x00, 0x01, 0xFF, 0x89, 0x99, 0x3D, 0x1D, 0x00, 0x00,
                    0x00, 0x00, 0x49, 0x45, 0x4E, 0x44, 0xAE, 0x42, 0x60, 0x82};

// One second of silence: 38 MPEG-1 Layer III frames (128 kbit/s, 44.1 kHz,
// mono) of 417 bytes whose side information and main data are all zero.
Bytes silence() {
    Bytes out;
    for (int i = 0; i < 38; ++i) out = out + Bytes{0xFF, 0xFB, 0x90, 0xC4} + fill(413);
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
    // PIC: encoding, image format, type, description, data.
    const Bytes pic = Bytes{0} + bytes("PNG") + Bytes{3} + bytes("cover") + Bytes{0} + kPng;
    struct Sample {
        const char *name;
        Bytes head, tail;
    };
    const Sample samples[] = {
        {"id3v1.mp3", {}, V1Tag{"Silence", "kelid3", "Samples", "2026", "ID3v1.1", 1, 12}.build()},
        {"id3v22.mp3",
         V2Tag(2)
             .text("TT2", 0, "Silence")
             .text("TP1", 0, "kelid3")
             .text("TRK", 0, "2")
             .frame("PIC", pic)
             .padding(64)
             .build(),
         {}},
        {"id3v23-picture.mp3",
         V2Tag(3)
             .frame("TIT2", Bytes{1} + utf16_bom(u"Silence\u00e9"))
             .text("TPE1", 0, "kelid3")
             .text("TALB", 0, "Samples")
             .frame("APIC", apic(0, "image/png", 3, bytes("cover") + Bytes{0}, kPng))
             .padding(256)
             .build(),
         {}},
        {"id3v24-utf8.mp3",
         V2Tag(4)
             .text("TIT2", 3, "Stille \xC3\xA9t\xC3\xA9 \xE2\x82\xAC")
             .frame("TPE1", Bytes{1} + utf16_bom(u"kelid3"))
             .text("TXXX", 3, std::string("mood\0calm", 9))
             .text("TCON", 3, "Other")
             .padding(128)
             .build(),
         {}},
        {"id3v1-and-v23.mp3",
         V2Tag(3).text("TIT2", 0, "Both tags").text("TPE1", 0, "kelid3").padding(32).build(),
         V1Tag{"Both tags", "kelid3", "Samples", "2026", "", 5, 13}.build()},
    };
    const Bytes audio = silence();
    for (const Sample &s : samples) {
        if (!write(dir + "/" + s.name, s.head + audio + s.tail)) {
            std::perror(s.name);
            return 1;
        }
    }
    return 0;
}
