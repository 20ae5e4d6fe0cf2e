// SPDX-License-Identifier: MIT
// The forms of output: the listing, JSON (one document or one object a
// line), CSV and the library's dump. A printer only turns a file's model
// into text; it reads nothing and writes nothing.
#ifndef KELID3_INFO_PRINTERS_H
#define KELID3_INFO_PRINTERS_H

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "model.h"
#include "options.h"

namespace kelid3_info {

class Printer {
  public:
    virtual ~Printer() = default;
    // What stands before the first file and after the last.
    virtual std::string begin() { return ""; }
    virtual std::string end() { return ""; }
    // One file's text. A model with an error is a file that could not be
    // read; the listing, CSV and dump leave it to the message on standard
    // error. May throw std::bad_alloc, after which the printer is as before.
    virtual std::string entry(const FileModel &model) = 0;
};

// `columns`: the frames of a CSV row.
std::unique_ptr<Printer> make_printer(Form form, std::vector<uint32_t> columns);

// The CSV columns when --frames does not choose them.
extern const std::vector<uint32_t> kDefaultColumns;

}  // namespace kelid3_info

#endif
