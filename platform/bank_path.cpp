#include "bank_path.h"

#include "bank_place.h"

namespace mozhou {

namespace {
std::filesystem::path& overridden() {
    static std::filesystem::path p;
    return p;
}

// Decided once, so that the bank does not move while the program runs.
const bank::Places& places() {
    static const bank::Places p = bank::places(bank::executableFolder());
    return p;
}
}  // namespace

std::filesystem::path programFolder() { return places().files; }

std::filesystem::path bankPath() {
    if (!overridden().empty()) return overridden();
    return places().bank;
}

void setBankPath(const std::filesystem::path& path) { overridden() = path; }

}  // namespace mozhou
