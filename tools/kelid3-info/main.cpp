// SPDX-License-Identifier: MIT
// kelid3-info: lists, exports and extracts the ID3 tags of files.
//
// One pipeline: the walk names the files; each is read into its model (on
// -j threads, at most that many at a time); in the walk's order the driver
// writes its pictures and hands it to the one printer, then releases it.
#include <langinfo.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <clocale>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <functional>
#include <mutex>
#include <new>
#include <thread>

#include "model.h"
#include "options.h"
#include "output.h"
#include "pictures.h"
#include "printers.h"
#include "text.h"
#include "walk.h"

#ifndef KELID3_INFO_VERSION
#define KELID3_INFO_VERSION "unknown"
#endif

namespace kelid3_info {
namespace {

using namespace kelid3::literals;

struct Slot {
    Item item;
    FileModel model;
    bool done = false;
};

// Reads files on worker threads and shows them in the order they were added,
// with at most `jobs` of them read or waiting at a time. Without threads it
// reads and shows each file as it is added.
class Pipeline {
  public:
    Pipeline(uint64_t jobs, std::function<void(Slot &)> read, std::function<void(Slot &)> show)
        : jobs_(jobs), read_(std::move(read)), show_(std::move(show)) {
        try {
            for (uint64_t i = 0; jobs > 1 && i < jobs; ++i)
                threads_.emplace_back([this] { work(); });
        } catch (const std::system_error &) {
            // fewer threads, or none
        }
    }
    ~Pipeline() {  // after drain(), or when unwinding: the threads end, nothing is shown
        std::unique_lock<std::mutex> lock(mutex_);
        stop_ = true;
        work_.notify_all();
        lock.unlock();
        for (std::thread &thread : threads_) thread.join();
    }
    Pipeline(const Pipeline &) = delete;
    Pipeline &operator=(const Pipeline &) = delete;

    void add(Item item) {
        auto slot = std::make_unique<Slot>();
        slot->item = std::move(item);
        if (threads_.empty()) {
            read_(*slot);
            return show_(*slot);
        }
        std::unique_lock<std::mutex> lock(mutex_);
        while (queue_.size() >= jobs_) show_first(lock);
        queue_.push_back(std::move(slot));
        work_.notify_one();
    }

    // Shows what is left.
    void drain() {
        std::unique_lock<std::mutex> lock(mutex_);
        while (!queue_.empty()) show_first(lock);
    }

  private:
    void work() {
        std::unique_lock<std::mutex> lock(mutex_);
        for (;;) {
            work_.wait(lock, [this] { return stop_ || next_ < queue_.size(); });
            if (next_ == queue_.size()) return;
            Slot &slot = *queue_[next_++];
            lock.unlock();
            read_(slot);
            lock.lock();
            slot.done = true;
            done_.notify_all();
        }
    }

    void show_first(std::unique_lock<std::mutex> &lock) {
        done_.wait(lock, [this] { return queue_.front()->done; });
        std::unique_ptr<Slot> slot = std::move(queue_.front());
        queue_.pop_front();
        --next_;
        lock.unlock();
        show_(*slot);
        slot.reset();
        lock.lock();
    }

    uint64_t jobs_;
    std::function<void(Slot &)> read_, show_;
    std::vector<std::thread> threads_;
    std::mutex mutex_;
    std::condition_variable work_, done_;
    std::deque<std::unique_ptr<Slot>> queue_;  // in the order added
    size_t next_ = 0;                          // the first slot no thread has taken
    bool stop_ = false;
};

struct Counts {
    uint64_t files = 0, tags = 0, untagged = 0, refused = 0, unreadable = 0;
    uint64_t written = 0, not_written = 0;
};

class Run {
  public:
    Run(const Options &options, Output &output, ReadSettings settings,
        std::unique_ptr<Printer> printer)
        : options_(options),
          output_(output),
          settings_(std::move(settings)),
          printer_(std::move(printer)),
          progress_(options.progress, output) {}

    int execute() {
        output_.out(printer_->begin());
        {
            Pipeline pipeline(
                options_.jobs, [this](Slot &slot) { read(slot); },
                [this](Slot &slot) { show(slot); });
            Walker walker(options_.extensions, [&](Item item) { pipeline.add(std::move(item)); });
            for (const std::string &path : options_.paths) {
                if (path == kStandardInput) pipeline.add(Item{path, true, "", 0});
                if (path != kStandardInput) walker.walk(path);
            }
            pipeline.drain();
        }
        output_.out(printer_->end());
        if (!output_.finish()) status_ = 2;
        if (!options_.summary) return status_;
        std::string summary = "summary: " + std::to_string(counts_.files) + " files, " +
                              std::to_string(counts_.tags) + " tags, " +
                              std::to_string(counts_.untagged) + " untagged, " +
                              std::to_string(counts_.refused) + " refused, " +
                              std::to_string(counts_.unreadable) + " unreadable";
        if (!options_.picture_dir.empty())
            summary += ", " + std::to_string(counts_.written) + " pictures written, " +
                       std::to_string(counts_.not_written) + " not written";
        output_.message(summary);
        return status_;
    }

  private:
    // A path as messages name it.
    static std::string name_of(const std::string &path) {
        return path == kStandardInput ? "standard input" : shown(path);
    }

    // On any thread.
    void read(Slot &slot) {
        if (!slot.item.note.empty()) return;
        try {
            slot.model = read_file(slot.item.path, settings_);
        } catch (const std::bad_alloc &) {
            slot.model = FileModel();
            slot.model.error = "out of memory";
        }
    }

