// The desktop application's life: process set-up, the new-version bookkeeping, the system
// check, one instance per session, the preliminary loop, the main window with its menus,
// the run lock, the run loop and the orderly end (quit, close box, SIGINT, SIGTERM).
//
// Thread: main thread.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "app/application_frame.h"

namespace tw {

// Makes the main window object (not yet its native window) and says what the frame needs
// of it. Called once, after the preliminary loop.
using MainWindowFactory = std::function<MainWindowHooks()>;

// The reverse-DNS id under which a second launch finds the first.
inline constexpr const char* kApplicationId = "com.orvanesoft.Tunewright";

// Runs the application with the copied arguments (program path first); the exit status.
int RunApplication(const std::vector<std::string>& args, const MainWindowFactory& make_main);

}  // namespace tw
