// The toolbar of a window, built from a static table of item rows plus the standard
// trailing items (a flexible space and "Help"). Each item's description, with the
// shortcut of its command appended as "%s (%s)", is its tooltip; a click sends the item's
// command to the window. The item set and the toolbar's visibility are kept in the
// settings ("ToolBar" and "ToolBarState", key = the toolbar's name). The user hides the
// toolbar from its context menu and shows it again with the toggle command.
//
// Thread: main thread only.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "ui/key_stroke.h"
#include "ui/window.h"

namespace tw {

// Item kinds.
inline constexpr std::uint32_t kToolbarItemButton = 0;
inline constexpr std::uint32_t kToolbarItemNotDefault = 2;  // not placed in the default set
inline constexpr std::uint32_t kToolbarItemGroup = 3;
inline constexpr std::uint32_t kToolbarItemSystemIcon = 4;
inline constexpr std::uint32_t kToolbarItemFlexibleSpace = 5;
inline constexpr std::uint32_t kToolbarItemSeparator = 6;
inline constexpr std::uint32_t kToolbarItemSelectable = 7;
inline constexpr std::uint32_t kToolbarItemDropDown = 9;
inline constexpr std::uint32_t kToolbarItemSystemIcon2 = 11;

// On an item without identifier, command 1 stands for a fixed space.
inline constexpr std::uint32_t kToolbarFixedSpaceCommand = 1;

// Icon numbers of the program's toolbar icons.
inline constexpr std::uint32_t kIconHelp = 313;
inline constexpr std::uint32_t kIconPreferences = 318;

// Shows or hides the toolbar of the window that gets it.
inline constexpr std::uint32_t kCommandToggleToolbar = FourCC("tbar");

// The toolbar's height in a window's layout while shown.
inline constexpr int kToolbarLayoutHeight = 56;

// One row of an item table.
struct ToolbarItem {
    std::uint32_t kind = kToolbarItemButton;
    std::uint32_t command = 0;
    std::uint32_t icon = 0;  // icon number, or (kinds 4 and 11) a four-character code
    const char* identifier = nullptr;
    const char* label = "";
    const char* description = "";
    std::uint32_t extra = 0;  // the drop-down command of a drop-down item
};

class LToolbar {
  public:
    // Stores the name and builds the full identifier "com.orvanesoft.tunewright.<name>".
    void SetToolbarName(std::string_view name);
    const std::string& Name() const { return name_; }
    const std::string& FullIdentifier() const { return full_identifier_; }

    // Builds the toolbar of `window` from `items` and the standard trailing items, and
    // restores its saved state. Called once, from the window's OnInit.
    bool CreateToolbar(LWindow* window, const ToolbarItem* items, int item_count,
                       ShortcutTable shortcuts);

    // "ToolBarState", key = the name.
    void SaveToolbarState(bool visible);

    // Shows or hides the toolbar and remembers the choice.
    void SetVisible(bool visible);
    bool IsVisible() const;
    // Takes the toggle command; false for any other.
    bool HandleCommand(std::uint32_t command);

    // 0 when hidden or absent, else kToolbarLayoutHeight.
    int Height() const;

    // The rows as built, descriptions extended with their shortcuts.
    struct Row {
        std::uint32_t kind = 0;
        std::uint32_t command = 0;
        std::uint32_t icon = 0;
        std::string identifier;  // empty: none
        std::string label;
        std::string description;
        std::uint32_t extra = 0;
    };
    const std::vector<Row>& Rows() const { return rows_; }
    // The identifiers of the default set, separated by single blanks.
    std::string DefaultIdentifierText() const;
    // True when CreateToolbar found a saved item set of another table and started over.
    bool WasReset() const { return was_reset_; }

  private:
    void AppendRows(const ToolbarItem* items, int count, ShortcutTable shortcuts);
    void Build();

    LWindow* window_ = nullptr;
    std::string name_;
    std::string full_identifier_;
    std::vector<Row> rows_;
    bool was_reset_ = false;
};

// The standard trailing rows: a flexible space and "Help" (command 'ahlp', Ctrl+/).
std::vector<ToolbarItem> StandardTrailingToolbarItems();

// "%s (%s)" from a description and the shortcut of `command`; the description alone when
// the command has no shortcut.
std::string DescriptionWithShortcut(std::string_view description, std::uint32_t command,
                                    ShortcutTable shortcuts);

}  // namespace tw
