// What the files of the GTK layer share and nothing above it may use: the registries of
// live windows and controls, access to their GTK parts for the signal handlers, and the
// entry points between the files (kind table, popup menus, edit fields, window signals).
//
// Thread: main thread only.
#pragma once

#include <gtk/gtk.h>

#include <cstdint>
#include <string>
#include <unordered_set>
#include <vector>

#include "platform/ui/native_control.h"
#include "platform/ui/native_window.h"

namespace tw {

// Every window that exists, oldest first, and every control.
std::vector<NativeWindow*>& WindowRegistry();
std::unordered_set<const NativeControl*>& ControlRegistry();

// The private parts of windows and controls, for the GTK glue of this folder.
struct NativeUiInternals {
    static bool& Dispatching(NativeControl& c) { return c.dispatching_value_; }
    static int& Value(NativeControl& c) { return c.value_; }
    static GtkWidget*& Container(NativeControl& c) { return c.container_; }
    static GtkWidget*& Label(NativeControl& c) { return c.label_; }
    static GtkWidget*& PopupMenu(NativeControl& c) { return c.popup_menu_; }
    static NativeControl::EditSnapshot& EditSnapshot(NativeControl& c) { return c.edit_snapshot_; }

    static std::vector<unsigned>& KeysDown(NativeWindow& w) { return w.keys_down_; }
    static bool& Active(NativeWindow& w) { return w.active_; }
    static bool& Collapsed(NativeWindow& w) { return w.collapsed_; }
    static bool& Zoomed(NativeWindow& w) { return w.zoomed_; }
    static GtkWidget* DefaultButton(const NativeWindow& w) { return w.default_button_; }
    static GtkWidget* CancelButton(const NativeWindow& w) { return w.cancel_button_; }
};

// Sends `e` to the control's target and returns the answer.
OSStatus SendToControl(NativeControl* c, Event& e);
// A command-process event with the control's command ID, unless it has none.
void SendCommandFrom(NativeControl* c, std::uint32_t attributes);

// ---- control kinds (control_kinds.cpp)

// The GTK parts a kind's builder makes.
struct ControlParts {
    GtkWidget* widget = nullptr;      // the control itself
    GtkWidget* container = nullptr;   // where embedded controls go (containers only)
    GtkWidget* label = nullptr;       // the text of buttons, check boxes and popups
    GtkWidget* popup_menu = nullptr;  // the menu of a popup
};
// Builds the widget of `c`'s kind from its row of the kind table.
ControlParts BuildControlParts(NativeControl& c, const Rect& frame);

// ---- popup menus (popup_menu.cpp)

ControlParts BuildPopupButton(NativeControl& c);
// Opens the popup's menu below it with the current item marked and highlighted.
void OpenPopupMenu(NativeControl& c);

// ---- edit fields (edit_field.cpp)

ControlParts BuildEditField(NativeControl& c);
// Drops what an edit field keeps between a deletion and the insertion that may follow.
void ForgetEditSnapshot(NativeControl& c);

// ---- windows (window_signals.cpp)

void ConnectWindowSignals(NativeWindow& w);
// The close box as the window manager reports it, also for a window not yet on screen.
void DeliverCloseBox(NativeWindow& w);

// ---- style (theme.cpp)

// Installs the program's style sheet for the default screen.
void ApplyProgramStyle();
void AddStyleClass(GtkWidget* w, const char* css_class);

}  // namespace tw
