// SPDX-License-Identifier: MIT
// The forms of output: the listing, the JSON document, JSON lines, the
// library's dump; each written file by file, frame by frame.
#ifndef KELID3_INFO_REPORT_H
#define KELID3_INFO_REPORT_H

#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "files.h"
#include "frames.h"

namespace kelid3_info {

// Called with each frame before it is shown (and in the dump, where frames are
// not shown as views, in tag order before the dump): may save its picture.
using FramePrepare = std::function<void(FrameView &)>;

class Report {
  public:
    virtual ~Report() = default;
    virtual void begin() {}
    // A file that was read, its tags in the order of `result.tags`. `prepare`
    // may be empty.
    virtual void file(FileResult &result, const FramePrepare &prepare) = 0;
    // A path that could not be read (its message has gone to standard error).
    virtual void unreadable(const std::string &path, const std::string &reason) = 0;
    virtual void end() {}
};

enum class ReportKind { kListing, kJson, kJsonLines, kDump };

// `selection`: the frames asked for (empty for all), for ID3v1 tags.
std::unique_ptr<Report> make_report(ReportKind kind, FILE *out, std::vector<uint32_t> selection);

}  // namespace kelid3_info

#endif
