// SPDX-License-Identifier: MIT
// The command line of kelid3-info: its options and their help text.
#ifndef KELID3_INFO_OPTIONS_H
#define KELID3_INFO_OPTIONS_H

#include <cstdint>
#include <string>
#include <vector>

#include "console.h"
#include "report.h"

namespace kelid3_info {

enum Status { kAllTagged = 0, kSomeUntagged = 1, kFailure = 2 };

struct Options {
    ReportKind kind = ReportKind::kListing;
    bool log = false;
    bool summary = false;
    Progress::Mode progress = Progress::Mode::kAuto;
    std::vector<uint32_t> frames;  // 0-ended when not empty
    std::vector<std::string> extensions;
    uint64_t max_tag_bytes = 64ull << 20;
    std::string picture_dir;
    bool extract = false;
    std::vector<std::string> paths;
};

// Reads the command line. Returns -1 to go on, else the exit status (after
// --help, --version or a usage error, whose message it has written).
int parse_options(int argc, char **argv, Options &options);

}  // namespace kelid3_info

#endif
