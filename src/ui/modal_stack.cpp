// Modal runs: the process-wide modal stack, menu tracking, DoModal and EndModal of modal
// windows, and the modeless run that returns at once.
#include "ui/modal_stack.h"

#include <algorithm>
#include <vector>

#include "ui/window.h"

namespace tw {

namespace {

// Main-thread state.
bool g_menu_tracking = false;
std::uint32_t g_tracked_command = 0;
std::vector<NativeWindow*> g_modal_stack;  // newest first
std::function<void(bool)> g_menu_listener;

}  // namespace

bool IsMenuTracking() {
    return g_menu_tracking;
}
void SetMenuTracking(bool tracking) {
    g_menu_tracking = tracking;
    if (tracking) g_tracked_command = 0;
}
std::uint32_t TrackedMenuCommand() {
    return g_tracked_command;
}
void TrackMenuCommand(std::uint32_t id) {
    g_tracked_command = id;
}

namespace modal_stack {

void Push(NativeWindow* window) {
    g_modal_stack.insert(g_modal_stack.begin(), window);
    if (g_modal_stack.size() == 2 && g_menu_listener) g_menu_listener(false);
}

void Pop(NativeWindow* window) {
    auto it = std::find(g_modal_stack.begin(), g_modal_stack.end(), window);
    if (it == g_modal_stack.end()) return;
    const size_t before = g_modal_stack.size();
    g_modal_stack.erase(it);
    if (before == 2 && g_menu_listener) g_menu_listener(true);
}

bool IsTop(NativeWindow* window) {
    return g_modal_stack.empty() || g_modal_stack.front() == window;
}

NativeWindow* Top() {
    return g_modal_stack.empty() ? nullptr : g_modal_stack.front();
}
int Size() {
    return int(g_modal_stack.size());
}
void SetMenuStateListener(std::function<void(bool)> listener) {
    g_menu_listener = std::move(listener);
}

}  // namespace modal_stack

void LWindow::FocusFirstControl() {
    if (content == nullptr) return;
    std::vector<NativeControl*> stack(content->Children().rbegin(), content->Children().rend());
    bool any_focused = false;
    NativeControl* first = nullptr;
    while (!stack.empty()) {
        NativeControl* c = stack.back();
        stack.pop_back();
        if (c->HasFocus()) any_focused = true;
        if (first == nullptr && c->CanFocus() && c->Kind() != ControlKind::kContent) first = c;
        for (auto it = c->Children().rbegin(); it != c->Children().rend(); ++it) {
            stack.push_back(*it);
        }
    }
    if (!any_focused && first != nullptr) first->Focus();
}

bool LWindow::DoModal() {
    if (!IsValid()) return false;
    result = 0;
    // Dialogs are window-modal to the parent their creator named.
    // Dialogs are window-modal to the parent their creator named; without one the run is
    // application-modal: no other window of the program takes input meanwhile.
    if (NativeWindow* parent = Parent()) {
        window->SetModalTo(parent);
    } else {
        window->SetApplicationModal(true);
    }
    window->Hide();
    InstallWindowHandler(false);
    InstallAppHandler();
    OnBeforeInit();
    OnInit();
    shown = 1;
    if (!IsValid()) return result != 0;
    window->Show();
    window->BringToFront();
    UpdateControls();
    SendReadyEvent();
    FocusFirstControl();
    if (!ended) {
        NativeWindow* parent = Parent();
        const bool parent_floats = parent != nullptr && parent->IsKeepAbove();
        if (parent_floats) {
            // A floating parent would cover its own dialog.
            parent->SetKeepAbove(false);
            window->BringToFront();
        }
        NativeWindow* self = window;
        modal_stack::Push(self);
        // The modal run takes the keyboard: keys held down now are released elsewhere.
        for (NativeWindow* w : NativeWindow::All()) w->ForgetPressedKeys();
        IssueBoundCommand(kBindOnModalRun);
        if (!ended && IsValid()) RunEventLoop(self);
        modal_stack::Pop(self);
        if (parent_floats && NativeWindow::IsValid(parent)) parent->SetKeepAbove(true);
    }
    Close();
    return result != 0;
}

void LWindow::EndModal(std::uint32_t code) {
    result = code == kHICommandOK ? 1 : 0;
    if (IsFloating()) return;
    ended = 1;
    if (NativeWindow::IsValid(window)) QuitEventLoop(window);
}

bool LModelessWindow::DoModal() {
    if (!IsValid()) return false;
    modal = 0;
    window->SetModalTo(nullptr);
    InstallWindowHandler(true);
    OnInit();
    if (!IsValid()) return result != 0;
    NativeWindow* parent = Parent();
    if (parent != nullptr && parent->IsKeepAbove()) window->SetKeepAbove(true);
    shown = 1;
    if (IsVisible()) UpdateControls();
    if (showOnRun) window->Show();
    window->BringToFront();
    FocusFirstControl();
    return result != 0;
}

}  // namespace tw
