// The user's standard folders as the desktop names them (XDG), and the folder that
// holds the program's own resources (help pages, images).
//
// Worked out from the environment on every call so that tests can redirect them.
// Thread: any.
#pragma once

#include <string>

namespace tw {

enum class UserFolderKind {
    kHome,                // $HOME
    kApplicationSupport,  // $XDG_DATA_HOME, else ~/.local/share
    kDownloads,           // XDG_DOWNLOAD_DIR of user-dirs.dirs, else ~/Downloads
    kSharedUserData,      // $XDG_DATA_HOME as well: there is no machine-wide user area
};

// Answers false when the folder cannot be named (no $HOME and no XDG variable that
// stands on its own); callers then use their fallbacks. Nothing is created here.
bool LookUpUserFolder(UserFolderKind kind, std::string* path);

// The installed resource folder: $TUNEWRIGHT_DATA_DIR when set, else "resources"
// beside the program or one level up (a build tree), else "../share/tunewright" from
// the program (an installation). No trailing slash. False when none is a folder.
bool LookUpResourceFolder(std::string* path);

}  // namespace tw
