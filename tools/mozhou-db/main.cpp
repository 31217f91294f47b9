#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <string>
#include <string_view>
#include <vector>

#include "bank_place.h"
#include "commands.h"

namespace {

// The engine keeps every page it reads, so on a large file much of an export's time goes into
// faulting in fresh heap memory 4 KB at a time. glibc backs its heap with transparent huge
// pages when its tunable asks for it, and reads tunables only at start-up: so the tool starts
// itself once more with the tunable added, for large files only, since a start costs more than
// reading a small file. When that cannot be done it simply goes on.
void restartWithHugePages(const std::filesystem::path& exe, int argc, char** argv) {
    if (argc < 3) return;
    const std::string_view command = argv[1];
    if (command != "export" && command != "query" && command != "check") return;
    std::error_code ec;
    const auto size = std::filesystem::file_size(argv[2], ec);
    if (ec || size < (std::uintmax_t{16} << 20)) return;
    const char* tunables = std::getenv("GLIBC_TUNABLES");
    if (tunables && std::strstr(tunables, "glibc.malloc.hugetlb")) return;
    std::string value = tunables && *tunables ? std::string(tunables) + ":" : std::string();
    value += "glibc.malloc.hugetlb=1";
    if (::setenv("GLIBC_TUNABLES", value.c_str(), 1) != 0) return;
    ::execv(exe.c_str(), argv);
}

}  // namespace

int main(int argc, char** argv) {
    std::error_code ec;
    auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (!ec) restartWithHugePages(exe, argc, argv);
    if (ec) exe = std::filesystem::absolute(argv[0], ec);

    // Rows go out in large blocks; nothing ties the C++ streams to stdio.
    std::ios::sync_with_stdio(false);
    std::vector<std::string> args(argv + 1, argv + argc);
    // The sample questions lie with the program's other files (installed: in the share folder).
    const auto files = bank::places(exe.parent_path()).files;
    const int status = mozhou_db::run(args, files, {std::cin, std::cout, std::cerr});
    std::cout.flush();
    if (!std::cout) {
        std::cerr << "mozhou-db: cannot write the output\n";
        return status == mozhou_db::kOk ? mozhou_db::kFailed : status;
    }
    return status;
}
