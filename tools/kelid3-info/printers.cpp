// SPDX-License-Identifier: MIT
// The listing, JSON, JSON lines, CSV and the dump of a file's model.
#include "printers.h"

#include <cinttypes>
#include <cstdio>
#include <cstdlib>

#include "json.h"
#include "pictures.h"
#include "text.h"

namespace kelid3_info {

using namespace kelid3::literals;

const std::vector<uint32_t> kDefaultColumns = {"TIT2"_id, "TPE1"_id, "TALB"_id, "TRCK"_id,
                                               "TDRC"_id, "TCON"_id, "COMM"_id};

namespace {

std::string value_text(const Value &value, bool listing) {
    if (!value.genre) return value.text;
    const std::string name(kelid3::genre_name(*value.genre));
    return listing ? name + " (" + std::to_string(*value.genre) + ")" : name;
}

class Listing : public Printer {
  public:
    std::string entry(const FileModel &model) override {
        if (!model.error.empty()) return "";
        std::string out = first_ ? "" : "\n";
        line(out, "", model.path);
        for (const Tag &tag : model.tags) {
            std::string head = tag.version + ", " + std::to_string(tag.size) + " bytes";
            if (tag.available < tag.size)
                head += " (the file ends after " + std::to_string(tag.available) + ")";
            if (!tag.v1 && tag.flags != 0) head += ", flags " + flags(tag.flags);
            line(out, "  ", head);
            for (const Frame &frame : tag.frames) line(out, "    ", frame_text(frame));
            if (tag.frames.empty()) line(out, "    ", "no frames");
            if (tag.unread_from)
                line(out, "    ",
                     "frames from byte " + std::to_string(*tag.unread_from) + " on not read");
            count(out, "    frames larger than 512 KiB passed over: ", tag.large_frames);
            count(out, "    frames passed over as compressed, encrypted or unsynchronised: ",
                  tag.skipped_frames);
        }
        for (const std::string &refused : model.refused) line(out, "  ", refused);
        if (model.tags.empty() && model.refused.empty()) line(out, "  ", "no ID3 tag");
        count(out, "  pictures not written, more than --max-pictures: ", model.pictures_over_limit);
        first_ = false;
        return out;
    }

  private:
    static void count(std::string &out, const char *text, uint64_t n) {
        if (n != 0) out += text + std::to_string(n) + "\n";
    }

    static void line(std::string &out, const char *indent, const std::string &text) {
        out += indent;
        escape(text, Style::kTerminal, out);
        out += '\n';
    }

    static std::string flags(uint32_t flags) {
        static const char *const kNames[] = {"unsynchronisation", "extended header", "experimental",
                                             "footer"};
        char hex[16];
        std::snprintf(hex, sizeof hex, "0x%02" PRIx32, flags);
        std::string names;
        for (uint32_t bit = 0; bit < 4; ++bit)
            if ((flags & (0x80u >> bit)) != 0)
                names += (names.empty() ? "" : ", ") + std::string(kNames[bit]);
        return names.empty() ? hex : std::string(hex) + " (" + names + ")";
    }

    static std::string frame_text(const Frame &frame) {
        std::string out = std::string(kelid3::id_string(frame.id).view()) + "  ";
        out += kelid3::description(frame.id);
        const std::vector<Value> &values = frame.values;
        if (frame.labels != 0) out += out.back() == ' ' ? "[" : " [";  // WXXX has no description
        if (frame.labels == 1) out += values[0].text + "]";
        if (frame.labels == 2)
            out += values[0].text + (values[1].text.empty() ? "" : ", ") + values[1].text + "]";
        std::string value;
        if (frame.picture) {
            const Picture &picture = *frame.picture;
            const std::string_view type = picture_type_name(picture.type);
            value = picture.mime.empty() ? "no MIME type" : picture.mime;
            value += ", " + (type.empty() ? "picture type " + std::to_string(picture.type)
                                          : std::string(type));
            value += ", " + std::to_string(picture.data.size()) + " bytes";
            if (!picture.saved_as.empty()) value += ", saved as " + picture.saved_as;
            if (!picture.error.empty()) value += ", not written: " + picture.error;
        }
        for (size_t i = frame.labels; i < values.size(); ++i)
            value += (i > frame.labels ? " | " : "") + value_text(values[i], true);
        if (out.back() == ' ') return out + value;  // no description
        return out + (value.empty() ? ":" : ": " + value);
    }

