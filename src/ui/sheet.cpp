#include "ui/sheet.h"

#include "ui/window.h"

namespace tw {

namespace {

// How long a parent that was brought to the front may take to become the active window
// before the dialog is shown on its own instead of as a sheet.
constexpr int kActivationWaitMs = 300;

bool CanCarrySheet(LWindow* w) {
    return w != nullptr && w->IsValid() && w->topLevel && !w->IsFloating() && w->IsVisible();
}

}  // namespace

bool PrepareSheetParent(NativeWindow* parent) {
    LWindow* w = LWindow::FromNative(parent);
    if (!CanCarrySheet(w)) return false;
    if (w->IsFront()) return true;
    w->Show(true);
    RunEventLoopUntil([parent] { return !NativeWindow::IsValid(parent) || parent->IsActive(); },
                      kActivationWaitMs);
    w = LWindow::FromNative(parent);
    return CanCarrySheet(w) && w->IsFront();
}

NativeWindow* FocusedWindow() {
    for (NativeWindow* w : NativeWindow::All()) {
        if (w->IsVisible() && w->IsActive()) return w;
    }
    return nullptr;
}

}  // namespace tw
