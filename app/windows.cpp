#include "windows.h"

#include "GuanyuWindow.h"
#include "HelpWindow.h"
#include "window_registry.h"

namespace mozhou {

void registerWindows() {
    auto& registry = WindowRegistry::instance();
    registry.registerFactory("help", [] { return new HelpWindow; });
    registry.registerFactory("guanyu", [] { return new GuanyuWindow; });
}

}  // namespace mozhou
