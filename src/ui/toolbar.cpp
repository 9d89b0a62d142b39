#include "ui/toolbar.h"

#include "platform/core/folder_lookup.h"
#include "platform/ui/native_tool_items.h"
#include "store/settings.h"

namespace tw {

namespace {

constexpr char kIdentifierPrefix[] = "com.orvanesoft.tunewright.";
constexpr char kSectionItems[] = "ToolBar";
constexpr char kSectionState[] = "ToolBarState";
constexpr char kHideToolbarText[] = "Hide Toolbar";
constexpr std::size_t kNameSize = 260;

// Four-character codes start above this value; smaller icon values are icon numbers.
constexpr std::uint32_t kLowestFourCharCode = 0x2020201F;

// Icons of the desktop's icon theme that stand for ours.
struct ThemeIcon {
    std::uint32_t icon;
    const char* name;
};
constexpr ThemeIcon kThemeIcons[] = {
    {kIconHelp, "help-browser"},
    {kIconPreferences, "preferences-system"},
    {FourCC("help"), "help-browser"},
    {FourCC("pref"), "preferences-system"},
    {FourCC("info"), "dialog-information"},
    {FourCC("caut"), "dialog-warning"},
};

// The theme icon for a row, or our own artwork: resources/images/toolbar-<n>.png.
void ChooseIcon(const LToolbar::Row& row, ToolItemDescription* desc) {
    for (const ThemeIcon& t : kThemeIcons) {
        if (t.icon == row.icon && IconThemeHasIcon(t.name)) {
            desc->icon_name = t.name;
            return;
        }
    }
    const bool system_code =
        (row.kind == kToolbarItemSystemIcon || row.kind == kToolbarItemSystemIcon2) &&
        row.icon > kLowestFourCharCode;
    std::string resources;
    if (!system_code && LookUpResourceFolder(&resources)) {
        desc->icon_path = resources + "/images/toolbar-" + std::to_string(row.icon) + ".png";
        return;
    }
    desc->icon_name = "image-missing";
}

}  // namespace

std::vector<ToolbarItem> StandardTrailingToolbarItems() {
    // The maker's promotional item that stood between these two is not built.
    return {
        {kToolbarItemFlexibleSpace, 0, 0, nullptr, "", "", 0},
        {kToolbarItemButton, kHICommandAppHelp, kIconHelp, "Help", "Help", "Display the manual", 0},
    };
}

std::string DescriptionWithShortcut(std::string_view description, std::uint32_t command,
                                    ShortcutTable shortcuts) {
    std::string text(description);
    if (text.empty()) return text;
    const ShortcutEntry* entry = FindShortcutForCommand(shortcuts, command);
    if (entry == nullptr) return text;
    const std::string keys = StrokeDisplayText(entry->stroke);
    if (keys.empty()) return text;
    return text + " (" + keys + ")";
}

void LToolbar::SetToolbarName(std::string_view name) {
    name_ = std::string(name.substr(0, kNameSize - 1));
    full_identifier_ = kIdentifierPrefix + name_;
}

void LToolbar::AppendRows(const ToolbarItem* items, int count, ShortcutTable shortcuts) {
    for (int i = 0; i < count; ++i) {
        const ToolbarItem& item = items[i];
        Row row;
        row.kind = item.kind;
        row.command = item.command;
        row.icon = item.icon;
        row.identifier = item.identifier != nullptr ? item.identifier : "";
        row.label = item.label != nullptr ? item.label : "";
        row.description = DescriptionWithShortcut(
            item.description != nullptr ? item.description : "", item.command, shortcuts);
        row.extra = item.extra;
        rows_.push_back(std::move(row));
    }
}

std::string LToolbar::DefaultIdentifierText() const {
    std::string text;
    for (const Row& row : rows_) {
        if (row.identifier.empty() || row.kind == kToolbarItemNotDefault) continue;
        if (!text.empty()) text += ' ';
        text += row.identifier;
    }
    return text;
}

bool LToolbar::CreateToolbar(LWindow* window, const ToolbarItem* items, int item_count,
                             ShortcutTable shortcuts) {
    if (window == nullptr || !window->IsValid() || !window->topLevel) return false;
    window_ = window;
    if (name_.empty()) SetToolbarName("Main");
    rows_.clear();
    AppendRows(items, std::max(0, item_count), shortcuts);
    const std::vector<ToolbarItem> trailing = StandardTrailingToolbarItems();
    const ShortcutEntry help[] = {{StrokeFromPacked(kStrokeCommandSlash), kHICommandAppHelp}};
    AppendRows(trailing.data(), int(trailing.size()), help);

    // A saved set of another item table is discarded: the toolbar starts from the
    // default set, and the new set is saved.
    const std::string defaults = DefaultIdentifierText();
    const std::string saved = GetSetting(kSectionItems, name_.c_str(), "");
    was_reset_ = saved != defaults;
    SetSetting(kSectionItems, name_.c_str(), defaults.c_str());
    Build();
    SetToolbarContextMenu(window_->window, kHideToolbarText, [this] { SetVisible(false); });
    window_->window->SetToolbarVisible(GetSettingBool(kSectionState, name_.c_str(), true));
    return true;
}

void LToolbar::Build() {
    std::vector<ToolItemDescription> descs;
    for (const Row& row : rows_) {
        if (row.kind == kToolbarItemNotDefault) continue;
        ToolItemDescription desc;
        desc.command = row.command;
        desc.extra = row.extra;
        desc.label = row.label;
        desc.tooltip = row.description;
        if (!row.identifier.empty()) desc.name = full_identifier_ + "." + row.identifier;
        if (row.kind == kToolbarItemFlexibleSpace) {
            desc.kind = ToolItemKind::kFlexibleSpace;
        } else if (row.kind == kToolbarItemSeparator) {
            desc.kind = ToolItemKind::kSeparator;
        } else if (row.identifier.empty()) {
            // Rows without identifier are spaces: fixed for command 1, else flexible.
            desc.kind = row.command == kToolbarFixedSpaceCommand ? ToolItemKind::kSpace
                                                                 : ToolItemKind::kFlexibleSpace;
        } else {
            desc.kind = row.kind == kToolbarItemSelectable ? ToolItemKind::kToggle
                        : row.kind == kToolbarItemDropDown ? ToolItemKind::kDropDown
                                                           : ToolItemKind::kButton;
            ChooseIcon(row, &desc);
        }
        descs.push_back(std::move(desc));
    }
    SetToolbarItems(window_->window, descs);
}

void LToolbar::SaveToolbarState(bool visible) {
    if (!name_.empty()) SetSettingBool(kSectionState, name_.c_str(), visible);
}

void LToolbar::SetVisible(bool visible) {
    if (window_ == nullptr || !window_->IsValid()) return;
    const bool changed = window_->window->IsToolbarVisible() != visible;
    window_->window->SetToolbarVisible(visible);
    SaveToolbarState(visible);
    // The layout below the toolbar moves.
    if (changed && window_->shown) window_->UpdateControls();
}

bool LToolbar::IsVisible() const {
    return window_ != nullptr && window_->IsValid() && window_->window->IsToolbarVisible();
}

bool LToolbar::HandleCommand(std::uint32_t command) {
    if (command != kCommandToggleToolbar) return false;
    SetVisible(!IsVisible());
    return true;
}

int LToolbar::Height() const {
    return IsVisible() ? kToolbarLayoutHeight : 0;
}

}  // namespace tw
