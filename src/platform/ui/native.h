// Native windows and controls on GTK 3.
//
// A NativeWindow is a GtkWindow whose content is an absolutely positioned view (the
// content view, a NativeControl), with slots above it for a menu bar, a toolbar and an
// information bar and a status bar below it. Windows and controls carry properties under
// four-character tags and an event target; GTK signals are translated into events sent
// to those targets (close box -> window close, is-active -> activated / deactivated,
// map -> shown, unmap -> hiding, iconify -> collapsing, a button click -> a command,
// ...). A control's target passes what it does not handle to its parent, the content
// view to the window, the window to the application.
//
// Thread: main thread only.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/events/event_layer.h"
#include "platform/ui/paint.h"

namespace tw {

// Window classes.
inline constexpr std::uint32_t kMovableModalWindowClass = 4;
inline constexpr std::uint32_t kFloatingWindowClass = 5;
inline constexpr std::uint32_t kDocumentWindowClass = 6;
inline constexpr std::uint32_t kUtilityWindowClass = 8;

// Window attributes.
inline constexpr std::uint32_t kWindowCloseBoxAttribute = 1u << 0;
inline constexpr std::uint32_t kWindowFullZoomAttribute = (1u << 1) | (1u << 2);
inline constexpr std::uint32_t kWindowCollapseBoxAttribute = 1u << 3;
inline constexpr std::uint32_t kWindowResizableAttribute = 1u << 4;
inline constexpr std::uint32_t kWindowToolbarButtonAttribute = 1u << 6;
inline constexpr std::uint32_t kWindowCompositingAttribute = 1u << 19;
inline constexpr std::uint32_t kWindowStandardHandlerAttribute = 1u << 25;

// Sizes of the window's frame parts, in pixels.
inline constexpr int kToolbarHeight = 56;
inline constexpr int kInfoBarHeight = 32;
inline constexpr int kStatusBarHeight = 30;

// Initialises GTK once; false when there is no display.
bool InitNativeUi();
bool NativeUiAvailable();

// The available window-positioning bounds of the main display; false when unknown.
bool GetMainScreenBounds(Rect* bounds);

class NativeWindow;

// Properties and an event target, shared by windows and controls.
class NativeObject {
  public:
    virtual ~NativeObject() = default;

    void SetProperty(std::uint32_t tag, std::uintptr_t value) { props_[tag] = value; }
    // 0 when absent.
    std::uintptr_t GetProperty(std::uint32_t tag) const;
    bool HasProperty(std::uint32_t tag) const { return props_.count(tag) != 0; }
    void RemoveProperty(std::uint32_t tag) { props_.erase(tag); }

    EventTarget& Target() { return target_; }

  protected:
    std::unordered_map<std::uint32_t, std::uintptr_t> props_;
    EventTarget target_;
};

enum class ControlKind {
    kContent,  // the window's content view (also the root of an embedded pane)
    kStaticText,
    kPushButton,
    kBevelButton,
    kHelpButton,  // the round help button
    kCheckBox,
    kPopup,     // popup button with its own menu
    kEditText,  // single line
    kUserPane,  // drawn by its owner through control draw events
    kImage,
    kIcon,
    kSeparator,
    kTabs,
    kRadioGroup,  // a container of radio buttons; value = selected button (1-based)
    kRadioButton,
    kProgressBar,
    kScrollView,
    kLittleArrows,
};

class NativeControl : public NativeObject {
  public:
    // Creates a control embedded in `parent` (a container: content view, radio group,
    // scroll view or tab page), at `frame` in the parent's coordinates.
    static NativeControl* Create(NativeControl* parent, ControlKind kind, const Rect& frame);
    // True while the control exists.
    static bool IsValid(const NativeControl* control);

    // Destroys the control and its children (a control dispose event goes first).
    void Dispose();

    ControlKind Kind() const { return kind_; }
    NativeWindow* Window() const { return window_; }
    NativeControl* Parent() const { return parent_; }
    const std::vector<NativeControl*>& Children() const { return children_; }
    bool IsContainer() const;

    // Control ID {signature, id} and command ID.
    void SetControlId(std::uint32_t signature, int id) {
        signature_ = signature;
        id_ = id;
    }
    std::uint32_t Signature() const { return signature_; }
    int Id() const { return id_; }
    void SetCommandId(std::uint32_t command) { command_ = command; }
    std::uint32_t CommandId() const { return command_; }

    // Moves the control into its new home (for example out of a radio group).
    void Reparent(NativeControl* new_parent);

