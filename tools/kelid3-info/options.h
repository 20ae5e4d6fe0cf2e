// SPDX-License-Identifier: MIT
// The command line: one table of options, from which the parser and --help
// come (a test holds the manual page to --help).
#ifndef KELID3_INFO_OPTIONS_H
#define KELID3_INFO_OPTIONS_H

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "output.h"

namespace kelid3_info {

enum class Form { kListing, kJson, kJsonLines, kCsv, kDump };

struct Options {
    Form form = Form::kListing;
    std::vector<uint32_t> frames;  // --frames, as given
    bool strict = false;
    std::string picture_dir;  // empty: pictures are not written
    uint64_t max_pictures = 64;
    std::vector<std::string> extensions;  // lower case, no dot
    uint64_t max_tag_bytes = 64u << 20;
    uint64_t jobs = 1;
    bool log = false, utf8 = false, summary = false, help = false, version = false;
    Progress::Mode progress = Progress::Mode::kAuto;
    std::vector<std::string> paths;
};

struct OptionSpec {
    char short_name;       // 0 when none
    const char *name;      // the long name, without "--"
    const char *argument;  // the argument's name; null when it takes none
    const char *help;      // its lines in --help, '\n' apart
    // Takes the argument (empty when none); returns what is wrong with it.
    std::string (*take)(Options &options, std::string_view argument);
};

extern const OptionSpec kOptions[];
extern const size_t kOptionCount;

// How an option is named in --help and in the manual page: "-j, --jobs N".
std::string option_names(const OptionSpec &spec);

// The text of --help.
std::string help_text();

// Reads the arguments (without the program's name) into `options`; returns
// the usage error, escaped for the terminal, or "" when there is none.
std::string parse_options(const std::vector<std::string> &args, Options &options);

}  // namespace kelid3_info

#endif
