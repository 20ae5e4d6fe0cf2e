// SPDX-License-Identifier: MIT
// kelid3-info: lists, exports and extracts the ID3 tags of files.
//
// Each file is read in two small pieces: the leading ID3v2 tag (14 bytes, then
// exactly the rest of the tag as kelid3_tag_query measures it) and the last
// 128 bytes (an ID3v1 tag). The audio in between is never read.
#include <fcntl.h>
#include <getopt.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "files.h"
#include "frames.h"
#include "kelid3.hpp"
#include "report.h"
#include "text.h"
#include "utf.h"

#ifndef KELID3_INFO_VERSION
#define KELID3_INFO_VERSION "unknown"
#endif

namespace kelid3_info {
namespace {

constexpr const char *kName = "kelid3-info";

enum Status { kAllTagged = 0, kSomeUntagged = 1, kFailure = 2 };

const char kUsage[] =
    "Usage: kelid3-info [OPTION]... FILE|DIR...\n"
    "List the ID3 tags (ID3v1, ID3v1.1, ID3v2.0 to ID3v2.4) of each FILE and of\n"
    "every file below each DIR (walked recursively, in sorted order).\n"
    "\n"
    "  --json                    print one JSON document for the whole run\n"
    "  --dump                    print the library's own dump of each tag\n"
    "  --frames ID[,ID]...       show only these frames, e.g. TIT2,TPE1,APIC\n"
    "  --extract-pictures DIR    write each attached picture into DIR as\n"
    "                            NAME-N.EXT (never replacing a file)\n"
    "  --log                     show the library's diagnostic lines on standard error\n"
    "  -h, --help                show this help and exit\n"
    "  --version                 show the version and exit\n"
    "\n"
    "Exit status: 0 if every file was read and had a tag, 1 if some file had no\n"
    "tag, 2 on a usage error or if some file could not be read.\n";

struct Options {
    ReportKind kind = ReportKind::kListing;
    bool dump = false;
    bool json = false;
    bool log = false;
    std::vector<uint32_t> frames;  // 0-ended when not empty
    std::string picture_dir;
    bool extract = false;
    std::vector<std::string> paths;
};

// The tool's own messages: to the standard error that the tool was started
// with, also while the library's lines are kept out of sight.
int g_message_fd = 2;

void say(const std::string &line) {
    std::fflush(stdout);
    std::fflush(stderr);
    if (write(g_message_fd, line.data(), line.size()) < 0) {
        // Nowhere left to say it.
    }
}

void message(const std::string &text) {
    say(std::string(kName) + ": " + text + "\n");
}

int usage_error(const std::string &text) {
    message(text);
    say("Try 'kelid3-info --help' for more information.\n");
    return kFailure;
}

// Adds the identifiers of a comma-separated list; false for a bad one.
bool add_frames(const std::string &list, std::vector<uint32_t> &frames, std::string &bad) {
    size_t start = 0;
    for (;;) {
        const size_t comma = list.find(',', start);
        std::string id = list.substr(start, comma == std::string::npos ? comma : comma - start);
        bool valid = id.size() == 4;
        for (char &c : id) {
            if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
            valid = valid && ((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'));
        }
        if (!valid) {
            bad = id;
            return false;
        }
        frames.push_back(kelid3::make_id(id));
        if (comma == std::string::npos) return true;
        start = comma + 1;
    }
}

// Returns -1 to go on, else the exit status.
int parse_options(int argc, char **argv, Options &options) {
    enum { kJson = 256, kDump, kFrames, kExtract, kLog, kVersion };
    static const option kLong[] = {{"json", no_argument, nullptr, kJson},
                                   {"dump", no_argument, nullptr, kDump},
                                   {"frames", required_argument, nullptr, kFrames},
                                   {"extract-pictures", required_argument, nullptr, kExtract},
                                   {"log", no_argument, nullptr, kLog},
                                   {"help", no_argument, nullptr, 'h'},
                                   {"version", no_argument, nullptr, kVersion},
                                   {nullptr, 0, nullptr, 0}};
    opterr = 0;
    for (;;) {
        const int c = getopt_long(argc, argv, ":h", kLong, nullptr);
        if (c == -1) break;
        const char *given = argv[optind - 1];
        std::string bad;
        switch (c) {
            case kJson:
                options.json = true;
                break;
            case kDump:
                options.dump = true;
                break;
            case kLog:
                options.log = true;
                break;
            case kFrames:
                if (!add_frames(optarg, options.frames, bad)) {
                    return usage_error("--frames: '" + bad +
                                       "' is not a frame identifier (four letters A-Z or digits)");
                }
                break;
            case kExtract:
                options.extract = true;
                options.picture_dir = optarg;
                if (options.picture_dir.empty()) {
                    return usage_error("--extract-pictures: the directory name is empty");
                }
                break;
            case 'h':
                std::fputs(kUsage, stdout);
                return kAllTagged;
            case kVersion:
                std::printf("kelid3-info (libkelid3) %s\n", KELID3_INFO_VERSION);
                return kAllTagged;
            case ':':
                return usage_error(std::string("option '") + given + "' needs an argument");
            default:
                return usage_error(std::string("unknown option '") +
                                   (optopt != 0 ? std::string("-") + static_cast<char>(optopt)
                                                : std::string(given)) +
                                   "'");
        }
    }
    if (options.json && options.dump) return usage_error("--json and --dump exclude each other");
    options.kind = options.json   ? ReportKind::kJson
                   : options.dump ? ReportKind::kDump
                                  : ReportKind::kListing;
    if (!options.frames.empty()) options.frames.push_back(0);
    for (int i = optind; i < argc; ++i) options.paths.emplace_back(argv[i]);
    if (options.paths.empty()) return usage_error("no FILE or DIR given");
    return -1;
}

// Makes the picture directory when it is not there; false when unusable.
bool prepare_picture_dir(const std::string &dir) {
    struct stat info {};
    if (stat(dir.c_str(), &info) != 0) {
        if (errno != ENOENT || (mkdir(dir.c_str(), 0777) != 0 && errno != EEXIST)) {
            message(dir + ": " + std::strerror(errno));
            return false;
        }
        return true;
    }
    if (!S_ISDIR(info.st_mode)) {
        message(dir + ": not a directory");
        return false;
    }
    return true;
}

// The file's name without its directory and its last extension.
std::string stem_of(const std::string &path) {
    std::string name = path;
    while (name.size() > 1 && name.back() == '/') name.pop_back();
    const size_t slash = name.rfind('/');
    if (slash != std::string::npos) name.erase(0, slash + 1);
    const size_t dot = name.rfind('.');
    if (dot != std::string::npos && dot > 0) name.erase(dot);
    return name;
}

class Run {
  public:
    explicit Run(const Options &options)
        : options_(options), report_(make_report(options.kind, stdout)) {}

    int execute() {
        report_->begin();
        WalkCallbacks callbacks;
        callbacks.file = [this](const std::string &path) { read(path); };
        callbacks.problem = [this](const std::string &path, const std::string &reason, bool error) {
            message(shown(path) + ": " + reason);
            if (!error) return;
            status_ = kFailure;
            report_->unreadable(path, reason);
        };
        for (const std::string &path : options_.paths) walk(path, callbacks);
        report_->end();
        if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
            message(std::string("standard output: ") + std::strerror(errno));
            status_ = kFailure;
        }
        return status_;
    }

  private:
    static std::string shown(const std::string &path) { return terminal_text(utf8_to_utf8(path)); }

    void read(const std::string &path) {
        const uint32_t *ids = options_.frames.empty() ? nullptr : options_.frames.data();
        const FileResult result = read_tags(path, ids);
        if (!result.error.empty()) {
            message(shown(path) + ": " + result.error);
            status_ = kFailure;
            report_->unreadable(path, result.error);
            return;
        }
        std::vector<TagView> tags;
        for (const FoundTag &found : result.tags) {
            tags.push_back(describe(found, options_.frames));
        }
        if (options_.extract) extract(path, tags);
        std::fflush(stderr);  // the library's lines for this file, with --log
        report_->file(result, tags);
        if (result.tags.empty() && status_ == kAllTagged) status_ = kSomeUntagged;
    }

    void extract(const std::string &path, std::vector<TagView> &tags) {
        int position = 0;
        for (TagView &tag : tags) {
            for (FrameView &frame : tag.frames) {
                if (!frame.picture) continue;
                Picture &picture = *frame.picture;
                std::string target = options_.picture_dir;
                if (target.back() != '/') target += '/';
                target += stem_of(path) + "-" + std::to_string(++position) + "." +
                          picture_extension(picture);
                std::string error;
                switch (write_new_file(target, picture.data, error)) {
                    case WriteResult::kWritten:
                        picture.saved_as = utf8_to_utf8(target);
                        break;
                    case WriteResult::kExists:
                        message(shown(target) + ": exists already, not overwritten");
                        break;
                    case WriteResult::kFailed:
                        message(shown(target) + ": " + error);
                        status_ = kFailure;
                        break;
                }
            }
        }
    }

    const Options &options_;
    std::unique_ptr<Report> report_;
    int status_ = kAllTagged;
};

// Keeps the library's diagnostic lines (written to standard error) out of
// sight: the tool's messages go to a copy of the original standard error, and
// descriptor 2 is pointed at /dev/null. Either way standard error gets a
// buffer, so the library's lines cost no system call each.
void route_diagnostics(bool show_library_lines) {
    const int copy = fcntl(2, F_DUPFD_CLOEXEC, 3);
    if (copy >= 0) g_message_fd = copy;
    if (!show_library_lines) {
        const int null = open("/dev/null", O_WRONLY | O_CLOEXEC);
        if (null >= 0 && null != 2) {
            dup2(null, 2);
            close(null);
        }
    }
    static char buffer[1 << 16];
    std::setvbuf(stderr, buffer, _IOFBF, sizeof buffer);
}

int main_program(int argc, char **argv) {
    Options options;
    const int status = parse_options(argc, argv, options);
    if (status >= 0) return status;
    if (options.extract && !prepare_picture_dir(options.picture_dir)) return kFailure;
    route_diagnostics(options.log);
    Run run(options);
    const int result = run.execute();
    std::fflush(stderr);
    return result;
}

}  // namespace
}  // namespace kelid3_info

int main(int argc, char **argv) {
    return kelid3_info::main_program(argc, argv);
}
