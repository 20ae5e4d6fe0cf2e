// SPDX-License-Identifier: MIT
// The listing, the JSON document, JSON lines and the dump, written file by
// file and frame by frame.
#include "report.h"

#include <cinttypes>
#include <new>
#include <string_view>
#include <utility>

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

// The name's bytes as lower-case hex.
std::string hex(std::string_view bytes) {
    static const char kDigits[] = "0123456789abcdef";
    std::string out;
    for (char c : bytes) {
        out += kDigits[static_cast<unsigned char>(c) >> 4];
        out += kDigits[static_cast<unsigned char>(c) & 0xF];
    }
    return out;
}

// What every form of output holds: the stream, the frames asked for, and
// whether the next file is the first.
class Output : public Report {
  public:
    Output(FILE *out, std::vector<uint32_t> selection)
        : out_(out), selection_(std::move(selection)) {}

  protected:
    void put(const std::string &text) { std::fwrite(text.data(), 1, text.size(), out_); }

    FILE *out_;
    std::vector<uint32_t> selection_;
    bool first_ = true;
};

class Listing : public Output {
  public:
    using Output::Output;

    void file(FileResult &result, const FramePrepare &prepare) override {
        if (!first_) std::fputc('\n', out_);
        first_ = false;
        line(result.path);
        for (const FoundTag &found : result.tags) {
            const TagView tag = describe(found);
            line(tag_head(tag));
            bool any = false;
            for_each_frame(found, selection_, [&](FrameView &frame) {
                if (prepare) prepare(frame);
                line(frame_text(frame));
                any = true;
            });
            if (!any) line("    no frames");
            if (tag.unread_from) {
                line("    frames from byte " + std::to_string(*tag.unread_from) + " on not read");
            }
        }
        for (const std::string &issue : result.issues) line("  " + issue);
        if (result.tags.empty() && result.issues.empty()) line("  no ID3 tag");
    }

    void unreadable(const std::string & /*path*/, const std::string & /*reason*/) override {}

  private:
    void line(const std::string &text) {
        put(terminal_text(text));
        std::fputc('\n', out_);
    }