    bool first_ = true;
};

class Json : public Printer {
  public:
    explicit Json(bool pretty) : pretty_(pretty) {}

    std::string begin() override { return pretty_ ? "[" : ""; }
    std::string end() override { return !pretty_ ? "" : first_ ? "]\n" : "\n]\n"; }

    std::string entry(const FileModel &model) override {
        std::string out = !pretty_ ? "" : first_ ? "\n  " : ",\n  ";
        JsonWriter json(out, pretty_, 1);
        json.object().key("file").string(model.path);
        if (!valid_utf8(model.path)) json.key("file_bytes").string(hex(model.path));
        if (!model.error.empty()) {
            json.key("error").string(model.error).end();
        } else {
            json.key("size").number(model.size).key("tags").array();
            for (const Tag &tag : model.tags) write_tag(json, tag);
            json.end();
            strings(json, "tag_errors", model.refused);
            std::vector<std::string> picture_errors;
            for (const Tag &tag : model.tags)
                for (const Frame &frame : tag.frames)
                    if (frame.picture && !frame.picture->error.empty())
                        picture_errors.push_back(frame.picture->error);
            strings(json, "picture_errors", picture_errors);
            if (model.pictures_over_limit != 0)
                json.key("pictures_over_limit").number(model.pictures_over_limit);
            json.end();
        }
        first_ = false;
        return pretty_ ? out : out + "\n";
    }

  private:
    static std::string hex(std::string_view bytes) {
        static const char kDigits[] = "0123456789abcdef";
        std::string out;
        for (const char c : bytes) {
            out += kDigits[static_cast<unsigned char>(c) >> 4];
            out += kDigits[static_cast<unsigned char>(c) & 0xF];
        }
        return out;
    }

    // A member that is an array of strings, when there are any.
    static void strings(JsonWriter &json, const char *key, const std::vector<std::string> &texts) {
        if (texts.empty()) return;
        json.key(key).array(true);
        for (const std::string &text : texts) json.string(text);
        json.end();
    }

    static void optional(JsonWriter &json, const char *key, std::string_view text) {
        if (text.empty()) json.key(key).null();
        if (!text.empty()) json.key(key).string(text);
    }

    static void write_tag(JsonWriter &json, const Tag &tag) {
        json.object().key("version").string(tag.version).key("size").number(tag.size);
        json.key("flags").number(tag.flags).key("truncated").boolean(tag.available < tag.size);
        if (tag.unread_from) json.key("unread_from").number(*tag.unread_from);
        if (tag.large_frames != 0) json.key("large_frames").number(tag.large_frames);
        if (tag.skipped_frames != 0) json.key("skipped_frames").number(tag.skipped_frames);
        json.key("frames").array();
        for (const Frame &frame : tag.frames) write_frame(json, frame);
        json.end().end();
    }

    static void write_frame(JsonWriter &json, const Frame &frame) {
        json.object(true).key("id").string(kelid3::id_string(frame.id).view());
        optional(json, "description", kelid3::description(frame.id));
        if (frame.picture) {
            const Picture &picture = *frame.picture;
            json.key("picture").object().key("mime").string(picture.mime);
            if (!picture.format.empty()) json.key("format").string(picture.format);
            json.key("type").number(picture.type);
            optional(json, "type_name", picture_type_name(picture.type));
            json.key("size").number(picture.data.size());
            if (!picture.saved_as.empty()) json.key("saved_as").string(picture.saved_as);
            json.end().end();
            return;
        }
        if (frame.encoding != nullptr) json.key("encoding").string(frame.encoding);
        const auto texts = frame.values.begin() + frame.labels;
        if (frame.labels == 2) json.key("language").string(frame.values[0].text);
        if (frame.labels != 0) json.key("user_description").string(texts[-1].text);
        json.key("text").array();
        bool genres = false;
        for (auto value = texts; value != frame.values.end(); ++value) {
            json.string(value->text);
            genres = genres || value->genre;
        }
        json.end();
        if (genres) {
            json.key("genres").array();
            for (const Value &value : frame.values) {
                if (!value.genre) continue;
                json.object().key("number").number(*value.genre).key("name");
                json.string(kelid3::genre_name(*value.genre)).end();
            }
            json.end();
        }
        json.end();
    }

