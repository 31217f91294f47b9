#include "window_registry.h"

namespace mozhou {

WindowRegistry& WindowRegistry::instance() {
    static WindowRegistry registry;
    return registry;
}

void WindowRegistry::registerFactory(const QString& name, Factory factory) {
    factories_.insert(name, std::move(factory));
}

void WindowRegistry::unregisterFactory(const QString& name) { factories_.remove(name); }

QWidget* WindowRegistry::show(const QString& name) {
    QWidget* window = find(name);
    if (!window) {
        auto factory = factories_.constFind(name);
        if (factory == factories_.constEnd() || !*factory) return nullptr;
        window = (*factory)();
        if (!window) return nullptr;
        if (window->objectName().isEmpty()) window->setObjectName(name);
        open_.insert(name, window);
    }
    // A minimized window comes back as it was before, in front.
    if (window->isMinimized()) window->setWindowState(window->windowState() & ~Qt::WindowMinimized);
    window->show();
    window->raise();
    window->activateWindow();
    return window;
}

QWidget* WindowRegistry::find(const QString& name) const {
    auto it = open_.constFind(name);
    return it == open_.constEnd() ? nullptr : it->data();
}

}  // namespace mozhou
