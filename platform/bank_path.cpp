#include "bank_path.h"

#include <QCoreApplication>

namespace mozhou {

namespace {
std::filesystem::path& overridden() {
    static std::filesystem::path p;
    return p;
}
}  // namespace

std::filesystem::path programFolder() {
    return std::filesystem::path(QCoreApplication::applicationDirPath().toStdString());
}

std::filesystem::path bankPath() {
    if (!overridden().empty()) return overridden();
    return std::filesystem::path(programFolder().string() + "/shujuku.mdb");
}

void setBankPath(const std::filesystem::path& path) { overridden() = path; }

}  // namespace mozhou
