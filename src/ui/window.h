// LWindow: the object behind every window of the program (main window, dialogs, message
// boxes, the progress dialog), wrapped around a native window whose content view is the
// root of its controls. Commands, window events and application events reach the
// virtual operations below; modal runs nest on a process-wide modal stack; placements
// are kept in the settings store. The definitions are spread by job: window.cpp
// (creation, closing, appearance), window_events.cpp, command_dispatch.cpp,
// modal_stack.cpp (modal runs), window_keys.cpp and window_placement.cpp.
//
// Thread: main thread only. Other threads reach a window through PostCommand only.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/events/event_layer.h"
#include "platform/ui/native.h"
#include "ui/command_dispatch.h"
#include "ui/modal_stack.h"

namespace tw {

// Properties of windows and content views.
inline constexpr std::uint32_t kPropertyWindowObject = FourCC("Thiw");    // the owning LWindow
inline constexpr std::uint32_t kPropertyParentWindow = FourCC("Pare");    // parent native window
inline constexpr std::uint32_t kPropertyExplicitParent = FourCC("Papt");  // parent LWindow
// Commands bound on the content view, issued at the moment each name says.
inline constexpr std::uint32_t kBindOnModalRun = FourCC("WNDp");  // about to run modally
inline constexpr std::uint32_t kBindOnShown = FourCC("WNDs");
inline constexpr std::uint32_t kBindOnHidden = FourCC("WNDh");
inline constexpr std::uint32_t kBindOnActivated = FourCC("WNDa");
inline constexpr std::uint32_t kBindOnDeactivated = FourCC("WNDd");
inline constexpr std::uint32_t kBindOnClosed = FourCC("WNDc");
inline constexpr std::uint32_t kBindOnMenusUpdated = FourCC("WNDm");
inline constexpr std::uint32_t kBindOnAppActivated = FourCC("APPa");
inline constexpr std::uint32_t kBindOnAppDeactivated = FourCC("APPd");

// Commands.
inline constexpr std::uint32_t kHICommandOK = FourCC("ok  ");
inline constexpr std::uint32_t kHICommandCancel = FourCC("not!");
inline constexpr std::uint32_t kHICommandAppHelp = FourCC("ahlp");
inline constexpr std::uint32_t kHICommandHelp = FourCC("help");

// Custom events of class 'cmds'.
inline constexpr std::uint32_t kEventWindowMessage = FourCC("Smsg");
inline constexpr std::uint32_t kEventWindowReady = FourCC("Ewrl");  // class 'wind'
inline constexpr std::uint32_t kEventParamMessageId = FourCC("IDid");
inline constexpr std::uint32_t kEventParamData1 = FourCC("Dat1");
inline constexpr std::uint32_t kEventParamData2 = FourCC("Dat2");

// Answers of the click-activation query.
inline constexpr int kClickActivationIgnore = 0;
inline constexpr int kClickActivationActivateAndHandle = 3;

inline constexpr std::size_t kCaptionSize = 260;

// A key as the window sees it.
struct KeyRecord {
    int key_code = -1;
    std::uint32_t modifiers = 0;
    std::uint32_t character = 0;
};
// Both printable or both not; modifiers equal apart from Caps Lock; then upper-cased
// characters equal (printable) or key codes equal (not printable).
bool KeyRecordsMatch(const KeyRecord& a, const KeyRecord& b);

class LWindow {
  public:
    LWindow();
    // Disposes a native window still open (without OnClose) and removes the handlers.
    virtual ~LWindow();
    LWindow(const LWindow&) = delete;
    LWindow& operator=(const LWindow&) = delete;

