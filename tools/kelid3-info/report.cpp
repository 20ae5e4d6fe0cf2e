// SPDX-License-Identifier: MIT
// The listing, the JSON document and the dump, written file by file.
#include "report.h"

#include <cinttypes>

#include "text.h"
#include "utf.h"

namespace kelid3_info {

namespace {

// The listing shows several values of one frame apart with this separator.
constexpr const char *kValueSeparator = " | ";

std::string genre_text(uint32_t number) {
    const std::string_view name = kelid3::genre_name(number);
    return std::string(name.empty() ? "?" : name) + " (" + std::to_string(number) + ")";
}

std::string picture_text(const Picture &picture) {
    const std::string_view type = picture_type_name(picture.type);
    std::string out = picture.mime.empty() ? "no MIME type" : picture.mime;
    out += ", ";
    out += type.empty() ? "picture type " + std::to_string(picture.type) : std::string(type);
    out += ", " + std::to_string(picture.data.size()) + " bytes";
    if (!picture.saved_as.empty()) out += ", saved as " + picture.saved_as;
    return out;
}

// What every form of output holds: the stream, and whether the next file is
// the first.
class Output : public Report {
  public:
    explicit Output(FILE *out) : out_(out) {}

  protected:
    FILE *out_;
    bool first_ = true;
};

class Listing : public Output {
  public:
    using Output::Output;

    void file(const FileResult &result, const std::vector<TagView> &tags) override {
        if (!first_) std::fputc('\n', out_);
        first_ = false;
        line(utf8_to_utf8(result.path));
        for (const TagView &tag : tags) {
            std::string head = "  " + tag.version + ", " + std::to_string(tag.size) + " bytes";
            if (tag.available < tag.size) {
                head += " (the file ends after " + std::to_string(tag.available) + ")";
            }
            if (!tag.v1 && tag.flags != 0) {
                char flags[16];
                std::snprintf(flags, sizeof flags, "0x%02" PRIx32, tag.flags);
                const std::string names = tag_flag_names(tag.flags);
                head += ", flags " + std::string(flags) + (names.empty() ? "" : " (" + names + ")");
            }
            line(head);
            for (const FrameView &frame : tag.frames) line(frame_text(frame));
            if (tag.frames.empty()) line("    no frames");
        }
        for (const std::string &issue : result.issues) line("  " + issue);
        if (tags.empty() && result.issues.empty()) line("  no ID3 tag");
    }

    void unreadable(const std::string & /*path*/, const std::string & /*reason*/) override {}

  private:
    void line(const std::string &text) {
        const std::string shown = terminal_text(text);
        std::fwrite(shown.data(), 1, shown.size(), out_);
        std::fputc('\n', out_);
    }

    static std::string frame_text(const FrameView &frame) {
        std::string out = std::string("    ") + kelid3::id_string(frame.id).c_str() + "  ";
        out += frame.description;
        if (frame.user_description) out += " [" + *frame.user_description + "]";
        std::string value;
        if (frame.picture) value = picture_text(*frame.picture);
        for (size_t i = 0; i < frame.values.size(); ++i) {
            if (i > 0) value += kValueSeparator;
            value +=
                frame.values[i].genre ? genre_text(*frame.values[i].genre) : frame.values[i].text;
        }
        if (frame.description.empty() && !frame.user_description) return out + value;
        return out + (value.empty() ? ":" : ": " + value);
    }
};

class Json : public Output {
  public:
    using Output::Output;

    void begin() override { std::fputs("[", out_); }

    void file(const FileResult &result, const std::vector<TagView> &tags) override {
        std::string out = open_entry(result.path);
        out += ",\n    \"size\": " + std::to_string(result.file_size) + ",\n    \"tags\": [";
        for (size_t i = 0; i < tags.size(); ++i) {
            out += i == 0 ? "\n" : ",\n";
            out += tag_json(tags[i]);
        }
        out += tags.empty() ? "]" : "\n    ]";
        if (!result.issues.empty()) out += ",\n    \"tag_errors\": " + string_array(result.issues);
        out += "\n  }";
        std::fwrite(out.data(), 1, out.size(), out_);
    }

