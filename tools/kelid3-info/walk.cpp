// SPDX-License-Identifier: MIT
// The walk over the paths named on the command line.
#include "walk.h"

#include <dirent.h>
#include <strings.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <new>

namespace kelid3_info {

void Walker::walk(const std::string &path) {
    const size_t before = files_ + failures_;
    struct stat info {};
    const bool directory = stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
    visit(path, true);
    if (directory && files_ + failures_ == before)
        note(path, true,
             extensions_.empty() ? "no file in this directory"
                                 : "no file with these extensions in this directory",
             1);
}

void Walker::visit(const std::string &path, bool named) {
    struct stat info {};
    const size_t dot = path.rfind('.');
    const bool wanted =
        named || extensions_.empty() ||
        (dot != std::string::npos &&
         std::any_of(extensions_.begin(), extensions_.end(), [&](const std::string &ext) {
             return strcasecmp(path.c_str() + dot + 1, ext.c_str()) == 0;
         }));
    if (stat(path.c_str(), &info) != 0) {
        note(path, named, std::strerror(errno), 2);
    } else if (S_ISDIR(info.st_mode)) {
        walk_directory(path, DirectoryId{info.st_dev, info.st_ino});
    } else if (!wanted) {
        // not of the extensions asked for
    } else if (S_ISREG(info.st_mode)) {
        ++files_;
        each_(Item{path, named, "", 0});
    } else {
        note(path, named, named ? "not a regular file" : "not a regular file, passed over",
             named ? 2 : 0);
    }
}

void Walker::walk_directory(const std::string &path, const DirectoryId &id) {
    if (std::find(ancestors_.begin(), ancestors_.end(), id) != ancestors_.end())
        return note(path, false,
                    "directory already being walked (a symbolic link loop), passed over", 0);
    if (!walked_.insert(id).second)
        return note(path, false, "directory walked already (reached another way), passed over", 0);
    std::vector<std::string> names;
    DIR *directory = opendir(path.c_str());
    int error = directory == nullptr ? errno : 0;
    try {
        while (directory != nullptr) {
            errno = 0;
            const dirent *entry = readdir(directory);
            if (entry == nullptr) break;
            if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0)
                names.emplace_back(entry->d_name);
        }
        error = error != 0 ? error : errno;
    } catch (const std::bad_alloc &) {
        error = ENOMEM;
    }
    if (directory != nullptr) closedir(directory);  // closed before going down
    failures_ += error != 0;
    if (error != 0) return note(path, false, std::strerror(error), 2);
    std::sort(names.begin(), names.end());
    ancestors_.push_back(id);
    const std::string prefix = path.back() == '/' ? path : path + "/";
    for (const std::string &name : names) visit(prefix + name, false);
    ancestors_.pop_back();
}

}  // namespace kelid3_info
