// The table of control kinds: one row per kind, naming the builder that makes its GTK
// widget and connects the signals that turn user actions into events (a click into a
// command, a toggle into a value and a command, a pane's draw into a control draw event).
// Popups and edit fields build in their own files.
#include <gtk/gtk.h>

#include <algorithm>
#include <array>

#include "platform/ui/native_internal.h"

namespace tw {

namespace {

using Internals = NativeUiInternals;

// ---- signals of buttons, check boxes, radio buttons and tabs

void OnClicked(GtkButton*, gpointer data) {
    SendCommandFrom(static_cast<NativeControl*>(data), kHICommandFromControl);
}

void OnToggled(GtkToggleButton* b, gpointer data) {
    auto* c = static_cast<NativeControl*>(data);
    int& value = Internals::Value(*c);
    value = gtk_toggle_button_get_active(b) ? 1 : 0;
    if (c->Kind() == ControlKind::kRadioButton) {
        if (!value) return;  // the button that lost the selection stays quiet
        NativeControl* group = c->Parent();
        if (group != nullptr && group->Kind() == ControlKind::kRadioGroup) {
            int n = 0;
            for (NativeControl* k : group->Children()) {
                if (k->Kind() != ControlKind::kRadioButton) continue;
                ++n;
                if (k == c) Internals::Value(*group) = n;
            }
        }
    }
    if (Internals::Dispatching(*c)) SendCommandFrom(c, kHICommandFromControl);
}

void OnSwitchPage(GtkNotebook*, GtkWidget*, guint page, gpointer data) {
    auto* c = static_cast<NativeControl*>(data);
    Internals::Value(*c) = static_cast<int>(page) + 1;
    if (Internals::Dispatching(*c)) SendCommandFrom(c, kHICommandFromControl);
}

// ---- signals of user panes

gboolean OnPaneDraw(GtkWidget* w, cairo_t* cr, gpointer data) {
    auto* c = static_cast<NativeControl*>(data);
    PaintContext pc(cr);
    Event e(kEventClassControl, kEventControlDraw);
    e.SetParam(kEventParamPaintContext, static_cast<void*>(&pc));
    SendToControl(c, e);
    if (NativeControl::IsValid(c) && gtk_widget_has_visible_focus(w)) {
        // A pane that takes the keyboard shows it like every other control.
        gtk_render_focus(gtk_widget_get_style_context(w), cr, 1, 1,
                         gtk_widget_get_allocated_width(w) - 2,
                         gtk_widget_get_allocated_height(w) - 2);
    }
    return FALSE;
}

void OnPaneSizeAllocate(GtkWidget*, GdkRectangle* a, gpointer data) {
    Event e(kEventClassControl, kEventControlBoundsChanged);
    e.SetParam(kEventParamBounds, Rect{0, 0, double(a->width), double(a->height)});
    SendToControl(static_cast<NativeControl*>(data), e);
}

void SendVisibility(NativeControl* c, bool visible) {
    Event e(kEventClassControl, kEventControlVisibilityChanged);
    e.SetParam(kEventParamVisible, std::int64_t{visible ? 1 : 0});
    SendToControl(c, e);
}

void OnPaneMap(GtkWidget*, gpointer data) {
    SendVisibility(static_cast<NativeControl*>(data), true);
}
void OnPaneUnmap(GtkWidget*, gpointer data) {
    SendVisibility(static_cast<NativeControl*>(data), false);
}

void OnPaneStateFlags(GtkWidget* w, GtkStateFlags old, gpointer data) {
    auto* c = static_cast<NativeControl*>(data);
    const GtkStateFlags now = gtk_widget_get_state_flags(w);
    const auto changed = GtkStateFlags(now ^ old);
    if (changed & GTK_STATE_FLAG_BACKDROP) {
        Event e(kEventClassControl,
                (now & GTK_STATE_FLAG_BACKDROP) ? kEventControlDeactivate : kEventControlActivate);
        SendToControl(c, e);
    }
    if (changed & GTK_STATE_FLAG_INSENSITIVE) {
        Event e(kEventClassControl, kEventControlEnabledStateChanged);
        SendToControl(c, e);
    }
}

gboolean OnPaneButton(GtkWidget*, GdkEventButton* b, gpointer data) {
    Event e(kEventClassMouse, b->type == GDK_BUTTON_RELEASE ? kEventMouseUp : kEventMouseDown);
    e.SetParam(kEventParamMouseLocation, Point{b->x, b->y});
    return SendToControl(static_cast<NativeControl*>(data), e) == kNoErr;
}

// The view under the pointer names the cursor it wants there.
gboolean OnPaneMotion(GtkWidget* w, GdkEventMotion* m, gpointer data) {
    Event e(kEventClassMouse, kEventMouseMoved);
    e.SetParam(kEventParamMouseLocation, Point{m->x, m->y});
    SendToControl(static_cast<NativeControl*>(data), e);
    const std::int64_t kind = e.GetInt(kEventParamCursorKind, kCursorArrow);
    GdkWindow* window = gtk_widget_get_window(w);
    if (window == nullptr) return FALSE;
    GdkCursor* cursor = kind == kCursorPointingHand
                            ? gdk_cursor_new_from_name(gdk_window_get_display(window), "pointer")
                            : nullptr;
    gdk_window_set_cursor(window, cursor);
    if (cursor) g_object_unref(cursor);
    return FALSE;
}

gboolean OnPaneLeave(GtkWidget* w, GdkEventCrossing*, gpointer) {
    if (GdkWindow* window = gtk_widget_get_window(w)) gdk_window_set_cursor(window, nullptr);
    return FALSE;
}

gboolean OnPaneFocus(GtkWidget*, GdkEvent*, gpointer data) {
    Event e(kEventClassControl, kEventControlSetFocusPart);
    SendToControl(static_cast<NativeControl*>(data), e);
    return FALSE;
}

// ---- little arrows

struct ArrowData {
    NativeControl* control;
    int step;
};

void OnArrowClicked(GtkButton*, gpointer data) {
    auto* d = static_cast<ArrowData*>(data);
    NativeControl* c = d->control;
    const int v = std::clamp(c->Value() + d->step, 0, c->Maximum());
    Internals::Dispatching(*c) = false;
    c->SetValue(v);
    Internals::Dispatching(*c) = true;
    SendCommandFrom(c, kHICommandFromControl);
}

// ---- builders, one per kind

ControlParts Fixed(NativeControl&, const Rect&) {
    GtkWidget* w = gtk_fixed_new();
    return {w, w, nullptr, nullptr};
}

ControlParts StaticText(NativeControl&, const Rect&) {
    GtkWidget* w = gtk_label_new("");
    gtk_label_set_xalign(GTK_LABEL(w), 0);
    gtk_label_set_ellipsize(GTK_LABEL(w), PANGO_ELLIPSIZE_END);
    return {w, nullptr, w, nullptr};
}

ControlParts PushButton(NativeControl& c, const Rect&) {
    GtkWidget* w = gtk_button_new_with_label("");
    g_signal_connect(w, "clicked", G_CALLBACK(OnClicked), &c);
    return {w, nullptr, gtk_bin_get_child(GTK_BIN(w)), nullptr};
}

ControlParts HelpButton(NativeControl& c, const Rect&) {
    GtkWidget* w = gtk_button_new_from_icon_name("help-browser", GTK_ICON_SIZE_BUTTON);
    AddStyleClass(w, "circular");
    g_signal_connect(w, "clicked", G_CALLBACK(OnClicked), &c);
    return {w, nullptr, nullptr, nullptr};
}

ControlParts CheckBox(NativeControl& c, const Rect&) {
    GtkWidget* w = gtk_check_button_new_with_label("");
    g_signal_connect(w, "toggled", G_CALLBACK(OnToggled), &c);
    return {w, nullptr, gtk_bin_get_child(GTK_BIN(w)), nullptr};
}

ControlParts RadioButton(NativeControl& c, const Rect&) {
    GtkWidget* w = gtk_radio_button_new_with_label(nullptr, "");
    g_signal_connect(w, "toggled", G_CALLBACK(OnToggled), &c);
    return {w, nullptr, gtk_bin_get_child(GTK_BIN(w)), nullptr};
}

ControlParts Popup(NativeControl& c, const Rect&) {
    return BuildPopupButton(c);
}

ControlParts EditText(NativeControl& c, const Rect&) {
    return BuildEditField(c);
}

ControlParts UserPane(NativeControl& c, const Rect&) {
    GtkWidget* w = gtk_drawing_area_new();
    gtk_widget_add_events(w, GDK_BUTTON_PRESS_MASK | GDK_BUTTON_RELEASE_MASK |
                                 GDK_FOCUS_CHANGE_MASK | GDK_POINTER_MOTION_MASK |
                                 GDK_LEAVE_NOTIFY_MASK);
    g_signal_connect(w, "draw", G_CALLBACK(OnPaneDraw), &c);
    g_signal_connect(w, "size-allocate", G_CALLBACK(OnPaneSizeAllocate), &c);
    g_signal_connect(w, "map", G_CALLBACK(OnPaneMap), &c);
    g_signal_connect(w, "unmap", G_CALLBACK(OnPaneUnmap), &c);
    g_signal_connect(w, "state-flags-changed", G_CALLBACK(OnPaneStateFlags), &c);
    g_signal_connect(w, "button-press-event", G_CALLBACK(OnPaneButton), &c);
    g_signal_connect(w, "button-release-event", G_CALLBACK(OnPaneButton), &c);
    g_signal_connect(w, "motion-notify-event", G_CALLBACK(OnPaneMotion), &c);
    g_signal_connect(w, "leave-notify-event", G_CALLBACK(OnPaneLeave), &c);
    g_signal_connect(w, "focus-in-event", G_CALLBACK(OnPaneFocus), &c);
    g_signal_connect(w, "focus-out-event", G_CALLBACK(OnPaneFocus), &c);
    return {w, nullptr, nullptr, nullptr};
}

ControlParts Picture(NativeControl&, const Rect&) {
    return {gtk_image_new(), nullptr, nullptr, nullptr};
}

ControlParts Separator(NativeControl&, const Rect& frame) {
    const auto orientation =
        frame.h > frame.w ? GTK_ORIENTATION_VERTICAL : GTK_ORIENTATION_HORIZONTAL;
    return {gtk_separator_new(orientation), nullptr, nullptr, nullptr};
}

ControlParts Tabs(NativeControl& c, const Rect&) {
    GtkWidget* w = gtk_notebook_new();
    g_signal_connect(w, "switch-page", G_CALLBACK(OnSwitchPage), &c);
    return {w, nullptr, nullptr, nullptr};
}

ControlParts ProgressBar(NativeControl&, const Rect&) {
    return {gtk_progress_bar_new(), nullptr, nullptr, nullptr};
}

ControlParts ScrollView(NativeControl&, const Rect&) {
    GtkWidget* w = gtk_scrolled_window_new(nullptr, nullptr);
    GtkWidget* inner = gtk_fixed_new();
    gtk_container_add(GTK_CONTAINER(w), inner);
    return {w, inner, nullptr, nullptr};
}

ControlParts LittleArrows(NativeControl& c, const Rect&) {
    GtkWidget* w = gtk_box_new(GTK_ORIENTATION_VERTICAL, 0);
    const struct {
        int step;
        const char* icon;
    } arrows[] = {{1, "pan-up-symbolic"}, {-1, "pan-down-symbolic"}};
    for (const auto& arrow : arrows) {
        GtkWidget* b = gtk_button_new_from_icon_name(arrow.icon, GTK_ICON_SIZE_MENU);
        AddStyleClass(b, "tw");
        AddStyleClass(b, "tw-arrow");
        auto* d = new ArrowData{&c, arrow.step};
        g_signal_connect_data(
            b, "clicked", G_CALLBACK(OnArrowClicked), d,
            [](gpointer p, GClosure*) { delete static_cast<ArrowData*>(p); }, GConnectFlags(0));
        gtk_box_pack_start(GTK_BOX(w), b, TRUE, TRUE, 0);
    }
    return {w, nullptr, nullptr, nullptr};
}

struct KindRow {
    ControlKind kind;
    ControlParts (*build)(NativeControl& c, const Rect& frame);
};

// In the order of ControlKind, so that a kind is its row's index.
constexpr std::array<KindRow, kControlKindCount> kKinds = {{
    {ControlKind::kContent, Fixed},
    {ControlKind::kStaticText, StaticText},
    {ControlKind::kPushButton, PushButton},
    {ControlKind::kBevelButton, PushButton},
    {ControlKind::kHelpButton, HelpButton},
    {ControlKind::kCheckBox, CheckBox},
    {ControlKind::kPopup, Popup},
    {ControlKind::kEditText, EditText},
    {ControlKind::kUserPane, UserPane},
    {ControlKind::kImage, Picture},
    {ControlKind::kIcon, Picture},
    {ControlKind::kSeparator, Separator},
    {ControlKind::kTabs, Tabs},
    {ControlKind::kRadioGroup, Fixed},
    {ControlKind::kRadioButton, RadioButton},
    {ControlKind::kProgressBar, ProgressBar},
    {ControlKind::kScrollView, ScrollView},
    {ControlKind::kLittleArrows, LittleArrows},
}};

constexpr bool RowsFollowTheKinds() {
    for (int i = 0; i < kControlKindCount; ++i) {
        if (int(kKinds[i].kind) != i) return false;
    }
    return true;
}
static_assert(RowsFollowTheKinds(), "one row per control kind, in the order of ControlKind");

}  // namespace

ControlParts BuildControlParts(NativeControl& c, const Rect& frame) {
    return kKinds[int(c.Kind())].build(c, frame);
}

}  // namespace tw
