#include "app/startup.h"

#include <cstdlib>
#include <cstring>

#include "app/maker_web.h"
#include "store/folders.h"
#include "store/settings.h"

namespace tw {

namespace {

constexpr int kOldestMajor = 10;
constexpr int kOldestMinor = 4;

}  // namespace

std::vector<std::string> CopyArguments(int argc, const char* const* argv) {
    std::vector<std::string> args;
    for (int i = 0; i < argc; ++i) {
        if (i == 1 && std::strncmp(argv[i], "-psn", 4) == 0) continue;
        args.emplace_back(argv[i]);
    }
    return args;
}

bool SystemVersionSupported(const process::SystemVersion& version) {
    return version.major > kOldestMajor ||
           (version.major == kOldestMajor && version.minor >= kOldestMinor);
}

std::string SystemVersionMessage() {
    return std::string(kProgramName) + " requires OS X version " + std::to_string(kOldestMajor) +
           "." + std::to_string(kOldestMinor) + " or later.";
}

bool NeedsNewVersionSetup(std::int64_t program_change_time) {
    const std::string installed = GetSetting("Settings", "InstallDate", "");
    if (installed.empty()) return true;
    if (GetSetting("Settings", "CurrentVersion", "") != kProgramVersion) return true;
    // 64 bits: install dates outlive 2038.
    return program_change_time > std::strtoll(installed.c_str(), nullptr, 10);
}

void RunNewVersionSetup(std::int64_t now, const std::string& install_folder) {
    // The shared data folder stays the user's own: it is not opened to group and others.
    if (!install_folder.empty() && IsFolder(install_folder)) {
        CopyTree(install_folder, GetSharedFolder());
    }
    DeleteSetting("Settings", "Thanks");
    SetSetting("Settings", "InstallDate", std::to_string(now).c_str());
    const std::string current = GetSetting("Settings", "CurrentVersion", "");
    if (!current.empty() && current != kProgramVersion) {
        SetSetting("Settings", "PreviousVersion", current.c_str());
    }
    SetSetting("Settings", "CurrentVersion", std::string(kProgramVersion).c_str());
}

}  // namespace tw