    static std::string tag_head(const TagView &tag) {
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
        return head;
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

// The JSON document (pretty: an array, members on lines of their own) or JSON
// lines (compact: one object a line, flushed). Written as it goes.
class Json : public Output {
  public:
    Json(FILE *out, std::vector<uint32_t> selection, bool pretty)
        : Output(out, std::move(selection)), pretty_(pretty) {}

    void begin() override {
        if (pretty_) put("[");
    }

    void file(FileResult &result, const FramePrepare &prepare) override {
        open_entry(result.path);
        put(next(4) + "\"size\": " + std::to_string(result.file_size) + next(4) + "\"tags\": [");
        for (size_t i = 0; i < result.tags.size(); ++i) {
            put(i == 0 ? at(6) : next(6));
            tag_json(result.tags[i], prepare);
        }
        put(result.tags.empty() ? "]" : at(4) + "]");
        if (!result.issues.empty()) put(next(4) + "\"tag_errors\": " + string_array(result.issues));
        close_entry();
    }

    void unreadable(const std::string &path, const std::string &reason) override {
        open_entry(path);
        put(next(4) + "\"error\": " + json_string(reason));
        close_entry();
    }

    void end() override {
        if (pretty_) put(first_ ? "]\n" : "\n]\n");
    }

  private:
    // A line break before a member or element at `indent` (pretty only).
    std::string at(size_t indent) const {
        return pretty_ ? "\n" + std::string(indent, ' ') : std::string();
    }
    // The comma and break between members or elements.
    std::string next(size_t indent) const { return pretty_ ? "," + at(indent) : ", "; }

    void open_entry(const std::string &path) {
        if (pretty_) put(first_ ? at(2) : next(2));
        first_ = false;
        const std::string name = utf8_to_utf8(path);
        put("{" + at(4) + "\"file\": " + json_string(name));
        if (name != path) put(next(4) + "\"file_bytes\": \"" + hex(path) + "\"");
    }

    void close_entry() {
        put(at(2) + "}");
        if (pretty_) return;
        std::fputc('\n', out_);
        std::fflush(out_);
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

    void tag_json(const FoundTag &found, const FramePrepare &prepare) {
        const TagView tag = describe(found);
        std::string out = "{" + at(8) + "\"version\": " + json_string(tag.version);
        out += next(8) + "\"size\": " + std::to_string(tag.size);
        out += next(8) + "\"flags\": " + std::to_string(tag.flags);
        out += next(8) + "\"truncated\": " + (tag.available < tag.size ? "true" : "false");
        if (tag.unread_from)
            out += next(8) + "\"unread_from\": " + std::to_string(*tag.unread_from);
        put(out + next(8) + "\"frames\": [");
        bool any = false;
        for_each_frame(found, selection_, [&](FrameView &frame) {
            if (prepare) prepare(frame);
            put((any ? next(10) : at(10)) + frame_json(frame));
            any = true;
        });
        put((any ? at(8) + "]" : "]") + at(6) + "}");
    }

    static std::string picture_json(const Picture &picture) {
        std::string out = R"(, "picture": {"mime": )" + json_string(picture.mime);
        if (!picture.format.empty()) out += ", \"format\": " + json_string(picture.format);
        out += ", \"type\": " + std::to_string(picture.type);
        out += ", \"type_name\": " + optional_string(picture_type_name(picture.type));
        out += ", \"size\": " + std::to_string(picture.data.size());
        if (!picture.saved_as.empty()) out += ", \"saved_as\": " + json_string(picture.saved_as);
        return out + "}}";
    }

    static std::string frame_json(const FrameView &frame) {
        std::string out = "{\"id\": " + json_string(kelid3::id_string(frame.id).view()) +
                          ", \"description\": " + optional_string(frame.description);
        if (frame.picture) return out + picture_json(*frame.picture);
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

    bool pretty_;
};

// The library's own dump (kelid3_tag_print), frames in its order and text as
// stored, escaped on its way out through a stream of the C library.
class Dump : public Output {
  public:
    Dump(FILE *out, std::vector<uint32_t> selection)
        : Output(out, std::move(selection)), escaped_([this](std::string_view text) {
              std::fwrite(text.data(), 1, text.size(), out_);
          }) {
        static const cookie_io_functions_t kWrite = {nullptr, &Dump::write, nullptr, nullptr};
        dump_ = fopencookie(this, "w", kWrite);
        if (dump_ == nullptr) throw std::bad_alloc();
    }
    ~Dump() override { std::fclose(dump_); }
    Dump(const Dump &) = delete;
    Dump &operator=(const Dump &) = delete;

    void file(FileResult &result, const FramePrepare &prepare) override {
        if (!first_) std::fputc('\n', out_);
        first_ = false;
        put(terminal_text(result.path) + "\n");
        for (FoundTag &found : result.tags) {
            if (prepare) for_each_frame(found, selection_, prepare);  // pictures in tag order
            reverse_frames(found.tag);                                // the library's order
            found.tag.print(dump_);
            std::fflush(dump_);
            escaped_.finish();
        }
        for (const std::string &issue : result.issues) put(issue + "\n");
        if (result.tags.empty() && result.issues.empty()) put("no ID3 tag\n");
    }

    void unreadable(const std::string & /*path*/, const std::string & /*reason*/) override {}

  private:
    static ssize_t write(void *cookie, const char *bytes, size_t size) {
        static_cast<Dump *>(cookie)->escaped_.write(std::string_view(bytes, size));
        return static_cast<ssize_t>(size);
    }

    TerminalStream escaped_;
    FILE *dump_ = nullptr;
};

}  // namespace

std::unique_ptr<Report> make_report(ReportKind kind, FILE *out, std::vector<uint32_t> selection) {
    switch (kind) {
        case ReportKind::kJson:
            return std::make_unique<Json>(out, std::move(selection), true);
        case ReportKind::kJsonLines:
            return std::make_unique<Json>(out, std::move(selection), false);
        case ReportKind::kDump:
            return std::make_unique<Dump>(out, std::move(selection));
        case ReportKind::kListing:
        default:
            return std::make_unique<Listing>(out, std::move(selection));
    }
}

}  // namespace kelid3_info
