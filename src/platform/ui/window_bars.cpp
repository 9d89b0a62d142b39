// The bars around a window's content view: the slots for menu bar, toolbar and
// information bar above it and the status bar below it, the toolbar's items, the status
// panes and the information bar's text.
#include <gtk/gtk.h>

#include "platform/ui/native_internal.h"

namespace tw {

namespace {

void OnToolClicked(GtkToolButton* b, gpointer data) {
    auto* w = static_cast<NativeWindow*>(data);
    const auto command =
        std::uint32_t(GPOINTER_TO_UINT(g_object_get_data(G_OBJECT(b), "tw-command")));
    Event e(kEventClassCommand, kEventCommandProcess);
    e.SetParam(kEventParamCommand, HICommand{kHICommandFromControl, command, 0});
    SendEventToTarget(e, &w->Content()->Target());
}

GtkWidget* FixedHeightSlot(int height, const char* css_class) {
    GtkWidget* box = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 0);
    gtk_widget_set_size_request(box, -1, height);
    gtk_widget_set_no_show_all(box, TRUE);
    if (css_class) AddStyleClass(box, css_class);
    return box;
}

}  // namespace

void NativeWindow::BuildBars() {
    menubar_ = gtk_menu_bar_new();
    gtk_widget_set_no_show_all(menubar_, TRUE);
    gtk_box_pack_start(GTK_BOX(vbox_), menubar_, FALSE, FALSE, 0);

    toolbar_ = gtk_toolbar_new();
    gtk_toolbar_set_style(GTK_TOOLBAR(toolbar_), GTK_TOOLBAR_BOTH);
    gtk_widget_set_size_request(toolbar_, -1, kToolbarHeight);
    gtk_widget_set_no_show_all(toolbar_, TRUE);
    gtk_box_pack_start(GTK_BOX(vbox_), toolbar_, FALSE, FALSE, 0);

    // GTK's own information bar, so that the theme gives it its colours, light or dark.
    infobar_ = gtk_info_bar_new();
    gtk_info_bar_set_message_type(GTK_INFO_BAR(infobar_), GTK_MESSAGE_INFO);
    gtk_widget_set_size_request(infobar_, -1, kInfoBarHeight);
    gtk_widget_set_no_show_all(infobar_, TRUE);
    AddStyleClass(infobar_, "tw-infobar");
    infolabel_ = gtk_label_new("");
    gtk_label_set_xalign(GTK_LABEL(infolabel_), 0);
    gtk_label_set_ellipsize(GTK_LABEL(infolabel_), PANGO_ELLIPSIZE_END);
    gtk_widget_show(infolabel_);
    GtkWidget* area = gtk_info_bar_get_content_area(GTK_INFO_BAR(infobar_));
    gtk_box_pack_start(GTK_BOX(area), infolabel_, TRUE, TRUE, 0);
    gtk_box_pack_start(GTK_BOX(vbox_), infobar_, FALSE, FALSE, 0);

    statusbar_ = FixedHeightSlot(kStatusBarHeight, "tw-statusbar");
    gtk_box_pack_end(GTK_BOX(vbox_), statusbar_, FALSE, FALSE, 0);
}

void NativeWindow::AddToolbarItem(std::uint32_t command, const std::string& label,
                                  const std::string& icon_path, const std::string& tooltip) {
    GtkWidget* icon = nullptr;
    if (!icon_path.empty()) {
        GdkPixbuf* pb = gdk_pixbuf_new_from_file_at_scale(icon_path.c_str(), 24, 24, TRUE, nullptr);
        if (pb != nullptr) {
            icon = gtk_image_new_from_pixbuf(pb);
            g_object_unref(pb);
        }
    }
    GtkToolItem* item = gtk_tool_button_new(icon, label.c_str());
    if (!tooltip.empty()) gtk_widget_set_tooltip_text(GTK_WIDGET(item), tooltip.c_str());
    g_object_set_data(G_OBJECT(item), "tw-command", GUINT_TO_POINTER(command));
    g_signal_connect(item, "clicked", G_CALLBACK(OnToolClicked), this);
    gtk_toolbar_insert(GTK_TOOLBAR(toolbar_), item, -1);
    gtk_widget_show_all(GTK_WIDGET(item));
}

bool NativeWindow::ClickToolbarItem(std::uint32_t command) {
    const gint n = gtk_toolbar_get_n_items(GTK_TOOLBAR(toolbar_));
    for (gint i = 0; i < n; ++i) {
        GtkToolItem* item = gtk_toolbar_get_nth_item(GTK_TOOLBAR(toolbar_), i);
        if (GPOINTER_TO_UINT(g_object_get_data(G_OBJECT(item), "tw-command")) == command) {
            g_signal_emit_by_name(item, "clicked");
            return true;
        }
    }
    return false;
}

void NativeWindow::SetToolbarVisible(bool visible) {
    if (visible == toolbar_visible_) return;
    toolbar_visible_ = visible;
    gtk_widget_set_visible(toolbar_, visible);
}

void NativeWindow::SetStatusBarVisible(bool visible) {
    status_visible_ = visible;
    gtk_widget_set_visible(statusbar_, visible);
}

void NativeWindow::SetStatusText(int pane, const std::string& text) {
    if (pane < 0) return;
    while (int(status_panes_.size()) <= pane) {
        GtkWidget* label = gtk_label_new("");
        gtk_label_set_xalign(GTK_LABEL(label), 0);
        gtk_widget_show(label);
        gtk_box_pack_start(GTK_BOX(statusbar_), label, status_panes_.empty(), TRUE, 8);
        status_panes_.push_back(label);
    }
    gtk_label_set_text(GTK_LABEL(status_panes_[pane]), text.c_str());
}

std::string NativeWindow::StatusText(int pane) const {
    if (pane < 0 || pane >= int(status_panes_.size())) return {};
    return gtk_label_get_text(GTK_LABEL(status_panes_[pane]));
}

void NativeWindow::SetInfoBarText(const std::string& text) {
    gtk_label_set_text(GTK_LABEL(infolabel_), text.c_str());
    if (!info_visible_) {
        info_visible_ = true;
        int w = 0;
        int h = 0;
        gtk_window_get_size(GTK_WINDOW(window_), &w, &h);
        gtk_widget_show(infobar_);
        gtk_window_resize(GTK_WINDOW(window_), w, h + kInfoBarHeight);
    }
}

std::string NativeWindow::InfoBarText() const {
    return gtk_label_get_text(GTK_LABEL(infolabel_));
}

}  // namespace tw
