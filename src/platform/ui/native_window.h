// NativeWindow: a GtkWindow whose content is an absolutely positioned view (the content
// view, a NativeControl), with slots above it for a menu bar, a toolbar and an information
// bar and a status bar below it. GTK signals are translated into events sent to the
// window's target (close box -> window close, is-active -> activated / deactivated, map
// -> shown, unmap -> hiding, iconify -> collapsing, keys -> raw key events); the window
// passes what it does not handle to the application.
//
// Thread: main thread only.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "platform/events/event_layer.h"
#include "platform/ui/gtk_types.h"
#include "platform/ui/native_control.h"
#include "platform/ui/native_object.h"

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
    bool IsCollapsed() const { return collapsed_; }
    bool IsZoomed() const { return zoomed_; }  // maximised
    void SetKeepAbove(bool above);
    bool IsKeepAbove() const { return keep_above_; }
    // What the window manager reports: the window is kept above others.
    bool WindowManagerKeepsAbove() const;
    void SetUrgent(bool urgent);

    // Window-modal to `parent` (nullptr: modeless again).
    void SetModalTo(NativeWindow* parent);
    NativeWindow* ModalParent() const { return modal_parent_; }
    // Application-modal: while set, no other window of the program takes mouse or key
    // input. A modal run without a parent uses it.
    void SetApplicationModal(bool modal);
    bool IsApplicationModal() const { return app_modal_; }

    // Forgets which keys were pressed and not yet released, so that the next press of one
    // counts as a press, not a repeat: their releases went elsewhere (focus left the
    // window, or a modal run took the keyboard).
    void ForgetPressedKeys() { keys_down_.clear(); }

    // Structure bounds: the window with its frame parts, not the window manager's border.
    void GetPosition(int* x, int* y) const;
    void GetSize(int* w, int* h) const;
    void Move(int x, int y);
    void SetBounds(int x, int y, int w, int h);
    // The outer bounds on screen, the window manager's title bar and borders included;
    // the structure bounds when the window is not on screen.
    Rect OuterBounds() const;
    // Keeps the whole window, title bar and borders included, inside the main display's
    // available bounds (the top-left corner winning when it does not fit).
    void ConstrainToScreen();
    // True once, when a window constrained before it was on screen has been framed by the
    // window manager: the constraint is due again with the frame's real size.
    bool TakeConstrainWhenFramed();
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
    // kInfoBarHeight to make room. Drawn in the theme's own information-bar colours.
    void SetInfoBarText(const std::string& text);
    bool IsInfoBarVisible() const { return info_visible_; }
    std::string InfoBarText() const;

    // Menu bar: menus of items that send commands (from a menu) to the window.
    int AddMenu(const std::string& title);  // returns the menu's index
    // A submenu appended to `menu` as an item with this title; its own menu index.
    int AddSubmenu(int menu, const std::string& title);
    // The index of the top-level menu with this title; -1 when none.
    int FindMenu(const std::string& title) const;
    // Removes a top-level menu (its index is not used again).
    void RemoveMenu(int menu);
    int MenuItemCount(int menu) const;
    void AddMenuItem(int menu, const std::string& text, std::uint32_t command);
    void AddMenuSeparator(int menu);
    void SetMenuEnabled(int menu, bool enabled);
    void SetMenuItemEnabled(std::uint32_t command, bool enabled);
    bool IsMenuItemEnabled(std::uint32_t command) const;
    bool IsMenuEnabled(int menu) const;
    void RemoveAllMenus();
    // A user's pick of the item with this command, through GTK's activation.
    bool ActivateMenuItem(std::uint32_t command);

    // The GtkWindow, for the rest of the platform layer.
    GtkWidget* Widget() const { return window_; }

  private:
    friend class NativeControl;  // default and cancel buttons
    friend struct NativeUiInternals;

    NativeWindow(std::uint32_t window_class, std::uint32_t attributes);
    ~NativeWindow() override;
    void Build(int width, int height);
    void BuildBars();

    std::uint32_t window_class_;
    std::uint32_t attributes_;
    GtkWidget* window_ = nullptr;  // the GtkWindow
    GtkWidget* vbox_ = nullptr;
    GtkWidget* menubar_ = nullptr;
    GtkWidget* toolbar_ = nullptr;
    GtkWidget* infobar_ = nullptr;
    GtkWidget* infolabel_ = nullptr;
    GtkWidget* statusbar_ = nullptr;
    std::vector<GtkWidget*> status_panes_;
    std::vector<GtkWidget*> menus_;  // top-level GtkMenuItems
    std::vector<std::pair<std::uint32_t, GtkWidget*>> menu_items_;
    NativeControl* content_ = nullptr;
    NativeWindow* modal_parent_ = nullptr;
    GtkWidget* default_button_ = nullptr;
    GtkWidget* cancel_button_ = nullptr;
    std::vector<unsigned> keys_down_;  // GDK key values pressed and not yet released
    bool keep_above_ = false;
    bool app_modal_ = false;
    bool constrain_when_framed_ = false;
    bool toolbar_visible_ = false;
    bool status_visible_ = false;
    bool info_visible_ = false;
    bool active_ = false;
    bool collapsed_ = false;
    bool zoomed_ = false;
};

}  // namespace tw
