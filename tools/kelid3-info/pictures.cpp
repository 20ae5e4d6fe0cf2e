// SPDX-License-Identifier: MIT
// Picture names, extensions and writing.
#include "pictures.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <iterator>

#include "output.h"

namespace kelid3_info {

namespace {

// Writes `data` into a new file, making the directories on its way below
// `dir` (which is there); "" or why it could not.
std::string write_new_file(const std::string &dir, const std::string &target,
                           kelid3::byte_view data) {
    for (size_t slash = target.find('/', dir.size()); slash != std::string::npos;
         slash = target.find('/', slash + 1))
        mkdir(target.substr(0, slash).c_str(), 0777);
    const int fd = open(target.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0666);
    if (fd < 0) return errno == EEXIST ? "exists already, not replaced" : std::strerror(errno);
    const bool written =
        write_all(fd, std::string_view(reinterpret_cast<const char *>(data.data()), data.size()));
    const int error = errno;
    if (close(fd) == 0 && written) return "";
    unlink(target.c_str());  // no half-written picture stays behind
    return std::strerror(written ? errno : error);
}

}  // namespace

std::string_view picture_type_name(uint32_t type) {
    // clang-format off
    static const char *const kTypes[] = {"Other", "32x32 pixels file icon", "Other file icon",
        "Cover (front)", "Cover (back)", "Leaflet page", "Media",
        "Lead artist/lead performer/soloist", "Artist/performer", "Conductor", "Band/Orchestra",
        "Composer", "Lyricist/text writer", "Recording Location", "During recording",
        "During performance", "Movie/video screen capture", "A bright coloured fish",
        "Illustration", "Band/artist logotype", "Publisher/Studio logotype"};
    // clang-format on
    return type < std::size(kTypes) ? kTypes[type] : "";
}

std::string picture_extension(const Picture &picture) {
    // MIME types as taggers write them (some leave out "image/").
    static const char *const kTypes[][2] = {
        {"jpeg", "jpg"}, {"jpg", "jpg"},      {"pjpeg", "jpg"}, {"png", "png"},  {"gif", "gif"},
        {"bmp", "bmp"},  {"x-ms-bmp", "bmp"}, {"webp", "webp"}, {"tiff", "tif"}, {"x-icon", "ico"}};
    std::string mime = picture.mime.substr(0, picture.mime.find(';'));
    while (!mime.empty() && mime.back() == ' ') mime.pop_back();
    if (strncasecmp(mime.c_str(), "image/", 6) == 0) mime.erase(0, 6);
    for (const auto &type : kTypes)
        if (strcasecmp(mime.c_str(), type[0]) == 0) return type[1];
    const std::string_view data(reinterpret_cast<const char *>(picture.data.data()),
                                picture.data.size());
    if (data.substr(0, 3) == "\xFF\xD8\xFF") return "jpg";
    if (data.substr(0, 8) == "\x89PNG\r\n\x1A\n") return "png";
    if (data.substr(0, 4) == "GIF8") return "gif";
    if (data.substr(0, 2) == "BM") return "bmp";
    if (data.size() >= 12 && data.substr(0, 4) == "RIFF" && data.substr(8, 4) == "WEBP")
        return "webp";
    return "bin";
}

std::string picture_path(const std::string &dir, const std::string &path, uint64_t n,
                         const Picture &picture) {
    std::string target = dir.back() == '/' ? dir.substr(0, dir.size() - 1) : dir;
    const std::string source = path == kStandardInput ? "stdin" : path;
    size_t start = 0;
    for (size_t slash = 0; (slash = source.find('/', start)) != std::string::npos;
         start = slash + 1) {
        const std::string part = source.substr(start, slash - start);
        if (!part.empty() && part != ".") target += "/" + (part == ".." ? "__" : part);
    }
    std::string stem = source.substr(start);
    const size_t dot = stem.rfind('.');
    if (dot != std::string::npos && dot > 0) stem.erase(dot);
    if (stem == ".") stem = "__";  // of "..", cut at its last dot
    return target + "/" + stem + "-" + std::to_string(n) + "." + picture_extension(picture);
}

uint64_t save_pictures(FileModel &model, const std::string &dir, uint64_t max) {
    uint64_t n = 0, failed = 0;
    for (Tag &tag : model.tags) {
        for (Frame &frame : tag.frames) {
            if (!frame.picture) continue;
            Picture &picture = *frame.picture;
            if (++n > max) {
                ++model.pictures_over_limit;
                continue;
            }
            const std::string target = picture_path(dir, model.path, n, picture);
            const std::string error = write_new_file(dir, target, picture.data);
            if (error.empty()) picture.saved_as = target;
            if (!error.empty()) picture.error = target + ": " + error, ++failed;
        }
    }
    return failed;
}

}  // namespace kelid3_info
