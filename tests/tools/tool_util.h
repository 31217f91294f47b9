// Running the built mozhou-db and reading files back, for the tool's tests.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "jet/value.h"

namespace tool_test {

struct Run {
    int status = -1;
    std::string out, err;
};

// mozhou-db with these arguments (each quoted for the shell) and this standard input.
Run mozhouDb(const std::vector<std::string>& args, const std::string& input = "");

// A fresh, empty folder for one test.
std::filesystem::path scratchDir(const std::string& name);

void writeBytes(const std::filesystem::path& file, const std::string& bytes);

// One row as mdb-export prints it (-Q, values as mdbtoolsText).
// (mdbtools reads binary values only up to their first zero byte: tests keep zeros out.)
std::vector<std::string> mdbCells(const std::vector<jet::Value>& row,
                                  const std::vector<jet::ColumnType>& types);

bool haveOracles();

// Rows compared cell by cell; the first difference is reported with its row and column (texts
// cut short), so that a failure on a large table stays readable.
::testing::AssertionResult sameRows(const std::vector<std::vector<std::string>>& a,
                                    const std::vector<std::vector<std::string>>& b);
::testing::AssertionResult sameLines(const std::vector<std::string>& a,
                                     const std::vector<std::string>& b);

}  // namespace tool_test
