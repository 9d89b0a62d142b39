// LWindow: construction and destruction, creation of the native window (in code, as a
// dialog, from an interface description), embedded panes, closing, and appearance.
#include "ui/window.h"

#include <cstdio>

#include "platform/ui/resources.h"
#include "store/folders.h"

namespace tw {

LWindow::LWindow() = default;

LWindow::~LWindow() {
    RemoveHandlers();
    if (topLevel && NativeWindow::IsValid(window)) {
        window->RemoveProperty(kPropertyWindowObject);
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
    return reinterpret_cast<LWindow*>(w->GetProperty(kPropertyWindowObject));
}

NativeWindow* LWindow::Parent() const {
    if (!NativeWindow::IsValid(window)) return nullptr;
    auto* p = reinterpret_cast<NativeWindow*>(window->GetProperty(kPropertyParentWindow));
    return NativeWindow::IsValid(p) ? p : nullptr;
}

LWindow* LWindow::ParentWindow() const {
    if (content != nullptr) {
        if (auto* explicit_parent =
                reinterpret_cast<LWindow*>(content->GetProperty(kPropertyExplicitParent))) {
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
    window->SetProperty(kPropertyWindowObject, reinterpret_cast<std::uintptr_t>(this));
    content->SetProperty(kPropertyWindowObject, reinterpret_cast<std::uintptr_t>(this));
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
    window->SetProperty(kPropertyWindowObject, reinterpret_cast<std::uintptr_t>(this));
    content->SetProperty(kPropertyWindowObject, reinterpret_cast<std::uintptr_t>(this));
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
    window->SetProperty(kPropertyWindowObject, reinterpret_cast<std::uintptr_t>(this));
    window->SetProperty(kPropertyParentWindow, reinterpret_cast<std::uintptr_t>(parent));
    CenterWindow();
    return DoModal();
}

bool LWindow::RunFromNib(NativeWindow* parent, const char* nib_name, const char* window_name) {
    if (!CreateFromNib(nib_name, window_name)) return false;
    window->SetProperty(kPropertyWindowObject, reinterpret_cast<std::uintptr_t>(this));
    content->SetProperty(kPropertyWindowObject, reinterpret_cast<std::uintptr_t>(this));
    window->SetProperty(kPropertyParentWindow, reinterpret_cast<std::uintptr_t>(parent));
    return DoModal();
}

void LWindow::AttachEmbedded(LWindow* host, NativeControl* pane_content) {
    topLevel = 0;
    embeddedHost = host;
    window = host != nullptr ? host->window : nullptr;
    content = pane_content;
    std::snprintf(caption, sizeof caption, "%s", "LEmbeddedWindow");
    if (content != nullptr)
        content->SetProperty(kPropertyWindowObject, reinterpret_cast<std::uintptr_t>(this));
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

}  // namespace tw
