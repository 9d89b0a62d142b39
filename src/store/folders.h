// The folders and files the program uses: the user's name and standard folders, the
// program's per-user data folder, its shared data folder (home of the shared settings
// file) with the one-time migration into it, the help folder, temporary files, and
// small file-system helpers.
//
// Paths are UTF-8 byte strings of at most 259 bytes (they fit the 260-byte buffers the
// rest of the program uses). Folders are looked up through the desktop's XDG
// conventions; the fixed fallbacks built from the user name apply only when $HOME is
// not set. Folder creation errors are not reported: callers find out when they open a
// file there.
// Thread: main thread (the helpers without side effects on shared folders from any).
#pragma once

#include <cstddef>
#include <string>

#include "platform/core/folder_lookup.h"

namespace tw {

inline constexpr std::size_t kPathBufferSize = 260;

inline constexpr char kProductFolder[] = "Tunewright";
inline constexpr char kMakerFolder[] = "Orvane Software";
inline constexpr char kBundleIdentifier[] = "com.orvanesoft.tunewright";
inline constexpr char kSharedFolderName[] = "Shared";
inline constexpr char kMigrationMarker[] = ".SharedFolderMigrated";
inline constexpr char kHelpSubpath[] = "Contents/Resources/help/";
inline constexpr char kSystemApplicationsFolder[] = "/Applications";
inline constexpr char kTempFolder[] = "/var/tmp/";

// dir, then "/" unless dir is empty or already ends in "/" or a backslash, then name
// and suffix; dir is taken up to 258 bytes when it is 259 bytes or longer.
std::string JoinPath(const std::string& dir, const std::string& name,
                     const std::string& suffix = "");

// LOGNAME, else USER, else empty.
std::string GetUserName();
// $HOME, else "/Users/<user name>".
std::string GetHomeFolder();
// The desktop's folder of that kind, created if missing; else "/Users/<user>/<fallback>".
std::string GetUserFolder(UserFolderKind kind, const char* fallback_subpath);
std::string GetApplicationSupportFolder();  // fallback "Library/Application Support"
std::string GetDownloadsFolder();           // fallback "Downloads"

// <application support>/Orvane Software/<name>, each created if missing; `created`
// tells whether the last folder was newly made.
std::string GetDataFolder(const char* name, bool* created = nullptr);
// GetDataFolder("Tunewright").
std::string GetProgramDataFolder();

// The shared data folder: a sandbox container's, when present under the home folder,
// else <program data folder>/Shared; created with its parents when missing.
std::string GetSharedFolder();
// <shared folder>/SharedSettings.xml.
std::string GetSharedSettingsPath();
// The machine-wide folder of earlier versions:
// <shared user data>/Library/Application Support/Orvane Software/Tunewright.
std::string GetMachineSharedFolder();
// Once per user: copies the machine-wide folder into the shared folder, then writes the
// marker file; does nothing once the marker exists. Run at start-up.
void MigrateSharedFolder();

// The help folder (ending in "/"): "help/" in the resource folder, else in the
// installed application found by FindProgramApplication.
std::string GetHelpFolder();
// Opens <help folder><page>[.html] in the default browser; false when nothing opened.
bool OpenHelpPage(const char* page);

// Looks for `file` in ~/Applications, then in /Applications; `path` receives the first
// that exists (else the last candidate). Answers whether one exists.
bool FindApplication(const char* file, std::string* path);
// FindApplication("<word>.app").
bool FindProgramApplication(const char* word, std::string* path);

// A new, uniquely named empty file "0XXXXXX<suffix>" in dir (permission bits 0666 less
// the umask); empty when none could be made.
std::string MakeTempFile(const std::string& dir, const std::string& suffix);

bool PathExists(const std::string& path);  // also true for a dangling symbolic link
bool IsFolder(const std::string& path);
// Creates one folder (0777 less the umask); true only when it created it.
bool MakeFolder(const std::string& path);
// Creates the folder and every missing parent; true when it exists afterwards.
bool MakeFolderPath(const std::string& path);
// Copies a folder recursively into `to` (made with its parents), files replacing their
// targets with the source's permission bits, symbolic links as links. A link already in
// the destination is replaced, never followed, so nothing is written outside `to`. Only
// regular files are read: a named pipe or device in the source is left out (and the
// answer is false) rather than waited on. True when everything was copied.
bool CopyTree(const std::string& from, const std::string& to);
// Deletes everything below `path`, then `path`; true when the final removal succeeded.
// Symbolic links are removed, never followed.
bool RemoveTree(const std::string& path);

}  // namespace tw
