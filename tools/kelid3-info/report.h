// SPDX-License-Identifier: MIT
// The three forms of output: the listing, the JSON document, the library's
// dump.
#ifndef KELID3_INFO_REPORT_H
#define KELID3_INFO_REPORT_H

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "files.h"
#include "frames.h"

namespace kelid3_info {

class Report {
  public:
    virtual ~Report() = default;
    virtual void begin() {}
    // A file that was read, with its tags described in the order of `result.tags`.
    virtual void file(const FileResult &result, const std::vector<TagView> &tags) = 0;
    // A path that could not be read (its message has gone to standard error).
    virtual void unreadable(const std::string &path, const std::string &reason) = 0;
    virtual void end() {}
};

enum class ReportKind { kListing, kJson, kDump };

std::unique_ptr<Report> make_report(ReportKind kind, FILE *out);

}  // namespace kelid3_info

#endif
