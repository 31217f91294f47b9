// Running the built mozhou-db and reading files back, for the tool's tests.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "jet/value.h"
#include "oracle_util.h"

namespace tool_test {

struct Run {
    int status = -1;
    std::string out, err;
};

// mozhou-db with these arguments (each quoted for the shell) and this standard input.
Run mozhouDb(const std::vector<std::string>& args, const std::string& input = "");

// A fresh, empty folder for one test.
std::filesystem::path scratchDir(const std::string& name);

bool haveOracles();

// JSON-lines rows read back into values and written again in the export format's own
// spelling; `asSingles` brings single columns to the float they stand for, since a reader may
// print the float's full double expansion.
std::vector<std::string> respelled(const std::vector<std::string>& lines,
                                   const std::vector<jet::ColumnType>& types,
                                   bool asSingles = false);

using jet_test::sameLines;
using jet_test::writeBytes;

}  // namespace tool_test
