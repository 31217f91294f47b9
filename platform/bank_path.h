// Where the windows find the question bank: the program folder + "/shujuku.mdb", the same
// construction everywhere. Tests point every window at a bank of their own.
#pragma once

#include <filesystem>

namespace mozhou {

std::filesystem::path programFolder();
std::filesystem::path bankPath();
// Overrides the bank's place for the whole program; an empty path restores the default.
void setBankPath(const std::filesystem::path& path);

}  // namespace mozhou
