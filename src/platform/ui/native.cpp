#include "platform/ui/native.h"

#include <gtk/gtk.h>

#include <algorithm>
#include <cstdio>
#include <unordered_set>

#include "platform/ui/keys.h"

namespace tw {

namespace {

GtkWidget* W(void* p) {
    return static_cast<GtkWidget*>(p);
}

std::vector<NativeWindow*>& Windows() {
    static std::vector<NativeWindow*> all;
    return all;
}

std::unordered_set<const NativeControl*>& Controls() {
    static std::unordered_set<const NativeControl*> all;
    return all;
}

bool g_ui_available = false;

// Our controls keep to the frames the layouts give them: GTK's theme minimum heights
// would otherwise make 18- and 24-pixel rows overflow.
constexpr const char* kCss = R"css(
button.tw, entry.tw, spinbutton.tw { min-height: 0; padding-top: 0; padding-bottom: 0; }
button.tw { padding-left: 6px; padding-right: 6px; }
button.tw-arrow { padding: 0; min-width: 0; }
entry.tw { padding-left: 4px; padding-right: 4px; }
checkbutton.tw, radiobutton.tw { min-height: 0; padding: 0; }
progressbar.tw trough, progressbar.tw progress { min-height: 8px; }
.tw-infobar { background-color: #fff4c2; padding-left: 8px; }
.tw-statusbar { border-top: 1px solid alpha(black, 0.15); padding-left: 8px; }
)css";

OSStatus SendToControl(NativeControl* c, Event& e) {
    return SendEventToTarget(e, &c->Target());
}

void SendCommandFrom(NativeControl* c, std::uint32_t attributes) {
    if (c->CommandId() == 0) return;
    Event e(kEventClassCommand, kEventCommandProcess);
    e.SetParam(kEventParamCommand, HICommand{attributes, c->CommandId(), 0});
    SendToControl(c, e);
}

// ---- button-like signals

void OnClicked(GtkButton*, gpointer data) {
    auto* c = static_cast<NativeControl*>(data);
    SendCommandFrom(c, kHICommandFromControl);
}

void OnToggled(GtkToggleButton* b, gpointer data) {
    auto* c = static_cast<NativeControl*>(data);
    c->value_ = gtk_toggle_button_get_active(b) ? 1 : 0;
    if (c->Kind() == ControlKind::kRadioButton) {
        if (!c->value_) return;  // the button that lost the selection stays quiet
        NativeControl* group = c->Parent();
        if (group != nullptr && group->Kind() == ControlKind::kRadioGroup) {
            const auto& kids = group->Children();
            int n = 0;
            for (NativeControl* k : kids) {
                if (k->Kind() != ControlKind::kRadioButton) continue;
                ++n;
                if (k == c) group->value_ = n;
            }
        }
    }
    if (c->dispatching_value_) SendCommandFrom(c, kHICommandFromControl);
}

void OnSwitchPage(GtkNotebook*, GtkWidget*, guint page, gpointer data) {
    auto* c = static_cast<NativeControl*>(data);
    c->value_ = static_cast<int>(page) + 1;
    if (c->dispatching_value_) SendCommandFrom(c, kHICommandFromControl);
}

// ---- popup menus

struct PopupItemData {
    NativeControl* control;
    int item;
};

void SendTargetItem(NativeControl* c, int item) {
    Event e(kEventClassMenu, kEventMenuTargetItem);
    e.SetParam(kEventParamMenuItemIndex, std::int64_t{item});
    SendToControl(c, e);
}

void OnItemSelect(GtkMenuItem*, gpointer data) {
    auto* d = static_cast<PopupItemData*>(data);
    SendTargetItem(d->control, d->item);
}

void OnItemDeselect(GtkMenuItem*, gpointer data) {
    SendTargetItem(static_cast<PopupItemData*>(data)->control, 0);
}

void OnItemActivate(GtkMenuItem*, gpointer data) {
    auto* d = static_cast<PopupItemData*>(data);
    SendTargetItem(d->control, d->item);
}

gboolean SendMenuClosed(gpointer data) {
    auto* c = static_cast<NativeControl*>(data);
    if (NativeControl::IsValid(c)) {
        Event e(kEventClassMenu, kEventMenuClosed);
        SendToControl(c, e);
    }
    return G_SOURCE_REMOVE;
}

void OnMenuDeactivate(GtkMenuShell*, gpointer data) {
    // GTK activates the picked item after the menu deactivates: report the close once
    // that has happened.
    g_idle_add_full(G_PRIORITY_HIGH, SendMenuClosed, data, nullptr);
}

void OpenPopupMenu(NativeControl* c) {
    Event e(kEventClassMenu, kEventMenuOpening);
    SendToControl(c, e);
    GtkMenu* menu = GTK_MENU(c->popup_menu_);
    gtk_widget_show_all(GTK_WIDGET(menu));
    gtk_menu_popup_at_widget(menu, W(c->Widget()), GDK_GRAVITY_SOUTH_WEST, GDK_GRAVITY_NORTH_WEST,
                             nullptr);
}

void OnPopupClicked(GtkButton*, gpointer data) {
    OpenPopupMenu(static_cast<NativeControl*>(data));
}

// ---- edit fields

void OnInsertText(GtkEditable* editable, const gchar* text, gint length, gint* position,
                  gpointer data) {
    auto* c = static_cast<NativeControl*>(data);
    if (!c->dispatching_value_) return;
    std::string current = gtk_entry_get_text(GTK_ENTRY(editable));
    const std::string inserted(text, length < 0 ? std::string(text).size() : size_t(length));
    // The position is in characters.
    const char* base = current.c_str();
    const char* at = g_utf8_offset_to_pointer(base, *position);
    const size_t byte_pos = std::min(current.size(), size_t(at - base));
    int start = 0;
    int end = 0;
    std::string proposed = current;
    if (gtk_editable_get_selection_bounds(editable, &start, &end)) {
        // Typing over a selection replaces it; GTK deletes it before inserting.
        const size_t bs = g_utf8_offset_to_pointer(base, start) - base;
        const size_t be = g_utf8_offset_to_pointer(base, end) - base;
        if (bs <= byte_pos && byte_pos <= be) {
            proposed = current.substr(0, bs) + inserted + current.substr(be);
        } else {
            proposed.insert(byte_pos, inserted);
        }
    } else {
        proposed.insert(byte_pos, inserted);
    }
    Event e(kEventClassTextInput, kEventTextInputFilterText);
    e.SetParam(kEventParamText, proposed);
    if (SendToControl(c, e) == kUserCanceledErr) {
        g_signal_stop_emission_by_name(editable, "insert-text");
    }
}

void OnEntryChanged(GtkEditable*, gpointer data) {
    auto* c = static_cast<NativeControl*>(data);
    if (!c->dispatching_value_) return;
    Event e(kEventClassTextInput, kEventTextInputChanged);
    SendToControl(c, e);
}

// ---- user panes

gboolean OnPaneDraw(GtkWidget*, cairo_t* cr, gpointer data) {
    auto* c = static_cast<NativeControl*>(data);
    PaintContext pc(cr);
    Event e(kEventClassControl, kEventControlDraw);
    e.SetParam(kEventParamPaintContext, static_cast<void*>(&pc));
    SendToControl(c, e);
    return FALSE;
}

void OnPaneSizeAllocate(GtkWidget*, GdkRectangle* a, gpointer data) {
    auto* c = static_cast<NativeControl*>(data);
    Event e(kEventClassControl, kEventControlBoundsChanged);
    e.SetParam(kEventParamBounds, Rect{0, 0, double(a->width), double(a->height)});
    SendToControl(c, e);
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
    auto* c = static_cast<NativeControl*>(data);
    Event e(kEventClassMouse, b->type == GDK_BUTTON_RELEASE ? kEventMouseUp : kEventMouseDown);
    e.SetParam(kEventParamMouseLocation, Point{b->x, b->y});
    return SendToControl(c, e) == kNoErr;
}

gboolean OnPaneFocus(GtkWidget*, GdkEvent*, gpointer data) {
    auto* c = static_cast<NativeControl*>(data);
    Event e(kEventClassControl, kEventControlSetFocusPart);
    SendToControl(c, e);
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
    c->dispatching_value_ = false;
    c->SetValue(v);
    c->dispatching_value_ = true;
    SendCommandFrom(c, kHICommandFromControl);
}

// A press on a control while another widget of its window holds the keyboard focus.
gboolean OnControlPress(GtkWidget* widget, GdkEventButton*, gpointer data) {
    auto* c = static_cast<NativeControl*>(data);
    GtkWidget* top = gtk_widget_get_toplevel(widget);
    GtkWidget* focus = GTK_IS_WINDOW(top) ? gtk_window_get_focus(GTK_WINDOW(top)) : nullptr;
    if (focus != nullptr && focus != widget && !gtk_widget_is_ancestor(focus, widget)) {
        Event e(kEventClassControl, kEventControlClickWhileOtherFocused);
        SendToControl(c, e);
    }
    return FALSE;
}

gboolean PulseProgress(gpointer data) {
    gtk_progress_bar_pulse(GTK_PROGRESS_BAR(data));
    return G_SOURCE_CONTINUE;
}

void AddClass(GtkWidget* w, const char* cls) {
    gtk_style_context_add_class(gtk_widget_get_style_context(w), cls);
}

void SetScaledImage(GtkImage* image, const std::string& path, int w, int h) {
    if (path.empty()) {
        gtk_image_clear(image);
        return;
    }
    GdkPixbuf* pb = (w > 0 && h > 0)
                        ? gdk_pixbuf_new_from_file_at_scale(path.c_str(), w, h, FALSE, nullptr)
                        : gdk_pixbuf_new_from_file(path.c_str(), nullptr);
    if (pb == nullptr) {
        gtk_image_clear(image);
        return;
    }
    gtk_image_set_from_pixbuf(image, pb);
    g_object_unref(pb);
}

}  // namespace

// =======================================================================================

bool InitNativeUi() {
    static bool tried = false;
    if (tried) return g_ui_available;
    tried = true;
    g_ui_available = gtk_init_check(nullptr, nullptr);
    if (g_ui_available) {
        GtkCssProvider* css = gtk_css_provider_new();
        gtk_css_provider_load_from_data(css, kCss, -1, nullptr);
        gtk_style_context_add_provider_for_screen(gdk_screen_get_default(), GTK_STYLE_PROVIDER(css),
                                                  GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
        g_object_unref(css);
    }
    return g_ui_available;
}

bool NativeUiAvailable() {
    return g_ui_available;
}

bool GetMainScreenBounds(Rect* bounds) {
    if (!g_ui_available) return false;
    GdkDisplay* display = gdk_display_get_default();
    if (display == nullptr) return false;
    GdkMonitor* monitor = gdk_display_get_primary_monitor(display);
    if (monitor == nullptr) monitor = gdk_display_get_monitor(display, 0);
    if (monitor == nullptr) return false;
    GdkRectangle r;
    gdk_monitor_get_workarea(monitor, &r);
    *bounds = Rect{double(r.x), double(r.y), double(r.width), double(r.height)};
    return r.width > 0 && r.height > 0;
}

std::uintptr_t NativeObject::GetProperty(std::uint32_t tag) const {
    auto it = props_.find(tag);
    return it == props_.end() ? 0 : it->second;
}

// =======================================================================================
// NativeControl

NativeControl::NativeControl(NativeWindow* window, NativeControl* parent, ControlKind kind)
    : window_(window), parent_(parent), kind_(kind) {
    Controls().insert(this);
}

NativeControl::~NativeControl() {
    Controls().erase(this);
}

bool NativeControl::IsValid(const NativeControl* control) {
    return control != nullptr && Controls().count(control) != 0;
}

bool NativeControl::IsContainer() const {
    return container_ != nullptr;
}

NativeControl* NativeControl::Create(NativeControl* parent, ControlKind kind, const Rect& frame) {
    if (!IsValid(parent) || !parent->IsContainer()) return nullptr;
    auto* c = new NativeControl(parent->window_, parent, kind);
    c->target_.SetParent(&parent->Target());
    c->Build(frame);
    parent->children_.push_back(c);
    gtk_fixed_put(GTK_FIXED(parent->container_), W(c->widget_), int(frame.x), int(frame.y));
    gtk_widget_show_all(W(c->widget_));
    gtk_widget_add_events(W(c->widget_), GDK_BUTTON_PRESS_MASK);
    g_signal_connect(c->widget_, "button-press-event", G_CALLBACK(OnControlPress), c);
    if (kind == ControlKind::kRadioButton && parent->kind_ == ControlKind::kRadioGroup) {
        // Join the group of the first radio button of this group.
        for (NativeControl* k : parent->children_) {
            if (k != c && k->kind_ == ControlKind::kRadioButton) {
                c->dispatching_value_ = false;
                gtk_radio_button_join_group(GTK_RADIO_BUTTON(c->widget_),
                                            GTK_RADIO_BUTTON(k->widget_));
                c->dispatching_value_ = true;
                break;
            }
        }
    }
    return c;
}

void NativeControl::Build(const Rect& frame) {
    GtkWidget* w = nullptr;
    switch (kind_) {
        case ControlKind::kContent:
        case ControlKind::kRadioGroup:
            w = gtk_fixed_new();
            container_ = w;
            break;
        case ControlKind::kStaticText:
            w = gtk_label_new("");
            gtk_label_set_xalign(GTK_LABEL(w), 0);
            gtk_label_set_ellipsize(GTK_LABEL(w), PANGO_ELLIPSIZE_END);
            label_ = w;
            break;
        case ControlKind::kPushButton:
        case ControlKind::kBevelButton:
            w = gtk_button_new_with_label("");
            label_ = gtk_bin_get_child(GTK_BIN(w));
            g_signal_connect(w, "clicked", G_CALLBACK(OnClicked), this);
            break;
        case ControlKind::kHelpButton:
            w = gtk_button_new_from_icon_name("help-browser", GTK_ICON_SIZE_BUTTON);
            AddClass(w, "circular");
            g_signal_connect(w, "clicked", G_CALLBACK(OnClicked), this);
            break;
        case ControlKind::kCheckBox:
            w = gtk_check_button_new_with_label("");
            label_ = gtk_bin_get_child(GTK_BIN(w));
            g_signal_connect(w, "toggled", G_CALLBACK(OnToggled), this);
            break;
        case ControlKind::kRadioButton:
            w = gtk_radio_button_new_with_label(nullptr, "");
            label_ = gtk_bin_get_child(GTK_BIN(w));
            g_signal_connect(w, "toggled", G_CALLBACK(OnToggled), this);
            break;
        case ControlKind::kPopup: {
            w = gtk_button_new();
            GtkWidget* box = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 4);
            GtkWidget* label = gtk_label_new("");
            gtk_label_set_xalign(GTK_LABEL(label), 0);
            gtk_label_set_ellipsize(GTK_LABEL(label), PANGO_ELLIPSIZE_END);
            gtk_box_pack_start(GTK_BOX(box), label, TRUE, TRUE, 0);
            gtk_box_pack_end(GTK_BOX(box),
                             gtk_image_new_from_icon_name("pan-down-symbolic", GTK_ICON_SIZE_MENU),
                             FALSE, FALSE, 0);
            gtk_container_add(GTK_CONTAINER(w), box);
            label_ = label;
            GtkWidget* menu = gtk_menu_new();
            gtk_menu_attach_to_widget(GTK_MENU(menu), w, nullptr);
            g_signal_connect(menu, "deactivate", G_CALLBACK(OnMenuDeactivate), this);
            popup_menu_ = menu;
            g_signal_connect(w, "clicked", G_CALLBACK(OnPopupClicked), this);
            break;
        }
        case ControlKind::kEditText:
            w = gtk_entry_new();
            gtk_entry_set_activates_default(GTK_ENTRY(w), TRUE);
            gtk_entry_set_width_chars(GTK_ENTRY(w), 1);
            g_signal_connect(w, "insert-text", G_CALLBACK(OnInsertText), this);
            g_signal_connect(w, "changed", G_CALLBACK(OnEntryChanged), this);
            break;
        case ControlKind::kUserPane:
            w = gtk_drawing_area_new();
            gtk_widget_add_events(
                w, GDK_BUTTON_PRESS_MASK | GDK_BUTTON_RELEASE_MASK | GDK_FOCUS_CHANGE_MASK);
            g_signal_connect(w, "draw", G_CALLBACK(OnPaneDraw), this);
            g_signal_connect(w, "size-allocate", G_CALLBACK(OnPaneSizeAllocate), this);
            g_signal_connect(w, "map", G_CALLBACK(OnPaneMap), this);
            g_signal_connect(w, "unmap", G_CALLBACK(OnPaneUnmap), this);
            g_signal_connect(w, "state-flags-changed", G_CALLBACK(OnPaneStateFlags), this);
            g_signal_connect(w, "button-press-event", G_CALLBACK(OnPaneButton), this);
            g_signal_connect(w, "button-release-event", G_CALLBACK(OnPaneButton), this);
            g_signal_connect(w, "focus-in-event", G_CALLBACK(OnPaneFocus), this);
            g_signal_connect(w, "focus-out-event", G_CALLBACK(OnPaneFocus), this);
            break;
        case ControlKind::kImage:
        case ControlKind::kIcon:
            w = gtk_image_new();
            break;
        case ControlKind::kSeparator:
            w = gtk_separator_new(frame.h > frame.w ? GTK_ORIENTATION_VERTICAL
                                                    : GTK_ORIENTATION_HORIZONTAL);
            break;
        case ControlKind::kTabs:
            w = gtk_notebook_new();
            g_signal_connect(w, "switch-page", G_CALLBACK(OnSwitchPage), this);
            break;
        case ControlKind::kProgressBar:
            w = gtk_progress_bar_new();
            break;
        case ControlKind::kScrollView: {
            w = gtk_scrolled_window_new(nullptr, nullptr);
            GtkWidget* inner = gtk_fixed_new();
            gtk_container_add(GTK_CONTAINER(w), inner);
            container_ = inner;
            break;
        }
        case ControlKind::kLittleArrows: {
            w = gtk_box_new(GTK_ORIENTATION_VERTICAL, 0);
            const int steps[2] = {1, -1};
            const char* icons[2] = {"pan-up-symbolic", "pan-down-symbolic"};
            for (int i = 0; i < 2; ++i) {
                GtkWidget* b = gtk_button_new_from_icon_name(icons[i], GTK_ICON_SIZE_MENU);
                AddClass(b, "tw");
                AddClass(b, "tw-arrow");
                auto* d = new ArrowData{this, steps[i]};
                g_signal_connect_data(
                    b, "clicked", G_CALLBACK(OnArrowClicked), d,
                    [](gpointer p, GClosure*) { delete static_cast<ArrowData*>(p); },
                    GConnectFlags(0));
                gtk_box_pack_start(GTK_BOX(w), b, TRUE, TRUE, 0);
            }
            break;
        }
    }
    AddClass(w, "tw");
    widget_ = w;
    g_object_ref_sink(w);  // we destroy it ourselves in Dispose
    frame_ = frame;
    if (kind_ != ControlKind::kContent) {
        gtk_widget_set_size_request(w, std::max(0, int(frame.w)), std::max(0, int(frame.h)));
    }
}

void NativeControl::Dispose() {
    if (!IsValid(this)) return;
    while (!children_.empty()) children_.back()->Dispose();
    Event e(kEventClassControl, kEventControlDispose);
    SendEventToTarget(e, &target_);
    if (parent_ != nullptr) {
        auto& sib = parent_->children_;
        sib.erase(std::remove(sib.begin(), sib.end(), this), sib.end());
    }
    if (window_ != nullptr) {
        if (window_->default_button_ == widget_) window_->default_button_ = nullptr;
        if (window_->cancel_button_ == widget_) window_->cancel_button_ = nullptr;
    }
    // Signal handlers hold this object as their data: cut them before it goes.
    g_signal_handlers_disconnect_matched(widget_, G_SIGNAL_MATCH_DATA, 0, 0, nullptr, nullptr,
                                         this);
    if (popup_menu_ != nullptr) {
        g_signal_handlers_disconnect_matched(popup_menu_, G_SIGNAL_MATCH_DATA, 0, 0, nullptr,
                                             nullptr, this);
        gtk_widget_destroy(W(popup_menu_));
        popup_menu_ = nullptr;
    }
    if (guint pulse = GPOINTER_TO_UINT(g_object_get_data(G_OBJECT(widget_), "tw-pulse"))) {
        g_source_remove(pulse);
    }
    gtk_widget_destroy(W(widget_));
    g_object_unref(widget_);
    delete this;
}

void NativeControl::Reparent(NativeControl* new_parent) {
    if (!IsValid(new_parent) || !new_parent->IsContainer() || new_parent == parent_) return;
    g_object_ref(widget_);
    gtk_container_remove(GTK_CONTAINER(parent_->container_), W(widget_));
    auto& sib = parent_->children_;
    sib.erase(std::remove(sib.begin(), sib.end(), this), sib.end());
    parent_ = new_parent;
    parent_->children_.push_back(this);
    target_.SetParent(&parent_->Target());
    gtk_fixed_put(GTK_FIXED(parent_->container_), W(widget_), int(frame_.x), int(frame_.y));
    g_object_unref(widget_);
}

void NativeControl::SetFrame(const Rect& frame) {
    frame_ = frame;
    if (kind_ == ControlKind::kContent || parent_ == nullptr) return;
    gtk_fixed_move(GTK_FIXED(parent_->container_), W(widget_), int(frame.x), int(frame.y));
    gtk_widget_set_size_request(W(widget_), std::max(0, int(frame.w)), std::max(0, int(frame.h)));
    if (kind_ == ControlKind::kSeparator) {
        gtk_orientable_set_orientation(GTK_ORIENTABLE(widget_), frame.h > frame.w
                                                                    ? GTK_ORIENTATION_VERTICAL
                                                                    : GTK_ORIENTATION_HORIZONTAL);
    }
    if ((kind_ == ControlKind::kImage || kind_ == ControlKind::kIcon) && !image_path_.empty()) {
        SetScaledImage(GTK_IMAGE(widget_), image_path_, int(frame.w), int(frame.h));
    }
}

void NativeControl::SetText(const std::string& text) {
    const bool was = dispatching_value_;
    dispatching_value_ = false;
    switch (kind_) {
        case ControlKind::kEditText:
            gtk_entry_set_text(GTK_ENTRY(widget_), text.c_str());
            break;
        case ControlKind::kPopup:
            break;  // shows its selected item
        default:
            if (label_ != nullptr) gtk_label_set_text(GTK_LABEL(label_), text.c_str());
            break;
    }
    if (kind_ == ControlKind::kTabs || kind_ == ControlKind::kContent) {
        // No visible title.
    }
    dispatching_value_ = was;
}

std::string NativeControl::Text() const {
    if (kind_ == ControlKind::kEditText) return gtk_entry_get_text(GTK_ENTRY(widget_));
    if (kind_ == ControlKind::kPopup) return PopupItemText(value_);
    if (label_ != nullptr) return gtk_label_get_text(GTK_LABEL(label_));
    return {};
}

void NativeControl::SetTextColor(const Rgba& c) {
    GtkWidget* target = label_ != nullptr ? W(label_) : W(widget_);
    char css[160];
    std::snprintf(css, sizeof css, "* { color: rgba(%d,%d,%d,%.3f); }", int(c.r * 255 + 0.5),
                  int(c.g * 255 + 0.5), int(c.b * 255 + 0.5), c.a);
    GtkCssProvider* p = gtk_css_provider_new();
    gtk_css_provider_load_from_data(p, css, -1, nullptr);
    gtk_style_context_add_provider(gtk_widget_get_style_context(target), GTK_STYLE_PROVIDER(p),
                                   GTK_STYLE_PROVIDER_PRIORITY_APPLICATION + 1);
    g_object_unref(p);
}

void NativeControl::SetAlignment(int align) {
    if (label_ == nullptr) return;
    gtk_label_set_xalign(GTK_LABEL(label_), align < 0 ? 0.0f : align == 0 ? 0.5f : 1.0f);
}

void NativeControl::SetValue(int value) {
    const bool was = dispatching_value_;
    dispatching_value_ = false;
    value_ = value;
    switch (kind_) {
        case ControlKind::kCheckBox:
        case ControlKind::kRadioButton:
            gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(widget_), value == 1);
            value_ = value;
            break;
        case ControlKind::kPopup:
            gtk_label_set_text(GTK_LABEL(label_), PopupItemText(value).c_str());
            break;
        case ControlKind::kProgressBar: {
            const double span = std::max(1, maximum_ - minimum_);
            gtk_progress_bar_set_fraction(GTK_PROGRESS_BAR(widget_),
                                          std::clamp((value - minimum_) / span, 0.0, 1.0));
            break;
        }
        case ControlKind::kTabs:
            if (value >= 1) gtk_notebook_set_current_page(GTK_NOTEBOOK(widget_), value - 1);
            break;
        case ControlKind::kRadioGroup: {
            int n = 0;
            for (NativeControl* k : children_) {
                if (k->kind_ != ControlKind::kRadioButton) continue;
                ++n;
                if (n == value) {
                    k->dispatching_value_ = false;
                    gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(k->widget_), TRUE);
                    k->dispatching_value_ = true;
                }
            }
            break;
        }
        default:
            break;
    }
    dispatching_value_ = was;
}