    bool pretty_;
    bool first_ = true;
};

class Csv : public Printer {
  public:
    explicit Csv(std::vector<uint32_t> columns) : columns_(std::move(columns)) {}

    std::string begin() override {
        std::string out = "path";
        for (const uint32_t id : columns_) out += "," + std::string(kelid3::id_string(id).view());
        return out + "\r\n";
    }

    std::string entry(const FileModel &model) override {
        if (!model.error.empty()) return "";
        std::string out = csv_field(model.path);
        for (const uint32_t id : columns_) out += "," + csv_field(column(model, id));
        return out + "\r\n";
    }

  private:
    // The values of the frames `id` of the first tag that has any (ID3v2
    // before ID3v1): TDRC from TYER in ID3v2.3, COMM without a description.
    static std::string column(const FileModel &model, uint32_t id) {
        for (const Tag &tag : model.tags) {
            std::string out;
            for (const uint32_t wanted : {id, id == "TDRC"_id && !tag.v1 ? "TYER"_id : 0u}) {
                for (const Frame &frame : tag.frames) {
                    // A comment with a description is for programs (iTunNORM, ...).
                    const bool program =
                        frame.id == "COMM"_id && frame.labels == 2 && !frame.values[1].text.empty();
                    if (frame.id != wanted || program) continue;
                    for (size_t i = frame.labels; i < frame.values.size(); ++i) {
                        const std::string text = value_text(frame.values[i], false);
                        if (!text.empty()) out += (out.empty() ? "" : " / ") + text;
                    }
                }
                if (!out.empty()) return out;
            }
        }
        return "";
    }

    std::vector<uint32_t> columns_;
};

// The library's dump of each tag (kelid3_tag_print), escaped, its frames in
// the library's order.
class Dump : public Printer {
  public:
    std::string entry(const FileModel &model) override {
        if (!model.error.empty()) return "";
        std::string out = first_ ? "" : "\n";
        escape(model.path, Style::kTerminal, out);
        out += '\n';
        for (const Tag &tag : model.tags) {
            char *text = nullptr;
            size_t length = 0;
            FILE *dump = open_memstream(&text, &length);
            if (dump == nullptr) throw std::bad_alloc();
            tag.record.print(dump);
            const bool failed = std::fclose(dump) != 0;
            const std::unique_ptr<char, decltype(&std::free)> owner(text, &std::free);
            if (failed) throw std::bad_alloc();
            escape(std::string_view(text, length), Style::kLines, out);
        }
        for (const std::string &refused : model.refused) escape(refused + "\n", Style::kLines, out);
        if (model.tags.empty() && model.refused.empty()) out += "no ID3 tag\n";
        first_ = false;
        return out;
    }

  private:
    bool first_ = true;
};

}  // namespace

std::unique_ptr<Printer> make_printer(Form form, std::vector<uint32_t> columns) {
    switch (form) {
        case Form::kJson:
        case Form::kJsonLines:
            return std::make_unique<Json>(form == Form::kJson);
        case Form::kCsv:
            return std::make_unique<Csv>(std::move(columns));
        case Form::kDump:
            return std::make_unique<Dump>();
        case Form::kListing:
            break;
    }
    return std::make_unique<Listing>();
}

}  // namespace kelid3_info
