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

// Lines of text, one an entry: log lines, frames. A table's `lines` and
// `frames` fields hold them, so that a failure shows the entries that differ.
using Lines = std::vector<std::string>;
inline Lines operator+(Lines a, const Lines &b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// The lines of a text, without their newlines; none for "".
inline Lines split(const std::string &text) {
    Lines out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) out.push_back(line);
    return out;
}

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

// While alive, standard error is an unbuffered stream, as the real one is,
// that keeps what is written and counts the writes it is handed (the C
// library allocates it: no block of the allocation seam). text(), lines() and
// list() end the capture (once) and give what was written.
//   LogCapture log;
//   id3_log("f", 7, "INFO", "x");
//   EXPECT_EQ(log.list("f"), Lines{"INFO x"});  // and log.writes() == 1
class LogCapture {
  public:
    LogCapture() : saved_(stderr) {
        stderr = file_ = fopencookie(this, "w", {nullptr, &LogCapture::write, nullptr, nullptr});
        std::setvbuf(file_, nullptr, _IONBF, 0);
    }
    ~LogCapture() { text(); }
    LogCapture(const LogCapture &) = delete;

    // Everything, as written.
    const std::string &text() {
        if (file_ != nullptr) stderr = saved_, std::fclose(std::exchange(file_, nullptr));
        return text_;
    }
    // Writes the stream made so far: one for each line that goes out whole.
    long writes() const { return writes_; }

    // The lines "[func: n] LEVEL: message" without their line numbers, one a
    // line: "LEVEL message" for the lines of `own` (its TRACE lines only when
    // `own_trace`), "func: LEVEL message" for the others (only when `others`).
    // Other text is kept as it is.
    std::string lines(const std::string &own = "", bool own_trace = true, bool others = true) {
        static const std::regex kLine(R"(\[(\w+): -?\d+\] (\w+): (.*))");
        std::string out;
        std::smatch m;
        for (std::string line : split(text())) {
            const bool matched = std::regex_match(line, m, kLine), mine = matched && m[1] == own;
            if (matched && (mine ? !own_trace && m[2] == "TRACE" : !others)) continue;
            if (matched) line = (mine ? "" : m[1].str() + ": ") + m[2].str() + " " + m[3].str();
            out += (out.empty() ? "" : "\n") + line;
        }
        return out;
    }
    // The same, one an entry.
    Lines list(const std::string &own = "", bool own_trace = true, bool others = true) {
        return split(lines(own, own_trace, others));
    }

  private:
    static ssize_t write(void *self, const char *bytes, size_t n) {
        auto *capture = static_cast<LogCapture *>(self);
        capture->text_.append(bytes, n), ++capture->writes_;
        return ssize_t(n);
    }
    FILE *saved_, *file_;
    std::string text_;
    long writes_ = 0;
};

// Bytes readable in a row: printable ASCII as it is, other bytes (and '<') as
// <hh>, a run of four or more equal bytes as one of them and "*n".
inline std::string esc(const void *p, size_t n) {
    const auto *b = static_cast<const uint8_t *>(p);
    std::string s;
    for (size_t i = 0, run = 1; i < n; i += run, run = 1) {
        while (i + run < n && b[i + run] == b[i]) ++run;
        const bool plain = b[i] >= 0x20 && b[i] < 0x7F && b[i] != '<';
        s += plain ? std::string(1, char(b[i])) : format("<%02x>", b[i]);
        if (run >= 4) s += "*" + std::to_string(run);
        if (run < 4) run = 1;
    }
    return s;
}

// The frames of a tag in list order, one an entry, with every member and
// byte of their fields: "TIT2/6 s0'Title'", "APIC/9 s0'x' u3 b'<ff>'": the
// identifier, the size, the flags as "/f0040" when set; a string field is
// s<encoding>, a number u, a blob b; "<!>" marks a field whose bytes are not
// right behind its header or lack their NUL.
//   EXPECT_EQ(frames(p.tag.get()), (Lines{"TPE1/2 s0'A'", "TIT2/2 s0'T'"}));
inline Lines frames(const id3_tag *tag) {
    Lines out;
    for (const id3_frame *f = tag != nullptr ? tag->frames : nullptr; f; f = f->next) {
        const uint8_t chars[] = {uint8_t(f->id >> 24), uint8_t(f->id >> 16), uint8_t(f->id >> 8),
                                 uint8_t(f->id)};
        std::string s = esc(chars, 4) + "/" + std::to_string(f->size);
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
        out.push_back(s);
    }
    return out;
}

// The frames on one line, " | " between them, "-" for none.
inline std::string show(const id3_tag *tag) {
    std::string s;
    for (const std::string &frame : frames(tag)) s += (s.empty() ? "" : " | ") + frame;
    return s.empty() ? "-" : s;
}

// A table row of the older form: what goes in, and what comes out as text (a
// result, records, log lines, one per line). New tables have rows of named
// fields instead (name, input, result, frames, lines).
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
// it. `log` holds kelid3_tag_parse's lines as LogCapture::lines gives them
// (with those of the functions it calls unless `others` is false), `lines`
// the same one an entry.
//   const Parsed p = parse(V2Tag(3).text("TIT2", 0, "T").build());
//   EXPECT_EQ(p.rc, 21);
//   EXPECT_EQ(frames(p.tag.get()), Lines{"TIT2/2 s0'T'"});
struct Parsed {
    int32_t rc;
    kelid3::tag tag;
    std::string log;
    Lines lines;
};
inline Parsed parse(const Bytes &b, const std::vector<uint32_t> &ids = {}, bool others = true) {
    id3_tag sentinel{};
    id3_tag *out = &sentinel;
    LogCapture log;
    const int32_t rc =
        kelid3_tag_parse(b.data(), uint32_t(b.size()), &out, ids.empty() ? nullptr : ids.data());
    EXPECT_TRUE(rc > 0 || out == &sentinel) << "a failed parse changed the caller's pointer";
    const std::string lines = log.lines("kelid3_tag_parse", true, others);
    return {rc, kelid3::tag(out == &sentinel ? nullptr : out), lines, split(lines)};
}
