#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "commands.h"

int main(int argc, char** argv) {
    // Rows go out in large blocks; nothing ties the C++ streams to stdio.
    std::ios::sync_with_stdio(false);
    std::error_code ec;
    auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec) exe = std::filesystem::absolute(argv[0], ec);
    std::vector<std::string> args(argv + 1, argv + argc);
    const int status = mozhou_db::run(args, exe.parent_path(), {std::cin, std::cout, std::cerr});
    std::cout.flush();
    if (!std::cout) {
        std::cerr << "mozhou-db: cannot write the output\n";
        return status == mozhou_db::kOk ? mozhou_db::kFailed : status;
    }
    return status;
}
