#include "platform/ui/native_alert.h"

#include <gtk/gtk.h>

#include <algorithm>

#include "platform/ui/keys.h"

namespace tw {

namespace {

// The text wraps at this many characters, a comfortable reading width.
constexpr int kTextWidthChars = 60;
// Long texts scroll once they would take more than this share of the screen height.
constexpr double kMaxTextHeightShare = 0.5;
// Space between the icon and the texts, and around the texts, in pixels.
constexpr int kSpacing = 12;

// GtkDialog's answer to Escape and to the close box.
constexpr int kDismissResponse = GTK_RESPONSE_DELETE_EVENT;

struct Alert {
    GtkWidget* dialog = nullptr;  // nullptr once destroyed
    GtkWidget* held = nullptr;    // our reference, dropped when the alert ends
    GtkWidget* caption = nullptr;
    GtkWidget* text = nullptr;
    GtkWidget* scroller = nullptr;
    std::string icon_name;
    bool sheet = false;
    int dismiss_result = 1;
    int result = 0;
    bool done = false;
};

std::vector<Alert*>& OpenAlerts() {
    static std::vector<Alert*> alerts;
    return alerts;
}

const char* IconName(int type) {
    switch (type) {
        case kAlertStop:
            return "dialog-error";
        case kAlertNote:
            return "dialog-information";
        case kAlertCaution:
            return "dialog-warning";
        default:
            return nullptr;
    }
}

void Finish(Alert* a, int result) {
    if (a->done) return;
    a->done = true;
    a->result = result;
    QuitEventLoop(a);
}

void OnResponse(GtkDialog*, gint response, gpointer data) {
    auto* a = static_cast<Alert*>(data);
    Finish(a, response >= 1 && response <= 3 ? response : a->dismiss_result);
}

// The parent went and took the alert with it.
void OnDestroy(GtkWidget*, gpointer data) {
    auto* a = static_cast<Alert*>(data);
    a->dialog = nullptr;
    Finish(a, a->dismiss_result);
}

int ScreenHeight() {
    Rect screen;
    return GetMainScreenBounds(&screen) ? int(screen.h) : 768;
}

int ScreenWidth() {
    Rect screen;
    return GetMainScreenBounds(&screen) ? int(screen.w) : 1024;
}

GtkWidget* BuildLabel(const std::string& text, bool bold) {
    GtkWidget* label = gtk_label_new(nullptr);
    if (bold) {
        gchar* markup = g_markup_printf_escaped("<b>%s</b>", text.c_str());
        gtk_label_set_markup(GTK_LABEL(label), markup);
        g_free(markup);
    } else {
        gtk_label_set_text(GTK_LABEL(label), text.c_str());
    }
    gtk_label_set_xalign(GTK_LABEL(label), 0);
    gtk_label_set_yalign(GTK_LABEL(label), 0);
    gtk_label_set_line_wrap(GTK_LABEL(label), TRUE);
    // Words longer than a line break between characters rather than widen the box.
    gtk_label_set_line_wrap_mode(GTK_LABEL(label), PANGO_WRAP_WORD_CHAR);
    gtk_label_set_max_width_chars(GTK_LABEL(label), kTextWidthChars);
    gtk_label_set_width_chars(GTK_LABEL(label), std::min<int>(kTextWidthChars / 2, 30));
    return label;
}

Alert* Build(const AlertDescription& desc) {
    auto* a = new Alert;
    a->sheet = desc.sheet;
    const bool has_cancel = !desc.titles[1].empty();
    a->dismiss_result = desc.sheet || has_cancel ? 2 : 1;

    GtkWidget* d = gtk_dialog_new();
    a->dialog = d;
    a->held = d;
    g_object_ref_sink(d);
    gtk_window_set_title(GTK_WINDOW(d), "");
    gtk_window_set_modal(GTK_WINDOW(d), TRUE);
    gtk_window_set_type_hint(GTK_WINDOW(d), GDK_WINDOW_TYPE_HINT_DIALOG);
    gtk_window_set_skip_taskbar_hint(GTK_WINDOW(d), TRUE);
    gtk_window_set_resizable(GTK_WINDOW(d), FALSE);
    if (desc.parent != nullptr && NativeWindow::IsValid(desc.parent)) {
        gtk_window_set_transient_for(GTK_WINDOW(d), GTK_WINDOW(desc.parent->Widget()));
        gtk_window_set_position(GTK_WINDOW(d), GTK_WIN_POS_CENTER_ON_PARENT);
        // A sheet belongs to its window and goes with it.
        gtk_window_set_destroy_with_parent(GTK_WINDOW(d), desc.sheet);
    } else {
        gtk_window_set_position(GTK_WINDOW(d), GTK_WIN_POS_CENTER);
    }

    GtkWidget* area = gtk_dialog_get_content_area(GTK_DIALOG(d));
    gtk_container_set_border_width(GTK_CONTAINER(area), kSpacing);
    GtkWidget* row = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, kSpacing);
    gtk_box_pack_start(GTK_BOX(area), row, TRUE, TRUE, 0);
    if (const char* icon = IconName(desc.type)) {
        a->icon_name = icon;
        GtkWidget* image = gtk_image_new_from_icon_name(icon, GTK_ICON_SIZE_DIALOG);
        gtk_widget_set_valign(image, GTK_ALIGN_START);
        gtk_box_pack_start(GTK_BOX(row), image, FALSE, FALSE, 0);
    }
    GtkWidget* column = gtk_box_new(GTK_ORIENTATION_VERTICAL, kSpacing / 2);
    gtk_box_pack_start(GTK_BOX(row), column, TRUE, TRUE, 0);
    if (!desc.caption.empty()) {
        a->caption = BuildLabel(desc.caption, true);
        gtk_box_pack_start(GTK_BOX(column), a->caption, FALSE, FALSE, 0);
    }
    a->text = BuildLabel(desc.text, false);
    // The text can be copied, for example into a report of the problem.
    gtk_label_set_selectable(GTK_LABEL(a->text), TRUE);
    gtk_widget_set_can_focus(a->text, FALSE);
    a->scroller = gtk_scrolled_window_new(nullptr, nullptr);
    gtk_scrolled_window_set_policy(GTK_SCROLLED_WINDOW(a->scroller), GTK_POLICY_NEVER,
                                   GTK_POLICY_AUTOMATIC);
    gtk_scrolled_window_set_propagate_natural_height(GTK_SCROLLED_WINDOW(a->scroller), TRUE);
    gtk_scrolled_window_set_propagate_natural_width(GTK_SCROLLED_WINDOW(a->scroller), TRUE);
    gtk_scrolled_window_set_max_content_height(GTK_SCROLLED_WINDOW(a->scroller),
                                               int(ScreenHeight() * kMaxTextHeightShare));
    gtk_scrolled_window_set_max_content_width(GTK_SCROLLED_WINDOW(a->scroller),
                                              std::max(200, ScreenWidth() - 160));
    gtk_container_add(GTK_CONTAINER(a->scroller), a->text);
    gtk_widget_set_visible(a->scroller, !desc.text.empty());
    gtk_widget_set_no_show_all(a->scroller, desc.text.empty());
    gtk_box_pack_start(GTK_BOX(column), a->scroller, TRUE, TRUE, 0);

