// SPDX-License-Identifier: MIT
// A parsed tag as it is shown: frames in tag order, values as UTF-8, pictures
// with their type names and file name extensions.
#include "frames.h"

#include <algorithm>
#include <cctype>
#include <iterator>
#include <string_view>

#include "text.h"
#include "utf.h"

namespace kelid3_info {

namespace {

using namespace kelid3::literals;

const char *const kPictureTypes[] = {
    "Other",
    "32x32 pixels file icon",
    "Other file icon",
    "Cover (front)",
    "Cover (back)",
    "Leaflet page",
    "Media",
    "Lead artist/lead performer/soloist",
    "Artist/performer",
    "Conductor",
    "Band/Orchestra",
    "Composer",
    "Lyricist/text writer",
    "Recording Location",
    "During recording",
    "During performance",
    "Movie/video screen capture",
    "A bright coloured fish",
    "Illustration",
    "Band/artist logotype",
    "Publisher/Studio logotype",
};

struct Extension {
    const char *mime;
    const char *extension;
};
// MIME types as taggers write them (some leave out the "image/").
const Extension kExtensions[] = {
    {"image/jpeg", "jpg"},
    {"image/jpg", "jpg"},
    {"image/pjpeg", "jpg"},
    {"jpeg", "jpg"},
    {"jpg", "jpg"},
    {"image/png", "png"},
    {"png", "png"},
    {"image/gif", "gif"},
    {"gif", "gif"},
    {"image/bmp", "bmp"},
    {"image/x-ms-bmp", "bmp"},
    {"bmp", "bmp"},
    {"image/webp", "webp"},
    {"image/tiff", "tif"},
    {"image/x-icon", "ico"},
};

// ID3v2.2 pictures name an image format instead of a MIME type.
const Extension kFormats[] = {
    {"image/jpeg", "JPG"}, {"image/png", "PNG"}, {"image/gif", "GIF"}, {"image/bmp", "BMP"}};

std::string lower(std::string_view s) {
    std::string out(s);
    for (char &c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

// The genre number that an ID3v2 TCON value refers to: "(17)" or "17".
std::optional<uint32_t> genre_reference(std::string_view value) {
    if (value.size() >= 2 && value.front() == '(' && value.back() == ')') {
        value = value.substr(1, value.size() - 2);
    }
    if (value.empty() || value.size() > 3) return std::nullopt;
    uint32_t number = 0;
    for (char c : value) {
        if (c < '0' || c > '9') return std::nullopt;
        number = number * 10 + static_cast<uint32_t>(c - '0');
    }
    if (kelid3::genre_name(number).empty()) return std::nullopt;
    return number;
}

std::string trim_trailing_spaces(std::string text) {
    while (!text.empty() && text.back() == ' ') text.pop_back();
    return text;
}

// The picture of an APIC frame whose fields are its MIME type (ID3v2.2: image
// format), picture type and data, and nothing more.
std::optional<Picture> picture_of(kelid3::frame frame, bool v22) {
    if (frame.id() != "APIC"_id) return std::nullopt;
    kelid3::field fields[4];
    size_t count = 0;
    for (kelid3::field field : frame.fields()) {
        fields[count++] = field;
        if (count == std::size(fields)) break;
    }
    const auto &[mime, type, data, extra] = fields;
    if (!mime.is_string() || !type.is_number() || !data.is_blob() || extra) return std::nullopt;
    Picture picture;
    picture.mime = latin1_to_utf8(mime.text());
    if (v22) {
        picture.format = picture.mime;
        for (const Extension &format : kFormats) {
            if (lower(picture.format) == lower(format.extension)) picture.mime = format.mime;
        }
    }
    picture.type = type.number();
    picture.data = data.blob();
    return picture;
}

FrameView frame_view(kelid3::frame frame, bool v1, bool v22) {
    FrameView view;
    view.id = frame.id();
    view.description = frame.description();
    view.picture = picture_of(frame, v22);
    if (view.picture) return view;
    std::optional<uint32_t> number;  // a number waiting for its name (ID3v1 genre)
    for (kelid3::field field : frame.fields()) {
        if (field.is_number()) {
            if (number) view.values.push_back({std::to_string(*number), std::nullopt});
            number = field.number();
            continue;
        }
        if (!field.is_string()) continue;
        view.encoding = encoding_name(field.encoding());
        std::vector<std::string> texts = text_values(field.text(), field.encoding());
        if (v1) texts = {trim_trailing_spaces(texts.front())};  // its text ends at the first NUL
        for (std::string &text : texts) {
            const bool named = number && view.id == "TCON"_id;
            view.values.push_back({std::move(text), named ? number : std::nullopt});
            if (named) number.reset();
        }
    }
    if (number) view.values.push_back({std::to_string(*number), std::nullopt});
    if (!v1 && view.id == "TXXX"_id && !view.values.empty()) {
        view.user_description = view.values.front().text;
        view.values.erase(view.values.begin());
        if (view.values.empty()) view.values.push_back({});
    }
    if (!v1 && view.id == "TCON"_id) {
        for (TextValue &value : view.values) value.genre = genre_reference(value.text);
    }
    return view;
}

bool selected(uint32_t id, const std::vector<uint32_t> &selection) {
    return selection.empty() ||
           std::find(selection.begin(), selection.end(), id) != selection.end();
}

std::string syncsafe(uint32_t v) {
    return {static_cast<char>(v >> 21 & 0x7F), static_cast<char>(v >> 14 & 0x7F),
            static_cast<char>(v >> 7 & 0x7F), static_cast<char>(v & 0x7F)};
}

}  // namespace

TagView describe(const FoundTag &found) {
    const kelid3::tag &tag = found.tag;
    TagView view;
    view.v1 = tag.is_v1();
    view.flags = tag.flags();
    view.size = found.size;
    view.available = found.available;
    view.unread_from = found.unread_from;
    if (view.v1) {
        // The library makes a track frame only for an ID3v1.1 tag.
        view.version = tag.find("TRCK"_id) ? "ID3v1.1" : "ID3v1";
    } else {
        view.version = "ID3v2." + std::to_string((tag.version() >> 8) & 0xFF) + "." +
                       std::to_string(tag.version() & 0xFF);
    }
    return view;
}

void for_each_frame(const FoundTag &found, const std::vector<uint32_t> &selection,
                    const std::function<void(FrameView &)> &each) {
    const bool v1 = found.tag.is_v1();
    const bool v22 = !v1 && ((found.tag.version() >> 8) & 0xFF) <= 2;
    for (kelid3::frame frame : found.tag.frames()) {
        if (v1 && !selected(frame.id(), selection)) continue;
        FrameView view = frame_view(frame, v1, v22);
        each(view);
    }
}

Decoded decoded_by_library(uint32_t id) {
    // Content that a text frame and a picture both decode: ISO-8859-1 text
    // "a" ..., or MIME type "a", picture type 3, no description, one byte.
    static const char kContent[] = {0x00, 'a', 0x00, 0x03, 0x00, 0x01};
    const std::string content(kContent, sizeof kContent);
    const std::string frame = std::string(kelid3::id_string(id).view()) +
                              syncsafe(static_cast<uint32_t>(content.size())) +
                              std::string(2, '\0') + content + std::string(10, '\0');
    const std::string v2 =
        std::string("ID3\x04\0\0", 6) + syncsafe(static_cast<uint32_t>(frame.size())) + frame;
    if (!kelid3::parse(v2.data(), static_cast<uint32_t>(v2.size()))->frames().empty()) {
        return Decoded::kFromId3v2;
    }
    // An ID3v1.1 tag: every field empty, track 1.
    std::string v1 = "TAG" + std::string(125, '\0');
    v1[126] = 1;
    kelid3::parse_result parsed = kelid3::parse(v1.data(), static_cast<uint32_t>(v1.size()));
    return parsed->find(id) ? Decoded::kFromId3v1Only : Decoded::kNever;
}

std::string_view picture_type_name(uint32_t type) {
    return type < std::size(kPictureTypes) ? kPictureTypes[type] : "";
}

std::string picture_extension(const Picture &picture) {
    std::string mime = lower(picture.mime);
    mime = mime.substr(0, mime.find(';'));
    while (!mime.empty() && mime.back() == ' ') mime.pop_back();
    for (const Extension &known : kExtensions) {
        if (mime == known.mime) return known.extension;
    }
    const std::string_view data(reinterpret_cast<const char *>(picture.data.data()),
                                picture.data.size());
    if (data.substr(0, 3) == "\xFF\xD8\xFF") return "jpg";
    if (data.substr(0, 8) == "\x89PNG\r\n\x1A\n") return "png";
    if (data.substr(0, 4) == "GIF8") return "gif";
    if (data.substr(0, 2) == "BM") return "bmp";
    if (data.size() >= 12 && data.substr(0, 4) == "RIFF" && data.substr(8, 4) == "WEBP") {
        return "webp";
    }
    return "bin";
}

std::string tag_flag_names(uint32_t flags) {
    static const struct {
        uint32_t bit;
        const char *name;
    } kFlags[] = {{0x80, "unsynchronisation"},
                  {0x40, "extended header"},
                  {0x20, "experimental"},
                  {0x10, "footer"}};
    std::string out;
    for (const auto &flag : kFlags) {
        if ((flags & flag.bit) == 0) continue;
        if (!out.empty()) out += ", ";
        out += flag.name;
    }
    return out;
}

}  // namespace kelid3_info
