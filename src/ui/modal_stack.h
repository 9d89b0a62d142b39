// The process-wide modal stack (the native windows inside a modal loop, newest first) and
// menu tracking (while a popup menu of the toolkit is open, commands are only remembered).
//
// Thread: main thread only.
#pragma once

#include <cstdint>
#include <functional>

namespace tw {

class NativeWindow;

bool IsMenuTracking();
void SetMenuTracking(bool tracking);
// The last command that arrived while tracking; commands record themselves there.
std::uint32_t TrackedMenuCommand();
void TrackMenuCommand(std::uint32_t id);

namespace modal_stack {
void Push(NativeWindow* window);
void Pop(NativeWindow* window);
// True when the list is empty or the window is its newest entry.
bool IsTop(NativeWindow* window);
NativeWindow* Top();
int Size();
// Told whether the application's menus (root menu, Quit item, Help menu) should be
// enabled: false once the stack holds more than one window, true again below two.
void SetMenuStateListener(std::function<void(bool enabled)> listener);
}  // namespace modal_stack

}  // namespace tw
