// SPDX-License-Identifier: MIT
// The JSON writer.
#include "json.h"

#include "text.h"

namespace kelid3_info {

void JsonWriter::line_break() {
    out_ += '\n';
    out_.append(2 * (static_cast<size_t>(depth_) + levels_.size()), ' ');
}

void JsonWriter::separate() {
    if (after_key_) {
        after_key_ = false;
        return;
    }
    if (levels_.empty()) return;
    Level &level = levels_.back();
    if (!level.empty) out_ += inline_here() ? ", " : ",";
    if (!inline_here()) line_break();
    level.empty = false;
}

JsonWriter &JsonWriter::open(char open, char close, bool inline_) {
    separate();
    out_ += open;
    levels_.push_back({close, inline_ || inline_here(), true});
    return *this;
}

JsonWriter &JsonWriter::end() {
    const Level level = levels_.back();
    levels_.pop_back();
    if (!level.empty && !level.inline_) line_break();
    out_ += level.close;
    return *this;
}

JsonWriter &JsonWriter::key(std::string_view name) {
    string(name);
    out_ += ": ";
    after_key_ = true;
    return *this;
}

JsonWriter &JsonWriter::string(std::string_view utf8) {
    separate();
    out_ += '"';
    escape(utf8, Style::kJson, out_);
    out_ += '"';
    return *this;
}

JsonWriter &JsonWriter::raw(std::string_view text) {
    separate();
    out_ += text;
    return *this;
}

}  // namespace kelid3_info
