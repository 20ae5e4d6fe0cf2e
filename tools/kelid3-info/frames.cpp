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

constexpr uint32_t kApic = KELID3_ID('A', 'P', 'I', 'C');
constexpr uint32_t kTcon = KELID3_ID('T', 'C', 'O', 'N');
constexpr uint32_t kTrck = KELID3_ID('T', 'R', 'C', 'K');
constexpr uint32_t kTxxx = KELID3_ID('T', 'X', 'X', 'X');

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

std::string id_text(uint32_t id) {
    std::string out;
    for (int shift = 24; shift >= 0; shift -= 8) {
        const auto c = static_cast<unsigned char>(id >> shift);
        if (c == 0 && out.empty()) continue;  // a three-character identifier
        out += c >= 0x20 && c < 0x7F ? static_cast<char>(c) : '?';
    }
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
    if (kelid3_genre_description(number) == nullptr) return std::nullopt;
    return number;
}

std::string trim_trailing_spaces(std::string text) {
    while (!text.empty() && text.back() == ' ') text.pop_back();
    return text;
}

bool is(const id3_field *field, uint32_t type) {
    return field != nullptr && field->type == type;
}

Picture picture_of(const id3_field *mime, const id3_field *type, const id3_field *data, bool v22) {
    Picture picture;
    picture.mime =
        latin1_to_utf8(std::string_view(reinterpret_cast<const char *>(mime->data), mime->length));
    if (v22) {
        picture.format = picture.mime;
        for (const Extension &format : kFormats) {
            if (lower(picture.format) == lower(format.extension)) picture.mime = format.mime;
        }
    }
    picture.type = static_cast<uint32_t>(type->data);
    picture.data = reinterpret_cast<const uint8_t *>(data->data);
    picture.size = data->size;
    return picture;
}

FrameView frame_view(const id3_frame *frame, bool v1, bool v22) {
    FrameView view;
    view.id = frame->id;
    view.id_text = id_text(frame->id);
    view.description = kelid3_field_description(frame->id);
    const id3_field *first = frame->fields;
    const id3_field *second = first != nullptr ? first->next : nullptr;
    const id3_field *third = second != nullptr ? second->next : nullptr;
    if (frame->id == kApic && is(first, FIELD_STRING) && is(second, FIELD_UINT) &&
        is(third, FIELD_BLOB) && third->next == nullptr) {
        view.picture = picture_of(first, second, third, v22);
        return view;
    }
    std::optional<uint32_t> number;  // a FIELD_UINT waiting for its name (ID3v1 genre)
    for (const id3_field *field = first; field != nullptr; field = field->next) {
        if (field->type == FIELD_UINT) {
            if (number) view.values.push_back({std::to_string(*number), std::nullopt});
            number = static_cast<uint32_t>(field->data);
            continue;
        }
        if (field->type != FIELD_STRING) continue;
        const kelid3::text_encoding encoding{field->encoding};
        view.encoding = encoding_name(encoding);
        std::vector<std::string> texts = text_values(
            std::string_view(reinterpret_cast<const char *>(field->data), field->length), encoding);
        if (v1) texts = {trim_trailing_spaces(texts.front())};  // its text ends at the first NUL
        for (std::string &text : texts) {
            const bool named = number && frame->id == kTcon;
            view.values.push_back({std::move(text), named ? number : std::nullopt});
            if (named) number.reset();
        }
    }
    if (number) view.values.push_back({std::to_string(*number), std::nullopt});
    if (!v1 && frame->id == kTxxx && !view.values.empty()) {
        view.user_description = view.values.front().text;
        view.values.erase(view.values.begin());
        if (view.values.empty()) view.values.push_back({});
    }
    if (!v1 && frame->id == kTcon) {
        for (TextValue &value : view.values) value.genre = genre_reference(value.text);
    }
    return view;
}

bool selected(uint32_t id, const std::vector<uint32_t> &selection) {
    return selection.empty() ||
           std::find(selection.begin(), selection.end(), id) != selection.end();
}

}  // namespace

TagView describe(const FoundTag &found, const std::vector<uint32_t> &selection) {
    const id3_tag *tag = found.tag.get();
    TagView view;
    view.v1 = tag->version == KELID3_VERSION_V1;
    view.flags = tag->flags;
    view.size = found.size;
    view.available = found.available;
    const unsigned major = (tag->version >> 8) & 0xFF;
    // The library lists frames in the reverse of their order in the tag.
    std::vector<const id3_frame *> frames;
    bool track = false;
    for (const id3_frame *frame = tag->frames; frame != nullptr; frame = frame->next) {
        frames.push_back(frame);
        track = track || frame->id == kTrck;
    }
    std::reverse(frames.begin(), frames.end());
    if (view.v1) {
        // The library makes a track frame only for an ID3v1.1 tag.
        view.version = track ? "ID3v1.1" : "ID3v1";
    } else {
        view.version = "ID3v2." + std::to_string(major) + "." + std::to_string(tag->version & 0xFF);
    }
    for (const id3_frame *frame : frames) {
        if (view.v1 && !selected(frame->id, selection)) continue;
        view.frames.push_back(frame_view(frame, view.v1, !view.v1 && major <= 2));
    }
    return view;
}

const char *picture_type_name(uint32_t type) {
    return type < std::size(kPictureTypes) ? kPictureTypes[type] : nullptr;
}

std::string picture_extension(const Picture &picture) {
    std::string mime = lower(picture.mime);
    mime = mime.substr(0, mime.find(';'));
    while (!mime.empty() && mime.back() == ' ') mime.pop_back();
    for (const Extension &known : kExtensions) {
        if (mime == known.mime) return known.extension;
    }
    const std::string_view data(reinterpret_cast<const char *>(picture.data), picture.size);
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
