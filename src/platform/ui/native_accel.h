// Accelerators of menu items in a window's menu bar: the GTK accelerator that shows
// beside the item and picks it from the keyboard.
//
// Thread: main thread only.
#pragma once

#include <cstdint>
#include <string>

#include "platform/ui/native.h"

namespace tw {

// Sets (keyval 0: removes) the accelerator of the menu item that sends `command`;
// `modifiers` are our modifier bits. False when the window has no such item.
bool SetMenuItemAccelerator(NativeWindow* window, std::uint32_t command, unsigned keyval,
                            std::uint32_t modifiers);

// The accelerator of that item: its key value (0 when it has none) and modifier bits.
// False when the window has no such item.
bool GetMenuItemAccelerator(NativeWindow* window, std::uint32_t command, unsigned* keyval,
                            std::uint32_t* modifiers);

// The label GTK shows for the item's accelerator ("Shift+Ctrl+K"); empty when none.
std::string MenuItemAcceleratorLabel(NativeWindow* window, std::uint32_t command);

}  // namespace tw
