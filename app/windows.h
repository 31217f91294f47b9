#pragma once

namespace mozhou {

// Tells the window registry how to make every window of the program by its name. Called once
// before the main window shows; tests call it too.
void registerWindows();

}  // namespace mozhou
