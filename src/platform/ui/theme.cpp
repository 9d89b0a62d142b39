// The program's style sheet over the GTK theme: controls keep to the frames the layouts
// give them, and the status bar's rule. Colours come from the theme (light or dark); none
// is fixed here, so that text stays readable in either.
#include <gtk/gtk.h>

#include "platform/ui/native_internal.h"

namespace tw {

namespace {

// GTK's theme minimum heights would make 18- and 24-pixel rows overflow. The information
// bar keeps the theme's colours and only loses its tall padding.
constexpr const char* kCss = R"css(
button.tw, entry.tw, spinbutton.tw { min-height: 0; padding-top: 0; padding-bottom: 0; }
button.tw { padding-left: 6px; padding-right: 6px; }
button.tw-arrow { padding: 0; min-width: 0; }
entry.tw { padding-left: 4px; padding-right: 4px; }
checkbutton.tw, radiobutton.tw { min-height: 0; padding: 0; }
progressbar.tw trough, progressbar.tw progress { min-height: 8px; }
infobar.tw-infobar > revealer > box { padding: 0 8px; min-height: 0; }
.tw-statusbar { border-top: 1px solid alpha(currentColor, 0.15); padding-left: 8px; }
)css";

}  // namespace

void ApplyProgramStyle() {
    GtkCssProvider* css = gtk_css_provider_new();
    gtk_css_provider_load_from_data(css, kCss, -1, nullptr);
    gtk_style_context_add_provider_for_screen(gdk_screen_get_default(), GTK_STYLE_PROVIDER(css),
                                              GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
    g_object_unref(css);
}

void AddStyleClass(GtkWidget* w, const char* css_class) {
    gtk_style_context_add_class(gtk_widget_get_style_context(w), css_class);
}

}  // namespace tw
