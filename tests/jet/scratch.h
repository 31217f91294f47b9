// A folder of a test process's own, removed with everything in it when the process ends, so
// that test and fuzz runs do not fill the temporary folder. Header-only: the fuzz targets use
// it without the test helpers' libraries.
#pragma once

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace jet_test {

// `<base>/<prefix>_<pid>`, made now.
inline std::filesystem::path processScratch(
    const std::string& prefix,
    const std::filesystem::path& base = std::filesystem::temp_directory_path()) {
    namespace fs = std::filesystem;
    static std::vector<fs::path>* made = [] {
        std::atexit([] {
            std::error_code ec;
            for (const auto& dir : *made) fs::remove_all(dir, ec);
        });
        return new std::vector<fs::path>;
    }();
    const fs::path dir = base / (prefix + "_" + std::to_string(::getpid()));
    if (std::find(made->begin(), made->end(), dir) == made->end()) made->push_back(dir);
    fs::create_directories(dir);
    return dir;
}

}  // namespace jet_test
