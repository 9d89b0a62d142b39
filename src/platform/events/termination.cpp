#include "platform/events/termination.h"

#include <glib-unix.h>

#include <csignal>

namespace tw {

namespace {

std::function<void(int)> g_handler;
guint g_sources[2] = {0, 0};

// Main thread, from the main loop.
gboolean OnSignal(gpointer data) {
    const int signal = GPOINTER_TO_INT(data);
    if (g_handler) g_handler(signal);
    return G_SOURCE_CONTINUE;
}

}  // namespace

void SetTerminationHandler(std::function<void(int signal)> handler) {
    g_handler = std::move(handler);
    const int signals[2] = {SIGINT, SIGTERM};
    for (int i = 0; i < 2; ++i) {
        if (g_handler && g_sources[i] == 0) {
            g_sources[i] = g_unix_signal_add(signals[i], &OnSignal, GINT_TO_POINTER(signals[i]));
        } else if (!g_handler && g_sources[i] != 0) {
            g_source_remove(g_sources[i]);
            g_sources[i] = 0;
            std::signal(signals[i], SIG_DFL);
        }
    }
}

}  // namespace tw