int NativeControl::Value() const {
    return value_;
}

void NativeControl::SetMinimum(int v) {
    minimum_ = v;
}
void NativeControl::SetMaximum(int v) {
    maximum_ = v;
}

void NativeControl::SetIndeterminate(bool on) {
    if (kind_ != ControlKind::kProgressBar) return;
    auto pulse = GPOINTER_TO_UINT(g_object_get_data(G_OBJECT(widget_), "tw-pulse"));
    if (on && pulse == 0) {
        pulse = g_timeout_add(100, PulseProgress, widget_);
        g_object_set_data(G_OBJECT(widget_), "tw-pulse", GUINT_TO_POINTER(pulse));
    } else if (!on && pulse != 0) {
        g_source_remove(pulse);
        g_object_set_data(G_OBJECT(widget_), "tw-pulse", nullptr);
        SetValue(value_);
    }
}

void NativeControl::SetEnabled(bool enabled) {
    gtk_widget_set_sensitive(W(widget_), enabled);
}
bool NativeControl::IsEnabled() const {
    return gtk_widget_get_sensitive(W(widget_));
}

void NativeControl::SetVisible(bool visible) {
    visible_ = visible;
    gtk_widget_set_visible(W(widget_), visible);
}

bool NativeControl::IsVisible() const {
    return visible_;
}

