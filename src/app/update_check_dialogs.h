// "Check for New Version": fetches the maker's version information under the "Checking for
// Updates" progress dialog (5000 ms, with Cancel) and tells the user what it found.
//
// Thread: main thread only.
#pragma once

#include <string>

namespace tw {

class NativeWindow;

// What the check ended with, for tests.
enum class UpdateCheckOutcome { kNoInformation, kUpdateAvailable, kCurrent };

// The version-information address (a build-time setting, TW_VERSION_INFO_URL).
std::string VersionInfoAddress();

// Runs the whole check over `parent` against `address` (empty: VersionInfoAddress()).
UpdateCheckOutcome RunUpdateCheck(NativeWindow* parent, const std::string& address = "");

}  // namespace tw
