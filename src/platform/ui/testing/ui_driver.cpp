// The test driver's actions, each through the GTK path a user's action takes.
#include "platform/ui/testing/ui_driver.h"

#include <X11/extensions/XTest.h>
#include <gdk/gdkx.h>
#include <gtk/gtk.h>

#include "platform/ui/keys.h"
#include "platform/ui/native_internal.h"

namespace tw::ui_driver {

namespace {

guint KeyvalOf(int key_code, std::uint32_t character) {
    guint keyval = character != 0 ? gdk_unicode_to_keyval(character) : 0;
    if (keyval == 0 || (character < 0x20 && key_code >= 0)) keyval = KeyvalFromVirtualKey(key_code);
    return keyval;
}

void DeliverKey(GdkWindow* gw, GdkEventType type, guint keyval, std::uint32_t modifiers) {
    GdkDisplay* display = gdk_window_get_display(gw);
    GdkSeat* seat = gdk_display_get_default_seat(display);
    GdkDevice* keyboard = seat ? gdk_seat_get_keyboard(seat) : nullptr;
    guint16 hardware = 0;
    GdkKeymapKey* keys = nullptr;
    gint n = 0;
    if (gdk_keymap_get_entries_for_keyval(gdk_keymap_get_for_display(display), keyval, &keys, &n) &&
        n > 0) {
        hardware = guint16(keys[0].keycode);
    }
    g_free(keys);
    GdkEvent* e = gdk_event_new(type);
    e->key.window = GDK_WINDOW(g_object_ref(gw));
    e->key.send_event = TRUE;
    e->key.time = GDK_CURRENT_TIME;
    e->key.keyval = keyval;
    e->key.state = GdkStateFromModifiers(modifiers);
    e->key.hardware_keycode = hardware;
    if (keyboard) gdk_event_set_device(e, keyboard);
    gtk_main_do_event(e);
    gdk_event_free(e);
}

GtkWidget* NthItem(NativeControl* popup, int item) {
    GList* kids = gtk_container_get_children(GTK_CONTAINER(NativeUiInternals::PopupMenu(*popup)));
    auto* mi = static_cast<GtkWidget*>(g_list_nth_data(kids, guint(item - 1)));
    g_list_free(kids);
    return mi;
}

int ItemNumber(NativeControl* popup, GtkWidget* wanted) {
    GList* kids = gtk_container_get_children(GTK_CONTAINER(NativeUiInternals::PopupMenu(*popup)));
    int found = 0;
    int item = 1;
    for (GList* k = kids; k != nullptr && found == 0; k = k->next, ++item) {
        if (k->data == wanted) found = item;
    }
    g_list_free(kids);
    return found;
}

}  // namespace

void SendKey(NativeWindow* window, bool press, int key_code, std::uint32_t modifiers,
             std::uint32_t character) {
    if (!NativeWindow::IsValid(window)) return;
    // Keys reach a window that exists on the server, shown or not.
    gtk_widget_realize(window->Widget());
    GdkWindow* gw = gtk_widget_get_window(window->Widget());
    if (gw == nullptr) return;
    DeliverKey(gw, press ? GDK_KEY_PRESS : GDK_KEY_RELEASE, KeyvalOf(key_code, character),
               modifiers);
}

void PressKey(NativeWindow* window, int key_code, std::uint32_t modifiers,
              std::uint32_t character) {
    SendKey(window, true, key_code, modifiers, character);
    SendKey(window, false, key_code, modifiers, character);
}

void TypeText(NativeControl* field, const std::string& text) {
    if (!NativeControl::IsValid(field) || field->Kind() != ControlKind::kEditText) return;
    NativeWindow* window = field->Window();
    if (!window->IsVisible()) {
        // A user types only into a window on screen; GTK's fields take keys only there.
        window->Show();
        RunEventLoopUntil([&] { return gtk_widget_get_mapped(field->Widget()); }, 2000);
    }
    if (!field->HasFocus()) {
        // Focusing a field selects its text, as a click does not: keep the cursor where it is.
        int start = 0;
        int end = 0;
        const bool selected = field->GetSelection(&start, &end);
        const gint pos = gtk_editable_get_position(GTK_EDITABLE(field->Widget()));
        field->Focus();
        if (selected) {
            gtk_editable_select_region(GTK_EDITABLE(field->Widget()), start, end);
        } else {
            gtk_editable_set_position(GTK_EDITABLE(field->Widget()), pos);
        }
    }
    for (const char* p = text.c_str(); *p != '\0'; p = g_utf8_next_char(p)) {
        PressKey(window, -1, 0, g_utf8_get_char(p));
        if (!NativeControl::IsValid(field)) return;
    }
}

void ClickCloseBox(NativeWindow* window) {
    GdkWindow* gw = gtk_widget_get_window(window->Widget());
    if (gw == nullptr) {
        DeliverCloseBox(*window);
        return;
    }
    GdkEvent* e = gdk_event_new(GDK_DELETE);
    e->any.window = GDK_WINDOW(g_object_ref(gw));
    e->any.send_event = TRUE;
    gtk_main_do_event(e);
    gdk_event_free(e);
}

void Click(NativeControl* control) {
    if (GTK_IS_BUTTON(control->Widget())) gtk_button_clicked(GTK_BUTTON(control->Widget()));
}

void MovePointer(NativeControl* control, double x, double y) {
    GtkWidget* w = control->Widget();
    GdkWindow* gw = gtk_widget_get_window(w);
    if (gw == nullptr) return;
    GdkEvent* e = gdk_event_new(GDK_MOTION_NOTIFY);
    e->motion.window = GDK_WINDOW(g_object_ref(gw));
    e->motion.send_event = TRUE;
    e->motion.time = GDK_CURRENT_TIME;
    e->motion.x = x;
    e->motion.y = y;
    GdkSeat* seat = gdk_display_get_default_seat(gdk_window_get_display(gw));
    if (seat != nullptr) gdk_event_set_device(e, gdk_seat_get_pointer(seat));
    gtk_widget_event(w, e);
    gdk_event_free(e);
}

std::string CursorName(NativeControl* control) {
    GdkWindow* gw = gtk_widget_get_window(control->Widget());
    GdkCursor* cursor = gw ? gdk_window_get_cursor(gw) : nullptr;
    if (cursor == nullptr) return {};
    // A named cursor keeps its name on the X11 backend as "cursor-name" data of the object
    // when made by name; GDK offers no getter, so compare with a cursor of the same name.
    GdkCursor* pointer = gdk_cursor_new_from_name(gdk_window_get_display(gw), "pointer");
    const bool same =
        pointer && gdk_cursor_get_cursor_type(pointer) == gdk_cursor_get_cursor_type(cursor);
    if (pointer) g_object_unref(pointer);
    return same ? "pointer" : "other";
}

void PressMouse(NativeControl* control) {
    GtkWidget* w = control->Widget();
    GdkWindow* gw = gtk_widget_get_window(w);
    if (gw == nullptr) return;
    GdkEvent* e = gdk_event_new(GDK_BUTTON_PRESS);
    e->button.window = GDK_WINDOW(g_object_ref(gw));
    e->button.send_event = TRUE;
    e->button.time = GDK_CURRENT_TIME;
    e->button.button = 1;
    GtkAllocation a;
    gtk_widget_get_allocation(w, &a);
    // Widgets without a window of their own share their parent's.
    const bool own = gtk_widget_get_has_window(w);
    e->button.x = (own ? 0 : a.x) + a.width / 2.0;
    e->button.y = (own ? 0 : a.y) + a.height / 2.0;
    GdkSeat* seat = gdk_display_get_default_seat(gdk_window_get_display(gw));
    if (seat != nullptr) gdk_event_set_device(e, gdk_seat_get_pointer(seat));
    gtk_widget_event(w, e);
    gdk_event_free(e);
}

void ClickWithPointer(NativeControl* control) {
    GtkWidget* w = control->Widget();
    GtkWidget* top = gtk_widget_get_toplevel(w);
    GdkWindow* top_window = gtk_widget_get_window(top);
    if (top_window == nullptr) return;
    int x = 0;
    int y = 0;
    gtk_widget_translate_coordinates(w, top, gtk_widget_get_allocated_width(w) / 2,
                                     gtk_widget_get_allocated_height(w) / 2, &x, &y);
    int ox = 0;
    int oy = 0;
    gdk_window_get_origin(top_window, &ox, &oy);
    // The X server counts device pixels.
    const int scale = gtk_widget_get_scale_factor(top);
    Display* display = GDK_DISPLAY_XDISPLAY(gdk_window_get_display(top_window));
    XTestFakeMotionEvent(display, -1, (ox + x) * scale, (oy + y) * scale, CurrentTime);
    XTestFakeButtonEvent(display, 1, True, CurrentTime);
    XTestFakeButtonEvent(display, 1, False, CurrentTime);
    XSync(display, False);
    // Let the server's events arrive and be dispatched.
    RunEventLoopFor(150);
}

bool PickPopupItem(NativeControl* popup, int item) {
    if (popup->Kind() != ControlKind::kPopup || item < 1 || item > popup->PopupItemCount()) {
        return false;
    }
    tw::OpenPopupMenu(*popup);
    GtkWidget* menu = NativeUiInternals::PopupMenu(*popup);
    GtkWidget* mi = NthItem(popup, item);
    if (mi == nullptr) return false;
    gtk_menu_shell_select_item(GTK_MENU_SHELL(menu), mi);
    gtk_menu_shell_activate_item(GTK_MENU_SHELL(menu), mi, TRUE);
    return true;
}

bool OpenPopupMenu(NativeControl* popup) {
    if (popup->Kind() != ControlKind::kPopup) return false;
    tw::OpenPopupMenu(*popup);
    return true;
}

int PopupMarkedItem(NativeControl* popup) {
    if (popup->Kind() != ControlKind::kPopup) return 0;
    for (int item = 1; item <= popup->PopupItemCount(); ++item) {
        GtkWidget* mi = NthItem(popup, item);
        if (GTK_IS_CHECK_MENU_ITEM(mi) && gtk_check_menu_item_get_active(GTK_CHECK_MENU_ITEM(mi))) {
            return item;
        }
    }
    return 0;
}

int PopupHighlightedItem(NativeControl* popup) {
    if (popup->Kind() != ControlKind::kPopup) return 0;
    GtkWidget* menu = NativeUiInternals::PopupMenu(*popup);
    return ItemNumber(popup, gtk_menu_shell_get_selected_item(GTK_MENU_SHELL(menu)));
}

bool DismissPopupMenu(NativeControl* popup) {
    if (popup->Kind() != ControlKind::kPopup) return false;
    GtkWidget* menu = NativeUiInternals::PopupMenu(*popup);
    if (!gtk_widget_get_visible(menu)) tw::OpenPopupMenu(*popup);
    gtk_menu_shell_cancel(GTK_MENU_SHELL(menu));
    return true;
}

Rect BoundsInWindow(NativeControl* control) {
    GtkWidget* w = control->Widget();
    int x = 0;
    int y = 0;
    gtk_widget_translate_coordinates(w, gtk_widget_get_toplevel(w), 0, 0, &x, &y);
    return Rect{double(x), double(y), double(gtk_widget_get_allocated_width(w)),
                double(gtk_widget_get_allocated_height(w))};
}

Rect FrameOnScreen(NativeWindow* window) {
    GdkWindow* gw = gtk_widget_get_window(window->Widget());
    if (gw == nullptr) return Rect{};
    GdkRectangle r;
    gdk_window_get_frame_extents(gw, &r);
    return Rect{double(r.x), double(r.y), double(r.width), double(r.height)};
}

void UseTheme(const std::string& name, bool dark) {
    g_object_set(gtk_settings_get_default(), "gtk-theme-name", name.c_str(),
                 "gtk-application-prefer-dark-theme", gboolean(dark), nullptr);
}

}  // namespace tw::ui_driver
