// SPDX-License-Identifier: MIT
// Parse results and diagnostic lines as text: the records rendered for
// comparison, the library's own dump, the log lines captured from standard
// error, and a parse that checks what a failure leaves to its caller.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <regex>
#include <sstream>
#include <utility>

#include "kelid3.hpp"
#include "support/id3_writer.h"

using namespace std::string_literals;

// printf into a string, NUL bytes (%c of a three-character identifier) included.
template <class... Args>
std::string format(const char *fmt, Args... args) {
    std::string s(size_t(std::snprintf(nullptr, 0, fmt, args...)), '\0');
    std::snprintf(s.data(), s.size() + 1, fmt, args...);
    return s;
}

// Everything written to a temporary file, which is closed.
inline std::string contents(FILE *f) {
    std::string s(size_t(std::ftell(f)), '\0');
    std::rewind(f);
    s.resize(std::fread(s.data(), 1, s.size(), f));
    std::fclose(f);
    return s;
}

// While alive, standard error is a temporary file (taken by the C library
// itself: no block of the allocation seam); text() and lines() end the
// capture (once) and give what was written.
class LogCapture {
  public:
    LogCapture() : saved_(stderr) { stderr = file_ = std::tmpfile(); }
    ~LogCapture() { text(); }
    LogCapture(const LogCapture &) = delete;

    // Everything, as written.
    const std::string &text() {
        if (file_ != nullptr) stderr = saved_, text_ = contents(std::exchange(file_, nullptr));
        return text_;
    }

    // The lines "[func: n] LEVEL: message" without their line numbers, one a
    // line: "LEVEL message" for the lines of `own` (its TRACE lines only when
    // `own_trace`), "func: LEVEL message" for the others (only when `others`).
    // Other text is kept as it is.
    std::string lines(const std::string &own = "", bool own_trace = true, bool others = true) {
        static const std::regex kLine(R"(\[(\w+): -?\d+\] (\w+): (.*))");
        std::string out, line;
        std::smatch m;
        for (std::istringstream in(text()); std::getline(in, line);) {
            const bool matched = std::regex_match(line, m, kLine), mine = matched && m[1] == own;
            if (matched && (mine ? !own_trace && m[2] == "TRACE" : !others)) continue;
            if (matched) line = (mine ? "" : m[1].str() + ": ") + m[2].str() + " " + m[3].str();
            out += (out.empty() ? "" : "\n") + line;
        }
        return out;
    }

  private:
    FILE *saved_, *file_;
    std::string text_;
};

// Bytes readable in a row: printable ASCII as it is, other bytes (and '<') as
// <hh>, a run of four or more equal bytes as one of them and "*n".
inline std::string esc(const void *p, size_t n) {
    const auto *b = static_cast<const uint8_t *>(p);
    std::string s;
    for (size_t i = 0, run = 1; i < n; i += run, run = 1) {
        while (i + run < n && b[i + run] == b[i]) ++run;
        s += b[i] >= 0x20 && b[i] < 0x7F && b[i] != '<' ? std::string(1, char(b[i])) : format("<%02x>", b[i]);
        if (run >= 4) s += "*" + std::to_string(run);
        if (run < 4) run = 1;
    }
    return s;
}

// The frames of a tag in list order, every member and byte of their fields:
// "TIT2/6 s0'Title' | APIC/9 s0'x' u3 b'<ff>'", a frame's flags as "/f0040"
// when set, "-" for none. A string field is s<encoding>, a number u, a blob b;
// "<!>" marks a field whose bytes are not right behind its header or lack
// their NUL.
inline std::string show(const id3_tag *tag) {
    std::string s;
    for (const id3_frame *f = tag != nullptr ? tag->frames : nullptr; f; f = f->next) {
        const uint8_t chars[] = {uint8_t(f->id >> 24), uint8_t(f->id >> 16), uint8_t(f->id >> 8), uint8_t(f->id)};
        s += (s.empty() ? "" : " | ") + esc(chars, 4) + "/" + std::to_string(f->size);
        if (f->flags != 0) s += format("/f%04x", f->flags);
        for (const id3_field *x = f->fields; x; x = x->next) {
            const auto *data = reinterpret_cast<const char *>(x->data);
            const bool behind = x->data == uintptr_t(x + 1);
            if (x->type == FIELD_STRING) {
                s += format(" s%u'", x->encoding) + esc(data, x->length) + "'";
                if (!behind || data[x->length] != '\0') s += "<!>";
            } else if (x->type == FIELD_BLOB) {
                s += " b'" + esc(data, x->size) + (behind ? "'" : "'<!>");
            } else {
                s += format(" %c%lu", x->type == FIELD_UINT ? 'u' : '?', (unsigned long)x->data);
            }
        }
    }
    return s.empty() ? "-" : s;
}

// A table row: what goes in, and what comes out as text (a result, records,
// log lines, one per line).
struct Row {
    Bytes in;
    std::string out;
};

// What kelid3_tag_print writes for the tag.
inline std::string dump(const id3_tag *tag) {
    FILE *f = std::tmpfile();
    kelid3_tag_print(f, tag);
    return contents(f);
}

// kelid3_tag_parse of the whole of b (ids: the selection list with its 0, or
// empty for none), the caller's pointer set beforehand: a failure must leave
// it. `log` holds kelid3_tag_parse's lines as LogCapture::lines gives them.
struct Parsed {
    int32_t rc;
    kelid3::tag tag;
    std::string log;
};
inline Parsed parse(const Bytes &b, const std::vector<uint32_t> &ids = {}) {
    id3_tag sentinel{};
    id3_tag *out = &sentinel;
    LogCapture log;
    const int32_t rc = kelid3_tag_parse(b.data(), uint32_t(b.size()), &out, ids.empty() ? nullptr : ids.data());
    EXPECT_TRUE(rc > 0 || out == &sentinel) << "a failed parse changed the caller's pointer";
    return {rc, kelid3::tag(out == &sentinel ? nullptr : out), log.lines("kelid3_tag_parse")};
}
