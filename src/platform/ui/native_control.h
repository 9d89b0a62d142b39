// NativeControl: a GTK widget playing one of the control kinds (push button, edit field,
// user pane, ...), embedded at a frame in a container control (the content view, a radio
// group, a scroll view or a tab page). Its signals reach its event target as events: a
// click as a command, a text input as a filter-text event that may refuse it, a draw as a
// control draw event carrying a paint context. What a control does not handle goes to its
// parent, the content view to the window.
//
// Thread: main thread only.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/events/event_layer.h"
#include "platform/ui/gtk_types.h"
#include "platform/ui/native_object.h"
#include "platform/ui/paint.h"

namespace tw {

class NativeWindow;
struct NativeUiInternals;

// The kinds of control; each is built from its row of the kind table (control_kinds.cpp).
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
inline constexpr int kControlKindCount = int(ControlKind::kLittleArrows) + 1;

class NativeControl : public NativeObject {
  public:
    // Creates a control embedded in `parent` (a container: content view, radio group,
    // scroll view or tab page), at `frame` in the parent's coordinates. Keyboard focus
    // moves through a container's controls in the order they were created.
    static NativeControl* Create(NativeControl* parent, ControlKind kind, const Rect& frame);
    // True while the control exists.
    static bool IsValid(const NativeControl* control);

    // Destroys the control and its children (a control dispose event goes first).
    void Dispose();

    ControlKind Kind() const { return kind_; }
    NativeWindow* Window() const { return window_; }
    NativeControl* Parent() const { return parent_; }
    const std::vector<NativeControl*>& Children() const { return children_; }
    bool IsContainer() const { return container_ != nullptr; }

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
    int Value() const { return value_; }
    void SetMinimum(int v) { minimum_ = v; }
    void SetMaximum(int v) { maximum_ = v; }
    int Maximum() const { return maximum_; }
    void SetIndeterminate(bool on);

    void SetEnabled(bool enabled);
    bool IsEnabled() const;
    void SetVisible(bool visible);
    bool IsVisible() const { return visible_; }  // the control's own visibility flag
    bool IsActive() const;                       // enabled and in an active window

    // Focus.
    bool CanFocus() const;
    void Focus();
    bool HasFocus() const;

    // Push buttons: the default button (Return) and the cancel button (Escape).
    void MakeDefaultButton();
    void MakeCancelButton();

    // Popups: items are 1-based; a text of "-" appends a separator. The open menu marks
    // the current item and starts with it highlighted.
    void PopupAppendItem(const std::string& text);
    void PopupRemoveAll();
    int PopupItemCount() const { return int(popup_items_.size()); }
    std::string PopupItemText(int item) const;
    bool PopupItemIsSeparator(int item) const;

    // Edit fields. A refused input (see kEventTextInputFilterText) leaves the field as it
    // was, selection included.
    void SetPlaceholder(const std::string& text);
    void SetSecure(bool on);
    void SetReadOnly(bool on);
    void SelectAll();
    // Selects the characters [start, end).
    void SelectRange(int start, int end);
    void Cut();
    void Copy();
    void Paste();
    // The selected characters [start, end); false when nothing is selected.
    bool GetSelection(int* start, int* end) const;

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

    // The GTK widget that plays this control, for the rest of the platform layer.
    GtkWidget* Widget() const { return widget_; }

  private:
    friend class NativeWindow;
    friend struct NativeUiInternals;

    NativeControl(NativeWindow* window, NativeControl* parent, ControlKind kind);
    ~NativeControl() override;
    void Build(const Rect& frame);
    // Keyboard focus follows creation order, not screen position.
    void UpdateFocusChain();

    NativeWindow* window_;
    NativeControl* parent_;
    ControlKind kind_;
    std::vector<NativeControl*> children_;
    GtkWidget* widget_ = nullptr;
    GtkWidget* container_ = nullptr;   // the GtkFixed of containers
    GtkWidget* label_ = nullptr;       // the GtkLabel inside buttons and popups
    GtkWidget* popup_menu_ = nullptr;  // the GtkMenu of popups
    std::vector<std::string> popup_items_;
    Rect frame_;
    std::uint32_t signature_ = 0;
    int id_ = 0;
    std::uint32_t command_ = 0;
    int value_ = 0;
    int minimum_ = 0;
    int maximum_ = 100;
    bool visible_ = true;
    bool dispatching_value_ = true;  // false while the program sets a value
    std::string image_path_;

    // An edit field's state before GTK deleted its selection, kept until the main loop
    // is next idle: GTK replaces a selection by deleting it and then inserting, so a
    // refused insertion must put the deleted text and the selection back.
    struct EditSnapshot {
        bool valid = false;
        std::string text;
        int start = 0;  // selection, in characters
        int end = 0;
        bool change_held = false;  // the deletion's change notice, not yet sent
        bool restored = false;     // the refused input was taken back
        unsigned idle_source = 0;  // the GLib source that settles the snapshot
    };
    EditSnapshot edit_snapshot_;
};

}  // namespace tw
