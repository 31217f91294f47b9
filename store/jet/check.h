// A consistency check of a whole Jet file, for tests and for a user's "is my file sound?":
// every page, row and long value of every table is visited.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace jet {

// The problems found, one sentence each; empty when the file is sound. Throws jet::Error only
// when the file cannot be opened at all.
std::vector<std::string> checkDatabase(const std::filesystem::path& file);

}  // namespace jet