bool NativeControl::IsActive() const {
    return gtk_widget_is_sensitive(W(widget_)) &&
           !(gtk_widget_get_state_flags(W(widget_)) & GTK_STATE_FLAG_BACKDROP);
}

bool NativeControl::CanFocus() const {
    return gtk_widget_get_can_focus(W(widget_)) && gtk_widget_is_visible(W(widget_)) &&
           gtk_widget_is_sensitive(W(widget_));
}

void NativeControl::Focus() {
    gtk_widget_grab_focus(W(widget_));
}
bool NativeControl::HasFocus() const {
    return gtk_widget_is_focus(W(widget_));
}

void NativeControl::MakeDefaultButton() {
    if (window_ == nullptr) return;
    gtk_widget_set_can_default(W(widget_), TRUE);
    gtk_window_set_default(GTK_WINDOW(window_->Widget()), W(widget_));
    window_->default_button_ = widget_;
}

void NativeControl::MakeCancelButton() {
    if (window_ != nullptr) window_->cancel_button_ = widget_;
}

void NativeControl::PopupAppendItem(const std::string& text) {
    if (kind_ != ControlKind::kPopup) return;
    popup_items_.push_back(text);
    const int item = int(popup_items_.size());
    GtkWidget* mi = nullptr;
    if (text == "-") {
        mi = gtk_separator_menu_item_new();
    } else {
        mi = gtk_menu_item_new_with_label(text.c_str());
        auto* d = new PopupItemData{this, item};
        auto free_data = [](gpointer p, GClosure*) { delete static_cast<PopupItemData*>(p); };
        g_signal_connect_data(mi, "select", G_CALLBACK(OnItemSelect), d, free_data,
                              GConnectFlags(0));
        g_signal_connect(mi, "deselect", G_CALLBACK(OnItemDeselect), d);
        g_signal_connect(mi, "activate", G_CALLBACK(OnItemActivate), d);
    }
    gtk_menu_shell_append(GTK_MENU_SHELL(popup_menu_), mi);
    gtk_widget_show(mi);
}

