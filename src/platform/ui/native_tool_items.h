// The items of a window's toolbar on GTK: buttons with an icon of the desktop's icon theme
// or an image file, toggle buttons, buttons with a drop-down part, spaces and separators,
// and the toolbar's context menu. A click sends the item's command to the window as a
// control's command.
//
// Thread: main thread only.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/ui/native.h"

namespace tw {

enum class ToolItemKind {
    kButton,
    kToggle,    // one of a group of selectable items
    kDropDown,  // a button with an arrow part that sends `extra`
    kSpace,     // a fixed space
    kFlexibleSpace,
    kSeparator,
};

struct ToolItemDescription {
    ToolItemKind kind = ToolItemKind::kButton;
    std::uint32_t command = 0;
    std::uint32_t extra = 0;  // the drop-down part's command
    std::string name;         // the item's identifier, for finding it again
    std::string label;
    std::string tooltip;
    std::string icon_name;  // of the icon theme; empty: icon_path
    std::string icon_path;  // an image file
};

// Replaces the window's toolbar items.
void SetToolbarItems(NativeWindow* window, const std::vector<ToolItemDescription>& items);

// The context menu of the toolbar: one item with this text, which calls `pick`.
void SetToolbarContextMenu(NativeWindow* window, const std::string& text,
                           std::function<void()> pick);
// Opens the context menu as a right click would and picks its item; false without one.
bool PickToolbarContextMenuItem(NativeWindow* window);

// What the toolbar shows, left to right.
struct ToolItemInfo {
    ToolItemKind kind = ToolItemKind::kButton;
    std::uint32_t command = 0;
    std::string name;
    std::string label;
    std::string tooltip;
    std::string icon_name;  // empty when the icon came from a file or there is none
    bool has_icon = false;
    bool expands = false;
    int x = 0;  // allocation within the toolbar, once shown
    int width = 0;
};
std::vector<ToolItemInfo> GetToolbarItems(NativeWindow* window);

// A click on the button of the item with this command, as the user makes it.
bool PressToolbarItem(NativeWindow* window, std::uint32_t command);
// A click on the drop-down part of the item with this command.
bool ClickToolbarDropDown(NativeWindow* window, std::uint32_t command);

// Whether the icon theme has an icon of this name.
bool IconThemeHasIcon(const std::string& name);

}  // namespace tw
