// Popup buttons and their menus: the button that shows the current item, the menu's
// items, and the menu signals turned into menu events (an item highlighted, the menu
// closed). The open menu marks the current item and starts with it highlighted.
#include <gtk/gtk.h>

#include "platform/ui/native_internal.h"

namespace tw {

namespace {

using Internals = NativeUiInternals;

struct PopupItemData {
    NativeControl* control;
    int item;
};

void SendTargetItem(NativeControl* c, int item) {
    Event e(kEventClassMenu, kEventMenuTargetItem);
    e.SetParam(kEventParamMenuItemIndex, std::int64_t{item});
    SendToControl(c, e);
}

void OnItemSelect(GtkMenuItem*, gpointer data) {
    auto* d = static_cast<PopupItemData*>(data);
    SendTargetItem(d->control, d->item);
}

void OnItemDeselect(GtkMenuItem*, gpointer data) {
    SendTargetItem(static_cast<PopupItemData*>(data)->control, 0);
}

// GTK deselects the item before it activates it: the pick is reported again.
void OnItemActivate(GtkMenuItem*, gpointer data) {
    auto* d = static_cast<PopupItemData*>(data);
    SendTargetItem(d->control, d->item);
}

gboolean SendMenuClosed(gpointer data) {
    auto* c = static_cast<NativeControl*>(data);
    if (NativeControl::IsValid(c)) {
        Event e(kEventClassMenu, kEventMenuClosed);
        SendToControl(c, e);
    }
    return G_SOURCE_REMOVE;
}

void OnMenuDeactivate(GtkMenuShell*, gpointer data) {
    // GTK activates the picked item after the menu deactivates: report the close once
    // that has happened.
    g_idle_add_full(G_PRIORITY_HIGH, SendMenuClosed, data, nullptr);
}

void OnPopupClicked(GtkButton*, gpointer data) {
    OpenPopupMenu(*static_cast<NativeControl*>(data));
}

}  // namespace

ControlParts BuildPopupButton(NativeControl& c) {
    GtkWidget* w = gtk_button_new();
    GtkWidget* box = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 4);
    GtkWidget* label = gtk_label_new("");
    gtk_label_set_xalign(GTK_LABEL(label), 0);
    gtk_label_set_ellipsize(GTK_LABEL(label), PANGO_ELLIPSIZE_END);
    gtk_box_pack_start(GTK_BOX(box), label, TRUE, TRUE, 0);
    gtk_box_pack_end(GTK_BOX(box),
                     gtk_image_new_from_icon_name("pan-down-symbolic", GTK_ICON_SIZE_MENU), FALSE,
                     FALSE, 0);
    gtk_container_add(GTK_CONTAINER(w), box);
    GtkWidget* menu = gtk_menu_new();
    gtk_menu_attach_to_widget(GTK_MENU(menu), w, nullptr);
    g_signal_connect(menu, "deactivate", G_CALLBACK(OnMenuDeactivate), &c);
    g_signal_connect(w, "clicked", G_CALLBACK(OnPopupClicked), &c);
    return {w, nullptr, label, menu};
}

void OpenPopupMenu(NativeControl& c) {
    Event e(kEventClassMenu, kEventMenuOpening);
    SendToControl(&c, e);
    if (!NativeControl::IsValid(&c)) return;
    GtkWidget* menu = Internals::PopupMenu(c);
    GtkWidget* current = nullptr;
    GList* kids = gtk_container_get_children(GTK_CONTAINER(menu));
    int item = 1;
    for (GList* k = kids; k != nullptr; k = k->next, ++item) {
        if (!GTK_IS_CHECK_MENU_ITEM(k->data)) continue;
        const bool is_current = item == c.Value();
        gtk_check_menu_item_set_active(GTK_CHECK_MENU_ITEM(k->data), is_current);
        if (is_current) current = GTK_WIDGET(k->data);
    }
    g_list_free(kids);
    gtk_widget_show_all(menu);
    gtk_menu_popup_at_widget(GTK_MENU(menu), c.Widget(), GDK_GRAVITY_SOUTH_WEST,
                             GDK_GRAVITY_NORTH_WEST, nullptr);
    if (current != nullptr) gtk_menu_shell_select_item(GTK_MENU_SHELL(menu), current);
}

void NativeControl::PopupAppendItem(const std::string& text) {
    if (kind_ != ControlKind::kPopup) return;
    popup_items_.push_back(text);
    const int item = int(popup_items_.size());
    GtkWidget* mi = nullptr;
    if (text == "-") {
        mi = gtk_separator_menu_item_new();
    } else {
        // Drawn as a radio item: the current one carries the mark.
        mi = gtk_check_menu_item_new_with_label(text.c_str());
        gtk_check_menu_item_set_draw_as_radio(GTK_CHECK_MENU_ITEM(mi), TRUE);
        auto* d = new PopupItemData{this, item};
        auto free_data = [](gpointer p, GClosure*) { delete static_cast<PopupItemData*>(p); };
        g_signal_connect_data(mi, "select", G_CALLBACK(OnItemSelect), d, free_data,
                              GConnectFlags(0));
        g_signal_connect(mi, "deselect", G_CALLBACK(OnItemDeselect), d);
        g_signal_connect(mi, "activate", G_CALLBACK(OnItemActivate), d);
    }
    gtk_menu_shell_append(GTK_MENU_SHELL(popup_menu_), mi);
    gtk_widget_show(mi);
}

void NativeControl::PopupRemoveAll() {
    if (kind_ != ControlKind::kPopup) return;
    GList* kids = gtk_container_get_children(GTK_CONTAINER(popup_menu_));
    for (GList* k = kids; k != nullptr; k = k->next) gtk_widget_destroy(GTK_WIDGET(k->data));
    g_list_free(kids);
    popup_items_.clear();
    SetValue(0);
}

std::string NativeControl::PopupItemText(int item) const {
    if (item < 1 || item > int(popup_items_.size())) return {};
    const std::string& t = popup_items_[item - 1];
    return t == "-" ? std::string() : t;
}

bool NativeControl::PopupItemIsSeparator(int item) const {
    return item >= 1 && item <= int(popup_items_.size()) && popup_items_[item - 1] == "-";
}

}  // namespace tw
