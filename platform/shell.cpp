#include "shell.h"

#include <QDesktopServices>

namespace mozhou {

namespace {
std::function<void(const QUrl&)>& handler() {
    static std::function<void(const QUrl&)> current;
    return current;
}
}  // namespace

void shellOpen(const QUrl& address) {
    if (handler())
        handler()(address);
    else
        QDesktopServices::openUrl(address);
}

void setShellOpenHandler(std::function<void(const QUrl&)> replacement) {
    handler() = std::move(replacement);
}

}  // namespace mozhou