void NativeControl::PopupRemoveAll() {
    if (kind_ != ControlKind::kPopup) return;
    GList* kids = gtk_container_get_children(GTK_CONTAINER(popup_menu_));
    for (GList* k = kids; k != nullptr; k = k->next) gtk_widget_destroy(W(k->data));
    g_list_free(kids);
    popup_items_.clear();
    SetValue(0);
}

int NativeControl::PopupItemCount() const {
    return int(popup_items_.size());
}

std::string NativeControl::PopupItemText(int item) const {
    if (item < 1 || item > int(popup_items_.size())) return {};
    const std::string& t = popup_items_[item - 1];
    return t == "-" ? std::string() : t;
}

bool NativeControl::PopupItemIsSeparator(int item) const {
    return item >= 1 && item <= int(popup_items_.size()) && popup_items_[item - 1] == "-";
}

void NativeControl::SetPlaceholder(const std::string& text) {
    if (kind_ == ControlKind::kEditText) {
        gtk_entry_set_placeholder_text(GTK_ENTRY(widget_), text.c_str());
    }
}

void NativeControl::SetSecure(bool on) {
    if (kind_ == ControlKind::kEditText) gtk_entry_set_visibility(GTK_ENTRY(widget_), !on);
}

void NativeControl::SetReadOnly(bool on) {
    if (kind_ == ControlKind::kEditText) gtk_editable_set_editable(GTK_EDITABLE(widget_), !on);
}

void NativeControl::SelectAll() {
    if (kind_ == ControlKind::kEditText) gtk_editable_select_region(GTK_EDITABLE(widget_), 0, -1);
}
void NativeControl::Cut() {
    if (kind_ == ControlKind::kEditText) gtk_editable_cut_clipboard(GTK_EDITABLE(widget_));
}
void NativeControl::Copy() {
    if (kind_ == ControlKind::kEditText) gtk_editable_copy_clipboard(GTK_EDITABLE(widget_));
}
void NativeControl::Paste() {
    if (kind_ == ControlKind::kEditText) gtk_editable_paste_clipboard(GTK_EDITABLE(widget_));
}

