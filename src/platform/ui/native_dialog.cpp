#include "platform/ui/native_dialog.h"

#include <gtk/gtk.h>

#include <algorithm>
#include <string>

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

// Space above and below the texts of a choice button.
constexpr int kChoiceLabelMargin = 6;

// The larger of the minimum and natural sizes `measure` reports, taken with the widget's own
// size request lifted: a set request would answer for itself, the content is what counts.
template <typename Measure>
int MeasureContent(NativeControl* control, Measure measure) {
    if (!NativeControl::IsValid(control)) return 0;
    GtkWidget* w = W(control->Widget());
    int req_w = 0;
    int req_h = 0;
    gtk_widget_get_size_request(w, &req_w, &req_h);
    gtk_widget_set_size_request(w, -1, -1);
    int minimum = 0;
    int natural = 0;
    measure(w, &minimum, &natural);
    gtk_widget_set_size_request(w, req_w, req_h);
    return std::max(minimum, natural);
}

}  // namespace

int PreferredHeightForWidth(NativeControl* control, int width) {
    return MeasureContent(control, [width](GtkWidget* w, int* minimum, int* natural) {
        gtk_widget_get_preferred_height_for_width(w, std::max(1, width), minimum, natural);
    });
}

int PreferredWidth(NativeControl* control) {
    return MeasureContent(control, [](GtkWidget* w, int* minimum, int* natural) {
        gtk_widget_get_preferred_width(w, minimum, natural);
    });
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
                          const std::string& description) {
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
    gtk_widget_set_margin_top(GTK_WIDGET(label), kChoiceLabelMargin);
    gtk_widget_set_margin_bottom(GTK_WIDGET(label), kChoiceLabelMargin);
    // Large buttons keep the theme's padding; the compact style is for rows of controls.
    gtk_style_context_remove_class(gtk_widget_get_style_context(W(control->Widget())), "tw");
}

void SetWrapWidth(NativeControl* control, int width) {
    if (!NativeControl::IsValid(control)) return;
    GtkLabel* label = LabelOf(control);
    if (label == nullptr) return;
    GtkWidget* w = W(control->Widget());
    // A button's label wraps inside the button's border and padding.
    int inset = 0;
    if (GTK_WIDGET(label) != w) {
        int req_w = 0;
        int req_h = 0;
        gtk_widget_get_size_request(w, &req_w, &req_h);
        gtk_widget_set_size_request(w, -1, -1);
        int button_min = 0;
        int label_min = 0;
        gtk_widget_get_preferred_width(w, &button_min, nullptr);
        gtk_widget_get_preferred_width(GTK_WIDGET(label), &label_min, nullptr);
        gtk_widget_set_size_request(w, req_w, req_h);
        inset = std::max(0, button_min - label_min);
    }
    const int text_width = std::max(1, width - inset);
    // The lines are broken here once, at this width, and the label then shows them as
    // they are: a wrapping label would ask its container for the height of its narrowest
    // layout, and the window would grow by that much.
    PangoLayout* layout = pango_layout_copy(gtk_label_get_layout(label));
    pango_layout_set_width(layout, text_width * PANGO_SCALE);
    pango_layout_set_wrap(layout, PANGO_WRAP_WORD_CHAR);
    std::string text = pango_layout_get_text(layout);
    PangoAttrList* attrs = pango_layout_get_attributes(layout);
    attrs = attrs != nullptr ? pango_attr_list_copy(attrs) : pango_attr_list_new();
    int inserted = 0;
    for (GSList* l = pango_layout_get_lines_readonly(layout); l != nullptr; l = l->next) {
        const auto* line = static_cast<PangoLayoutLine*>(l->data);
        if (line->start_index == 0) continue;
        const int at = line->start_index + inserted;
        if (at > 0 && text[at - 1] == '\n') continue;  // a break of the text itself
        if (at > 0 && text[at - 1] == ' ') {
            text[at - 1] = '\n';  // the space the line ended with becomes the break
        } else {
            text.insert(std::size_t(at), 1, '\n');  // a word broken between characters
            pango_attr_list_update(attrs, at, 0, 1);
            ++inserted;
        }
    }
    g_object_unref(layout);
    gtk_label_set_line_wrap(label, FALSE);
    gtk_label_set_ellipsize(label, PANGO_ELLIPSIZE_NONE);
    gtk_label_set_text(label, text.c_str());
    gtk_label_set_attributes(label, attrs);
    pango_attr_list_unref(attrs);
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
