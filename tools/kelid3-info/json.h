// SPDX-License-Identifier: MIT
// A small JSON writer: it tracks nesting, commas and indentation, and escapes
// every string it writes, so that what it makes is valid JSON.
#ifndef KELID3_INFO_JSON_H
#define KELID3_INFO_JSON_H

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kelid3_info {

class JsonWriter {
  public:
    // Appends to `out`. Pretty: each member or element on a line of its own,
    // indented by two spaces a level, the outermost at level `depth`.
    // Otherwise all on one line ("a": 1, "b": 2).
    JsonWriter(std::string &out, bool pretty, int depth = 0)
        : out_(out), pretty_(pretty), depth_(depth) {}

    // A container; `inline_` keeps it and what it holds on one line.
    JsonWriter &object(bool inline_ = false) { return open('{', '}', inline_); }
    JsonWriter &array(bool inline_ = false) { return open('[', ']', inline_); }
    JsonWriter &end();
    // The name of the next member of an object.
    JsonWriter &key(std::string_view name);
    JsonWriter &string(std::string_view utf8);
    JsonWriter &number(uint64_t value) { return raw(std::to_string(value)); }
    JsonWriter &boolean(bool value) { return raw(value ? "true" : "false"); }
    JsonWriter &null() { return raw("null"); }

  private:
    struct Level {
        char close;
        bool inline_;
        bool empty;
    };
    JsonWriter &open(char open, char close, bool inline_);
    JsonWriter &raw(std::string_view text);  // a number, true, false or null
    // What goes before a value: nothing after a key, else a comma after the
    // last element and a line break where the level is not inline.
    void separate();
    bool inline_here() const { return !pretty_ || (!levels_.empty() && levels_.back().inline_); }
    void line_break();

    std::string &out_;
    bool pretty_;
    int depth_;
    std::vector<Level> levels_;
    bool after_key_ = false;
};

}  // namespace kelid3_info

#endif