    // In the walk's order.
    void show(Slot &slot) {
        FileModel &model = slot.model;
        model.path = slot.item.path;
        const std::string name = name_of(model.path);
        status_ = std::max(status_, slot.item.status);
        if (!slot.item.note.empty()) {
            output_.message(name + ": " + slot.item.note);
            if (slot.item.status < 2) return;
            model.error = slot.item.note;
        } else {
            if (!model.log.empty()) output_.err(model.log);
            ++counts_.files;
        }
        if (!model.error.empty()) {
            if (slot.item.note.empty()) output_.message(name + ": " + model.error);
            status_ = 2;
            ++counts_.unreadable;
        } else {
            if (!options_.picture_dir.empty()) save(model);
            counts_.tags += model.tags.size();
            counts_.refused += model.refused.size();
            counts_.untagged += model.tags.empty();
            if (model.tags.empty() && slot.item.named) status_ = std::max(status_, 1);
        }
        print(model);
        progress_.update(counts_.files, counts_.tags);
    }

    void save(FileModel &model) {
        const uint64_t failed = save_pictures(model, options_.picture_dir, options_.max_pictures);
        for (const Tag &tag : model.tags) {
            for (const Frame &frame : tag.frames) {
                if (!frame.picture) continue;
                counts_.written += !frame.picture->saved_as.empty();
                if (!frame.picture->error.empty()) output_.message(shown(frame.picture->error));
            }
        }
        counts_.not_written += failed + model.pictures_over_limit;
        if (failed != 0) status_ = 2;
    }

    void print(FileModel &model) {
        std::string text;
        try {
            text = printer_->entry(model);
        } catch (const std::bad_alloc &) {
            FileModel failed;
            failed.path = std::move(model.path);
            model = FileModel();  // what it held is released first
            failed.error = "out of memory";
            output_.message(name_of(failed.path) + ": out of memory");
            status_ = 2;
            text = printer_->entry(failed);
        }
        output_.out(text);
        if (options_.form == Form::kJsonLines) output_.flush();
    }

    const Options &options_;
    Output &output_;
    const ReadSettings settings_;
    std::unique_ptr<Printer> printer_;
    Progress progress_;
    Counts counts_;
    int status_ = 0;
};

// Whether the locale's character set is UTF-8. The C library is left in the
// "C" locale: nothing else of the tool depends on it.
bool locale_is_utf8() {
    const bool set = std::setlocale(LC_CTYPE, "") != nullptr;
    const bool utf8 = set && std::strcmp(nl_langinfo(CODESET), "UTF-8") == 0;
    std::setlocale(LC_CTYPE, "C");
    return utf8;
}

// Makes the picture directory when it is not there; false when unusable.
bool picture_directory(const std::string &dir, Output &output) {
    struct stat info {};
    const char *problem = nullptr;
    if (stat(dir.c_str(), &info) == 0) {
        if (S_ISDIR(info.st_mode)) return true;
        problem = "not a directory";
    } else if (mkdir(dir.c_str(), 0777) != 0) {  // it says why stat failed, if not ENOENT
        problem = std::strerror(errno);
    }
    if (problem != nullptr) output.message(shown(dir) + ": " + problem);
    return problem == nullptr;
}

int run(int argc, char **argv) {
    Output output;
    set_utf8_output(locale_is_utf8());
    Options options;
    const std::string error =
        parse_options(std::vector<std::string>(argv + 1, argv + argc), options);
    if (options.utf8) set_utf8_output(true);
    if (!error.empty()) {
        output.message(error);
        output.err("Try 'kelid3-info --help' for more information.\n");
        return 2;
    }
    if (options.help || options.version) {
        output.out(options.help ? help_text()
                                : "kelid3-info (libkelid3) " KELID3_INFO_VERSION "\n");
        return output.finish() ? 0 : 2;
    }
    if (!options.picture_dir.empty() && !picture_directory(options.picture_dir, output)) return 2;
    ReadSettings settings;
    settings.flags = options.strict ? 0 : KELID3_READ_COMPLETE;
    settings.max_tag_bytes = options.max_tag_bytes;
    settings.log = options.log;
    std::vector<uint32_t> columns = options.frames.empty() ? kDefaultColumns : options.frames;
    if (options.form == Form::kCsv || !options.frames.empty()) {
        settings.shown = columns;
        settings.ids = columns;
        // The year of ID3v2.3 tags, for the column TDRC.
        if (options.form == Form::kCsv && std::count(columns.begin(), columns.end(), "TDRC"_id))
            settings.ids.push_back("TYER"_id);
        settings.ids.push_back(0);
    }
    for (const uint32_t id : options.frames) {
        const char first = static_cast<char>(id >> 24);
        if (!options.strict && first != 'T' && first != 'W' && id != "COMM"_id && id != "USLT"_id &&
            id != "APIC"_id)
            output.message("--frames: " + std::string(kelid3::id_string(id).view()) +
                           ": the library decodes no such frame: none is shown");
    }
    Run run(options, output, std::move(settings), make_printer(options.form, std::move(columns)));
    return run.execute();
}

}  // namespace
}  // namespace kelid3_info

int main(int argc, char **argv) {
    try {
        return kelid3_info::run(argc, argv);
    } catch (const std::bad_alloc &) {
        kelid3_info::write_all(2, "kelid3-info: out of memory\n");
    }
    return 2;
}