void NativeControl::SetImage(const std::string& path) {
    image_path_ = path;
    if (kind_ == ControlKind::kImage || kind_ == ControlKind::kIcon) {
        SetScaledImage(GTK_IMAGE(widget_), path, int(frame_.w), int(frame_.h));
    } else if (kind_ == ControlKind::kBevelButton || kind_ == ControlKind::kPushButton) {
        GtkWidget* image = gtk_image_new();
        // The face fits the button, less its border.
        SetScaledImage(GTK_IMAGE(image), path, std::max(1, int(frame_.w) - 12),
                       std::max(1, int(frame_.h) - 6));
        gtk_button_set_image(GTK_BUTTON(widget_), image);
        gtk_button_set_always_show_image(GTK_BUTTON(widget_), TRUE);
    }
}

NativeControl* NativeControl::TabsAppend(const std::string& label) {
    if (kind_ != ControlKind::kTabs) return nullptr;
    const bool was = dispatching_value_;
    dispatching_value_ = false;
    // Each page is a container of its own, so that a page can hold controls (or be the
    // content of an embedded pane).
    auto* page = new NativeControl(window_, this, ControlKind::kContent);
    page->Target().SetParent(&target_);
    page->Build(Rect{0, 0, 0, 0});
    children_.push_back(page);
    gtk_widget_show(W(page->widget_));
    gtk_notebook_append_page(GTK_NOTEBOOK(widget_), W(page->widget_), gtk_label_new(label.c_str()));
    if (value_ == 0) value_ = 1;
    dispatching_value_ = was;
    return page;
}

NativeControl* NativeControl::TabsPage(int page) const {
    if (kind_ != ControlKind::kTabs || page < 1 || page > int(children_.size())) return nullptr;
    return children_[page - 1];
}

void NativeControl::Invalidate() {
    gtk_widget_queue_draw(W(widget_));
}

void NativeControl::InvalidateRect(const Rect& r) {
    gtk_widget_queue_draw_area(W(widget_), int(r.x), int(r.y), int(r.w + 1), int(r.h + 1));
}

void NativeControl::GetSize(int* w, int* h) const {
    GtkAllocation a;
    gtk_widget_get_allocation(W(widget_), &a);
    const bool allocated = gtk_widget_get_realized(W(widget_)) && a.width > 1;
    if (w) *w = allocated ? a.width : int(frame_.w);
    if (h) *h = allocated ? a.height : int(frame_.h);
}

void NativeControl::SimulatePress() {
    GtkWidget* w = W(widget_);
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

void NativeControl::Click() {
    if (GTK_IS_BUTTON(widget_)) gtk_button_clicked(GTK_BUTTON(widget_));
}

bool NativeControl::PickPopupItem(int item) {
    if (kind_ != ControlKind::kPopup || item < 1 || item > PopupItemCount()) return false;
    OpenPopupMenu(this);
    GList* kids = gtk_container_get_children(GTK_CONTAINER(popup_menu_));
    GtkWidget* mi = W(g_list_nth_data(kids, guint(item - 1)));
    g_list_free(kids);
    if (mi == nullptr) return false;
    gtk_menu_shell_select_item(GTK_MENU_SHELL(popup_menu_), mi);
    gtk_menu_shell_activate_item(GTK_MENU_SHELL(popup_menu_), mi, TRUE);
    return true;
}

bool NativeControl::DismissPopupMenu() {
    if (kind_ != ControlKind::kPopup) return false;
    OpenPopupMenu(this);
    gtk_menu_shell_cancel(GTK_MENU_SHELL(popup_menu_));
    return true;
}

void NativeControl::TypeText(const std::string& text) {
    if (kind_ != ControlKind::kEditText) return;
    // One insertion per character, as typing delivers them.
    const char* p = text.c_str();
    while (*p != '\0') {
        const char* next = g_utf8_next_char(p);
        gint pos = gtk_editable_get_position(GTK_EDITABLE(widget_));
        gtk_editable_delete_selection(GTK_EDITABLE(widget_));
        pos = gtk_editable_get_position(GTK_EDITABLE(widget_));
        gtk_editable_insert_text(GTK_EDITABLE(widget_), p, int(next - p), &pos);
        gtk_editable_set_position(GTK_EDITABLE(widget_), pos);
        p = next;
    }
}

// =======================================================================================
// NativeWindow

namespace {

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
    for (NativeWindow* w : Windows()) any = any || w->active_;
    if (!any && g_app_active) {
        g_app_active = false;
        SendAppEvent(kEventAppDeactivated);
    }
    return G_SOURCE_REMOVE;
}

void OnActiveChanged(GObject* obj, GParamSpec*, gpointer data) {
    auto* w = static_cast<NativeWindow*>(data);
    const bool active = gtk_window_is_active(GTK_WINDOW(obj));
    if (active == w->active_) return;
    w->active_ = active;
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
    w->zoomed_ = (e->new_window_state & GDK_WINDOW_STATE_MAXIMIZED) != 0;
    if (e->changed_mask & GDK_WINDOW_STATE_ICONIFIED) {
        const bool iconified = (e->new_window_state & GDK_WINDOW_STATE_ICONIFIED) != 0;
        if (iconified != w->collapsed_) {
            w->collapsed_ = iconified;
            SendWindowEvent(w, iconified ? kEventWindowCollapsing : kEventWindowExpanding);
        }
    }
    return FALSE;
}

gboolean OnConfigure(GtkWidget*, GdkEventConfigure*, gpointer data) {
    SendWindowEvent(static_cast<NativeWindow*>(data), kEventWindowBoundsChanged);
    return FALSE;
}

gboolean OnKey(GtkWidget*, GdkEventKey* k, gpointer data) {
    auto* w = static_cast<NativeWindow*>(data);
    // Auto-repeat arrives as further presses without releases in between. Modifier keys
    // come as presses and releases of their own key codes.
    std::uint32_t kind = kEventRawKeyUp;
    auto& down = w->keys_down_;
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
    if (kind != kEventRawKeyDown) return FALSE;
    // The standard dialog keys: Escape presses the cancel button, Return the default one.
    const guint mods = k->state & (GDK_CONTROL_MASK | GDK_MOD1_MASK | GDK_SUPER_MASK);
    if (mods == 0 && k->keyval == GDK_KEY_Escape && w->cancel_button_ != nullptr &&
        gtk_widget_is_sensitive(W(w->cancel_button_))) {
        gtk_button_clicked(GTK_BUTTON(w->cancel_button_));
        return TRUE;
    }
    if (mods == 0 && (k->keyval == GDK_KEY_Return || k->keyval == GDK_KEY_KP_Enter) &&
        w->default_button_ != nullptr && gtk_widget_is_sensitive(W(w->default_button_))) {
        gtk_button_clicked(GTK_BUTTON(w->default_button_));
        return TRUE;
    }
    return FALSE;
}

void OnMenuItemActivate(GtkMenuItem* item, gpointer data) {
    auto* w = static_cast<NativeWindow*>(data);
    const auto command =
        std::uint32_t(GPOINTER_TO_UINT(g_object_get_data(G_OBJECT(item), "tw-command")));
    Event e(kEventClassCommand, kEventCommandProcess);
    e.SetParam(kEventParamCommand, HICommand{kHICommandFromMenu, command, 0});
    SendEventToTarget(e, &w->Content()->Target());
}

void OnToolClicked(GtkToolButton* b, gpointer data) {
    auto* w = static_cast<NativeWindow*>(data);
    const auto command =
        std::uint32_t(GPOINTER_TO_UINT(g_object_get_data(G_OBJECT(b), "tw-command")));
    Event e(kEventClassCommand, kEventCommandProcess);
    e.SetParam(kEventParamCommand, HICommand{kHICommandFromControl, command, 0});
    SendEventToTarget(e, &w->Content()->Target());
}

GtkWidget* FixedHeightSlot(int height, const char* css_class) {
    GtkWidget* box = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 0);
    gtk_widget_set_size_request(box, -1, height);
    gtk_widget_set_no_show_all(box, TRUE);
    if (css_class) AddClass(box, css_class);
    return box;
}

}  // namespace

