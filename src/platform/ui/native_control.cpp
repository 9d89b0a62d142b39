// NativeControl: creation from the kind table, embedding, disposal, and the operations
// every kind shares (frame, text, value, enabled and visible state, focus, images, tab
// pages, redraw). Popup menus and edit fields have files of their own.
#include <gtk/gtk.h>

#include <algorithm>
#include <cstdio>

#include "platform/ui/native_internal.h"

namespace tw {

namespace {

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

GtkOrientation OrientationOf(const Rect& frame) {
    return frame.h > frame.w ? GTK_ORIENTATION_VERTICAL : GTK_ORIENTATION_HORIZONTAL;
}

}  // namespace

NativeControl::NativeControl(NativeWindow* window, NativeControl* parent, ControlKind kind)
    : window_(window), parent_(parent), kind_(kind) {
    ControlRegistry().insert(this);
}

NativeControl::~NativeControl() {
    ControlRegistry().erase(this);
}

bool NativeControl::IsValid(const NativeControl* control) {
    return control != nullptr && ControlRegistry().count(control) != 0;
}

NativeControl* NativeControl::Create(NativeControl* parent, ControlKind kind, const Rect& frame) {
    if (!IsValid(parent) || !parent->IsContainer()) return nullptr;
    auto* c = new NativeControl(parent->window_, parent, kind);
    c->target_.SetParent(&parent->Target());
    c->Build(frame);
    parent->children_.push_back(c);
    gtk_fixed_put(GTK_FIXED(parent->container_), c->widget_, int(frame.x), int(frame.y));
    gtk_widget_show_all(c->widget_);
    gtk_widget_add_events(c->widget_, GDK_BUTTON_PRESS_MASK);
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
    parent->UpdateFocusChain();
    return c;
}

void NativeControl::Build(const Rect& frame) {
    const ControlParts parts = BuildControlParts(*this, frame);
    widget_ = parts.widget;
    container_ = parts.container;
    label_ = parts.label;
    popup_menu_ = parts.popup_menu;
    AddStyleClass(widget_, "tw");
    g_object_ref_sink(widget_);  // we destroy it ourselves in Dispose
    frame_ = frame;
    if (kind_ != ControlKind::kContent) {
        gtk_widget_set_size_request(widget_, std::max(0, int(frame.w)), std::max(0, int(frame.h)));
    }
}

void NativeControl::UpdateFocusChain() {
    if (container_ == nullptr) return;
    GList* chain = nullptr;
    for (NativeControl* k : children_) chain = g_list_append(chain, k->widget_);
    // The focus chain is the one way GTK 3 offers to move focus in an order of our
    // choosing; a GtkFixed otherwise goes by screen position.
    G_GNUC_BEGIN_IGNORE_DEPRECATIONS
    gtk_container_set_focus_chain(GTK_CONTAINER(container_), chain);
    G_GNUC_END_IGNORE_DEPRECATIONS
    g_list_free(chain);
}

void NativeControl::Dispose() {
    if (!IsValid(this)) return;
    while (!children_.empty()) children_.back()->Dispose();
    Event e(kEventClassControl, kEventControlDispose);
    SendEventToTarget(e, &target_);
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
        gtk_widget_destroy(popup_menu_);
        popup_menu_ = nullptr;
    }
    ForgetEditSnapshot(*this);
    if (guint pulse = GPOINTER_TO_UINT(g_object_get_data(G_OBJECT(widget_), "tw-pulse"))) {
        g_source_remove(pulse);
    }
    gtk_widget_destroy(widget_);
    g_object_unref(widget_);
    if (parent_ != nullptr) {
        auto& sib = parent_->children_;
        sib.erase(std::remove(sib.begin(), sib.end(), this), sib.end());
        parent_->UpdateFocusChain();
    }
    delete this;
}

void NativeControl::Reparent(NativeControl* new_parent) {
    if (!IsValid(new_parent) || !new_parent->IsContainer() || new_parent == parent_) return;
    g_object_ref(widget_);
    gtk_container_remove(GTK_CONTAINER(parent_->container_), widget_);
    auto& sib = parent_->children_;
    sib.erase(std::remove(sib.begin(), sib.end(), this), sib.end());
    parent_->UpdateFocusChain();
    parent_ = new_parent;
    parent_->children_.push_back(this);
    target_.SetParent(&parent_->Target());
    gtk_fixed_put(GTK_FIXED(parent_->container_), widget_, int(frame_.x), int(frame_.y));
    parent_->UpdateFocusChain();
    g_object_unref(widget_);
}

