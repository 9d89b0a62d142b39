// NativeWindow: creation (in code or from an interface description), disposal, and the
// window's state: class and attributes, title, visibility, activation, collapse, keeping
// above, modality. Geometry, bars, menus and the GTK signals have files of their own.
#include <gtk/gtk.h>

#include <algorithm>

#include "platform/ui/native.h"
#include "platform/ui/native_internal.h"

namespace tw {

NativeWindow::NativeWindow(std::uint32_t window_class, std::uint32_t attributes)
    : window_class_(window_class), attributes_(attributes) {
    target_.SetParent(&ApplicationTarget());
    WindowRegistry().push_back(this);
}

NativeWindow::~NativeWindow() {
    auto& all = WindowRegistry();
    all.erase(std::remove(all.begin(), all.end(), this), all.end());
}

bool NativeWindow::IsValid(const NativeWindow* window) {
    const auto& all = WindowRegistry();
    return window != nullptr && std::find(all.begin(), all.end(), window) != all.end();
}

std::vector<NativeWindow*> NativeWindow::All() {
    return WindowRegistry();
}

void NativeWindow::Build(int width, int height) {
    vbox_ = gtk_box_new(GTK_ORIENTATION_VERTICAL, 0);
    gtk_container_add(GTK_CONTAINER(window_), vbox_);
    BuildBars();

    content_ = new NativeControl(this, nullptr, ControlKind::kContent);
    content_->Target().SetParent(&target_);
    content_->Build(Rect{0, 0, double(width), double(height)});
    gtk_widget_set_size_request(content_->Widget(), width, height);
    gtk_box_pack_start(GTK_BOX(vbox_), content_->Widget(), TRUE, TRUE, 0);

    gtk_widget_show(vbox_);
    gtk_widget_show(content_->Widget());

    gtk_window_set_resizable(GTK_WINDOW(window_), (attributes_ & kWindowResizableAttribute) != 0);
    gtk_window_set_deletable(GTK_WINDOW(window_), (attributes_ & kWindowCloseBoxAttribute) != 0);
    SetWindowClass(window_class_);
    ConnectWindowSignals(*this);
    gtk_window_move(GTK_WINDOW(window_), 50, 50);
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
    w->window_ = GTK_WIDGET(gw);
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
    for (NativeWindow* other : WindowRegistry()) {
        if (other->modal_parent_ == this) other->SetModalTo(nullptr);
    }
    Event closed(kEventClassWindow, kEventWindowClosed);
    SendEventToTarget(closed, &target_);
    g_signal_handlers_disconnect_matched(window_, G_SIGNAL_MATCH_DATA, 0, 0, nullptr, nullptr,
                                         this);
    content_->Dispose();
    content_ = nullptr;
    gtk_widget_destroy(window_);
    g_object_unref(window_);
    window_ = nullptr;
    delete this;
}

void NativeWindow::SetWindowClass(std::uint32_t window_class) {
    window_class_ = window_class;
    GdkWindowTypeHint hint = GDK_WINDOW_TYPE_HINT_NORMAL;
    if (window_class == kMovableModalWindowClass) hint = GDK_WINDOW_TYPE_HINT_DIALOG;
    if (window_class == kFloatingWindowClass || window_class == kUtilityWindowClass) {
        hint = GDK_WINDOW_TYPE_HINT_UTILITY;
    }
    if (!gtk_widget_get_realized(window_)) gtk_window_set_type_hint(GTK_WINDOW(window_), hint);
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
    gtk_widget_show(window_);
}
void NativeWindow::Hide() {
    gtk_widget_hide(window_);
}
bool NativeWindow::IsVisible() const {
    return gtk_widget_get_visible(window_);
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

void NativeWindow::SetKeepAbove(bool above) {
    keep_above_ = above;
    gtk_window_set_keep_above(GTK_WINDOW(window_), above);
}

bool NativeWindow::WindowManagerKeepsAbove() const {
    // GDK does not report this state; the window manager's property says it.
    GdkWindow* gw = gtk_widget_get_window(window_);
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
        gtk_window_set_modal(w, app_modal_);
        gtk_window_set_transient_for(w, nullptr);
    }
}

void NativeWindow::SetApplicationModal(bool modal) {
    app_modal_ = modal;
    // A modal GtkWindow holds GTK's grab while it is shown: input meant for any other
    // window of the program goes to it instead.
    gtk_window_set_modal(GTK_WINDOW(window_), modal || modal_parent_ != nullptr);
}

}  // namespace tw
