// The toolkit's start (GTK, the program's style), the main display's bounds, and the
// registries of live windows and controls that the rest of the layer checks handles
// against.
#include <gtk/gtk.h>

#include "platform/ui/native.h"
#include "platform/ui/native_internal.h"

namespace tw {

namespace {
bool g_ui_available = false;
}  // namespace

std::vector<NativeWindow*>& WindowRegistry() {
    static std::vector<NativeWindow*> all;
    return all;
}

std::unordered_set<const NativeControl*>& ControlRegistry() {
    static std::unordered_set<const NativeControl*> all;
    return all;
}

bool InitNativeUi() {
    static bool tried = false;
    if (tried) return g_ui_available;
    tried = true;
    // Everything is drawn with Cairo: without OpenGL, GDK does not load the GL driver (with
    // Mesa's software renderer, LLVM: some 50 MB of memory). A user's own setting stays.
    g_setenv("GDK_GL", "disable", FALSE);
    g_ui_available = gtk_init_check(nullptr, nullptr);
    if (g_ui_available) ApplyProgramStyle();
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

OSStatus SendToControl(NativeControl* c, Event& e) {
    return SendEventToTarget(e, &c->Target());
}

void SendCommandFrom(NativeControl* c, std::uint32_t attributes) {
    if (c->CommandId() == 0) return;
    Event e(kEventClassCommand, kEventCommandProcess);
    e.SetParam(kEventParamCommand, HICommand{attributes, c->CommandId(), 0});
    SendToControl(c, e);
}

}  // namespace tw
