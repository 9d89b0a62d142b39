// Where a window is: position, sizes and layout area, bounds kept on screen, centring,
// and the placement saved to and restored from the settings store.
#include <algorithm>

#include "store/settings.h"
#include "ui/window.h"

namespace tw {

void LWindow::GetLayoutArea(int* x, int* y, int* w, int* h) {
    int cw = 0;
    int ch = 0;
    GetClientSize(&cw, &ch);
    const bool status = IsValid() && window->IsStatusBarVisible();
    if (x) *x = 0;
    if (y) *y = IsValid() ? window->ToolbarHeight() : 0;
    if (w) *w = cw;
    if (h) *h = status ? ch - kStatusBarHeight : ch;
}

void LWindow::GetPosition(int* x, int* y) {
    if (IsValid()) {
        window->GetPosition(x, y);
    } else {
        if (x) *x = 0;
        if (y) *y = 0;
    }
}

void LWindow::GetSize(int* w, int* h) {
    if (IsValid()) {
        window->GetSize(w, h);
    } else {
        if (w) *w = 0;
        if (h) *h = 0;
    }
}

void LWindow::GetClientSize(int* w, int* h) {
    int cw = 0;
    int ch = 0;
    if (IsValid()) {
        if (topLevel) {
            window->GetContentSize(&cw, &ch);
            ch -= window->ToolbarHeight();
        } else {
            content->GetSize(&cw, &ch);
        }
    }
    if (w) *w = cw;
    if (h) *h = ch;
}

void LWindow::SetBounds(int x, int y, int w, int h) {
    if (!IsValid()) return;
    window->SetBounds(x, y, w, h);
    window->ConstrainToScreen();
}

void LWindow::CenterWindow() {
    if (!IsValid() || !topLevel) return;
    Rect screen;
    if (!GetMainScreenBounds(&screen)) return;
    int w = 0;
    int h = 0;
    GetSize(&w, &h);
    const int x = int(screen.x) + (int(screen.w) - w) / 2;
    const int y = int(screen.y) + (int(screen.h) - h) / 3;
    window->Move(x, y);
    window->ConstrainToScreen();
}

void LWindow::RestoreWindowPlacement(const char* section) {
    if (!IsValid() || !topLevel) return;
    // Linux desktops keep their panels out of the work area already; there is no
    // separate menu-bar height to take off.
    Rect screen{0, 0, 0, 0};
    const bool have_screen = GetMainScreenBounds(&screen);
    const int W = have_screen ? int(screen.w) : 0;
    const int H = have_screen ? int(screen.h) : 0;
    const int left = have_screen ? int(screen.x) : 0;
    int w = 0;
    int h = 0;
    GetSize(&w, &h);
    // The window manager's title bar and borders count: the whole frame stays on screen.
    const Rect outer = window->OuterBounds();
    w = std::min(std::max(w, int(outer.w)), W);
    h = std::min(std::max(h, int(outer.h)), H);
    int x = GetSettingInt(section, "X", left + (W - w) / 2);
    x = std::max(left, std::min(x, left + W - w));
    const int top = have_screen ? int(screen.y) : 22;
    int y = GetSettingInt(section, "Y", top);
    y = std::max(top, std::min(y, std::max(top, top + H - h)));
    window->Move(x, y);
    // A window not yet on screen has no frame: it is checked again once it has one.
    window->ConstrainToScreen();
    if (GetSettingBool(section, "Maximized", false) && window->IsCollapsed()) {
        window->Collapse(false);
    }
}

void LWindow::SaveWindowPlacement(const char* section) {
    if (!IsValid() || !topLevel) return;
    const bool zoomable = (window->Attributes() & kWindowFullZoomAttribute) != 0;
    SetSettingBool(section, "Maximized", zoomable && window->IsZoomed());
    int x = 0;
    int y = 0;
    GetPosition(&x, &y);
    SetSettingInt(section, "X", x);
    SetSettingInt(section, "Y", y);
    int w = 0;
    int h = 0;
    GetClientSize(&w, &h);
    SetSettingInt(section, "Width", w);
    const int status = window->IsStatusBarVisible() ? kStatusBarHeight : 0;
    SetSettingInt(section, "Height", h - window->ToolbarHeight() - status);
}

}  // namespace tw
