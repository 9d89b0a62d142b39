#include "ui/menu_table.h"

#include <vector>

#include "ui/window.h"

namespace tw {

std::string CleanMenuText(const char* text) {
    std::string out;
    for (const char* p = text ? text : ""; *p != '\0' && *p != '\t'; ++p) {
        if (*p == '&') {
            if (p[1] == '&') {
                out += '&';
                ++p;
            }
            continue;
        }
        out += *p;
    }
    return out;
}

int BuildMenusFromTable(LWindow* window, std::span<const MenuTableEntry> table,
                        ShortcutTable shortcuts) {
    if (window == nullptr || window->window == nullptr) return 0;
    NativeWindow* native = window->window;
    std::vector<int> open;  // the menus being filled, innermost last
    int built = 0;
    for (const MenuTableEntry& e : table) {
        if (e.number == -1 && e.text != nullptr) {
            const std::string title = CleanMenuText(e.text);
            if (open.empty()) {
                const int existing = native->FindMenu(title);
                if (existing >= 0) native->RemoveMenu(existing);
                open.push_back(native->AddMenu(title));
                ++built;
            } else {
                open.push_back(native->AddSubmenu(open.back(), title));
            }
        } else if (e.number == -1) {
            if (!open.empty()) open.pop_back();
        } else if (open.empty()) {
            continue;  // entries outside a menu have nowhere to go
        } else if (e.number == 0 || e.number == kMenuWindowList) {
            native->AddMenuSeparator(open.back());
        } else if (e.text != nullptr) {
            const auto command = std::uint32_t(e.number > 0 ? e.number : -e.number);
            native->AddMenuItem(open.back(), CleanMenuText(e.text), command);
            if (const ShortcutEntry* s = FindShortcutForCommand(shortcuts, command)) {
                SetMenuItemStroke(native, command, s->stroke);
            }
        }
    }
    return built;
}

}  // namespace tw