    // Desktop order: the other button at the left, then Cancel, the default at the right.
    for (int button : {3, 2, 1}) {
        if (desc.titles[button - 1].empty()) continue;
        gtk_dialog_add_button(GTK_DIALOG(d), desc.titles[button - 1].c_str(), button);
    }
    if (!desc.titles[desc.default_button - 1].empty()) {
        gtk_dialog_set_default_response(GTK_DIALOG(d), desc.default_button);
    }
    g_signal_connect(d, "response", G_CALLBACK(OnResponse), a);
    g_signal_connect(d, "destroy", G_CALLBACK(OnDestroy), a);
    return a;
}

GtkWidget* ButtonWithTitle(Alert* a, const std::string& title) {
    for (int response = 1; response <= 3; ++response) {
        GtkWidget* b = gtk_dialog_get_widget_for_response(GTK_DIALOG(a->dialog), response);
        if (b != nullptr && title == gtk_button_get_label(GTK_BUTTON(b))) return b;
    }
    return nullptr;
}

Alert* TopAlert() {
    auto& alerts = OpenAlerts();
    for (auto it = alerts.rbegin(); it != alerts.rend(); ++it) {
        if ((*it)->dialog != nullptr && !(*it)->done) return *it;
    }
    return nullptr;
}

}  // namespace

int RunNativeAlert(const AlertDescription& desc) {
    if (!InitNativeUi()) return 1;
    AlertDescription checked = desc;
    if (checked.default_button < 1 || checked.default_button > 3) checked.default_button = 1;
    // An alert always has a way out.
    if (checked.titles[0].empty() && checked.titles[1].empty() && checked.titles[2].empty()) {
        checked.titles[0] = "OK";
    }
    Alert* a = Build(checked);
    OpenAlerts().push_back(a);
    gtk_widget_show_all(a->dialog);
    if (GtkWidget* b =
            gtk_dialog_get_widget_for_response(GTK_DIALOG(a->dialog), checked.default_button)) {
        gtk_widget_grab_focus(b);
    }
    gtk_window_present_with_time(GTK_WINDOW(a->dialog), GDK_CURRENT_TIME);
    if (!a->done) RunEventLoop(a);
    auto& alerts = OpenAlerts();
    alerts.erase(std::find(alerts.begin(), alerts.end(), a));
    GtkWidget* d = a->held;
    g_signal_handlers_disconnect_matched(d, G_SIGNAL_MATCH_DATA, 0, 0, nullptr, nullptr, a);
    if (a->dialog != nullptr) gtk_widget_destroy(d);
    g_object_unref(d);
    const int result = a->result;
    delete a;
    return result;
}

