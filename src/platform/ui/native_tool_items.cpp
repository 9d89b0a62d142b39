#include "platform/ui/native_tool_items.h"

#include <gtk/gtk.h>

namespace tw {

namespace {

constexpr char kCommandKey[] = "tw-command";  // the key NativeWindow's toolbar reads too
constexpr char kExtraKey[] = "tw-extra";
constexpr char kKindKey[] = "tw-tool-kind";
constexpr char kIconNameKey[] = "tw-icon-name";
constexpr char kContextKey[] = "tw-context-menu";

// Toolbar icons at the size GTK gives large toolbars.
constexpr int kIconPixels = 24;
// A fixed space is as wide as a small button.
constexpr int kSpaceWidth = 16;

struct ContextMenu {
    std::string text;
    std::function<void()> pick;
};

GtkToolbar* FindToolbar(GtkWidget* widget) {
    if (GTK_IS_TOOLBAR(widget)) return GTK_TOOLBAR(widget);
    if (!GTK_IS_CONTAINER(widget)) return nullptr;
    GtkToolbar* found = nullptr;
    GList* kids = gtk_container_get_children(GTK_CONTAINER(widget));
    for (GList* k = kids; k != nullptr && found == nullptr; k = k->next) {
        found = FindToolbar(GTK_WIDGET(k->data));
    }
    g_list_free(kids);
    return found;
}

GtkToolbar* ToolbarOf(NativeWindow* window) {
    if (!NativeWindow::IsValid(window)) return nullptr;
    return FindToolbar(GTK_WIDGET(window->Widget()));
}

void SendCommand(NativeWindow* window, std::uint32_t command) {
    if (!NativeWindow::IsValid(window) || command == 0) return;
    Event e(kEventClassCommand, kEventCommandProcess);
    e.SetParam(kEventParamCommand, HICommand{kHICommandFromControl, command, 0});
    SendEventToTarget(e, &window->Content()->Target());
}

void OnItemClicked(GtkToolButton* item, gpointer data) {
    // A radio item that lost its selection stays quiet.
    if (GTK_IS_TOGGLE_TOOL_BUTTON(item) &&
        !gtk_toggle_tool_button_get_active(GTK_TOGGLE_TOOL_BUTTON(item))) {
        return;
    }
    SendCommand(static_cast<NativeWindow*>(data),
                GPOINTER_TO_UINT(g_object_get_data(G_OBJECT(item), kCommandKey)));
}

void OnShowMenu(GtkMenuToolButton* item, gpointer data) {
    SendCommand(static_cast<NativeWindow*>(data),
                GPOINTER_TO_UINT(g_object_get_data(G_OBJECT(item), kExtraKey)));
}

GtkWidget* IconFor(const ToolItemDescription& desc) {
    if (!desc.icon_name.empty()) {
        return gtk_image_new_from_icon_name(desc.icon_name.c_str(), GTK_ICON_SIZE_LARGE_TOOLBAR);
    }
    if (desc.icon_path.empty()) return nullptr;
    GdkPixbuf* pb = gdk_pixbuf_new_from_file_at_scale(desc.icon_path.c_str(), kIconPixels,
                                                      kIconPixels, TRUE, nullptr);
    if (pb == nullptr) return nullptr;
    GtkWidget* image = gtk_image_new_from_pixbuf(pb);
    g_object_unref(pb);
    return image;
}

GtkToolItem* BuildItem(NativeWindow* window, const ToolItemDescription& desc,
                       GSList** radio_group) {
    GtkToolItem* item = nullptr;
    switch (desc.kind) {
        case ToolItemKind::kSpace:
        case ToolItemKind::kFlexibleSpace:
            item = gtk_separator_tool_item_new();
            gtk_separator_tool_item_set_draw(GTK_SEPARATOR_TOOL_ITEM(item), FALSE);
            if (desc.kind == ToolItemKind::kFlexibleSpace) {
                gtk_tool_item_set_expand(item, TRUE);
            } else {
                gtk_widget_set_size_request(GTK_WIDGET(item), kSpaceWidth, -1);
            }
            break;
        case ToolItemKind::kSeparator:
            item = gtk_separator_tool_item_new();
            break;
        case ToolItemKind::kToggle:
            item = gtk_radio_tool_button_new(*radio_group);
            *radio_group = gtk_radio_tool_button_get_group(GTK_RADIO_TOOL_BUTTON(item));
            gtk_tool_button_set_label(GTK_TOOL_BUTTON(item), desc.label.c_str());
            gtk_tool_button_set_icon_widget(GTK_TOOL_BUTTON(item), IconFor(desc));
            break;
        case ToolItemKind::kDropDown:
            item = gtk_menu_tool_button_new(IconFor(desc), desc.label.c_str());
            // The arrow part sends the drop-down command; the window shows what it likes.
            gtk_menu_tool_button_set_menu(GTK_MENU_TOOL_BUTTON(item), gtk_menu_new());
            g_object_set_data(G_OBJECT(item), kExtraKey, GUINT_TO_POINTER(desc.extra));
            g_signal_connect(item, "show-menu", G_CALLBACK(OnShowMenu), window);
            break;
        case ToolItemKind::kButton:
            item = gtk_tool_button_new(IconFor(desc), desc.label.c_str());
            break;
    }
    g_object_set_data(G_OBJECT(item), kKindKey, GINT_TO_POINTER(int(desc.kind) + 1));
    if (GTK_IS_TOOL_BUTTON(item)) {
        g_object_set_data(G_OBJECT(item), kCommandKey, GUINT_TO_POINTER(desc.command));
        g_object_set_data_full(G_OBJECT(item), kIconNameKey, g_strdup(desc.icon_name.c_str()),
                               g_free);
        g_signal_connect(item, "clicked", G_CALLBACK(OnItemClicked), window);
        if (!desc.tooltip.empty()) {
            gtk_tool_item_set_tooltip_text(item, desc.tooltip.c_str());
        }
    }
    if (!desc.name.empty()) gtk_widget_set_name(GTK_WIDGET(item), desc.name.c_str());
    return item;
}

GtkWidget* BuildContextMenu(ContextMenu* menu) {
    GtkWidget* m = gtk_menu_new();
    GtkWidget* item = gtk_menu_item_new_with_label(menu->text.c_str());
    g_signal_connect_swapped(item, "activate", G_CALLBACK(+[](ContextMenu* cm) {
                                 auto pick = cm->pick;  // the pick may replace the menu
                                 if (pick) pick();
                             }),
                             menu);
    gtk_menu_shell_append(GTK_MENU_SHELL(m), item);
    gtk_widget_show_all(m);
    return m;
}

gboolean OnPopupContextMenu(GtkToolbar* toolbar, gint, gint, gint, gpointer) {
    auto* menu = static_cast<ContextMenu*>(g_object_get_data(G_OBJECT(toolbar), kContextKey));
    if (menu == nullptr) return FALSE;
    GtkWidget* m = BuildContextMenu(menu);
    gtk_menu_attach_to_widget(GTK_MENU(m), GTK_WIDGET(toolbar), nullptr);
    g_signal_connect(m, "deactivate", G_CALLBACK(+[](GtkMenuShell* shell, gpointer) {
                         // Destroyed once the pick (which runs after deactivate) is done.
                         g_idle_add(
                             +[](gpointer w) -> gboolean {
                                 gtk_widget_destroy(GTK_WIDGET(w));
                                 return G_SOURCE_REMOVE;
                             },
                             shell);
                     }),
                     nullptr);
    gtk_menu_popup_at_pointer(GTK_MENU(m), nullptr);
    return TRUE;
}

}  // namespace

void SetToolbarItems(NativeWindow* window, const std::vector<ToolItemDescription>& items) {
    GtkToolbar* bar = ToolbarOf(window);
    if (bar == nullptr) return;
    GList* old = gtk_container_get_children(GTK_CONTAINER(bar));
    for (GList* k = old; k != nullptr; k = k->next) gtk_widget_destroy(GTK_WIDGET(k->data));
    g_list_free(old);
    GSList* radio_group = nullptr;
    for (const ToolItemDescription& desc : items) {
        GtkToolItem* item = BuildItem(window, desc, &radio_group);
        gtk_toolbar_insert(bar, item, -1);
        gtk_widget_show_all(GTK_WIDGET(item));
    }
}

void SetToolbarContextMenu(NativeWindow* window, const std::string& text,
                           std::function<void()> pick) {
    GtkToolbar* bar = ToolbarOf(window);
    if (bar == nullptr) return;
    if (g_object_get_data(G_OBJECT(bar), kContextKey) == nullptr) {
        g_signal_connect(bar, "popup-context-menu", G_CALLBACK(OnPopupContextMenu), nullptr);
    }
    g_object_set_data_full(G_OBJECT(bar), kContextKey, new ContextMenu{text, std::move(pick)},
                           [](gpointer p) { delete static_cast<ContextMenu*>(p); });
}

bool PickToolbarContextMenuItem(NativeWindow* window) {
    GtkToolbar* bar = ToolbarOf(window);
    if (bar == nullptr) return false;
    auto* menu = static_cast<ContextMenu*>(g_object_get_data(G_OBJECT(bar), kContextKey));
    if (menu == nullptr) return false;
    GtkWidget* m = BuildContextMenu(menu);
    g_object_ref_sink(m);
    GList* kids = gtk_container_get_children(GTK_CONTAINER(m));
    if (kids != nullptr) gtk_menu_item_activate(GTK_MENU_ITEM(kids->data));
    g_list_free(kids);
    gtk_widget_destroy(m);
    g_object_unref(m);
    return true;
}

std::vector<ToolItemInfo> GetToolbarItems(NativeWindow* window) {
    std::vector<ToolItemInfo> out;
    GtkToolbar* bar = ToolbarOf(window);
    if (bar == nullptr) return out;
    const gint n = gtk_toolbar_get_n_items(bar);
    for (gint i = 0; i < n; ++i) {
        GtkToolItem* item = gtk_toolbar_get_nth_item(bar, i);
        ToolItemInfo info;
        const int kind = GPOINTER_TO_INT(g_object_get_data(G_OBJECT(item), kKindKey));
        info.kind = kind > 0 ? ToolItemKind(kind - 1) : ToolItemKind::kButton;
        info.command = GPOINTER_TO_UINT(g_object_get_data(G_OBJECT(item), kCommandKey));
        info.name = gtk_widget_get_name(GTK_WIDGET(item));
        info.expands = gtk_tool_item_get_expand(item);
        if (GTK_IS_TOOL_BUTTON(item)) {
            const char* label = gtk_tool_button_get_label(GTK_TOOL_BUTTON(item));
            info.label = label != nullptr ? label : "";
            // The tooltip lives on the button inside the item.
            GtkWidget* child = gtk_bin_get_child(GTK_BIN(item));
            gchar* tip = gtk_widget_get_tooltip_text(child != nullptr ? child : GTK_WIDGET(item));
            info.tooltip = tip != nullptr ? tip : "";
            g_free(tip);
            const char* icon =
                static_cast<const char*>(g_object_get_data(G_OBJECT(item), kIconNameKey));
            info.icon_name = icon != nullptr ? icon : "";
            info.has_icon = gtk_tool_button_get_icon_widget(GTK_TOOL_BUTTON(item)) != nullptr;
        }
        GtkAllocation a;
        gtk_widget_get_allocation(GTK_WIDGET(item), &a);
        info.x = a.x;
        info.width = a.width;
        out.push_back(info);
    }
    return out;
}

bool PressToolbarItem(NativeWindow* window, std::uint32_t command) {
    GtkToolbar* bar = ToolbarOf(window);
    if (bar == nullptr) return false;
    const gint n = gtk_toolbar_get_n_items(bar);
    for (gint i = 0; i < n; ++i) {
        GtkToolItem* item = gtk_toolbar_get_nth_item(bar, i);
        if (!GTK_IS_TOOL_BUTTON(item) ||
            GPOINTER_TO_UINT(g_object_get_data(G_OBJECT(item), kCommandKey)) != command) {
            continue;
        }
        GtkWidget* child = gtk_bin_get_child(GTK_BIN(item));
        // A drop-down item holds a box of its two buttons; the first is the item's own.
        if (GTK_IS_BOX(child)) {
            GList* parts = gtk_container_get_children(GTK_CONTAINER(child));
            child = parts != nullptr ? GTK_WIDGET(parts->data) : nullptr;
            g_list_free(parts);
        }
        if (child == nullptr || !GTK_IS_BUTTON(child)) return false;
        gtk_button_clicked(GTK_BUTTON(child));
        return true;
    }
    return false;
}

bool ClickToolbarDropDown(NativeWindow* window, std::uint32_t command) {
    GtkToolbar* bar = ToolbarOf(window);
    if (bar == nullptr) return false;
    const gint n = gtk_toolbar_get_n_items(bar);
    for (gint i = 0; i < n; ++i) {
        GtkToolItem* item = gtk_toolbar_get_nth_item(bar, i);
        if (GTK_IS_MENU_TOOL_BUTTON(item) &&
            GPOINTER_TO_UINT(g_object_get_data(G_OBJECT(item), kCommandKey)) == command) {
            g_signal_emit_by_name(item, "show-menu");
            return true;
        }
    }
    return false;
}

bool IconThemeHasIcon(const std::string& name) {
    return gtk_icon_theme_has_icon(gtk_icon_theme_get_default(), name.c_str());
}

}  // namespace tw
