// SPDX-License-Identifier: MIT
// kelid3-info: lists, exports and extracts the ID3 tags of files.
//
// Each file is read in two small pieces: the leading ID3v2 tag (14 bytes, then
// exactly the rest of the tag as its header measures it) and the last 128
// bytes (an ID3v1 tag). The audio in between is never read.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "console.h"
#include "files.h"
#include "frames.h"
#include "kelid3.hpp"
#include "library_log.h"
#include "options.h"
#include "report.h"
#include "text.h"
#include "utf.h"

namespace kelid3_info {
namespace {

// Makes the picture directory when it is not there; false when unusable.
bool prepare_picture_dir(const std::string &dir) {
    struct stat info {};
    if (stat(dir.c_str(), &info) != 0) {
        if (errno != ENOENT || (mkdir(dir.c_str(), 0777) != 0 && errno != EEXIST)) {
            message(terminal_text(dir) + ": " + std::strerror(errno));
            return false;
        }
        return true;
    }
    if (!S_ISDIR(info.st_mode)) {
        message(terminal_text(dir) + ": not a directory");
        return false;
    }
    return true;
}

// The file's name without its directory and its last extension; "stdin" for
// standard input.
std::string stem_of(const std::string &path) {
    if (path == kStandardInput) return "stdin";
    std::string name = path;
    while (name.size() > 1 && name.back() == '/') name.pop_back();
    const size_t slash = name.rfind('/');
    if (slash != std::string::npos) name.erase(0, slash + 1);
    const size_t dot = name.rfind('.');
    if (dot != std::string::npos && dot > 0) name.erase(dot);
    return name;
}

// A path as messages name it.
std::string shown(const std::string &path) {
    return path == kStandardInput ? "standard input" : terminal_text(path);
}

// Whether standard output and the console are one terminal: the progress line
// is then erased before output too.
bool output_on_console() {
    struct stat out {
    }, err{};
    return isatty(1) && isatty(Console::instance().fd()) && fstat(1, &out) == 0 &&
           fstat(Console::instance().fd(), &err) == 0 && out.st_rdev == err.st_rdev;
}

class Run {
  public:
    Run(const Options &options, LibraryLog &log)
        : options_(options),
          log_(log),
          report_(
              make_report(options.kind, stdout,
                          std::vector<uint32_t>(options.frames.begin(),
                                                options.frames.end() - !options.frames.empty()))),
          progress_(options.progress),
          shared_terminal_(output_on_console()) {
        read_options_.ids = options.frames.empty() ? nullptr : options.frames.data();
        read_options_.max_tag_bytes = options.max_tag_bytes;
    }

    int execute() {
        report_->begin();
        Walker walker(options_.extensions,
                      {[this](const std::string &path) { read(path); },
                       [this](const std::string &path, const std::string &reason, bool error) {
                           problem(path, reason, error);
                       }});
        for (const std::string &path : options_.paths) {
            if (path == kStandardInput) {
                read(path);
            } else {
                walker.walk(path);
            }
        }
        report_->end();
        progress_.finish();
        if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
            message(std::string("standard output: ") + std::strerror(errno));
            status_ = kFailure;
        }
        if (options_.summary) summary();
        return status_;
    }

  private:
    void problem(const std::string &path, const std::string &reason, bool error) {
        message(shown(path) + ": " + reason);
        if (!error) return;
        status_ = kFailure;
        ++counts_.unreadable;
        report_->unreadable(path, reason);
    }

    void read(const std::string &path) {
        pictures_ = 0;
        if (options_.log) std::fflush(stdout);  // output stands before the next lines
        FileResult result;
        try {
            result = read_tags(path, read_options_);
        } catch (const std::bad_alloc &) {
            result = FileResult();
            result.error = "out of memory";
        }
        log_.sync();  // the library's lines for this file come first
        ++counts_.files;
        if (!result.error.empty()) {
            problem(path, result.error, true);
            return progress_.update(counts_);
        }
        counts_.tags += result.tags.size();
        counts_.refused += result.issues.size();
        if (shared_terminal_) Console::instance().clear_progress();
        const FramePrepare prepare = [this, &path](FrameView &frame) { extract(path, frame); };
        report_->file(result, options_.extract ? prepare : FramePrepare());
        if (result.tags.empty() && status_ == kAllTagged) status_ = kSomeUntagged;
        progress_.update(counts_);
    }

    void extract(const std::string &path, FrameView &frame) {
        if (!frame.picture) return;
        Picture &picture = *frame.picture;
        std::string target = options_.picture_dir;
        if (target.back() != '/') target += '/';
        target +=
            stem_of(path) + "-" + std::to_string(++pictures_) + "." + picture_extension(picture);
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

    void summary() const {
        message("summary: " + std::to_string(counts_.files) + " files, " +
                std::to_string(counts_.tags) + " tags, " + std::to_string(counts_.refused) +
                " refused, " + std::to_string(counts_.unreadable) + " unreadable");
    }

    const Options &options_;
    LibraryLog &log_;
    std::unique_ptr<Report> report_;
    Progress progress_;
    bool shared_terminal_;
    ReadOptions read_options_;
    Counts counts_;
    int pictures_ = 0;  // pictures of the current file
    int status_ = kAllTagged;
};

// Warns once for each identifier of --frames that the library never decodes.
// Runs while the library's lines are out of sight.
void warn_undecoded(const std::vector<uint32_t> &frames) {
    for (size_t i = 0; i + 1 < frames.size(); ++i) {
        const uint32_t id = frames[i];
        if (std::find(frames.begin(), frames.begin() + static_cast<long>(i), id) !=
            frames.begin() + static_cast<long>(i)) {
            continue;
        }
        const std::string name(kelid3::id_string(id).view());
        switch (decoded_by_library(id)) {
            case Decoded::kFromId3v2:
                break;
            case Decoded::kFromId3v1Only:
                message("--frames: " + name + ": the library decodes no ID3v2 frame " + name +
                        ", only the ID3v1 field it stands for");
                break;
            case Decoded::kNever:
                message("--frames: " + name + ": the library never decodes " + name +
                        " frames: none is shown");
                break;
        }
    }
}

int main_program(int argc, char **argv) {
    Options options;
    const int status = parse_options(argc, argv, options);
    if (status >= 0) return status;
    if (options.extract && !prepare_picture_dir(options.picture_dir)) return kFailure;
    // The tool's messages go to a copy of the standard error it was started
    // with; descriptor 2 is the library's.
    const int copy = fcntl(2, F_DUPFD_CLOEXEC, 3);
    if (copy >= 0) Console::instance().set_fd(copy);
    LibraryLog log;
    warn_undecoded(options.frames);
    std::string error;
    if (options.log && !log.show(error)) {
        message("--log: the library's lines cannot be shown: " + error);
        return kFailure;
    }
    Run run(options, log);
    const int result = run.execute();
    log.stop();
    return result;
}

}  // namespace
}  // namespace kelid3_info

int main(int argc, char **argv) {
    try {
        return kelid3_info::main_program(argc, argv);
    } catch (const std::bad_alloc &) {
        std::fflush(stdout);
        kelid3_info::Console::instance().write("kelid3-info: out of memory\n");
    }
    return kelid3_info::kFailure;
}
