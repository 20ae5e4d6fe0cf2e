// SPDX-License-Identifier: MIT
// The command line of kelid3-info: options, their checks and the help text.
#include "options.h"

#include <getopt.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "kelid3.hpp"

#ifndef KELID3_INFO_VERSION
#define KELID3_INFO_VERSION "unknown"
#endif

namespace kelid3_info {

namespace {

const char kUsage[] =
    "Usage: kelid3-info [OPTION]... FILE|DIR...\n"
    "List the ID3 tags (ID3v1, ID3v1.1, ID3v2.0 to ID3v2.4) of each FILE and of\n"
    "every file below each DIR (walked recursively, in sorted order; a directory\n"
    "reached more than once is walked once). FILE '-' is standard input.\n"
    "\n"
    "  --json                    print one JSON document for the whole run\n"
    "  --json-lines              print one JSON object per file, one a line\n"
    "  --dump                    print the library's own dump of each tag\n"
    "  --frames ID[,ID]...       show only these frames, e.g. TIT2,TPE1,APIC (with a\n"
    "                            warning for those the library never decodes)\n"
    "  --extract-pictures DIR    write each attached picture into DIR as\n"
    "                            NAME-N.EXT (never replacing a file)\n"
    "  --ext EXT[,EXT]...        in directories read only the files with these\n"
    "                            extensions, e.g. mp3,mp2,aac (any case)\n"
    "  --max-tag-bytes N         do not read ID3v2 tags of more than N bytes\n"
    "                            (suffix K, M or G: times 1024; default 64M)\n"
    "  --log                     show the library's diagnostic lines on standard error\n"
    "  --progress, --no-progress show or hide the progress line on standard error\n"
    "                            (default: on a terminal, once a run takes a second)\n"
    "  --summary                 end with counts of files, tags, refused tags and\n"
    "                            unreadable files on standard error\n"
    "  -h, --help                show this help and exit\n"
    "  --version                 show the version and exit\n"
    "\n"
    "Control characters, bidirectional controls and bytes that are not UTF-8 are\n"
    "shown as escapes (\\n, \\x01, \\u202e); in JSON as \\u escapes.\n"
    "\n"
    "Exit status: 0 if every file was read and had a tag, 1 if some file had no\n"
    "tag, 2 on a usage error, if some file could not be read or memory ran out.\n";

int usage_error(const std::string &text) {
    message(text);
    Console::instance().write("Try 'kelid3-info --help' for more information.\n");
    return kFailure;
}

// The items of a comma-separated list, in upper case or lower case.
std::vector<std::string> items(const std::string &list, bool upper) {
    std::vector<std::string> out(1);
    for (char c : list) {
        if (c == ',') {
            out.emplace_back();
            continue;
        }
        const auto byte = static_cast<unsigned char>(c);
        out.back() += static_cast<char>(upper ? std::toupper(byte) : std::tolower(byte));
    }
    return out;
}

// Adds the identifiers of a comma-separated list; false for a bad one.
bool add_frames(const std::string &list, std::vector<uint32_t> &frames, std::string &bad) {
    for (const std::string &id : items(list, true)) {
        bool valid = id.size() == 4;
        for (char c : id) valid = valid && ((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'));
        if (!valid) {
            bad = id;
            return false;
        }
        frames.push_back(kelid3::make_id(id));
    }
    return true;
}

bool add_extensions(const std::string &list, std::vector<std::string> &extensions) {
    for (std::string extension : items(list, false)) {
        if (!extension.empty() && extension.front() == '.') extension.erase(0, 1);
        if (extension.empty()) return false;
        extensions.push_back(extension);
    }
    return true;
}

// A byte count: digits and an optional K, M or G (times 1024, 1024^2, 1024^3).
bool parse_size(const std::string &text, uint64_t &value) {
    if (text.empty() || !std::isdigit(static_cast<unsigned char>(text[0]))) return false;
    char *end = nullptr;
    errno = 0;
    const unsigned long long number = std::strtoull(text.c_str(), &end, 10);
    const std::string suffix = items(end, false).front();
    const unsigned shift = suffix.empty() ? 0 : suffix == "k" ? 10 : suffix == "m" ? 20 : 30;
    if (errno != 0 || (shift == 30 && suffix != "g") || number > (UINT64_MAX >> shift)) {
        return false;
    }
    value = static_cast<uint64_t>(number) << shift;
    return true;
}

enum Option {
    kJson = 256,
    kJsonLines,
    kDump,
    kFrames,
    kExtract,
    kExt,
    kMaxTagBytes,
    kLog,
    kProgress,
    kNoProgress,
    kSummary,
    kVersion
};

const option kLong[] = {{"json", no_argument, nullptr, kJson},
                        {"json-lines", no_argument, nullptr, kJsonLines},
                        {"dump", no_argument, nullptr, kDump},
                        {"frames", required_argument, nullptr, kFrames},
                        {"extract-pictures", required_argument, nullptr, kExtract},
                        {"ext", required_argument, nullptr, kExt},
                        {"max-tag-bytes", required_argument, nullptr, kMaxTagBytes},
                        {"log", no_argument, nullptr, kLog},
                        {"progress", no_argument, nullptr, kProgress},
                        {"no-progress", no_argument, nullptr, kNoProgress},
                        {"summary", no_argument, nullptr, kSummary},
                        {"help", no_argument, nullptr, 'h'},
                        {"version", no_argument, nullptr, kVersion},
                        {nullptr, 0, nullptr, 0}};

// An option that takes an argument; returns -1 to go on, else the exit status.
int take_argument(int c, const std::string &argument, Options &options) {
    std::string bad;
    switch (c) {
        case kFrames:
            if (add_frames(argument, options.frames, bad)) return -1;
            return usage_error("--frames: '" + bad +
                               "' is not a frame identifier (four letters A-Z or digits)");
        case kExtract:
            options.extract = true;
            options.picture_dir = argument;
            if (!argument.empty()) return -1;
            return usage_error("--extract-pictures: the directory name is empty");
        case kExt:
            if (add_extensions(argument, options.extensions)) return -1;
            return usage_error("--ext: an empty extension in '" + argument + "'");
        case kMaxTagBytes:
            if (parse_size(argument, options.max_tag_bytes)) return -1;
            return usage_error("--max-tag-bytes: '" + argument +
                               "' is not a byte count (digits, then K, M or G)");
        default:
            return -1;
    }
}

// Returns -1 to go on, else the exit status.
int take_option(int c, const char *given, Options &options) {
    switch (c) {
        case kJson:
        case kJsonLines:
        case kDump: {
            const ReportKind kind = c == kJson        ? ReportKind::kJson
                                    : c == kJsonLines ? ReportKind::kJsonLines
                                                      : ReportKind::kDump;
            if (options.kind != ReportKind::kListing && options.kind != kind) {
                return usage_error("--json, --json-lines and --dump exclude each other");
            }
            options.kind = kind;
            return -1;
        }
        case kLog:
            options.log = true;
            return -1;
        case kSummary:
            options.summary = true;
            return -1;
        case kProgress:
        case kNoProgress:
            options.progress = c == kProgress ? Progress::Mode::kOn : Progress::Mode::kOff;
            return -1;
        case 'h':
            std::fputs(kUsage, stdout);
            return kAllTagged;
        case kVersion:
            std::printf("kelid3-info (libkelid3) %s\n", KELID3_INFO_VERSION);
            return kAllTagged;
        case ':':
            return usage_error(std::string("option '") + given + "' needs an argument");
        case '?':
            return usage_error(
                std::string("unknown option '") +
                (optopt != 0 ? std::string("-") + static_cast<char>(optopt) : std::string(given)) +
                "'");
        default:
            return take_argument(c, optarg, options);
    }
}

}  // namespace

int parse_options(int argc, char **argv, Options &options) {
    opterr = 0;
    for (;;) {
        const int c = getopt_long(argc, argv, ":h", kLong, nullptr);
        if (c == -1) break;
        const int status = take_option(c, argv[optind - 1], options);
        if (status >= 0) return status;
    }
    if (!options.frames.empty()) options.frames.push_back(0);
    for (int i = optind; i < argc; ++i) options.paths.emplace_back(argv[i]);
    if (options.paths.empty()) return usage_error("no FILE or DIR given");
    return -1;
}

}  // namespace kelid3_info
