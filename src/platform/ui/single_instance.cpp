#include "platform/ui/single_instance.h"

#include <gio/gio.h>

namespace tw {

namespace {

GApplication* g_app = nullptr;
std::function<void()> g_onReopen;

// Main thread: a second launch asked us to show ourselves.
void OnActivate(GApplication*, gpointer) {
    if (g_onReopen) g_onReopen();
}

}  // namespace

InstanceRole RegisterSingleInstance(const std::string& id, std::function<void()> on_reopen) {
    if (g_app) return InstanceRole::kPrimary;
    GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
    if (!bus) return InstanceRole::kAlone;
    g_object_unref(bus);

    g_app = g_application_new(id.c_str(), G_APPLICATION_DEFAULT_FLAGS);
    GError* error = nullptr;
    if (!g_application_register(g_app, nullptr, &error)) {
        if (error) g_error_free(error);
        g_object_unref(g_app);
        g_app = nullptr;
        return InstanceRole::kAlone;
    }
    if (g_application_get_is_remote(g_app)) {
        // The request is only queued for the bus's worker thread, and this process ends
        // next: without the flush a loaded machine often lost it.
        g_application_activate(g_app);
        if (GDBusConnection* connection = g_application_get_dbus_connection(g_app))
            g_dbus_connection_flush_sync(connection, nullptr, nullptr);
        g_object_unref(g_app);
        g_app = nullptr;
        return InstanceRole::kRemote;
    }
    g_onReopen = std::move(on_reopen);
    g_signal_connect(g_app, "activate", G_CALLBACK(OnActivate), nullptr);
    // The primary never runs g_application_run: our own main loop dispatches its messages.
    g_application_hold(g_app);
    return InstanceRole::kPrimary;
}

void UnregisterSingleInstance() {
    if (!g_app) return;
    g_application_release(g_app);
    g_object_unref(g_app);
    g_app = nullptr;
    g_onReopen = nullptr;
}

}  // namespace tw
