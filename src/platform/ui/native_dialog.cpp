#include "platform/ui/native_dialog.h"

#include <gtk/gtk.h>

#include <algorithm>

namespace tw {

namespace {

GtkWidget* W(void* p) {
    return static_cast<GtkWidget*>(p);
}

// The label inside a button, or the control itself when it is a label.
GtkLabel* LabelOf(NativeControl* control) {
    GtkWidget* w = W(control->Widget());
    if (GTK_IS_LABEL(w)) return GTK_LABEL(w);
    if (GTK_IS_BIN(w)) {
        GtkWidget* child = gtk_bin_get_child(GTK_BIN(w));
        if (child != nullptr && GTK_IS_LABEL(child)) return GTK_LABEL(child);
    }
    return nullptr;
}

}  // namespace

int PreferredHeightForWidth(NativeControl* control, int width) {
    if (!NativeControl::IsValid(control)) return 0;
    GtkWidget* w = W(control->Widget());
    // The frame's size request would answer for itself; measure the content instead.
    int req_w = 0;
    int req_h = 0;
    gtk_widget_get_size_request(w, &req_w, &req_h);
    gtk_widget_set_size_request(w, -1, -1);
    int minimum = 0;
    int natural = 0;
    gtk_widget_get_preferred_height_for_width(w, std::max(1, width), &minimum, &natural);
    gtk_widget_set_size_request(w, req_w, req_h);
    return std::max(minimum, natural);
}

int PreferredWidth(NativeControl* control) {
    if (!NativeControl::IsValid(control)) return 0;
    GtkWidget* w = W(control->Widget());
    int req_w = 0;
    int req_h = 0;
    gtk_widget_get_size_request(w, &req_w, &req_h);
    gtk_widget_set_size_request(w, -1, -1);
    int minimum = 0;
    int natural = 0;
    gtk_widget_get_preferred_width(w, &minimum, &natural);
    gtk_widget_set_size_request(w, req_w, req_h);
    return std::max(minimum, natural);
}

void SetTextWraps(NativeControl* control, bool wraps) {
    if (!NativeControl::IsValid(control)) return;
    GtkLabel* label = LabelOf(control);
    if (label == nullptr) return;
    gtk_label_set_ellipsize(label, wraps ? PANGO_ELLIPSIZE_NONE : PANGO_ELLIPSIZE_END);
    gtk_label_set_line_wrap(label, wraps);
    gtk_label_set_line_wrap_mode(label, PANGO_WRAP_WORD_CHAR);
    gtk_label_set_yalign(label, 0);
}

void SetChoiceButtonLabel(NativeControl* control, const std::string& title,
                          const std::string& description, int width) {
    if (!NativeControl::IsValid(control)) return;
    GtkLabel* label = LabelOf(control);
    if (label == nullptr) return;
    gchar* markup = description.empty()
                        ? g_markup_printf_escaped("<b>%s</b>", title.c_str())
                        : g_markup_printf_escaped("<b>%s</b>\n<small>%s</small>", title.c_str(),
                                                  description.c_str());
    gtk_label_set_markup(label, markup);
    g_free(markup);
    gtk_label_set_xalign(label, 0);
    gtk_label_set_ellipsize(label, PANGO_ELLIPSIZE_NONE);
    gtk_label_set_line_wrap(label, TRUE);
    gtk_label_set_line_wrap_mode(label, PANGO_WRAP_WORD_CHAR);
    // The label wraps inside the button's padding.
    constexpr int kButtonPadding = 24;
    gtk_widget_set_size_request(GTK_WIDGET(label), std::max(1, width - kButtonPadding), -1);
    GtkWidget* w = W(control->Widget());
    gtk_widget_set_margin_top(GTK_WIDGET(label), 6);
    gtk_widget_set_margin_bottom(GTK_WIDGET(label), 6);
    gtk_style_context_remove_class(gtk_widget_get_style_context(w), "tw");
}

double ProgressBarFraction(NativeControl* control) {
    if (!NativeControl::IsValid(control) || !GTK_IS_PROGRESS_BAR(control->Widget())) return 0;
    return gtk_progress_bar_get_fraction(GTK_PROGRESS_BAR(control->Widget()));
}

bool ProgressBarIsIndeterminate(NativeControl* control) {
    if (!NativeControl::IsValid(control)) return false;
    return g_object_get_data(G_OBJECT(control->Widget()), "tw-pulse") != nullptr;
}

void SetApplicationModal(NativeWindow* window, bool modal) {
    if (!NativeWindow::IsValid(window)) return;
    gtk_window_set_modal(GTK_WINDOW(window->Widget()), modal);
}

bool IsApplicationModal(NativeWindow* window) {
    return NativeWindow::IsValid(window) && gtk_window_get_modal(GTK_WINDOW(window->Widget()));
}

bool ControlHasFocus(NativeControl* control) {
    if (!NativeControl::IsValid(control)) return false;
    GtkWidget* w = W(control->Widget());
    GtkWidget* top = gtk_widget_get_toplevel(w);
    if (!GTK_IS_WINDOW(top)) return false;
    GtkWidget* focus = gtk_window_get_focus(GTK_WINDOW(top));
    return focus != nullptr && (focus == w || gtk_widget_is_ancestor(focus, w));
}

}  // namespace tw