NativeWindow::NativeWindow(std::uint32_t window_class, std::uint32_t attributes)
    : window_class_(window_class), attributes_(attributes) {
    target_.SetParent(&ApplicationTarget());
    Windows().push_back(this);
}

NativeWindow::~NativeWindow() {
    auto& all = Windows();
    all.erase(std::remove(all.begin(), all.end(), this), all.end());
}

bool NativeWindow::IsValid(const NativeWindow* window) {
    const auto& all = Windows();
    return window != nullptr && std::find(all.begin(), all.end(), window) != all.end();
}

std::vector<NativeWindow*> NativeWindow::All() {
    return Windows();
}

void NativeWindow::Build(int width, int height) {
    GtkWidget* win = W(window_);
    vbox_ = gtk_box_new(GTK_ORIENTATION_VERTICAL, 0);
    gtk_container_add(GTK_CONTAINER(win), W(vbox_));

    menubar_ = gtk_menu_bar_new();
    gtk_widget_set_no_show_all(W(menubar_), TRUE);
    gtk_box_pack_start(GTK_BOX(vbox_), W(menubar_), FALSE, FALSE, 0);

    toolbar_ = gtk_toolbar_new();
    gtk_toolbar_set_style(GTK_TOOLBAR(toolbar_), GTK_TOOLBAR_BOTH);
    gtk_widget_set_size_request(W(toolbar_), -1, kToolbarHeight);
    gtk_widget_set_no_show_all(W(toolbar_), TRUE);
    gtk_box_pack_start(GTK_BOX(vbox_), W(toolbar_), FALSE, FALSE, 0);

    infobar_ = FixedHeightSlot(kInfoBarHeight, "tw-infobar");
    infolabel_ = gtk_label_new("");
    gtk_label_set_xalign(GTK_LABEL(infolabel_), 0);
    gtk_widget_show(W(infolabel_));
    gtk_box_pack_start(GTK_BOX(infobar_), W(infolabel_), TRUE, TRUE, 0);
    gtk_box_pack_start(GTK_BOX(vbox_), W(infobar_), FALSE, FALSE, 0);

    content_ = new NativeControl(this, nullptr, ControlKind::kContent);
    content_->Target().SetParent(&target_);
    content_->Build(Rect{0, 0, double(width), double(height)});
    gtk_widget_set_size_request(W(content_->Widget()), width, height);
    gtk_box_pack_start(GTK_BOX(vbox_), W(content_->Widget()), TRUE, TRUE, 0);

    statusbar_ = FixedHeightSlot(kStatusBarHeight, "tw-statusbar");
    gtk_box_pack_end(GTK_BOX(vbox_), W(statusbar_), FALSE, FALSE, 0);

    gtk_widget_show(W(vbox_));
    gtk_widget_show(W(content_->Widget()));

    gtk_window_set_resizable(GTK_WINDOW(win), (attributes_ & kWindowResizableAttribute) != 0);
    gtk_window_set_deletable(GTK_WINDOW(win), (attributes_ & kWindowCloseBoxAttribute) != 0);
    SetWindowClass(window_class_);

    gtk_widget_add_events(win, GDK_KEY_PRESS_MASK | GDK_KEY_RELEASE_MASK | GDK_STRUCTURE_MASK);
    g_signal_connect(win, "delete-event", G_CALLBACK(OnDelete), this);
    g_signal_connect(win, "notify::is-active", G_CALLBACK(OnActiveChanged), this);
    g_signal_connect(win, "map", G_CALLBACK(OnMap), this);
    g_signal_connect(win, "unmap", G_CALLBACK(OnUnmap), this);
    g_signal_connect(win, "window-state-event", G_CALLBACK(OnWindowState), this);
    g_signal_connect(win, "configure-event", G_CALLBACK(OnConfigure), this);
    g_signal_connect(win, "key-press-event", G_CALLBACK(OnKey), this);
    g_signal_connect(win, "key-release-event", G_CALLBACK(OnKey), this);
    gtk_window_move(GTK_WINDOW(win), 50, 50);
}

NativeWindow* NativeWindow::Create(int width, int height, std::uint32_t window_class,
                                   std::uint32_t attributes) {
    if (!InitNativeUi() || width < 0 || height < 0) return nullptr;
    auto* w = new NativeWindow(window_class, attributes);
    w->window_ = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    g_object_ref_sink(w->window_);
    w->Build(width, height);
    return w;
}

NativeWindow* NativeWindow::CreateFromResource(const std::string& nib,
                                               const std::string& window_name) {
    if (!InitNativeUi()) return nullptr;
    const std::string path = "/com/orvanesoft/tunewright/ui/" + nib + ".ui";
    if (!g_resources_get_info(path.c_str(), G_RESOURCE_LOOKUP_FLAGS_NONE, nullptr, nullptr,
                              nullptr)) {
        return nullptr;
    }
    GtkBuilder* builder = gtk_builder_new_from_resource(path.c_str());
    GObject* obj = gtk_builder_get_object(builder, window_name.c_str());
    if (obj == nullptr || !GTK_IS_WINDOW(obj)) {
        g_object_unref(builder);
        return nullptr;
    }
    GtkWindow* gw = GTK_WINDOW(obj);
    int width = 0;
    int height = 0;
    gtk_window_get_default_size(gw, &width, &height);
    std::uint32_t attributes = kWindowCloseBoxAttribute | kWindowCollapseBoxAttribute |
                               kWindowStandardHandlerAttribute | kWindowCompositingAttribute;
    if (gtk_window_get_resizable(gw)) attributes |= kWindowResizableAttribute;
    const bool dialog = gtk_window_get_type_hint(gw) == GDK_WINDOW_TYPE_HINT_DIALOG;
    auto* w =
        new NativeWindow(dialog ? kMovableModalWindowClass : kDocumentWindowClass, attributes);
    w->window_ = gw;
    g_object_ref_sink(gw);
    if (GtkWidget* child = gtk_bin_get_child(GTK_BIN(gw))) gtk_widget_destroy(child);
    gtk_window_set_default_size(gw, -1, -1);
    w->Build(std::max(width, 1), std::max(height, 1));
    g_object_unref(builder);
    return w;
}

void NativeWindow::Dispose() {
    if (!IsValid(this)) return;
    // Dialogs that were modal to this window lose their parent, not their life.
    for (NativeWindow* other : Windows()) {
        if (other->modal_parent_ == this) other->SetModalTo(nullptr);
    }
    Event closed(kEventClassWindow, kEventWindowClosed);
    SendEventToTarget(closed, &target_);
    g_signal_handlers_disconnect_matched(window_, G_SIGNAL_MATCH_DATA, 0, 0, nullptr, nullptr,
                                         this);
    content_->Dispose();
    content_ = nullptr;
    gtk_widget_destroy(W(window_));
    g_object_unref(window_);
    window_ = nullptr;
    delete this;
}

