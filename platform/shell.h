#pragma once

#include <QUrl>
#include <functional>

namespace mozhou {

// Hands a web address to the desktop's default handler; the result is not checked.
void shellOpen(const QUrl& address);

// Replaces the desktop handler (tests use this to see what would be opened); an empty
// function restores the desktop handler.
void setShellOpenHandler(std::function<void(const QUrl&)> handler);

}  // namespace mozhou
