#include "check.h"

#include "error.h"

namespace jet {

std::vector<std::string> checkDatabase(const std::filesystem::path&) { throw Error("not yet"); }

}  // namespace jet
