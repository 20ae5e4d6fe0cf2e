// SPDX-License-Identifier: MIT
// Golden files: the expected outputs of a table, in tests/golden/NAME (no
// extension), apart from its inputs, which stay with the test. A section a
// row, named as the row; a line "FIELD: text" for each line of a field (the
// name ends at the first ": "); blank lines between sections. A field without
// lines is empty.
//   == a frame of size 0
//   result: -34
//   frame: TIT2/2 s0'T'
//   line: ERROR frame size: 0. Stop here.
// expect_rows checks each row: each field that `run` gives for it is compared
// with its section by its own EXPECT_EQ, under the row's name, so a failure
// names the row and the field and shows the lines that differ.
//   expect_rows("v2_scan_ends", rows, [](const Case &row) { return scan(row); });
// A row without a section, a section without a row, and a field in a section
// that the run does not give fail the test.
#pragma once

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

// A row's outputs: each field's name and its lines, '\n' between them.
using Fields = std::vector<std::pair<std::string, std::string>>;

// The lines of a text, without their newlines; none for "".
inline std::vector<std::string> split(const std::string &text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) out.push_back(line);
    return out;
}

// The lines of tests/golden/NAME.
inline std::vector<std::string> golden_lines(const std::string &name) {
    std::ifstream in(KELID3_GOLDEN_DIR "/" + name);
    EXPECT_TRUE(in.is_open()) << "no golden file tests/golden/" << name;
    return split(std::string(std::istreambuf_iterator<char>(in), {}));
}

// The sections of tests/golden/NAME: for each row, each field's lines, each
// behind a '\n'.
using Section = std::map<std::string, std::string>;
inline std::map<std::string, Section> golden_sections(const std::string &name) {
    std::map<std::string, Section> sections;
    Section *section = nullptr;
    for (const std::string &line : golden_lines(name)) {
        const size_t colon = line.find(": ");
        if (line.starts_with("== ")) {
            EXPECT_FALSE(sections.contains(line.substr(3))) << "a second section " << line;
            section = &sections[line.substr(3)];
        } else if (section != nullptr && colon != std::string::npos) {
            (*section)[line.substr(0, colon)] += "\n" + line.substr(colon + 2);
        } else if (!line.empty()) {
            ADD_FAILURE() << "tests/golden/" << name << ": neither section nor field: " << line;
        }
    }
    return sections;
}

template <class Rows, class Run>
void expect_rows(const std::string &name, const Rows &rows, Run run) {
    std::map<std::string, Section> sections = golden_sections(name);
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        auto node = sections.extract(row.name);
        EXPECT_FALSE(node.empty()) << "tests/golden/" << name << " has no section == " << row.name;
        Section golden = node ? std::move(node.mapped()) : Section();
        for (const auto &[field, text] : run(row)) {
            const std::string want = golden.contains(field) ? golden[field].substr(1) : "";
            EXPECT_EQ(text, want) << "field " << field;
            golden.erase(field);
        }
        for (const auto &field : golden) ADD_FAILURE() << "no run gives field " << field.first;
    }
    for (const auto &row : sections)
        ADD_FAILURE() << "tests/golden/" << name << ": no row " << row.first;
}
