// Screen capture of a window's client area into a PNG, read back from the X server.
#include "platform/ui/screen_capture.h"

#include <gtk/gtk.h>

#include "platform/ui/native_window.h"

namespace tw {

bool SaveWindowPng(const NativeWindow& window, const std::string& path) {
    GdkWindow* gw = gtk_widget_get_window(window.Widget());
    if (gw == nullptr || !gdk_window_is_viewable(gw)) return false;
    const int w = gdk_window_get_width(gw);
    const int h = gdk_window_get_height(gw);
    GdkPixbuf* pb = gdk_pixbuf_get_from_window(gw, 0, 0, w, h);
    if (pb == nullptr) return false;
    const gboolean ok = gdk_pixbuf_save(pb, path.c_str(), "png", nullptr, nullptr);
    g_object_unref(pb);
    return ok;
}

}  // namespace tw
