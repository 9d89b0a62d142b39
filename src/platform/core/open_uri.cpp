#include "platform/core/open_uri.h"

#include <gio/gio.h>

#include <mutex>
#include <utility>

namespace tw {

namespace {

std::mutex g_handler_mutex;
std::function<bool(const std::string&)>& Handler() {
    static std::function<bool(const std::string&)> handler;
    return handler;
}

}  // namespace

bool OpenUri(const std::string& uri) {
    {
        std::lock_guard<std::mutex> lock(g_handler_mutex);
        if (Handler()) return Handler()(uri);
    }
    GError* err = nullptr;
    const bool ok = g_app_info_launch_default_for_uri(uri.c_str(), nullptr, &err);
    g_clear_error(&err);
    return ok;
}

void SetOpenUriHandlerForTesting(std::function<bool(const std::string&)> handler) {
    std::lock_guard<std::mutex> lock(g_handler_mutex);
    Handler() = std::move(handler);
}

}  // namespace tw
