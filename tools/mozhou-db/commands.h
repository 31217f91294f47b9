// mozhou-db: the engine on the command line, for looking into a Jet file, exporting and
// querying it, making new banks and templates, appending rows and checking a file.
// Exit status 0 on success, 1 on a usage error, 2 on a file or SQL error (message on `err`).
#pragma once

#include <filesystem>
#include <iosfwd>
#include <string>
#include <vector>

namespace mozhou_db {

inline constexpr int kOk = 0;
inline constexpr int kUsage = 1;
inline constexpr int kFailed = 2;

struct Streams {
    std::istream& in;
    std::ostream& out;
    std::ostream& err;
};

// `args` are the arguments after the program name; `programDir` is the folder of the
// executable, where the sample questions lie.
int run(const std::vector<std::string>& args, const std::filesystem::path& programDir, Streams io);

}  // namespace mozhou_db
