// SPDX-License-Identifier: MIT
// Finding the files to read: the paths named, and every file below a named
// directory, in sorted order, each directory once.
#ifndef KELID3_INFO_WALK_H
#define KELID3_INFO_WALK_H

#include <sys/types.h>

#include <functional>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace kelid3_info {

// What the walk gives, in its order: a file to read, or a note on a path.
struct Item {
    std::string path;
    bool named = false;  // named on the command line, not found in a directory
    std::string note;    // empty for a file to read; else what is said of the path
    int status = 0;      // the exit status that a note asks for: 0, 1 or 2 (not read)
};

// A regular file named or found is an item to read; a directory is walked
// recursively in sorted order, following symbolic links; a directory met
// again (a loop, or a second way to it) is passed over with a note. With
// `extensions`, files found in directories are read only when their
// extension is one of them (compared without case). A named directory in
// which no file is found gets a note.
class Walker {
  public:
    Walker(std::vector<std::string> extensions, std::function<void(Item)> each)
        : extensions_(std::move(extensions)), each_(std::move(each)) {}
    void walk(const std::string &path);

  private:
    using DirectoryId = std::pair<dev_t, ino_t>;
    void visit(const std::string &path, bool named);
    void walk_directory(const std::string &path, const DirectoryId &id);
    void note(const std::string &path, bool named, std::string text, int status) {
        each_(Item{path, named, std::move(text), status});
    }

    std::vector<std::string> extensions_;
    std::function<void(Item)> each_;
    std::vector<DirectoryId> ancestors_;  // the directories being walked
    std::set<DirectoryId> walked_;        // every directory walked in the run
    size_t files_ = 0;                    // files found so far
    size_t failures_ = 0;                 // directories that could not be read
};

}  // namespace kelid3_info

#endif
