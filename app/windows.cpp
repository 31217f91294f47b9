#include "windows.h"

#include "ChengjiWindow.h"
#include "CheshiWindow.h"
#include "GuanyuWindow.h"
#include "HelpWindow.h"
#include "ShujudaochuWindow.h"
#include "ShujudaoruWindow.h"
#include "ShujuluruWindow.h"
#include "XuexiWindow.h"
#include "window_registry.h"

namespace mozhou {

void registerWindows() {
    auto& registry = WindowRegistry::instance();
    registry.registerFactory("help", [] { return new HelpWindow; });
    registry.registerFactory("guanyu", [] { return new GuanyuWindow; });
    registry.registerFactory("shujudaochu", [] { return new ShujudaochuWindow; });
    registry.registerFactory("shujudaoru", [] { return new ShujudaoruWindow; });
    registry.registerFactory("shujuluru", [] { return new ShujuluruWindow; });
    registry.registerFactory("xuexi", [] { return new XuexiWindow; });
    registry.registerFactory("chengji", [] { return new ChengjiWindow; });
    registry.registerFactory("cheshi", [] { return new CheshiWindow(CheshiWindow::Mode::Test); });
    registry.registerFactory("cuoti", [] { return new CheshiWindow(CheshiWindow::Mode::Drill); });
}

}  // namespace mozhou