    void unreadable(const std::string &path, const std::string &reason) override {
        const std::string out =
            open_entry(path) + ",\n    \"error\": " + json_string(reason) + "\n  }";
        std::fwrite(out.data(), 1, out.size(), out_);
    }

    void end() override { std::fputs(first_ ? "]\n" : "\n]\n", out_); }

  private:
    std::string open_entry(const std::string &path) {
        std::string out = first_ ? "\n" : ",\n";
        first_ = false;
        return out + "  {\n    \"file\": " + json_string(utf8_to_utf8(path));
    }

    // A library text, or null when it has none.
    static std::string optional_string(std::string_view text) {
        return text.empty() ? "null" : json_string(text);
    }

    static std::string string_array(const std::vector<std::string> &texts) {
        std::string out = "[";
        for (size_t i = 0; i < texts.size(); ++i) {
            if (i > 0) out += ", ";
            out += json_string(texts[i]);
        }
        return out + "]";
    }

    static std::string tag_json(const TagView &tag) {
        std::string out = "      {\n        \"version\": " + json_string(tag.version);
        out += ",\n        \"size\": " + std::to_string(tag.size);
        out += ",\n        \"flags\": " + std::to_string(tag.flags);
        out += ",\n        \"truncated\": ";
        out += tag.available < tag.size ? "true" : "false";
        out += ",\n        \"frames\": [";
        for (size_t i = 0; i < tag.frames.size(); ++i) {
            out += i == 0 ? "\n          " : ",\n          ";
            out += frame_json(tag.frames[i]);
        }
        out += tag.frames.empty() ? "]" : "\n        ]";
        return out + "\n      }";
    }

    static std::string frame_json(const FrameView &frame) {
        std::string out = "{\"id\": " + json_string(kelid3::id_string(frame.id).view()) +
                          ", \"description\": " + optional_string(frame.description);
        if (frame.picture) {
            const Picture &picture = *frame.picture;
            out += R"(, "picture": {"mime": )" + json_string(picture.mime);
            if (!picture.format.empty()) out += ", \"format\": " + json_string(picture.format);
            out += ", \"type\": " + std::to_string(picture.type);
            out += ", \"type_name\": " + optional_string(picture_type_name(picture.type));
            out += ", \"size\": " + std::to_string(picture.data.size());
            if (!picture.saved_as.empty())
                out += ", \"saved_as\": " + json_string(picture.saved_as);
            return out + "}}";
        }
        if (frame.encoding != nullptr) out += ", \"encoding\": " + json_string(frame.encoding);
        if (frame.user_description) {
            out += ", \"user_description\": " + json_string(*frame.user_description);
        }
        std::vector<std::string> texts;
        std::string genres;
        for (const TextValue &value : frame.values) {
            texts.push_back(value.text);
            if (!value.genre) continue;
            genres += genres.empty() ? "[" : ", ";
            genres += "{\"number\": " + std::to_string(*value.genre) +
                      ", \"name\": " + optional_string(kelid3::genre_name(*value.genre)) + "}";
        }
        out += ", \"text\": " + string_array(texts);
        if (!genres.empty()) out += ", \"genres\": " + genres + "]";
        return out + "}";
    }
};

class Dump : public Output {
  public:
    using Output::Output;

    void file(const FileResult &result, const std::vector<TagView> & /*tags*/) override {
        if (!first_) std::fputc('\n', out_);
        first_ = false;
        const std::string path = terminal_text(utf8_to_utf8(result.path));
        std::fprintf(out_, "%s\n", path.c_str());
        // The library's own dump: frames in its order, text as stored.
        for (const FoundTag &found : result.tags) found.tag.print(out_);
        for (const std::string &issue : result.issues) std::fprintf(out_, "%s\n", issue.c_str());
        if (result.tags.empty() && result.issues.empty()) std::fputs("no ID3 tag\n", out_);
    }

    void unreadable(const std::string & /*path*/, const std::string & /*reason*/) override {}

  private:
};

}  // namespace

std::unique_ptr<Report> make_report(ReportKind kind, FILE *out) {
    switch (kind) {
        case ReportKind::kJson:
            return std::make_unique<Json>(out);
        case ReportKind::kDump:
            return std::make_unique<Dump>(out);
        case ReportKind::kListing:
        default:
            return std::make_unique<Listing>(out);
    }
}

}  // namespace kelid3_info