void NativeWindow::SetWindowClass(std::uint32_t window_class) {
    window_class_ = window_class;
    GtkWindow* w = GTK_WINDOW(window_);
    GdkWindowTypeHint hint = GDK_WINDOW_TYPE_HINT_NORMAL;
    if (window_class == kMovableModalWindowClass) hint = GDK_WINDOW_TYPE_HINT_DIALOG;
    if (window_class == kFloatingWindowClass || window_class == kUtilityWindowClass) {
        hint = GDK_WINDOW_TYPE_HINT_UTILITY;
    }
    if (!gtk_widget_get_realized(W(window_))) gtk_window_set_type_hint(w, hint);
}

void NativeWindow::ChangeAttributes(std::uint32_t set, std::uint32_t clear) {
    attributes_ = (attributes_ | set) & ~clear;
    gtk_window_set_resizable(GTK_WINDOW(window_), (attributes_ & kWindowResizableAttribute) != 0);
    gtk_window_set_deletable(GTK_WINDOW(window_), (attributes_ & kWindowCloseBoxAttribute) != 0);
}

void NativeWindow::SetTitle(const std::string& title) {
    gtk_window_set_title(GTK_WINDOW(window_), title.c_str());
}

std::string NativeWindow::Title() const {
    const char* t = gtk_window_get_title(GTK_WINDOW(window_));
    return t ? t : "";
}

void NativeWindow::Show() {
    gtk_widget_show(W(window_));
}
void NativeWindow::Hide() {
    gtk_widget_hide(W(window_));
}
bool NativeWindow::IsVisible() const {
    return gtk_widget_get_visible(W(window_));
}

void NativeWindow::BringToFront() {
    gtk_window_present_with_time(GTK_WINDOW(window_), GDK_CURRENT_TIME);
}

bool NativeWindow::IsActive() const {
    return gtk_window_is_active(GTK_WINDOW(window_));
}

void NativeWindow::Collapse(bool collapse) {
    if (collapse) {
        gtk_window_iconify(GTK_WINDOW(window_));
    } else {
        gtk_window_deiconify(GTK_WINDOW(window_));
    }
}

bool NativeWindow::IsCollapsed() const {
    return collapsed_;
}
bool NativeWindow::IsZoomed() const {
    return zoomed_;
}

void NativeWindow::SetKeepAbove(bool above) {
    keep_above_ = above;
    gtk_window_set_keep_above(GTK_WINDOW(window_), above);
}

bool NativeWindow::WindowManagerKeepsAbove() const {
    // GDK does not report this state; the window manager's property says it.
    GdkWindow* gw = gtk_widget_get_window(W(window_));
    if (gw == nullptr) return false;
    GdkAtom type = GDK_NONE;
    gint format = 0;
    gint length = 0;
    guchar* data = nullptr;
    if (!gdk_property_get(gw, gdk_atom_intern_static_string("_NET_WM_STATE"),
                          gdk_atom_intern_static_string("ATOM"), 0, 1024, FALSE, &type, &format,
                          &length, &data)) {
        return false;
    }
    const GdkAtom above = gdk_atom_intern_static_string("_NET_WM_STATE_ABOVE");
    bool found = false;
    const auto* atoms = reinterpret_cast<const GdkAtom*>(data);
    for (gint i = 0; i < length / gint(sizeof(GdkAtom)); ++i) found = found || atoms[i] == above;
    g_free(data);
    return found;
}

void NativeWindow::SetUrgent(bool urgent) {
    gtk_window_set_urgency_hint(GTK_WINDOW(window_), urgent);
}

void NativeWindow::SetModalTo(NativeWindow* parent) {
    modal_parent_ = parent;
    GtkWindow* w = GTK_WINDOW(window_);
    if (parent != nullptr && IsValid(parent)) {
        gtk_window_set_transient_for(w, GTK_WINDOW(parent->window_));
        gtk_window_set_modal(w, TRUE);
    } else {
        modal_parent_ = nullptr;
        gtk_window_set_modal(w, FALSE);
        gtk_window_set_transient_for(w, nullptr);
    }
}

void NativeWindow::GetPosition(int* x, int* y) const {
    int px = 0;
    int py = 0;
    gtk_window_get_position(GTK_WINDOW(window_), &px, &py);
    if (x) *x = px;
    if (y) *y = py;
}

void NativeWindow::GetSize(int* w, int* h) const {
    int cw = 0;
    int ch = 0;
    GetContentSize(&cw, &ch);
    int extra = 0;
    if (gtk_widget_get_visible(W(menubar_))) {
        int m = 0;
        gtk_widget_get_preferred_height(W(menubar_), &m, nullptr);
        extra += m;
    }
    if (info_visible_) extra += kInfoBarHeight;
    int gw = 0;
    int gh = 0;
    gtk_window_get_size(GTK_WINDOW(window_), &gw, &gh);
    if (w) *w = std::max(cw, gtk_widget_get_realized(W(window_)) ? gw : 0);
    if (h) *h = std::max(ch + extra, gtk_widget_get_realized(W(window_)) ? gh : 0);
}

void NativeWindow::Move(int x, int y) {
    gtk_window_move(GTK_WINDOW(window_), x, y);
}

void NativeWindow::SetBounds(int x, int y, int w, int h) {
    Move(x, y);
    int other = 0;
    int cw = 0;
    int ch = 0;
    GetSize(&cw, &other);
    GetContentSize(nullptr, &ch);
    const int frame_parts = other - ch + ToolbarHeight() + (status_visible_ ? kStatusBarHeight : 0);
    const int content_h = std::max(1, h - frame_parts);
    gtk_widget_set_size_request(W(content_->Widget()), std::max(1, w), content_h);
    gtk_window_resize(GTK_WINDOW(window_), std::max(1, w), std::max(1, h));
}

void NativeWindow::ConstrainToScreen() {
    Rect screen;
    if (!GetMainScreenBounds(&screen)) return;
    int x = 0;
    int y = 0;
    int w = 0;
    int h = 0;
    GetPosition(&x, &y);
    GetSize(&w, &h);
    const int left = int(screen.x);
    const int top = int(screen.y);
    int nx = std::min(x, left + int(screen.w) - w);
    int ny = std::min(y, top + int(screen.h) - h);
    nx = std::max(nx, left);  // the top-left corner stays reachable
    ny = std::max(ny, top);
    if (nx != x || ny != y) Move(nx, ny);
}

void NativeWindow::GetContentSize(int* w, int* h) const {
    GtkWidget* fixed = W(content_->Widget());
    int cw = 0;
    int ch = 0;
    gtk_widget_get_size_request(fixed, &cw, &ch);
    GtkAllocation a;
    gtk_widget_get_allocation(fixed, &a);
    if (gtk_widget_get_realized(fixed) && a.width > 1) {
        cw = a.width;
        ch = a.height;
    }
    if (w) *w = cw;
    if (h) *h = ch + ToolbarHeight() + (status_visible_ ? kStatusBarHeight : 0);
}

void NativeWindow::AddToolbarItem(std::uint32_t command, const std::string& label,
                                  const std::string& icon_path, const std::string& tooltip) {
    GtkWidget* icon = nullptr;
    if (!icon_path.empty()) {
        GdkPixbuf* pb = gdk_pixbuf_new_from_file_at_scale(icon_path.c_str(), 24, 24, TRUE, nullptr);
        if (pb != nullptr) {
            icon = gtk_image_new_from_pixbuf(pb);
            g_object_unref(pb);
        }
    }
    GtkToolItem* item = gtk_tool_button_new(icon, label.c_str());
    if (!tooltip.empty()) gtk_widget_set_tooltip_text(GTK_WIDGET(item), tooltip.c_str());
    g_object_set_data(G_OBJECT(item), "tw-command", GUINT_TO_POINTER(command));
    g_signal_connect(item, "clicked", G_CALLBACK(OnToolClicked), this);
    gtk_toolbar_insert(GTK_TOOLBAR(toolbar_), item, -1);
    gtk_widget_show_all(GTK_WIDGET(item));
}

