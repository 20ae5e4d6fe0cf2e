// Built with -fno-exceptions -fno-rtti against an installed kelid3.hpp: every
// part of the C++ layer, on a tag made here. Exits 0 when all agree.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <kelid3.hpp>
#include <string_view>
#include <utility>

#if defined(__cpp_exceptions) || defined(__EXCEPTIONS)
#error "build this file with -fno-exceptions"
#endif
#if defined(__cpp_rtti) || defined(__GXX_RTTI)
#error "build this file with -fno-rtti"
#endif

using namespace kelid3::literals;

static_assert("TIT2"_id == 0x54495432u, "identifiers are constants");
static_assert(kelid3::id_string("APIC"_id).view() == "APIC", "and so are their characters");

namespace {

int failures = 0;

void check(bool ok, const char *what) {
    if (!ok) {
        std::fprintf(stderr, "failed: %s\n", what);
        ++failures;
    }
}

// An ID3v2.3 tag: TIT2 in ISO-8859-1, TPE1 in UTF-8, an APIC with 4 bytes.
// clang-format off
const unsigned char kTag[] = {
    'I', 'D', '3', 3, 0, 0, 0, 0, 0, 60,                           // header: 60 bytes follow
    'T', 'I', 'T', '2', 0, 0, 0, 5, 0, 0, 0, 'C', 'a', 'f', 0xE9,  // 15
    'T', 'P', 'E', '1', 0, 0, 0, 3, 0, 0, 3, 0xC3, 0xA9,           // 13
    'A', 'P', 'I', 'C', 0, 0, 0, 22, 0, 0,                         // 10 + 22
    0, 'i', 'm', 'a', 'g', 'e', '/', 'p', 'n', 'g', 0, 3, 'c', 'o', 'v', 'e', 'r', 0,
    0x89, 'P', 'N', 'G'};
// clang-format on

}  // namespace

int main() {
    static constexpr std::uint32_t wanted[] = {"TIT2"_id, "TPE1"_id, "APIC"_id, 0};
    kelid3::parse_result parsed = kelid3::parse(kTag, sizeof kTag, wanted);
    check(parsed.has_value() && parsed.code() > 0, "parse");
    kelid3::tag tag = std::move(parsed).value();
    check(!parsed->get() && tag.version() == KELID3_VERSION_V2(3u, 0u), "moved out");

    int frames = 0;
    for (const kelid3::frame frame : tag.frames()) {
        ++frames;
        for (const kelid3::field field : frame.fields()) {
            switch (frame.id()) {
                case "TIT2"_id:
                    check(field.text() == "Caf\xE9", "ISO-8859-1 text as stored");
                    check(field.encoding() == kelid3::text_encoding::iso8859_1, "its encoding");
                    break;
                case "TPE1"_id: {
                    const kelid3::iso8859_text text = field.to_iso8859();
                    check(field.encoding() == kelid3::text_encoding::utf8, "UTF-8 text");
                    check(text && std::strcmp(text.c_str(), "\xE9") == 0, "converted");
                    break;
                }
                case "APIC"_id:
                    if (field.is_blob())
                        check(field.blob().size() == 4 && field.blob()[0] == 0x89, "picture data");
                    else if (field.is_number())
                        check(field.number() == 3, "picture type");
                    else
                        check(field.text() == "image/png", "MIME type");
                    break;
                default:
                    check(false, "frame outside the selection");
            }
        }
    }
    check(frames == 3, "three frames");
    check(tag.find("APIC"_id).description() == "Attached picture", "description");
    check(!kelid3::genre_name(17).empty() && kelid3::genre_name(200).empty(), "genre names");
    check(kelid3::parse(kTag, 9).code() == KELID3_EINVAL, "result code");
    check(kelid3::query(kTag, 14) == 60, "query");
    if (failures == 0) std::printf("kelid3.hpp without exceptions and RTTI: ok\n");
    return failures == 0 ? 0 : 1;
}