int OpenAlertCount() {
    int n = 0;
    for (Alert* a : OpenAlerts()) n += a->dialog != nullptr && !a->done;
    return n;
}

bool GetTopAlertInfo(NativeAlertInfo* info) {
    Alert* a = TopAlert();
    if (a == nullptr || info == nullptr) return false;
    *info = NativeAlertInfo{};
    if (a->caption != nullptr) info->caption = gtk_label_get_text(GTK_LABEL(a->caption));
    info->text = gtk_label_get_text(GTK_LABEL(a->text));
    // Added left to right as other, cancel, default.
    for (int response : {3, 2, 1}) {
        GtkWidget* b = gtk_dialog_get_widget_for_response(GTK_DIALOG(a->dialog), response);
        if (b != nullptr) info->buttons.push_back(gtk_button_get_label(GTK_BUTTON(b)));
    }
    info->icon_name = a->icon_name;
    info->sheet = a->sheet;
    info->modal = gtk_window_get_modal(GTK_WINDOW(a->dialog));
    if (GtkWindow* parent = gtk_window_get_transient_for(GTK_WINDOW(a->dialog))) {
        for (NativeWindow* w : NativeWindow::All()) {
            if (w->Widget() == GTK_WIDGET(parent)) info->transient_for = w;
        }
    }
    GtkAllocation alloc;
    gtk_widget_get_allocation(a->dialog, &alloc);
    info->width = alloc.width;
    info->height = alloc.height;
    info->text_lines = pango_layout_get_line_count(gtk_label_get_layout(GTK_LABEL(a->text)));
    GtkAdjustment* v = gtk_scrolled_window_get_vadjustment(GTK_SCROLLED_WINDOW(a->scroller));
    info->text_scrolls = gtk_adjustment_get_upper(v) - gtk_adjustment_get_lower(v) >
                         gtk_adjustment_get_page_size(v) + 1;
    return true;
}

bool ClickTopAlertButton(const std::string& title) {
    Alert* a = TopAlert();
    if (a == nullptr) return false;
    GtkWidget* b = ButtonWithTitle(a, title);
    if (b == nullptr) return false;
    gtk_button_clicked(GTK_BUTTON(b));
    return true;
}

bool PressKeyInTopAlert(int key_code, std::uint32_t modifiers) {
    Alert* a = TopAlert();
    const unsigned keyval = KeyvalFromVirtualKey(key_code);
    if (a == nullptr || keyval == 0) return false;
    const unsigned state = GdkStateFromModifiers(modifiers);
    GdkWindow* gw = gtk_widget_get_window(a->dialog);
    if (gw == nullptr) return false;
    GdkDisplay* display = gdk_window_get_display(gw);
    GdkSeat* seat = gdk_display_get_default_seat(display);
    GdkKeymapKey* keys = nullptr;
    gint n = 0;
    guint16 hardware = 0;
    if (gdk_keymap_get_entries_for_keyval(gdk_keymap_get_for_display(display), keyval, &keys, &n) &&
        n > 0) {
        hardware = guint16(keys[0].keycode);
    }
    g_free(keys);
    for (GdkEventType type : {GDK_KEY_PRESS, GDK_KEY_RELEASE}) {
        if (TopAlert() != a) break;
        GdkEvent* e = gdk_event_new(type);
        e->key.window = GDK_WINDOW(g_object_ref(gw));
        e->key.send_event = TRUE;
        e->key.time = GDK_CURRENT_TIME;
        e->key.keyval = keyval;
        e->key.state = state;
        e->key.hardware_keycode = hardware;
        if (seat != nullptr) gdk_event_set_device(e, gdk_seat_get_keyboard(seat));
        gtk_main_do_event(e);
        gdk_event_free(e);
    }
    return true;
}

bool CloseTopAlert() {
    Alert* a = TopAlert();
    if (a == nullptr) return false;
    GdkWindow* gw = gtk_widget_get_window(a->dialog);
    if (gw == nullptr) return false;
    GdkEvent* e = gdk_event_new(GDK_DELETE);
    e->any.window = GDK_WINDOW(g_object_ref(gw));
    e->any.send_event = TRUE;
    gtk_main_do_event(e);
    gdk_event_free(e);
    return true;
}

bool CaptureTopAlert(const std::string& path) {
    Alert* a = TopAlert();
    if (a == nullptr) return false;
    GdkWindow* gw = gtk_widget_get_window(a->dialog);
    if (gw == nullptr || !gdk_window_is_viewable(gw)) return false;
    GdkPixbuf* pb =
        gdk_pixbuf_get_from_window(gw, 0, 0, gdk_window_get_width(gw), gdk_window_get_height(gw));
    if (pb == nullptr) return false;
    const gboolean ok = gdk_pixbuf_save(pb, path.c_str(), "png", nullptr, nullptr);
    g_object_unref(pb);
    return ok;
}

}  // namespace tw