    void SetFrame(const Rect& frame);
    Rect Frame() const { return frame_; }

    void SetText(const std::string& text);  // title, label or field text
    std::string Text() const;
    void SetTextColor(const Rgba& color);
    void SetAlignment(int align);  // -1 left, 0 centre, 1 right

    void SetValue(int value);  // no command is issued for a value set by the program
    int Value() const;
    void SetMinimum(int v);
    void SetMaximum(int v);
    int Maximum() const { return maximum_; }
    void SetIndeterminate(bool on);

    void SetEnabled(bool enabled);
    bool IsEnabled() const;
    void SetVisible(bool visible);
    bool IsVisible() const;  // the control's own visibility flag
    bool IsActive() const;   // enabled and in an active window

    // Focus.
    bool CanFocus() const;
    void Focus();
    bool HasFocus() const;

    // Push buttons: the default button (Return) and the cancel button (Escape).
    void MakeDefaultButton();
    void MakeCancelButton();

    // Popups: items are 1-based; a text of "-" appends a separator.
    void PopupAppendItem(const std::string& text);
    void PopupRemoveAll();
    int PopupItemCount() const;
    std::string PopupItemText(int item) const;
    bool PopupItemIsSeparator(int item) const;

    // Edit fields.
    void SetPlaceholder(const std::string& text);
    void SetSecure(bool on);
    void SetReadOnly(bool on);
    void SelectAll();
    void Cut();
    void Copy();
    void Paste();

    // Images and icons.
    void SetImage(const std::string& path);
    std::string ImagePath() const { return image_path_; }

    // Tabs: a page per label; the value is the current page (1-based).
    NativeControl* TabsAppend(const std::string& label);  // returns the page's container
    NativeControl* TabsPage(int page) const;              // 1-based; nullptr when none

    // User panes: redraw all or part.
    void Invalidate();
    void InvalidateRect(const Rect& r);
    void GetSize(int* w, int* h) const;

    // Test and tool helpers that go through GTK's own paths.
    void Click();                            // a user click on a button, check box or radio
    void SimulatePress();                    // a mouse button pressed over the control
    bool PickPopupItem(int item);            // opens the menu, highlights and picks `item`
    bool DismissPopupMenu();                 // opens the menu and closes it without a pick
    void TypeText(const std::string& text);  // as if typed at the end of the field

    // Internal.
    void* Widget() const { return widget_; }
    void* Container() const { return container_; }
    NativeControl(NativeWindow* window, NativeControl* parent, ControlKind kind);
    ~NativeControl() override;
    bool dispatching_value_ = true;  // false while the program sets a value
    void* popup_menu_ = nullptr;
    std::vector<std::string> popup_items_;
    int value_ = 0;

  private:
    friend class NativeWindow;
    void Build(const Rect& frame);

    NativeWindow* window_;
    NativeControl* parent_;
    ControlKind kind_;
    std::vector<NativeControl*> children_;
    void* widget_ = nullptr;     // GtkWidget*
    void* container_ = nullptr;  // GtkFixed* for containers
    void* label_ = nullptr;      // GtkLabel* inside buttons and popups
    Rect frame_;
    std::uint32_t signature_ = 0;
    int id_ = 0;
    std::uint32_t command_ = 0;
    int minimum_ = 0;
    int maximum_ = 100;
    bool visible_ = true;
    std::string image_path_;
};

class NativeWindow : public NativeObject {
  public:
    // A window whose content area is `width` x `height`, placed at left 50, top 50.
    // Returns nullptr when the window cannot be made.
    static NativeWindow* Create(int width, int height, std::uint32_t window_class,
                                std::uint32_t attributes);
    // A window from an interface description compiled in as a resource: the GtkBuilder
    // file "<nib>.ui", object `window_name`, a GtkWindow whose title, default size (the
    // content size) and resizability are taken over. nullptr when either is missing.
    static NativeWindow* CreateFromResource(const std::string& nib, const std::string& window_name);
    static bool IsValid(const NativeWindow* window);
    // Every window that exists, oldest first.
    static std::vector<NativeWindow*> All();

    // Sends closed, destroys the GTK window and deletes this object.
    void Dispose();

    NativeControl* Content() const { return content_; }

    std::uint32_t WindowClass() const { return window_class_; }
    void SetWindowClass(std::uint32_t window_class);
    std::uint32_t Attributes() const { return attributes_; }
    void ChangeAttributes(std::uint32_t set, std::uint32_t clear);

    void SetTitle(const std::string& title);
    std::string Title() const;

