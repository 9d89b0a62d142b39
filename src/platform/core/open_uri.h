// Opens a URI (a web page, a help page as file://...) with the desktop's default
// handler.
// Thread: main thread.
#pragma once

#include <functional>
#include <string>

namespace tw {

// Answers whether a handler was launched.
bool OpenUri(const std::string& uri);

// Tests replace the launcher so that nothing is opened on the desktop; an empty
// function restores it.
void SetOpenUriHandlerForTesting(std::function<bool(const std::string&)> handler);

}  // namespace tw
