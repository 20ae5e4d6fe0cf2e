// SPDX-License-Identifier: MIT
// Golden files: the expected outputs of a table, in tests/golden/NAME (no
// extension), apart from its inputs, which stay with the test. A section a
// row, named as the row; a line "FIELD: text" for each line of a field; blank
// lines between sections. A field without lines is empty.
//   == a frame of size 0
//   result: -34
//   frame: TIT2/2 s0'T'
//   line: ERROR frame size: 0. Stop here.
// expect_rows checks each row: each field that `run` gives for it is compared
// with its section by its own EXPECT_EQ, under the row's name, so a failure
// names the row and the field and shows the lines that differ.
//   expect_rows("v2_scan_sizes", rows, [](const Case &row) { return scan(row.input); });
// A row without a section, a section without a row, and a field in a section
// that the run does not give fail the test.
#pragma once

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <string>
#include <utility>
#include <vector>

// A row's outputs: each field's name and its lines, '\n' between them.
using Fields = std::vector<std::pair<std::string, std::string>>;

// The lines of tests/golden/NAME, without their newlines.
inline std::vector<std::string> golden_lines(const std::string &name) {
    std::ifstream in(KELID3_GOLDEN_DIR "/" + name);
    EXPECT_TRUE(in.is_open()) << "no golden file tests/golden/" << name;
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

class Golden {
  public:
    explicit Golden(const std::string &name) : name_("tests/golden/" + name) {
        std::map<std::string, std::string> *section = nullptr;
        for (const std::string &line : golden_lines(name)) {
            const size_t colon = line.find(':');
            if (line.starts_with("== ")) {
                const auto [at, added] = sections_.try_emplace(line.substr(3));
                EXPECT_TRUE(added) << name_ << ": a second section " << line;
                section = &at->second;
            } else if (section != nullptr && colon != std::string::npos) {
                // each line behind a '\n', which the comparison drops
                (*section)[line.substr(0, colon)] +=
                    "\n" + line.substr(std::min(line.size(), colon + 2));
            } else if (!line.empty()) {
                ADD_FAILURE() << name_ << ": neither a section nor a field: " << line;
            }
        }
    }
    ~Golden() {
        for (const auto &section : sections_)
            ADD_FAILURE() << name_ << ": no row " << section.first;
    }
    Golden(const Golden &) = delete;

    void expect(const std::string &row, const Fields &got) {
        auto section = sections_.extract(row);
        if (section.empty()) {
            ADD_FAILURE() << name_ << " has no section == " << row;
            return;
        }
        for (const auto &[field, text] : got) {
            const auto entry = section.mapped().extract(field);
            const std::string golden = entry ? entry.mapped().substr(1) : "";
            EXPECT_EQ(text, golden) << row << ", field " << field;
        }
        for (const auto &field : section.mapped())
            ADD_FAILURE() << name_ << ", " << row << ": no run gives field " << field.first;
    }

  private:
    std::string name_;
    std::map<std::string, std::map<std::string, std::string>> sections_;
};

template <class Rows, class Run>
void expect_rows(const std::string &name, const Rows &rows, Run run) {
    Golden golden(name);
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        golden.expect(row.name, run(row));
    }
}