    void Show();
    void Hide();
    bool IsVisible() const;
    void BringToFront();  // raise and ask for activation
    bool IsActive() const;
    void Collapse(bool collapse);  // iconify / deiconify
    bool IsCollapsed() const;
    bool IsZoomed() const;  // maximised
    void SetKeepAbove(bool above);
    bool IsKeepAbove() const { return keep_above_; }
    // What the window manager reports: the window is kept above others.
    bool WindowManagerKeepsAbove() const;
    void SetUrgent(bool urgent);

    // Window-modal to `parent` (nullptr: modeless again).
    void SetModalTo(NativeWindow* parent);
    NativeWindow* ModalParent() const { return modal_parent_; }

    // Structure bounds: the window with its frame parts, not the window manager's border.
    void GetPosition(int* x, int* y) const;
    void GetSize(int* w, int* h) const;
    void Move(int x, int y);
    void SetBounds(int x, int y, int w, int h);
    // Keeps the window inside the main display's available bounds.
    void ConstrainToScreen();
    // The content area: the content view and the status bar below it, excluding the
    // menu bar and the information bar; the toolbar height is included (subtract it).
    void GetContentSize(int* w, int* h) const;

    // Toolbar: buttons sending commands to the window.
    void AddToolbarItem(std::uint32_t command, const std::string& label,
                        const std::string& icon_path, const std::string& tooltip);
    void SetToolbarVisible(bool visible);
    // A user's click on the item with this command; false when there is none.
    bool ClickToolbarItem(std::uint32_t command);
    bool IsToolbarVisible() const { return toolbar_visible_; }
    int ToolbarHeight() const { return toolbar_visible_ ? kToolbarHeight : 0; }

    // Status bar: a strip of text panes below the content view.
    void SetStatusBarVisible(bool visible);
    bool IsStatusBarVisible() const { return status_visible_; }
    void SetStatusText(int pane, const std::string& text);
    std::string StatusText(int pane) const;

    // Information bar: shown the first time it is given a text, the window growing by
    // kInfoBarHeight to make room.
    void SetInfoBarText(const std::string& text);
    bool IsInfoBarVisible() const { return info_visible_; }
    std::string InfoBarText() const;

    // Menu bar: menus of items that send commands (from a menu) to the window.
    int AddMenu(const std::string& title);  // returns the menu's index
    void AddMenuItem(int menu, const std::string& text, std::uint32_t command);
    void AddMenuSeparator(int menu);
    void SetMenuEnabled(int menu, bool enabled);
    void SetMenuItemEnabled(std::uint32_t command, bool enabled);
    bool IsMenuItemEnabled(std::uint32_t command) const;
    bool IsMenuEnabled(int menu) const;
    void RemoveAllMenus();
    // A user's pick of the item with this command, through GTK's activation.
    bool ActivateMenuItem(std::uint32_t command);

    // Saves what is on screen of this window as a PNG.
    bool CapturePng(const std::string& path);

    // A key press as the window would receive it from the keyboard: virtual key code,
    // modifier bits and character.
    void SimulateKeyPress(int key_code, std::uint32_t modifiers, std::uint32_t character);
    // A click in the close box, as the window manager delivers it.
    void SimulateCloseBox();

    // Internal.
    void* Widget() const { return window_; }
    NativeWindow(std::uint32_t window_class, std::uint32_t attributes);
    ~NativeWindow() override;
    void Build(int width, int height);
    void* default_button_ = nullptr;
    void* cancel_button_ = nullptr;
    bool active_ = false;
    bool collapsed_ = false;
    bool zoomed_ = false;
    std::vector<unsigned> keys_down_;  // GDK key values pressed and not yet released

  private:
    std::uint32_t window_class_;
    std::uint32_t attributes_;
    void* window_ = nullptr;  // GtkWindow*
    void* vbox_ = nullptr;
    void* menubar_ = nullptr;
    void* toolbar_ = nullptr;
    void* infobar_ = nullptr;
    void* infolabel_ = nullptr;
    void* statusbar_ = nullptr;
    std::vector<void*> status_panes_;
    std::vector<void*> menus_;  // GtkMenuItem* (top level)
    std::vector<std::pair<std::uint32_t, void*>> menu_items_;
    NativeControl* content_ = nullptr;
    NativeWindow* modal_parent_ = nullptr;
    bool keep_above_ = false;
    bool toolbar_visible_ = false;
    bool status_visible_ = false;
    bool info_visible_ = false;
};

}  // namespace tw
