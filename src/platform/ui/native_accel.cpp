#include "platform/ui/native_accel.h"

#include <gtk/gtk.h>

#include "platform/ui/keys.h"

namespace tw {

namespace {

constexpr char kCommandKey[] = "tw-command";
constexpr char kAccelGroupKey[] = "tw-accel-group";
constexpr char kAccelKeyvalKey[] = "tw-accel-keyval";
constexpr char kAccelModsKey[] = "tw-accel-mods";

GtkWidget* FindMenuBar(GtkWidget* widget) {
    if (GTK_IS_MENU_BAR(widget)) return widget;
    if (!GTK_IS_CONTAINER(widget)) return nullptr;
    GtkWidget* found = nullptr;
    GList* kids = gtk_container_get_children(GTK_CONTAINER(widget));
    for (GList* k = kids; k != nullptr && found == nullptr; k = k->next) {
        found = FindMenuBar(GTK_WIDGET(k->data));
    }
    g_list_free(kids);
    return found;
}

// The menu item of the window's menu bar that sends `command`.
GtkWidget* FindMenuItem(NativeWindow* window, std::uint32_t command) {
    if (!NativeWindow::IsValid(window)) return nullptr;
    GtkWidget* bar = FindMenuBar(GTK_WIDGET(window->Widget()));
    if (bar == nullptr) return nullptr;
    GtkWidget* found = nullptr;
    GList* tops = gtk_container_get_children(GTK_CONTAINER(bar));
    for (GList* t = tops; t != nullptr && found == nullptr; t = t->next) {
        GtkWidget* sub = gtk_menu_item_get_submenu(GTK_MENU_ITEM(t->data));
        if (sub == nullptr) continue;
        GList* items = gtk_container_get_children(GTK_CONTAINER(sub));
        for (GList* i = items; i != nullptr && found == nullptr; i = i->next) {
            const auto id = GPOINTER_TO_UINT(g_object_get_data(G_OBJECT(i->data), kCommandKey));
            if (id == command && command != 0) found = GTK_WIDGET(i->data);
        }
        g_list_free(items);
    }
    g_list_free(tops);
    return found;
}

GtkAccelGroup* WindowAccelGroup(NativeWindow* window) {
    GObject* w = G_OBJECT(window->Widget());
    auto* group = static_cast<GtkAccelGroup*>(g_object_get_data(w, kAccelGroupKey));
    if (group == nullptr) {
        group = gtk_accel_group_new();
        gtk_window_add_accel_group(GTK_WINDOW(w), group);
        g_object_set_data_full(w, kAccelGroupKey, group, g_object_unref);
    }
    return group;
}

}  // namespace

bool SetMenuItemAccelerator(NativeWindow* window, std::uint32_t command, unsigned keyval,
                            std::uint32_t modifiers) {
    GtkWidget* item = FindMenuItem(window, command);
    if (item == nullptr) return false;
    GtkAccelGroup* group = WindowAccelGroup(window);
    const auto old_keyval = GPOINTER_TO_UINT(g_object_get_data(G_OBJECT(item), kAccelKeyvalKey));
    if (old_keyval != 0) {
        const auto old_mods = GPOINTER_TO_UINT(g_object_get_data(G_OBJECT(item), kAccelModsKey));
        gtk_widget_remove_accelerator(item, group, old_keyval, GdkModifierType(old_mods));
    }
    const unsigned mods = GdkStateFromModifiers(modifiers & ~kAlphaLock);
    g_object_set_data(G_OBJECT(item), kAccelKeyvalKey, GUINT_TO_POINTER(keyval));
    g_object_set_data(G_OBJECT(item), kAccelModsKey, GUINT_TO_POINTER(mods));
    if (keyval != 0) {
        gtk_widget_add_accelerator(item, "activate", group, keyval, GdkModifierType(mods),
                                   GTK_ACCEL_VISIBLE);
    }
    return true;
}

bool GetMenuItemAccelerator(NativeWindow* window, std::uint32_t command, unsigned* keyval,
                            std::uint32_t* modifiers) {
    GtkWidget* item = FindMenuItem(window, command);
    if (item == nullptr) return false;
    if (keyval) *keyval = GPOINTER_TO_UINT(g_object_get_data(G_OBJECT(item), kAccelKeyvalKey));
    if (modifiers) {
        *modifiers = ModifiersFromGdkState(
            GPOINTER_TO_UINT(g_object_get_data(G_OBJECT(item), kAccelModsKey)));
    }
    return true;
}

std::string MenuItemAcceleratorLabel(NativeWindow* window, std::uint32_t command) {
    unsigned keyval = 0;
    std::uint32_t modifiers = 0;
    if (!GetMenuItemAccelerator(window, command, &keyval, &modifiers) || keyval == 0) return {};
    gchar* label =
        gtk_accelerator_get_label(keyval, GdkModifierType(GdkStateFromModifiers(modifiers)));
    std::string text = label != nullptr ? label : "";
    g_free(label);
    return text;
}

}  // namespace tw
