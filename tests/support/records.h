// SPDX-License-Identifier: MIT
// What the library gives, as text to compare, one entry a line: the records,
// the log lines captured from standard error or a stream, the dump; and a
// parse that checks what a failure leaves to its caller.
#pragma once

#include <cstdio>
#include <mutex>
#include <regex>
#include <sstream>

#include "kelid3.hpp"
#include "support/golden.h"
#include "support/id3_writer.h"

using namespace std::string_literals;

// A row of a reader's table: its name, the buffer, and what the call is given
// besides (read flags, a selection list with its 0).
struct Case {
    std::string name;
    Bytes input;
    uint32_t flags = 0;
    std::vector<uint32_t> ids = {};
};

// A field over its own copy of the bytes with a NUL behind them, as a parse
// lays them out. `word4` is a string's encoding or a blob's size.
struct HandField {
    std::string store;
    id3_field f;
    HandField(uint32_t type, uint32_t word4, const std::string &s)
        : store(s + '\0'), f{type, nullptr, uintptr_t(store.data()), {word4}, uint32_t(s.size())} {}
};

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

// Bytes readable in a line: printable ASCII as it is, other bytes (and '<')
// as <hh>; with `runs`, a run of four or more equal bytes as one and "*n".
inline std::string esc(const void *p, size_t n, bool runs = true) {
    const auto *b = static_cast<const uint8_t *>(p);
    std::string s;
    for (size_t i = 0, run = 1; i < n; i += run, run = 1) {
        while (runs && i + run < n && b[i + run] == b[i]) ++run;
        const bool plain = b[i] >= 0x20 && b[i] < 0x7F && b[i] != '<';
        s += plain ? std::string(1, char(b[i])) : format("<%02x>", b[i]);
        if (run >= 4) s += "*" + std::to_string(run);
        if (run < 4) run = 1;
    }
    return s;
}

// The lines "[func: n] LEVEL: message" of a text, escaped, without their line
// numbers: "LEVEL message" for those of `own`, "func: LEVEL message" for the
// others (only when `others`); TRACE lines only when `trace`.
inline std::string log_lines(const std::string &text, const std::string &own = "",
                             bool trace = true, bool others = true) {
    static const std::regex kLine(R"(\[(\w+): -?\d+\] (\w+): (.*))");
    std::string out, line;
    std::smatch m;
    for (std::istringstream in(text); std::getline(in, line);) {
        const bool matched = std::regex_match(line, m, kLine), mine = matched && m[1] == own;
        if (matched && ((!trace && m[2] == "TRACE") || (!mine && !others))) continue;
        if (matched) line = (mine ? "" : m[1].str() + ": ") + m[2].str() + " " + m[3].str();
        out += (out.empty() ? "" : "\n") + esc(line.data(), line.size(), false);
    }
    return out;
}

// While alive, standard error is an unbuffered stream, as the real one is,
// that keeps what is written and counts the writes it is handed (the C
// library allocates it: no block of the allocation seam). text() and lines()
// end the capture (once) and give what was written.
//   LogCapture log;
//   id3_log("f", 7, "INFO", "x");
//   EXPECT_EQ(log.lines("f"), "INFO x");  // and log.writes() == 1
class LogCapture {
  public:
    LogCapture() : saved_(stderr) {
        stderr = file_ = fopencookie(this, "w", {nullptr, &LogCapture::write, nullptr, nullptr});
        std::setvbuf(file_, nullptr, _IONBF, 0);
    }
    ~LogCapture() { text(); }
    LogCapture(const LogCapture &) = delete;

    const std::string &text() {
        if (file_ != nullptr) stderr = saved_, std::fclose(std::exchange(file_, nullptr));
        return text_;
    }
    std::string lines(const std::string &own = "", bool trace = true, bool others = true) {
        return log_lines(text(), own, trace, others);
    }
    long writes() const { return writes_; }

  private:
    static ssize_t write(void *self, const char *bytes, size_t n) {
        // stdio's own stream lock is invisible to ThreadSanitizer
        auto *capture = static_cast<LogCapture *>(self);
        const std::lock_guard<std::mutex> hold(capture->mutex_);
        capture->text_.append(bytes, n), ++capture->writes_;
        return ssize_t(n);
    }
    FILE *saved_, *file_;
    std::mutex mutex_;
    std::string text_;
    long writes_ = 0;
};