void NativeControl::SetFrame(const Rect& frame) {
    frame_ = frame;
    if (kind_ == ControlKind::kContent || parent_ == nullptr) return;
    gtk_fixed_move(GTK_FIXED(parent_->container_), widget_, int(frame.x), int(frame.y));
    gtk_widget_set_size_request(widget_, std::max(0, int(frame.w)), std::max(0, int(frame.h)));
    if (kind_ == ControlKind::kSeparator) {
        gtk_orientable_set_orientation(GTK_ORIENTABLE(widget_), OrientationOf(frame));
    }
    if ((kind_ == ControlKind::kImage || kind_ == ControlKind::kIcon) && !image_path_.empty()) {
        SetScaledImage(GTK_IMAGE(widget_), image_path_, int(frame.w), int(frame.h));
    }
}

void NativeControl::SetText(const std::string& text) {
    const bool was = dispatching_value_;
    dispatching_value_ = false;
    if (kind_ == ControlKind::kEditText) {
        gtk_entry_set_text(GTK_ENTRY(widget_), text.c_str());
    } else if (kind_ != ControlKind::kPopup && label_ != nullptr) {
        // A popup shows its selected item instead.
        gtk_label_set_text(GTK_LABEL(label_), text.c_str());
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
    GtkWidget* target = label_ != nullptr ? label_ : widget_;
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
                if (++n == value) {
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
    gtk_widget_set_sensitive(widget_, enabled);
}
bool NativeControl::IsEnabled() const {
    return gtk_widget_get_sensitive(widget_);
}

void NativeControl::SetVisible(bool visible) {
    visible_ = visible;
    gtk_widget_set_visible(widget_, visible);
}

bool NativeControl::IsActive() const {
    return gtk_widget_is_sensitive(widget_) &&
           !(gtk_widget_get_state_flags(widget_) & GTK_STATE_FLAG_BACKDROP);
}

bool NativeControl::CanFocus() const {
    return gtk_widget_get_can_focus(widget_) && gtk_widget_is_visible(widget_) &&
           gtk_widget_is_sensitive(widget_);
}

void NativeControl::Focus() {
    gtk_widget_grab_focus(widget_);
}
bool NativeControl::HasFocus() const {
    return gtk_widget_is_focus(widget_);
}

void NativeControl::MakeDefaultButton() {
    if (window_ == nullptr) return;
    gtk_widget_set_can_default(widget_, TRUE);
    gtk_window_set_default(GTK_WINDOW(window_->Widget()), widget_);
    window_->default_button_ = widget_;
}

void NativeControl::MakeCancelButton() {
    if (window_ != nullptr) window_->cancel_button_ = widget_;
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
    gtk_widget_show(page->widget_);
    gtk_notebook_append_page(GTK_NOTEBOOK(widget_), page->widget_, gtk_label_new(label.c_str()));
    if (value_ == 0) value_ = 1;
    dispatching_value_ = was;
    return page;
}

NativeControl* NativeControl::TabsPage(int page) const {
    if (kind_ != ControlKind::kTabs || page < 1 || page > int(children_.size())) return nullptr;
    return children_[page - 1];
}

void NativeControl::Invalidate() {
    gtk_widget_queue_draw(widget_);
}

void NativeControl::InvalidateRect(const Rect& r) {
    gtk_widget_queue_draw_area(widget_, int(r.x), int(r.y), int(r.w + 1), int(r.h + 1));
}

void NativeControl::GetSize(int* w, int* h) const {
    GtkAllocation a;
    gtk_widget_get_allocation(widget_, &a);
    const bool allocated = gtk_widget_get_realized(widget_) && a.width > 1;
    if (w) *w = allocated ? a.width : int(frame_.w);
    if (h) *h = allocated ? a.height : int(frame_.h);
}

}  // namespace tw
