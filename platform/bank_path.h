// Where the windows find the question bank and the program's own files; bank::places decides
// (beside the program when it runs from a writable folder holding its files, else the user's
// data folder). Tests point every window at a bank of their own.
#pragma once

#include <filesystem>

namespace mozhou {

// The folder of the files the program reads: help.txt, icons, pictures, daochu.mdb, the sample.
std::filesystem::path programFolder();
std::filesystem::path bankPath();
// Overrides the bank's place for the whole program; an empty path restores the default.
void setBankPath(const std::filesystem::path& path);

}  // namespace mozhou