// The frames of a tag in list order, one a line, with every member and byte
// of their fields: "TIT2/6 s0'Title'", "APIC/9 s0'x' u3 b'<ff>'": the
// identifier, the size, the flags as "/f0040" when set; a string field is
// s<encoding>, a number u, a blob b; "<!>" marks a field whose bytes are not
// right behind its header or lack their NUL.
inline std::string frames(const id3_tag *tag) {
    std::string out;
    for (const id3_frame *f = tag != nullptr ? tag->frames : nullptr; f; f = f->next) {
        const uint8_t chars[] = {uint8_t(f->id >> 24), uint8_t(f->id >> 16), uint8_t(f->id >> 8),
                                 uint8_t(f->id)};
        out += (out.empty() ? "" : "\n") + esc(chars, 4) + "/" + std::to_string(f->size);
        if (f->flags != 0) out += format("/f%04x", f->flags);
        for (const id3_field *x = f->fields; x; x = x->next) {
            const auto *data = reinterpret_cast<const char *>(x->data);
            const bool behind = x->data == uintptr_t(x + 1);
            if (x->type == FIELD_STRING) {
                out += format(" s%u'", x->encoding) + esc(data, x->length) + "'";
                if (!behind || data[x->length] != '\0') out += "<!>";
            } else if (x->type == FIELD_BLOB) {
                out += " b'" + esc(data, x->size) + (behind ? "'" : "'<!>");
            } else {
                out += format(" %c%lu", x->type == FIELD_UINT ? 'u' : '?', (unsigned long)x->data);
            }
        }
    }
    return out;
}

// What kelid3_tag_print writes for the tag.
inline std::string dump(const id3_tag *tag) {
    FILE *f = std::tmpfile();
    kelid3_tag_print(f, tag);
    return contents(f);
}

// A reader's result, frames and lines as fields of a golden file.
inline Fields outcome(int32_t result, const id3_tag *tag, const std::string &lines) {
    Fields out;
    out.emplace_back("result", std::to_string(result));
    out.emplace_back("frame", frames(tag));
    out.emplace_back("line", lines);
    return out;
}

// kelid3_tag_parse of the whole of b (ids: the selection list with its 0, or
// empty for none; with read flags, kelid3_tag_read with its lines on stderr),
// the caller's pointer set beforehand: a failure must leave it. `lines` holds kelid3_tag_parse's
// lines as log_lines gives them (with those of the functions it calls unless `others` is false),
// `log` all as written.
struct Parsed {
    int32_t rc;
    kelid3::tag tag;
    std::string lines, log;
};
inline Parsed parse(const Bytes &b, const std::vector<uint32_t> &ids = {}, bool others = true,
                    uint32_t flags = 0) {
    id3_tag sentinel{};
    id3_tag *out = &sentinel;
    LogCapture log;
    kelid3_read_options options{
        sizeof options, flags, ids.empty() ? nullptr : ids.data(), stderr, 0, 0, 0};
    const int32_t rc = flags != 0
                           ? kelid3_tag_read(b.data(), uint32_t(b.size()), &out, &options)
                           : kelid3_tag_parse(b.data(), uint32_t(b.size()), &out, options.ids);
    EXPECT_TRUE(rc > 0 || out == &sentinel) << "a failed parse changed the caller's pointer";
    return {rc, kelid3::tag(out == &sentinel ? nullptr : out),
            log.lines("kelid3_tag_parse", true, others), log.text()};
}

// kelid3::read of the row's buffer with its flags and selection: the result,
// the frames, the lines but TRACE ones, and what the options report.
inline Fields read_fields(const Case &row) {
    FILE *log = std::tmpfile();
    const kelid3::read_result r =
        kelid3::read(row.input.data(), uint32_t(row.input.size()),
                     {row.flags, row.ids.empty() ? nullptr : row.ids.data(), log});
    Fields out = outcome(r.code(), r->get(), log_lines(contents(log), "", false));
    for (const auto &[name, value] : {std::pair{"stopped_at", r.stopped_at()},
                                      {"large_frames", r.large_frames()},
                                      {"skipped_frames", r.skipped_frames()}})
        out.emplace_back(name, std::to_string(value));
    return out;
}