bool NativeWindow::ClickToolbarItem(std::uint32_t command) {
    const gint n = gtk_toolbar_get_n_items(GTK_TOOLBAR(toolbar_));
    for (gint i = 0; i < n; ++i) {
        GtkToolItem* item = gtk_toolbar_get_nth_item(GTK_TOOLBAR(toolbar_), i);
        if (GPOINTER_TO_UINT(g_object_get_data(G_OBJECT(item), "tw-command")) == command) {
            g_signal_emit_by_name(item, "clicked");
            return true;
        }
    }
    return false;
}

void NativeWindow::SetToolbarVisible(bool visible) {
    if (visible == toolbar_visible_) return;
    toolbar_visible_ = visible;
    gtk_widget_set_visible(W(toolbar_), visible);
}

void NativeWindow::SetStatusBarVisible(bool visible) {
    status_visible_ = visible;
    gtk_widget_set_visible(W(statusbar_), visible);
}

void NativeWindow::SetStatusText(int pane, const std::string& text) {
    if (pane < 0) return;
    while (int(status_panes_.size()) <= pane) {
        GtkWidget* label = gtk_label_new("");
        gtk_label_set_xalign(GTK_LABEL(label), 0);
        gtk_widget_show(label);
        gtk_box_pack_start(GTK_BOX(statusbar_), label, status_panes_.empty(), TRUE, 8);
        status_panes_.push_back(label);
    }
    gtk_label_set_text(GTK_LABEL(status_panes_[pane]), text.c_str());
}

std::string NativeWindow::StatusText(int pane) const {
    if (pane < 0 || pane >= int(status_panes_.size())) return {};
    return gtk_label_get_text(GTK_LABEL(status_panes_[pane]));
}

void NativeWindow::SetInfoBarText(const std::string& text) {
    gtk_label_set_text(GTK_LABEL(infolabel_), text.c_str());
    if (!info_visible_) {
        info_visible_ = true;
        int w = 0;
        int h = 0;
        gtk_window_get_size(GTK_WINDOW(window_), &w, &h);
        gtk_widget_show(W(infobar_));
        gtk_window_resize(GTK_WINDOW(window_), w, h + kInfoBarHeight);
    }
}

std::string NativeWindow::InfoBarText() const {
    return gtk_label_get_text(GTK_LABEL(infolabel_));
}

int NativeWindow::AddMenu(const std::string& title) {
    GtkWidget* top = gtk_menu_item_new_with_label(title.c_str());
    GtkWidget* menu = gtk_menu_new();
    gtk_menu_item_set_submenu(GTK_MENU_ITEM(top), menu);
    gtk_menu_shell_append(GTK_MENU_SHELL(menubar_), top);
    gtk_widget_show_all(top);
    gtk_widget_show(W(menubar_));
    menus_.push_back(top);
    return int(menus_.size()) - 1;
}

void NativeWindow::AddMenuItem(int menu, const std::string& text, std::uint32_t command) {
    if (menu < 0 || menu >= int(menus_.size())) return;
    GtkWidget* sub = gtk_menu_item_get_submenu(GTK_MENU_ITEM(menus_[menu]));
    GtkWidget* item = gtk_menu_item_new_with_label(text.c_str());
    g_object_set_data(G_OBJECT(item), "tw-command", GUINT_TO_POINTER(command));
    g_signal_connect(item, "activate", G_CALLBACK(OnMenuItemActivate), this);
    gtk_menu_shell_append(GTK_MENU_SHELL(sub), item);
    gtk_widget_show(item);
    menu_items_.emplace_back(command, item);
}

void NativeWindow::AddMenuSeparator(int menu) {
    if (menu < 0 || menu >= int(menus_.size())) return;
    GtkWidget* sub = gtk_menu_item_get_submenu(GTK_MENU_ITEM(menus_[menu]));
    GtkWidget* sep = gtk_separator_menu_item_new();
    gtk_menu_shell_append(GTK_MENU_SHELL(sub), sep);
    gtk_widget_show(sep);
}

void NativeWindow::SetMenuEnabled(int menu, bool enabled) {
    if (menu >= 0 && menu < int(menus_.size())) gtk_widget_set_sensitive(W(menus_[menu]), enabled);
}

bool NativeWindow::IsMenuEnabled(int menu) const {
    return menu >= 0 && menu < int(menus_.size()) && gtk_widget_get_sensitive(W(menus_[menu]));
}

void NativeWindow::SetMenuItemEnabled(std::uint32_t command, bool enabled) {
    for (auto& [cmd, item] : menu_items_) {
        if (cmd == command) gtk_widget_set_sensitive(W(item), enabled);
    }
}

bool NativeWindow::IsMenuItemEnabled(std::uint32_t command) const {
    for (const auto& [cmd, item] : menu_items_) {
        if (cmd == command) return gtk_widget_is_sensitive(W(item));
    }
    return false;
}

void NativeWindow::RemoveAllMenus() {
    for (void* m : menus_) gtk_widget_destroy(W(m));
    menus_.clear();
    menu_items_.clear();
    gtk_widget_hide(W(menubar_));
}

bool NativeWindow::ActivateMenuItem(std::uint32_t command) {
    for (const auto& [cmd, item] : menu_items_) {
        if (cmd == command) {
            if (!gtk_widget_is_sensitive(W(item))) return false;
            gtk_menu_item_activate(GTK_MENU_ITEM(item));
            return true;
        }
    }
    return false;
}

bool NativeWindow::CapturePng(const std::string& path) {
    GdkWindow* gw = gtk_widget_get_window(W(window_));
    if (gw == nullptr || !gdk_window_is_viewable(gw)) return false;
    const int w = gdk_window_get_width(gw);
    const int h = gdk_window_get_height(gw);
    GdkPixbuf* pb = gdk_pixbuf_get_from_window(gw, 0, 0, w, h);
    if (pb == nullptr) return false;
    const gboolean ok = gdk_pixbuf_save(pb, path.c_str(), "png", nullptr, nullptr);
    g_object_unref(pb);
    return ok;
}

void NativeWindow::SimulateKeyPress(int key_code, std::uint32_t modifiers,
                                    std::uint32_t character) {
    GdkWindow* gw = gtk_widget_get_window(W(window_));
    if (gw == nullptr) return;
    guint keyval = character != 0 ? gdk_unicode_to_keyval(character) : 0;
    if (keyval == 0 || (character < 0x20 && key_code >= 0)) keyval = KeyvalFromVirtualKey(key_code);
    GdkSeat* seat = gdk_display_get_default_seat(gdk_window_get_display(gw));
    GdkDevice* keyboard = seat ? gdk_seat_get_keyboard(seat) : nullptr;
    guint16 hardware = 0;
    GdkKeymapKey* keys = nullptr;
    gint n = 0;
    if (gdk_keymap_get_entries_for_keyval(gdk_keymap_get_for_display(gdk_window_get_display(gw)),
                                          keyval, &keys, &n) &&
        n > 0) {
        hardware = guint16(keys[0].keycode);
    }
    g_free(keys);
    for (GdkEventType type : {GDK_KEY_PRESS, GDK_KEY_RELEASE}) {
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
        if (!IsValid(this)) return;
    }
}

void NativeWindow::SimulateCloseBox() {
    GdkWindow* gw = gtk_widget_get_window(W(window_));
    if (gw == nullptr) {
        OnDelete(W(window_), nullptr, this);
        return;
    }
    GdkEvent* e = gdk_event_new(GDK_DELETE);
    e->any.window = GDK_WINDOW(g_object_ref(gw));
    e->any.send_event = TRUE;
    gtk_main_do_event(e);
    gdk_event_free(e);
}

}  // namespace tw
