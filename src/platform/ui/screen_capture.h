// What a window shows on screen, saved as a PNG: for tools that photograph the program
// and for tests that check its pixels.
//
// Thread: main thread only.
#pragma once

#include <string>

namespace tw {

class NativeWindow;

// The window's client area as it is on screen now; false when the window is not on
// screen or the file cannot be written.
bool SaveWindowPng(const NativeWindow& window, const std::string& path);

}  // namespace tw
