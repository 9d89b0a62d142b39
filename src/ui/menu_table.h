// A window's own menus from a table of entries: menus and submenus with titles, items with
// command ids and the keys of the window's shortcut table, separators.
//
// Thread: main thread only.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "ui/key_stroke.h"

namespace tw {

class LWindow;

// An entry of a menu table, read in order:
//   {-1, "Title"}   begins a menu (a submenu inside a menu); {-1, nullptr} ends it
//   {n, "Text"}     an item with command id n (n > 0), or n = -id for ids below -1
//   {0, nullptr}    a separator
//   {kMenuWindowList, nullptr}  the window list; a separator on this desktop
struct MenuTableEntry {
    std::int64_t number = 0;
    const char* text = nullptr;
};
inline constexpr std::int64_t kMenuWindowList = FourCC("wind");

// The text an item or menu title shows: a single "&" is removed, "&&" stands for one "&",
// and everything from the first tab on is dropped.
std::string CleanMenuText(const char* text);

// Builds the table's menus into the window's menu bar. A top-level menu whose title is
// there already replaces it. An item's key comes from the first shortcut-table entry with
// its command, unless the stroke is one the desktop keeps. Returns the number of top-level
// menus built.
int BuildMenusFromTable(LWindow* window, std::span<const MenuTableEntry> table,
                        ShortcutTable shortcuts);

}  // namespace tw
