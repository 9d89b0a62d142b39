#include "ui/window.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <vector>

#include "store/folders.h"
#include "store/settings.h"
#include "platform/ui/keys.h"
#include "platform/ui/resources.h"

namespace tw {

namespace {

// Main-thread globals of the command dispatch.
std::uint32_t g_current_command = 0;
std::uint32_t g_last_command = 0;
int g_dispatch_depth = 0;
bool g_menu_tracking = false;
std::uint32_t g_tracked_command = 0;

std::vector<NativeWindow*> g_modal_stack;  // newest first
std::function<void(bool)> g_menu_listener;

// Menu commands a window takes itself; any other menu command goes on to the
// application's menu handler.
constexpr std::uint32_t kWindowMenuCommands[] = {
    FourCC("mina"), FourCC("quit"), FourCC("sall"), FourCC("undo"), FourCC("redo"),
    FourCC("past"), FourCC("pref"), FourCC("mini"), FourCC("copy"), FourCC("frnt"),
    FourCC("maxi"), FourCC("cut "), FourCC("bfrt"), FourCC("clos")};

// "0101" -> 101; other ids unchanged.
std::uint32_t DecodeDigitCommand(std::uint32_t id) {
    std::uint32_t value = 0;
    for (int shift = 24; shift >= 0; shift -= 8) {
        const unsigned c = (id >> shift) & 0xFF;
        if (c < '0' || c > '9') return id;
        value = value * 10 + (c - '0');
    }
    return value;
}

bool IsPrintable(std::uint32_t c) {
    return c >= 0x20 && c != 0x7F;
}

std::uint32_t Upper(std::uint32_t c) {
    return c < 0x80 ? std::uint32_t(std::toupper(int(c))) : c;
}

}  // namespace

// ---------------------------------------------------------------------------------------
// Globals

std::uint32_t CurrentCommand() {
    return g_current_command;
}
std::uint32_t LastCommand() {
    return g_last_command;
}
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

bool KeyRecordsMatch(const KeyRecord& a, const KeyRecord& b) {
    const bool pa = IsPrintable(a.character);
    const bool pb = IsPrintable(b.character);
    if (pa != pb) return false;
    if ((a.modifiers & ~kAlphaLock) != (b.modifiers & ~kAlphaLock)) return false;
    if (pa) return Upper(a.character) == Upper(b.character);
    return a.key_code == b.key_code;
}

// ---------------------------------------------------------------------------------------
// Construction

LWindow::LWindow() = default;

LWindow::~LWindow() {
    RemoveHandlers();
    if (topLevel && NativeWindow::IsValid(window)) {
        window->RemoveProperty(kTagThiw);
        NativeWindow* w = window;
        window = nullptr;
        content = nullptr;
        modal_stack::Pop(w);
        w->Dispose();
    }
}

bool LWindow::IsValid() const {
    if (topLevel) return NativeWindow::IsValid(window);
    return NativeControl::IsValid(content);
}

LWindow* LWindow::FromNative(NativeWindow* w) {
    if (!NativeWindow::IsValid(w)) return nullptr;
    return reinterpret_cast<LWindow*>(w->GetProperty(kTagThiw));
}

NativeWindow* LWindow::Parent() const {
    if (!NativeWindow::IsValid(window)) return nullptr;
    auto* p = reinterpret_cast<NativeWindow*>(window->GetProperty(kTagPare));
    return NativeWindow::IsValid(p) ? p : nullptr;
}

LWindow* LWindow::ParentWindow() const {
    if (content != nullptr) {
        if (auto* explicit_parent = reinterpret_cast<LWindow*>(content->GetProperty(kTagPapt))) {
            return explicit_parent;
        }
    }
    return FromNative(Parent());
}

bool LWindow::IsFloating() const {
    return NativeWindow::IsValid(window) && (window->WindowClass() == kFloatingWindowClass ||
                                             window->WindowClass() == kUtilityWindowClass);
}

bool LWindow::CreateWindow(int width, int height, std::uint32_t window_class,
                           std::uint32_t attributes, int /*theme_brush*/) {
    NativeWindow* w = NativeWindow::Create(width, height, window_class, attributes);
    if (w == nullptr) {
        window = nullptr;
        return false;
    }
    window = w;
    content = w->Content();
    topLevel = 1;
    window->SetProperty(kTagThiw, reinterpret_cast<std::uintptr_t>(this));
    content->SetProperty(kTagThiw, reinterpret_cast<std::uintptr_t>(this));
    CenterWindow();
    return true;
}

bool LWindow::CreateDialog(int width, int height) {
    return CreateWindow(width, height, kMovableModalWindowClass,
                        kWindowStandardHandlerAttribute | kWindowCompositingAttribute, 49);
}

bool LWindow::CreateFromNib(const char* nib_name, const char* window_name) {
    if (IsValid()) {
        Show(true);
        return false;
    }
    RegisterUiResources();
    NativeWindow* w = NativeWindow::CreateFromResource(nib_name, window_name);
    if (w == nullptr) return false;
    window = w;
    content = w->Content();
    topLevel = 1;
    window->SetProperty(kTagThiw, reinterpret_cast<std::uintptr_t>(this));
    content->SetProperty(kTagThiw, reinterpret_cast<std::uintptr_t>(this));
    std::snprintf(caption, sizeof caption, "%s", w->Title().c_str());
    if (NativeWindow* parent = Parent()) window->SetModalTo(parent);
    return true;
}

bool LWindow::CreateModalWindow(int width, int height, std::uint32_t attributes) {
    if (IsValid()) {
        Show(true);
        return false;
    }
    if (!CreateWindow(width, height, kMovableModalWindowClass, attributes, 49)) return false;
    window->SetTitle("No Caption");
    if (NativeWindow* parent = Parent()) window->SetModalTo(parent);
    // The root into which later controls go; creation moves them out to its parent.
    NativeControl::Create(content, ControlKind::kRadioGroup, Rect{0, 0, 0, 0});
    return true;
}

bool LWindow::RunModalWindow(NativeWindow* parent, int width, int height) {
    if (!CreateModalWindow(2 * width, 2 * height,
                           kWindowCloseBoxAttribute | kWindowCompositingAttribute |
                               kWindowStandardHandlerAttribute)) {
        return false;
    }
    window->SetProperty(kTagThiw, reinterpret_cast<std::uintptr_t>(this));
    window->SetProperty(kTagPare, reinterpret_cast<std::uintptr_t>(parent));
    CenterWindow();
    return DoModal();
}

bool LWindow::RunFromNib(NativeWindow* parent, const char* nib_name, const char* window_name) {
    if (!CreateFromNib(nib_name, window_name)) return false;
    window->SetProperty(kTagThiw, reinterpret_cast<std::uintptr_t>(this));
    content->SetProperty(kTagThiw, reinterpret_cast<std::uintptr_t>(this));
    window->SetProperty(kTagPare, reinterpret_cast<std::uintptr_t>(parent));
    return DoModal();
}

void LWindow::AttachEmbedded(LWindow* host, NativeControl* pane_content) {
    topLevel = 0;
    embeddedHost = host;
    window = host != nullptr ? host->window : nullptr;
    content = pane_content;
    std::snprintf(caption, sizeof caption, "%s", "LEmbeddedWindow");
    if (content != nullptr) content->SetProperty(kTagThiw, reinterpret_cast<std::uintptr_t>(this));
}

// ---------------------------------------------------------------------------------------
// Handlers

void LWindow::RemoveHandlers() {
    if (appHandler != 0) {
        ApplicationTarget().RemoveHandler(appHandler);
        appHandler = 0;
    }
    if (windowHandler_ != 0) {
        if (NativeWindow::IsValid(window)) window->Target().RemoveHandler(windowHandler_);
        windowHandler_ = 0;
    }
}

void LWindow::InstallWindowHandler(bool modeless) {
    if (!NativeWindow::IsValid(window)) return;
    if (windowHandler_ != 0) window->Target().RemoveHandler(windowHandler_);
    std::vector<EventTypeSpec> types = {
        {kEventClassWindow, kEventWindowHiding},
        {kEventClassWindow, kEventWindowShown},
        {kEventClassWindow, kEventWindowClose},
        {kEventClassWindow, kEventWindowClosed},
        {kEventClassWindow, kEventWindowActivated},
        {kEventClassWindow, kEventWindowDeactivated},
        {kEventClassWindow, kEventWindowGetClickModality},
        {kEventClassCommand, kEventCommandProcess},
        {kEventClassWindow, kEventWindowCursorChange},
        {kEventClassMouse, kEventMouseMoved},
        {kEventClassCommand, kEventWindowMessage},
    };
    if (modeless) {
        types.push_back({kEventClassWindow, kEventWindowShowing});
        types.push_back({kEventClassWindow, kEventWindowExpanding});
        types.push_back({kEventClassWindow, kEventWindowCollapsing});
    } else {
        types.push_back({kEventClassWindow, kEventWindowGetClickActivation});
        types.push_back({kEventClassWindow, kEventWindowShowing});
        types.push_back({kEventClassWindow, kEventWindowExpanding});
        types.push_back({kEventClassWindow, kEventWindowCollapsing});
    }
    windowHandler_ =
        window->Target().InstallHandler(types, [this, modeless](EventHandlerCall& next, Event& e) {
            return HandleWindowEvent(next, e, modeless);
        });
}

void LWindow::InstallAppHandler() {
    const std::vector<EventTypeSpec> types = {{kEventClassApplication, kEventAppActivated},
                                              {kEventClassApplication, kEventAppDeactivated}};
    if (appHandler != 0 && ApplicationTarget().HasHandler(appHandler)) return;
    appHandler = ApplicationTarget().InstallHandler(types, [this](EventHandlerCall&, Event& e) {
        if (!IsValid()) return kEventNotHandledErr;
        if (e.Kind() == kEventAppActivated) {
            if (!modal || modal_stack::IsTop(window)) {
                if (NativeWindow* top = modal_stack::Top()) {
                    top->Show();
                    top->BringToFront();
                }
                OnAppActivated();
                IssueBoundCommand(kTagAPPa);
            }
        } else {
            OnAppDeactivated();
            IssueBoundCommand(kTagAPPd);
        }
        return kEventNotHandledErr;
    });
}

void LWindow::SendReadyEvent() {
    if (!shown || !topLevel || !NativeWindow::IsValid(window)) return;
    Event e(kEventClassWindow, kEventWindowReady);
    SendEventToTarget(e, &window->Target());
}

void LWindow::ActivatedActions(bool check_modal_stack, bool* acted) {
    *acted = false;
    if (check_modal_stack && modal && !modal_stack::IsTop(window)) return;
    *acted = true;
    SendReadyEvent();
    if (shown) UpdateControls();
    OnActivated();
    IssueBoundCommand(kTagWNDa);
}

OSStatus LWindow::HandleWindowEvent(EventHandlerCall&, Event& e, bool modeless) {
    if (!IsValid()) return kEventNotHandledErr;
    if (e.Class() == kEventClassCommand) {
        if (e.Kind() == kEventWindowMessage) {
            return OnWindowMessage(std::uint32_t(e.GetInt(kEventParamMessageId)),
                                   e.GetPointer(kEventParamData1), e.GetPointer(kEventParamData2));
        }
        HICommand command;
        if (!e.GetParam(kEventParamCommand, &command)) return kEventNotHandledErr;
        return HandleCommand(command, modeless);
    }
    if (e.Class() == kEventClassMouse) return kEventNotHandledErr;  // standard cursor handling
    switch (e.Kind()) {
        case kEventWindowActivated: {
            bool acted = false;
            ActivatedActions(!modeless, &acted);
            if (modeless) return kNoErr;
            return acted ? kEventNotHandledErr : kNoErr;
        }
        case kEventWindowDeactivated:
            Redraw();
            OnDeactivated();
            IssueBoundCommand(kTagWNDd);
            return modeless ? kNoErr : kEventNotHandledErr;
        case kEventWindowGetClickActivation: {
            const bool ignore = modal && modal_stack::IsTop(window);
            e.SetParam(
                kEventParamClickActivation,
                std::int64_t{ignore ? kClickActivationIgnore : kClickActivationActivateAndHandle});
            return kEventNotHandledErr;
        }
        case kEventWindowGetClickModality:
            if (modeless) {
                window->Show();
                return kEventNotHandledErr;
            }
            if (!modal_stack::IsTop(window)) {
                e.SetParam(kEventParamModalClickResult, std::int64_t{1});
                e.SetParam(kEventParamModalWindow, static_cast<void*>(modal_stack::Top()));
                e.SetParam(kEventParamWindowModality, std::int64_t{3});
                return kNoErr;
            }
            return kEventNotHandledErr;
        case kEventWindowShowing:
        case kEventWindowShown:
        case kEventWindowExpanding:
            SendReadyEvent();
            OnShown();
            IssueBoundCommand(kTagWNDs);
            return kEventNotHandledErr;
        case kEventWindowHiding:
        case kEventWindowCollapsing:
            OnHidden();
            IssueBoundCommand(kTagWNDh);
            return kEventNotHandledErr;
        case kEventWindowCursorChange:
            return kEventNotHandledErr;
        case kEventWindowClose:
            if (OnCancel()) {
                result = 1;
                ended = 1;
                EndModal(kHICommandCancel);
                if (modeless) Close();
            }
            return kNoErr;
        case kEventWindowClosed:
            IssueBoundCommand(kTagWNDc);
            return modeless ? kNoErr : kEventNotHandledErr;
        default:
            return kEventNotHandledErr;
    }
}

OSStatus LWindow::HandleCommand(const HICommand& command, bool modeless) {
    if (g_menu_tracking) {
        g_tracked_command = command.command_id;
        return kEventNotHandledErr;
    }
    const bool from_menu = (command.attributes & kHICommandFromMenu) != 0;
    const bool from_window = (command.attributes & kHICommandFromWindow) != 0;
    if (from_menu && (modeless || from_window || !topLevel)) return kEventNotHandledErr;
    std::uint32_t id = command.command_id;
    if (id == kHICommandCancel) {
        if (OnCancel()) {
            ended = 1;
            EndModal(kHICommandCancel);
            if (modeless && IsValid()) window->BringToFront();
        }
        return kNoErr;
    }
    if (id == kHICommandOK) {
        if (OnOK()) {
            ended = 1;
            EndModal(kHICommandOK);
            if (modeless && IsValid()) window->BringToFront();
        }
        return kNoErr;
    }
    if (id == kHICommandAppHelp) {
        OnHelp();
        return kNoErr;
    }
    const std::uint32_t decoded = DecodeDigitCommand(id);
    // Menu items of a window's own commands carry their number as four digits.
    const bool window_number = decoded != id;
    id = decoded;
    if (id == kHICommandHelp) {
        OnHelp();
        return kNoErr;
    }
    if (from_menu && !window_number &&
        std::find(std::begin(kWindowMenuCommands), std::end(kWindowMenuCommands), id) ==
            std::end(kWindowMenuCommands)) {
        return kEventNotHandledErr;
    }
    DispatchCommand(id, nullptr);
    if (IsValid() && IsVisible()) UpdateControls();
    return kNoErr;
}

void LWindow::DispatchCommand(std::uint32_t id, void* data) {
    const std::uint32_t previous = g_current_command;
    g_current_command = id;
    if (g_dispatch_depth == 0) g_last_command = id;
    ++g_dispatch_depth;
    OnCommand(id, data);
    --g_dispatch_depth;
    g_current_command = previous;
}

// ---------------------------------------------------------------------------------------
// Running

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
    if (NativeWindow* parent = Parent()) window->SetModalTo(parent);
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
        IssueBoundCommand(kTagWNDp);
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

void LWindow::Close() {
    if (appHandler != 0) {
        ApplicationTarget().RemoveHandler(appHandler);
        appHandler = 0;
    }
    if (!topLevel) {
        OnClose();
        return;
    }
    if (!NativeWindow::IsValid(window)) {
        window = nullptr;
        content = nullptr;
        ended = 0;
        return;
    }
    Show(false);
    OnClose();
    if (!NativeWindow::IsValid(window)) return;
    NativeWindow* parent = Parent();
    if (modal && parent != nullptr && parent->IsVisible() && !parent->IsCollapsed()) {
        if (LWindow* p = FromNative(parent)) {
            p->Show(true);
        } else {
            parent->Show();
            parent->BringToFront();
        }
    }
    // The closed event goes out while the object still knows its window.
    window->Dispose();
    windowHandler_ = 0;  // went with the native window
    window = nullptr;
    content = nullptr;
    ended = 0;
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

// ---------------------------------------------------------------------------------------
// Commands

void LWindow::SendCommand(std::uint32_t id) {
    if (!topLevel) {
        DispatchCommand(id, nullptr);
        return;
    }
    if (content == nullptr || !IsValid()) return;
    Event e(kEventClassCommand, kEventCommandProcess);
    e.SetParam(kEventParamCommand, HICommand{0, id, 0});
    SendEventToTarget(e, &content->Target());
}

void LWindow::PostCommand(std::uint32_t id) {
    if (!eventQueue || content == nullptr) return;
    Event e(kEventClassCommand, kEventCommandProcess);
    e.SetParam(kEventParamCommand, HICommand{0, id, 0});
    e.SetPostTarget(&content->Target());
    main_queue::Post(std::move(e), EventPriority::kStandard);
}

OSStatus LWindow::SendWindowMessage(std::uint32_t id, void* data1, void* data2) {
    if (content == nullptr || !IsValid()) return kEventNotHandledErr;
    Event e(kEventClassCommand, kEventWindowMessage);
    e.SetParam(kEventParamMessageId, std::int64_t{id});
    e.SetParam(kEventParamData1, data1);
    e.SetParam(kEventParamData2, data2);
    return SendEventToTarget(e, &content->Target());
}

OSStatus LWindow::OnWindowMessage(std::uint32_t, void*, void*) {
    return kEventNotHandledErr;
}

void LWindow::BindCommand(std::uint32_t tag, std::uint32_t id) {
    if (content != nullptr) content->SetProperty(tag, id);
}

void LWindow::IssueBoundCommand(std::uint32_t tag, NativeControl* control) {
    NativeControl* holder = control != nullptr ? control : content;
    if (holder == nullptr || !NativeControl::IsValid(holder)) return;
    const auto id = std::uint32_t(holder->GetProperty(tag));
    if (id != 0) DispatchCommand(id, nullptr);
}

// ---------------------------------------------------------------------------------------
// Keys

bool LWindow::OnKey(const KeyRecord&, std::uint32_t) {
    return false;
}

OSStatus LWindow::HandleKeyEvent(const Event& e) {
    KeyRecord key;
    key.key_code = int(e.GetInt(kEventParamKeyCode, -1));
    key.modifiers = std::uint32_t(e.GetInt(kEventParamKeyModifiers));
    key.character = std::uint32_t(e.GetInt(kEventParamKeyChar));
    if (key.key_code == kVirtualKeyEscape && (key.modifiers & ~kAlphaLock) == 0) {
        key = KeyRecord{kVirtualKeyEscape, 0, 0};
    }
    if (e.Kind() == kEventRawKeyDown) {
        const std::uint32_t mods = key.modifiers & ~kAlphaLock;
        if (mods == kCmdKey && key.character == '/') {
            OnHelp();
            return kNoErr;
        }
        const bool command_w = mods == kCmdKey && (key.character == 'w' || key.character == 'W');
        if (command_w || (key.key_code == kVirtualKeyEscape && modal)) {
            PostCommand(kHICommandCancel);
            return kNoErr;
        }
    }
    OnKey(key, e.Kind());
    if (e.Kind() == kEventRawKeyDown && key.key_code == kVirtualKeyHelp) return kNoErr;
    return kEventNotHandledErr;
}

// ---------------------------------------------------------------------------------------
// Geometry and appearance

void LWindow::OnHelp() {
    OpenHelpPage("index.html");
}

bool LWindow::IsFront() {
    return IsValid() && window->IsActive() && !IsFloating();
}

bool LWindow::IsVisible() {
    return IsValid() && window->IsVisible();
}

void LWindow::Show(bool show) {
    if (!IsValid() || !topLevel) return;
    if (show) {
        if (window->IsCollapsed()) window->Collapse(false);
        window->Show();
        window->BringToFront();
    } else {
        window->Hide();
    }
}

void LWindow::Redraw() {
    if (content != nullptr && NativeControl::IsValid(content)) content->Invalidate();
}

void LWindow::GetTitle(char* buffer, std::size_t size) {
    if (buffer == nullptr || size == 0) return;
    const std::string title = IsValid() ? window->Title() : std::string();
    std::snprintf(buffer, size, "%s", title.c_str());
}

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

// ---------------------------------------------------------------------------------------
// Placement

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
    w = std::min(w, W);
    h = std::min(h, H);
    int x = GetSettingInt(section, "X", left + (W - w) / 2);
    x = std::max(left, std::min(x, left + W - w));
    const int top = have_screen ? int(screen.y) : 22;
    int y = GetSettingInt(section, "Y", top);
    y = std::max(top, std::min(y, std::max(top, top + H - h)));
    window->Move(x, y);
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
