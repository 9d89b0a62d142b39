// The GTK signals of a window turned into window and application events: the close box,
// activation of the window and of the application, map and unmap, iconify and maximise,
// configure, and keys (raw key down, repeat and up, then the standard dialog keys).
#include <gtk/gtk.h>

#include <algorithm>

#include "platform/ui/keys.h"
#include "platform/ui/native_internal.h"

namespace tw {

namespace {

using Internals = NativeUiInternals;

void SendWindowEvent(NativeWindow* w, std::uint32_t kind) {
    Event e(kEventClassWindow, kind);
    SendEventToTarget(e, &w->Target());
}

gboolean OnDelete(GtkWidget*, GdkEvent*, gpointer data) {
    auto* w = static_cast<NativeWindow*>(data);
    Event e(kEventClassWindow, kEventWindowClose);
    if (SendEventToTarget(e, &w->Target()) != kNoErr) {
        // The standard behaviour of a close box: the window goes.
        w->Dispose();
    }
    return TRUE;
}

// The application counts as active while one of its windows is.
bool g_app_active = false;

void SendAppEvent(std::uint32_t kind) {
    Event e(kEventClassApplication, kind);
    SendEventToTarget(e, &ApplicationTarget());
}

gboolean CheckAppDeactivated(gpointer) {
    // Focus moving between two of our windows passes through "none active" briefly.
    bool any = false;
    for (NativeWindow* w : WindowRegistry()) any = any || Internals::Active(*w);
    if (!any && g_app_active) {
        g_app_active = false;
        SendAppEvent(kEventAppDeactivated);
    }
    return G_SOURCE_REMOVE;
}

void OnActiveChanged(GObject* obj, GParamSpec*, gpointer data) {
    auto* w = static_cast<NativeWindow*>(data);
    const bool active = gtk_window_is_active(GTK_WINDOW(obj));
    if (active == Internals::Active(*w)) return;
    Internals::Active(*w) = active;
    // The releases of keys held down now go to whichever window has the focus next.
    if (!active) w->ForgetPressedKeys();
    if (active && !g_app_active) {
        g_app_active = true;
        SendAppEvent(kEventAppActivated);
    }
    if (!NativeWindow::IsValid(w)) return;
    SendWindowEvent(w, active ? kEventWindowActivated : kEventWindowDeactivated);
    if (!active) g_timeout_add(100, CheckAppDeactivated, nullptr);
}

void OnMap(GtkWidget*, gpointer data) {
    SendWindowEvent(static_cast<NativeWindow*>(data), kEventWindowShown);
}
void OnUnmap(GtkWidget*, gpointer data) {
    SendWindowEvent(static_cast<NativeWindow*>(data), kEventWindowHiding);
}

gboolean OnWindowState(GtkWidget*, GdkEventWindowState* e, gpointer data) {
    auto* w = static_cast<NativeWindow*>(data);
    Internals::Zoomed(*w) = (e->new_window_state & GDK_WINDOW_STATE_MAXIMIZED) != 0;
    if (e->changed_mask & GDK_WINDOW_STATE_ICONIFIED) {
        const bool iconified = (e->new_window_state & GDK_WINDOW_STATE_ICONIFIED) != 0;
        if (iconified != Internals::Collapsed(*w)) {
            Internals::Collapsed(*w) = iconified;
            SendWindowEvent(w, iconified ? kEventWindowCollapsing : kEventWindowExpanding);
        }
    }
    return FALSE;
}

gboolean OnConfigure(GtkWidget*, GdkEventConfigure*, gpointer data) {
    auto* w = static_cast<NativeWindow*>(data);
    if (w->TakeConstrainWhenFramed()) w->ConstrainToScreen();
    SendWindowEvent(w, kEventWindowBoundsChanged);
    return FALSE;
}

// The standard dialog keys: Escape presses the cancel button; Return presses the focused
// button when the focus is on one that takes Return (as GTK's own default handling
// does), else the default button.
bool PressDialogButton(NativeWindow* w, const GdkEventKey* k) {
    const guint mods = k->state & (GDK_CONTROL_MASK | GDK_MOD1_MASK | GDK_SUPER_MASK);
    if (mods != 0) return false;
    GtkWidget* button = nullptr;
    if (k->keyval == GDK_KEY_Escape) {
        button = Internals::CancelButton(*w);
    } else if (k->keyval == GDK_KEY_Return || k->keyval == GDK_KEY_KP_Enter) {
        GtkWidget* focus = gtk_window_get_focus(GTK_WINDOW(w->Widget()));
        if (focus != nullptr && GTK_IS_BUTTON(focus) && gtk_widget_get_receives_default(focus) &&
            gtk_widget_is_sensitive(focus)) {
            gtk_widget_activate(focus);
            return true;
        }
        button = Internals::DefaultButton(*w);
    }
    if (button == nullptr || !gtk_widget_is_sensitive(button)) return false;
    gtk_button_clicked(GTK_BUTTON(button));
    return true;
}

gboolean OnKey(GtkWidget*, GdkEventKey* k, gpointer data) {
    auto* w = static_cast<NativeWindow*>(data);
    // Auto-repeat arrives as further presses without releases in between. Modifier keys
    // come as presses and releases of their own key codes.
    std::uint32_t kind = kEventRawKeyUp;
    auto& down = Internals::KeysDown(*w);
    const auto it = std::find(down.begin(), down.end(), k->keyval);
    if (k->type == GDK_KEY_RELEASE) {
        if (it != down.end()) down.erase(it);
    } else if (it != down.end()) {
        kind = kEventRawKeyRepeat;
    } else {
        kind = kEventRawKeyDown;
        down.push_back(k->keyval);
    }
    Event e(kEventClassKeyboard, kind);
    e.SetParam(kEventParamKeyCode, std::int64_t{VirtualKeyFromKeyval(k->keyval)});
    e.SetParam(kEventParamKeyModifiers, std::int64_t{ModifiersFromGdkState(k->state)});
    e.SetParam(kEventParamKeyChar, std::int64_t{gdk_keyval_to_unicode(k->keyval)});
    if (SendEventToTarget(e, &w->Target()) == kNoErr) return TRUE;
    if (kind != kEventRawKeyDown || !NativeWindow::IsValid(w)) return FALSE;
    return PressDialogButton(w, k);
}

}  // namespace

void ConnectWindowSignals(NativeWindow& w) {
    GtkWidget* win = w.Widget();
    gtk_widget_add_events(win, GDK_KEY_PRESS_MASK | GDK_KEY_RELEASE_MASK | GDK_STRUCTURE_MASK);
    g_signal_connect(win, "delete-event", G_CALLBACK(OnDelete), &w);
    g_signal_connect(win, "notify::is-active", G_CALLBACK(OnActiveChanged), &w);
    g_signal_connect(win, "map", G_CALLBACK(OnMap), &w);
    g_signal_connect(win, "unmap", G_CALLBACK(OnUnmap), &w);
    g_signal_connect(win, "window-state-event", G_CALLBACK(OnWindowState), &w);
    g_signal_connect(win, "configure-event", G_CALLBACK(OnConfigure), &w);
    g_signal_connect(win, "key-press-event", G_CALLBACK(OnKey), &w);
    g_signal_connect(win, "key-release-event", G_CALLBACK(OnKey), &w);
}

void DeliverCloseBox(NativeWindow& w) {
    OnDelete(w.Widget(), nullptr, &w);
}

}  // namespace tw
