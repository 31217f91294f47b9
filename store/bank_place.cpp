#include "bank_place.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>

namespace fs = std::filesystem;

namespace bank {

namespace {

// The file whose presence says that a folder holds the program's files.
constexpr const char* kMarker = "help.txt";

bool holdsFiles(const fs::path& folder) {
    std::error_code ec;
    return fs::is_regular_file(folder / kMarker, ec);
}

// The user's data folder: $XDG_DATA_HOME when it is an absolute path (a relative one is to be
// ignored), else ~/.local/share.
fs::path dataHome() {
    const char* xdg = std::getenv("XDG_DATA_HOME");
    if (xdg && *xdg && fs::path(xdg).is_absolute()) return xdg;
    const char* home = std::getenv("HOME");
    if (!home || !*home) {
        const passwd* entry = ::getpwuid(::getuid());
        home = entry ? entry->pw_dir : "/";
    }
    return fs::path(home) / ".local" / "share";
}

}  // namespace

Places places(const fs::path& programDir) {
    // MOZHOU_FILES_FROM_BIN: the installed share folder, relative to the installed bin folder.
    const fs::path installed = (programDir / MOZHOU_FILES_FROM_BIN).lexically_normal();
    Places p;
    p.portable = holdsFiles(programDir) && ::access(programDir.c_str(), W_OK) == 0;
    p.files = holdsFiles(programDir) || !holdsFiles(installed) ? programDir : installed;
    p.bank = (p.portable ? programDir : dataHome() / "mozhou") / "shujuku.mdb";
    return p;
}

fs::path executableFolder() {
    std::error_code ec;
    const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    return ec ? fs::current_path(ec) : exe.parent_path();
}

}  // namespace bank
