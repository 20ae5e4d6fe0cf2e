// SPDX-License-Identifier: MIT
// The option table, the parser and --help.
#include "options.h"

#include <cctype>

#include "kelid3.hpp"
#include "text.h"

namespace kelid3_info {

namespace {

// The items of a comma-separated list in lower case.
std::vector<std::string> items(std::string_view list) {
    std::vector<std::string> out(1);
    for (const char c : list) {
        if (c == ',') out.emplace_back();
        if (c != ',') out.back() += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return out;
}

// Digits, with a suffix K, M or G (times 1024, 1024^2, 1024^3) when `sized`;
// false when that is not what `text` holds or the value is above `max`.
bool number(std::string_view text, bool sized, uint64_t max, uint64_t &value) {
    unsigned shift = 0;
    const char last = text.empty() ? '\0' : static_cast<char>(std::tolower(text.back()));
    if (sized && (last == 'k' || last == 'm' || last == 'g')) {
        shift = last == 'k' ? 10 : last == 'm' ? 20 : 30;
        text.remove_suffix(1);
    }
    uint64_t n = 0;
    for (const char c : text) {
        if (c < '0' || c > '9' || n > (max >> shift) / 10) return false;
        n = n * 10 + static_cast<uint64_t>(c - '0');
    }
    if (text.empty() || n > (max >> shift)) return false;
    value = n << shift;
    return true;
}

template <Form form>
std::string set_form(Options &options, std::string_view) {
    if (options.form != Form::kListing && options.form != form)
        return "--json, --json-lines, --csv and --dump exclude each other";
    options.form = form;
    return "";
}

template <auto member, auto value>
std::string set(Options &options, std::string_view) {
    options.*member = value;
    return "";
}

std::string frames(Options &options, std::string_view list) {
    for (std::string id : items(list)) {
        bool valid = id.size() == 4;
        for (char &c : id) {
            c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
            valid = valid && ((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'));
        }
        if (!valid) return "'" + shown(id) + "' is not a frame identifier (four letters or digits)";
        options.frames.push_back(kelid3::make_id(id));
    }
    return "";
}

std::string extensions(Options &options, std::string_view list) {
    for (std::string extension : items(list)) {
        if (!extension.empty() && extension[0] == '.') extension.erase(0, 1);
        if (extension.empty()) return "an empty extension in '" + shown(list) + "'";
        options.extensions.push_back(extension);
    }
    return "";
}

// A number from `min` to `max`, with a suffix K, M or G when `sized`.
template <uint64_t Options::*member, bool sized, uint64_t min, uint64_t max>
std::string count(Options &options, std::string_view text) {
    uint64_t value = 0;
    if (number(text, sized, max, value) && value >= min) return options.*member = value, "";
    return "'" + shown(text) + "' is not a number from " + std::to_string(min) + " to " +
           std::to_string(max) + (sized ? " (digits, then K, M or G)" : "");
}

using O = Options;
using A = std::string_view;

}  // namespace

const OptionSpec kOptions[] = {
    {0, "json", nullptr, "print one JSON document for the whole run", set_form<Form::kJson>},
    {0, "json-lines", nullptr, "print one JSON object per file, one a line",
     set_form<Form::kJsonLines>},
    {0, "csv", nullptr, "print a table (RFC 4180): a header row, a row a file",
     set_form<Form::kCsv>},
    {0, "dump", nullptr, "print the library's own dump of each tag", set_form<Form::kDump>},
    {0, "frames", "ID[,ID]...",
     "show only these frames, e.g. TIT2,TPE1,APIC; the\ncolumns of --csv (default "
     "TIT2,TPE1,TALB,TRCK,\nTDRC,TCON,COMM)",
     frames},
    {0, "strict", nullptr,
     "read ID3v2 tags as kelid3_tag_parse does: 33 text\nframes and pictures, no "
     "unsynchronised or large\nframe",
     set<&O::strict, true>},
    {0, "extract-pictures", "DIR",
     "write the pictures below DIR in the tree of the\nfiles: A/01.mp3 gives DIR/A/01-1.jpg "
     "(never\nreplacing a file)",
     [](O &o, A dir) -> std::string {
         o.picture_dir = dir;
         return dir.empty() ? "the directory name is empty" : "";
     }},
    {0, "max-pictures", "N", "write at most N pictures of a file (default 64)",
     count<&O::max_pictures, false, 0, UINT32_MAX>},
    {0, "ext", "EXT[,EXT]...",
     "in directories read only files with these\nextensions, e.g. mp3,mp2 (any case)", extensions},
    {0, "max-tag-bytes", "N",
     "do not read ID3v2 tags of more than N bytes\n(suffix K, M or G; default 64M)",
     count<&O::max_tag_bytes, true, 0, uint64_t{4} << 30>},
    {'j', "jobs", "N", "read N files at a time (default 1; the output is\nthe same)",
     count<&O::jobs, false, 1, 64>},
    {0, "log", nullptr, "show the library's diagnostic lines on standard\nerror",
     set<&O::log, true>},
    {0, "utf8", nullptr, "write UTF-8 whatever the locale says", set<&O::utf8, true>},
    {0, "progress", nullptr, "show a progress line on standard error",
     set<&O::progress, Progress::Mode::kOn>},
    {0, "no-progress", nullptr, "never show it (default: on a terminal, after a\nsecond)",
     set<&O::progress, Progress::Mode::kOff>},
    {0, "summary", nullptr, "end with counts of files, tags and failures on\nstandard error",
     set<&O::summary, true>},
    {'h', "help", nullptr, "show this help and exit", set<&O::help, true>},
    {0, "version", nullptr, "show the version and exit", set<&O::version, true>},
};
const size_t kOptionCount = std::size(kOptions);

std::string option_names(const OptionSpec &spec) {
    std::string names = spec.short_name != 0 ? std::string("-") + spec.short_name + ", " : "";
    names += std::string("--") + spec.name;
    return spec.argument != nullptr ? names + " " + spec.argument : names;
}

std::string help_text() {
    std::string text =
        "Usage: kelid3-info [OPTION]... FILE|DIR...\n"
        "List the ID3 tags (ID3v1, ID3v1.1, ID3v2.0 to ID3v2.4) of each FILE and of\n"
        "every file below each DIR (sorted; each directory walked once). FILE '-' is\n"
        "standard input.\n\n";
    constexpr size_t kColumn = 28;
    for (const OptionSpec &spec : kOptions) {
        std::string line = "  " + option_names(spec);
        line += line.size() + 2 > kColumn ? "\n" + std::string(kColumn, ' ')
                                          : std::string(kColumn - line.size(), ' ');
        for (const char *c = spec.help; *c != '\0'; ++c)
            line += *c == '\n' ? "\n" + std::string(kColumn, ' ') : std::string(1, *c);
        text += line + "\n";
    }
    return text +
           "\nExit status: 0 if every file was read and every file named had a tag; 1 if\n"
           "a file named had no tag or a directory named held no file to read; 2 on a\n"
           "usage error, a file or directory not read, a picture not written, memory\n"
           "running out or output failing.\n";
}

std::string parse_options(const std::vector<std::string> &args, Options &options) {
    bool paths_only = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string &arg = args[i];
        if (paths_only || arg == "-" || arg.empty() || arg[0] != '-') {
            options.paths.push_back(arg);
            continue;
        }
        if (arg == "--") {
            paths_only = true;
            continue;
        }
        const bool long_form = arg[1] == '-';
        const size_t equals = long_form ? arg.find('=') : std::string::npos;
        const std::string name = long_form ? arg.substr(2, equals - 2) : arg.substr(1, 1);
        const OptionSpec *spec = nullptr;
        for (const OptionSpec &candidate : kOptions) {
            const bool match = long_form
                                   ? name == candidate.name
                                   : candidate.short_name != 0 && name[0] == candidate.short_name;
            if (match) spec = &candidate;
        }
        const std::string given = long_form ? "--" + name : "-" + name;
        if (spec == nullptr) return "unknown option '" + shown(long_form ? "--" + name : arg) + "'";
        std::string value;
        const bool attached = long_form ? equals != std::string::npos : arg.size() > 2;
        if (attached) value = long_form ? arg.substr(equals + 1) : arg.substr(2);
        if (spec->argument == nullptr && attached)
            return "option '" + given + "' takes no argument";
        if (spec->argument != nullptr && !attached) {
            if (i + 1 == args.size()) return "option '" + given + "' needs an argument";
            value = args[++i];
        }
        const std::string error = spec->take(options, value);
        if (!error.empty()) return given + ": " + error;
    }
    if (options.paths.empty() && !options.help && !options.version) return "no FILE or DIR given";
    return "";
}

}  // namespace kelid3_info