    // ---- virtual operations, in their order
    virtual bool DoModal();
    virtual void OnInit() {}
    virtual void OnClose() {}
    virtual bool OnOK() { return true; }
    virtual bool OnCancel() { return true; }
    virtual void OnHelp();
    virtual void UpdateControls() {}
    virtual void OnCommand(std::uint32_t id, void* data) {
        (void)id;
        (void)data;
    }
    virtual void OnShown() {}
    virtual void OnHidden() {}
    virtual void OnActivated() {}
    virtual void OnDeactivated() {}
    virtual void OnBeforeInit() {}
    virtual void EndModal(std::uint32_t code);
    virtual bool IsFront();
    virtual bool IsVisible();
    virtual void Show(bool show);
    virtual void Redraw();
    virtual void GetTitle(char* buffer, std::size_t size);
    virtual void ReservedHook() {}
    virtual void GetLayoutArea(int* x, int* y, int* w, int* h);
    virtual void GetPosition(int* x, int* y);
    virtual void GetSize(int* w, int* h);
    virtual void GetClientSize(int* w, int* h);
    virtual void SetBounds(int x, int y, int w, int h);
    virtual void OnAppActivated() {}
    virtual void OnAppDeactivated() {}
    // Further hooks: a window message sent with SendWindowMessage (kEventNotHandledErr
    // when not taken), and a key offered to the window's character handling (true when
    // used).
    virtual OSStatus OnWindowMessage(std::uint32_t id, void* data1, void* data2);
    virtual bool OnKey(const KeyRecord& key, std::uint32_t kind);

    // ---- creation and running
    bool CreateWindow(int width, int height, std::uint32_t window_class, std::uint32_t attributes,
                      int theme_brush);
    bool CreateDialog(int width, int height);
    bool CreateFromNib(const char* nib_name, const char* window_name);
    bool CreateModalWindow(int width, int height, std::uint32_t attributes);
    bool RunModalWindow(NativeWindow* parent, int width, int height);
    bool RunFromNib(NativeWindow* parent, const char* nib_name, const char* window_name);
    // Makes this object an embedded pane whose content lives in another window's tree.
    void AttachEmbedded(LWindow* host, NativeControl* pane_content);
    void Close();

    // ---- commands and messages
    void SendCommand(std::uint32_t id);
    // Any thread.
    void PostCommand(std::uint32_t id);
    OSStatus SendWindowMessage(std::uint32_t id, void* data1, void* data2);
    // Binds on the content view (window tags) ...
    void BindCommand(std::uint32_t tag, std::uint32_t id);
    // ... or on a control (control tags).
    void BindControlCommand(int control_id, std::uint32_t tag, std::uint32_t id);
    // Issues the command bound under `tag` on the content view, or on `control`.
    void IssueBoundCommand(std::uint32_t tag, NativeControl* control = nullptr);
    // OnCommand under the current-command rule.
    void DispatchCommand(std::uint32_t id, void* data = nullptr);

    // The standard key behaviour for a raw key event (Command-/ help, Command-W and a
    // modal Escape cancel, the Help key); installed by whoever takes keyboard events.
    OSStatus HandleKeyEvent(const Event& event);

    // Installs the window event handler (modal or modeless rules) on the native window;
    // DoModal does this itself, a window run otherwise (the main window) calls it.
    void InstallWindowHandler(bool modeless);
    // Installs the application-activation handler of this window.
    void InstallAppHandler();

    // ---- placement
    void SaveWindowPlacement(const char* section);
    void RestoreWindowPlacement(const char* section);
    void CenterWindow();

    // ---- state
    bool IsValid() const;
    static LWindow* FromNative(NativeWindow* window);
    NativeWindow* Parent() const;
    LWindow* ParentWindow() const;
    // A floating window: EndModal does not end a loop for it.
    bool IsFloating() const;

    // ---- fields, with their values right after construction
    std::uint8_t result = 1;
    std::uint8_t ended = 0;
    std::uint8_t shown = 0;
    NativeWindow* window = nullptr;
    NativeControl* content = nullptr;
    std::uint8_t topLevel = 1;
    char caption[kCaptionSize] = "NO CAPTION";
    std::uint8_t modal = 1;
    bool eventQueue = true;  // the main queue; false: PostCommand does nothing
    EventHandlerRef appHandler = 0;
    int nextAutoTop = 100;
    LWindow* embeddedHost = nullptr;  // for an embedded pane: the window it lives in

  protected:
    // The shared window handler; `modeless` selects the modeless rules.
    OSStatus HandleWindowEvent(EventHandlerCall& next, Event& event, bool modeless);
    void RemoveHandlers();
    void FocusFirstControl();
    void SendReadyEvent();

    EventHandlerRef windowHandler_ = 0;

  private:
    OSStatus HandleCommand(const HICommand& command, bool modeless);
    void ActivatedActions(bool check_modal_stack, bool* acted);
};

// A window that runs without a modal loop: DoModal shows it and returns at once.
class LModelessWindow : public LWindow {
  public:
    bool DoModal() override;
    bool showOnRun = true;
};

}  // namespace tw
