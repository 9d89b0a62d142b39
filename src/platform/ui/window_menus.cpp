// A window's menu bar: menus of items that send commands (from a menu) to the window's
// content view, their enabled state, and a pick through GTK's own activation.
#include <gtk/gtk.h>

#include <vector>

#include "platform/ui/native_internal.h"

namespace tw {

namespace {

void OnMenuItemActivate(GtkMenuItem* item, gpointer data) {
    auto* w = static_cast<NativeWindow*>(data);
    const auto command =
        std::uint32_t(GPOINTER_TO_UINT(g_object_get_data(G_OBJECT(item), "tw-command")));
    Event e(kEventClassCommand, kEventCommandProcess);
    e.SetParam(kEventParamCommand, HICommand{kHICommandFromMenu, command, 0});
    SendEventToTarget(e, &w->Content()->Target());
}

// Whether `widget` sits inside the menu of `item`, submenus included: a menu's parent is its
// popup window, so the way up goes through the item the menu is attached to.
bool InsideMenuOf(GtkWidget* widget, GtkWidget* item) {
    for (GtkWidget* w = widget; w != nullptr;) {
        if (w == item) return true;
        GtkWidget* parent = gtk_widget_get_parent(w);
        w = parent && GTK_IS_MENU(parent) ? gtk_menu_get_attach_widget(GTK_MENU(parent)) : parent;
    }
    return false;
}

}  // namespace

int NativeWindow::AddMenu(const std::string& title) {
    GtkWidget* top = gtk_menu_item_new_with_label(title.c_str());
    GtkWidget* menu = gtk_menu_new();
    gtk_menu_item_set_submenu(GTK_MENU_ITEM(top), menu);
    gtk_menu_shell_append(GTK_MENU_SHELL(menubar_), top);
    gtk_widget_show_all(top);
    gtk_widget_show(menubar_);
    menus_.push_back(top);
    return int(menus_.size()) - 1;
}

int NativeWindow::AddSubmenu(int menu, const std::string& title) {
    if (menu < 0 || menu >= int(menus_.size()) || menus_[menu] == nullptr) return -1;
    GtkWidget* sub = gtk_menu_item_get_submenu(GTK_MENU_ITEM(menus_[menu]));
    GtkWidget* item = gtk_menu_item_new_with_label(title.c_str());
    gtk_menu_item_set_submenu(GTK_MENU_ITEM(item), gtk_menu_new());
    gtk_menu_shell_append(GTK_MENU_SHELL(sub), item);
    gtk_widget_show_all(item);
    menus_.push_back(item);
    return int(menus_.size()) - 1;
}

int NativeWindow::FindMenu(const std::string& title) const {
    for (int i = 0; i < int(menus_.size()); ++i) {
        GtkWidget* m = menus_[i];
        if (m && gtk_widget_get_parent(m) == menubar_ &&
            title == gtk_menu_item_get_label(GTK_MENU_ITEM(m))) {
            return i;
        }
    }
    return -1;
}

void NativeWindow::RemoveMenu(int menu) {
    if (menu < 0 || menu >= int(menus_.size()) || menus_[menu] == nullptr) return;
    GtkWidget* top = menus_[menu];
    // Items and submenus inside it go with it.
    std::erase_if(menu_items_,
                  [top](const auto& entry) { return InsideMenuOf(entry.second, top); });
    for (GtkWidget*& m : menus_) {
        if (m && m != top && InsideMenuOf(m, top)) m = nullptr;
    }
    gtk_widget_destroy(menus_[menu]);
    menus_[menu] = nullptr;
}

int NativeWindow::MenuItemCount(int menu) const {
    if (menu < 0 || menu >= int(menus_.size()) || menus_[menu] == nullptr) return 0;
    GtkWidget* sub = gtk_menu_item_get_submenu(GTK_MENU_ITEM(menus_[menu]));
    GList* children = gtk_container_get_children(GTK_CONTAINER(sub));
    const int n = int(g_list_length(children));
    g_list_free(children);
    return n;
}

void NativeWindow::AddMenuItem(int menu, const std::string& text, std::uint32_t command) {
    if (menu < 0 || menu >= int(menus_.size()) || menus_[menu] == nullptr) return;
    GtkWidget* sub = gtk_menu_item_get_submenu(GTK_MENU_ITEM(menus_[menu]));
    GtkWidget* item = gtk_menu_item_new_with_label(text.c_str());
    g_object_set_data(G_OBJECT(item), "tw-command", GUINT_TO_POINTER(command));
    g_signal_connect(item, "activate", G_CALLBACK(OnMenuItemActivate), this);
    gtk_menu_shell_append(GTK_MENU_SHELL(sub), item);
    gtk_widget_show(item);
    menu_items_.emplace_back(command, item);
}

void NativeWindow::AddMenuSeparator(int menu) {
    if (menu < 0 || menu >= int(menus_.size()) || menus_[menu] == nullptr) return;
    GtkWidget* sub = gtk_menu_item_get_submenu(GTK_MENU_ITEM(menus_[menu]));
    GtkWidget* sep = gtk_separator_menu_item_new();
    gtk_menu_shell_append(GTK_MENU_SHELL(sub), sep);
    gtk_widget_show(sep);
}

void NativeWindow::SetMenuEnabled(int menu, bool enabled) {
    if (menu >= 0 && menu < int(menus_.size()) && menus_[menu]) {
        gtk_widget_set_sensitive(menus_[menu], enabled);
    }
}

bool NativeWindow::IsMenuEnabled(int menu) const {
    return menu >= 0 && menu < int(menus_.size()) && menus_[menu] &&
           gtk_widget_get_sensitive(menus_[menu]);
}

void NativeWindow::SetMenuItemEnabled(std::uint32_t command, bool enabled) {
    for (auto& [cmd, item] : menu_items_) {
        if (cmd == command) gtk_widget_set_sensitive(item, enabled);
    }
}

bool NativeWindow::IsMenuItemEnabled(std::uint32_t command) const {
    for (const auto& [cmd, item] : menu_items_) {
        if (cmd == command) return gtk_widget_is_sensitive(item);
    }
    return false;
}

void NativeWindow::RemoveAllMenus() {
    for (GtkWidget* m : menus_) {
        if (m && gtk_widget_get_parent(m) == menubar_) gtk_widget_destroy(m);
    }
    menus_.clear();
    menu_items_.clear();
    gtk_widget_hide(menubar_);
}

bool NativeWindow::ActivateMenuItem(std::uint32_t command) {
    for (const auto& [cmd, item] : menu_items_) {
        if (cmd == command) {
            if (!gtk_widget_is_sensitive(item)) return false;
            gtk_menu_item_activate(GTK_MENU_ITEM(item));
            return true;
        }
    }
    return false;
}

}  // namespace tw
