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

// The first existing file `relative` (such as "images/1301.png") in
// $TUNEWRIGHT_DATA_DIR, else in "resources" or "share/tunewright" of the program's
// folder or of one of the two folders above it: an installation, the program in a build
// tree, and the tools and tests below it, whose build writes generated resources into
// <build>/share/tunewright. False when there is none.
bool LookUpResourceFile(const std::string& relative, std::string* path);

}  // namespace tw
