// Where a NativeWindow is and how big: position, structure size, content size, bounds,
// the outer bounds with the window manager's frame, and keeping a window on screen.
#include <gtk/gtk.h>

#include <algorithm>

#include "platform/ui/native.h"
#include "platform/ui/native_internal.h"

namespace tw {

void NativeWindow::GetPosition(int* x, int* y) const {
    int px = 0;
    int py = 0;
    gtk_window_get_position(GTK_WINDOW(window_), &px, &py);
    if (x) *x = px;
    if (y) *y = py;
}

void NativeWindow::GetSize(int* w, int* h) const {
    int cw = 0;
    int ch = 0;
    GetContentSize(&cw, &ch);
    int extra = 0;
    if (gtk_widget_get_visible(menubar_)) {
        int m = 0;
        gtk_widget_get_preferred_height(menubar_, &m, nullptr);
        extra += m;
    }
    if (info_visible_) extra += kInfoBarHeight;
    int gw = 0;
    int gh = 0;
    gtk_window_get_size(GTK_WINDOW(window_), &gw, &gh);
    const bool realized = gtk_widget_get_realized(window_);
    if (w) *w = std::max(cw, realized ? gw : 0);
    if (h) *h = std::max(ch + extra, realized ? gh : 0);
}

void NativeWindow::Move(int x, int y) {
    gtk_window_move(GTK_WINDOW(window_), x, y);
}

void NativeWindow::SetBounds(int x, int y, int w, int h) {
    Move(x, y);
    int other = 0;
    int cw = 0;
    int ch = 0;
    GetSize(&cw, &other);
    GetContentSize(nullptr, &ch);
    const int frame_parts = other - ch + ToolbarHeight() + (status_visible_ ? kStatusBarHeight : 0);
    const int content_h = std::max(1, h - frame_parts);
    gtk_widget_set_size_request(content_->Widget(), std::max(1, w), content_h);
    gtk_window_resize(GTK_WINDOW(window_), std::max(1, w), std::max(1, h));
}

Rect NativeWindow::OuterBounds() const {
    GdkWindow* gw = gtk_widget_get_window(window_);
    if (gw != nullptr && gtk_widget_get_mapped(window_)) {
        GdkRectangle r;
        gdk_window_get_frame_extents(gw, &r);
        return Rect{double(r.x), double(r.y), double(r.width), double(r.height)};
    }
    int x = 0;
    int y = 0;
    int w = 0;
    int h = 0;
    GetPosition(&x, &y);
    GetSize(&w, &h);
    return Rect{double(x), double(y), double(w), double(h)};
}

void NativeWindow::ConstrainToScreen() {
    Rect screen;
    if (!GetMainScreenBounds(&screen)) return;
    // Until the window manager has framed the window its size on screen is not known:
    // check again when it has (window_signals.cpp, on configure).
    constrain_when_framed_ = !gtk_widget_get_mapped(window_);
    int x = 0;
    int y = 0;
    int w = 0;
    int h = 0;
    GetPosition(&x, &y);  // the frame's top-left corner
    GetSize(&w, &h);
    const Rect outer = OuterBounds();
    w = std::max(w, int(outer.w));
    h = std::max(h, int(outer.h));
    const int left = int(screen.x);
    const int top = int(screen.y);
    int nx = std::min(x, left + int(screen.w) - w);
    int ny = std::min(y, top + int(screen.h) - h);
    nx = std::max(nx, left);  // the top-left corner stays reachable
    ny = std::max(ny, top);
    if (nx != x || ny != y) Move(nx, ny);
}

bool NativeWindow::TakeConstrainWhenFramed() {
    if (!constrain_when_framed_ || !gtk_widget_get_mapped(window_)) return false;
    int w = 0;
    int h = 0;
    GetSize(&w, &h);
    if (OuterBounds().h <= h) return false;  // not framed yet (or never: no window manager)
    constrain_when_framed_ = false;
    return true;
}

void NativeWindow::GetContentSize(int* w, int* h) const {
    GtkWidget* fixed = content_->Widget();
    int cw = 0;
    int ch = 0;
    gtk_widget_get_size_request(fixed, &cw, &ch);
    GtkAllocation a;
    gtk_widget_get_allocation(fixed, &a);
    if (gtk_widget_get_realized(fixed) && a.width > 1) {
        cw = a.width;
        ch = a.height;
    }
    if (w) *w = cw;
    if (h) *h = ch + ToolbarHeight() + (status_visible_ ? kStatusBarHeight : 0);
}

}  // namespace tw
