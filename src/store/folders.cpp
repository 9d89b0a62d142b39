#include "store/folders.h"

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <random>
#include <vector>

#include "platform/core/file_io.h"
#include "platform/core/open_uri.h"

namespace tw {

namespace {

constexpr std::size_t kMaxPath = kPathBufferSize - 1;

std::string Cut(std::string s) {
    if (s.size() > kMaxPath) s.resize(kMaxPath);
    return s;
}

std::string UsersPath(const std::string& rest) {
    std::string p = "/Users/" + GetUserName();
    if (!rest.empty()) p += "/" + rest;
    return Cut(p);
}

bool EndsWithIgnoreCase(const std::string& s, const char* tail) {
    std::size_t n = std::char_traits<char>::length(tail);
    if (s.size() < n) return false;
    for (std::size_t i = 0; i < n; ++i) {
        char a = s[s.size() - n + i], b = tail[i];
        if (a >= 'A' && a <= 'Z') a = static_cast<char>(a - 'A' + 'a');
        if (a != b) return false;
    }
    return true;
}

// Characters a file URI may carry as they are; everything else is %-escaped so that a
// folder with blanks or '#' still opens.
std::string FileUri(const std::string& path) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string uri = "file://";
    for (unsigned char c : path) {
        if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
            std::string_view("-._~/!$&'()*+,;=:@").find(static_cast<char>(c)) !=
                std::string_view::npos) {
            uri.push_back(static_cast<char>(c));
        } else {
            uri.push_back('%');
            uri.push_back(kHex[c >> 4]);
            uri.push_back(kHex[c & 15]);
        }
    }
    return uri;
}

// Copying works relative to open folders and never follows a link in the destination:
// whatever stands under a name there (a file, a link, a pipe) is removed and created
// anew, so nothing can be written outside it.

// The folder part of `path` ("." for a bare name) and its last component.
void SplitPath(const std::string& path, std::string* folder, std::string* name) {
    std::size_t slash = path.find_last_of('/');
    *folder = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
    *name = slash == std::string::npos ? path : path.substr(slash + 1);
}

int OpenFolderAt(int dir, const char* name) {
    return openat(dir, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
}

bool CopyFileAt(int from_dir, const char* from_name, int to_dir, const char* to_name, mode_t mode) {
    // Only a regular file is read, and without blocking: a named pipe would wait forever.
    int in = openat(from_dir, from_name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (in < 0) return false;
    struct stat st;
    if (fstat(in, &st) != 0 || !S_ISREG(st.st_mode)) {
        close(in);
        return false;
    }
    unlinkat(to_dir, to_name, 0);  // replaces the target, even a read-only one or a link
    int out = openat(to_dir, to_name, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (out < 0) {
        close(in);
        return false;
    }
    bool ok = true;
    char buf[65536];
    for (;;) {
        ssize_t r = read(in, buf, sizeof buf);
        if (r < 0 && errno == EINTR) continue;
        if (r < 0) ok = false;
        if (r <= 0) break;
        if (!WriteAll(out, buf, static_cast<std::size_t>(r))) {
            ok = false;
            break;
        }
    }
    ok = fchmod(out, mode & 07777) == 0 && ok;
    ok = close(out) == 0 && ok;
    close(in);
    return ok;
}

// Links are copied as links, read and recreated directly rather than through a shell,
// so that no file name can be taken for a command.
bool CopyLinkAt(int from_dir, const char* from_name, int to_dir, const char* to_name) {
    std::vector<char> target(4096);
    ssize_t n = readlinkat(from_dir, from_name, target.data(), target.size() - 1);
    if (n < 0) return false;
    target[static_cast<std::size_t>(n)] = '\0';
    unlinkat(to_dir, to_name, 0);
    return symlinkat(target.data(), to_dir, to_name) == 0;
}

// A folder named `name` in `to_dir`: an existing real folder is kept, anything else
// under that name (a link above all) is replaced. Answers it open, or -1.
int MakeFolderAt(int to_dir, const char* name) {
    struct stat st;
    if (fstatat(to_dir, name, &st, AT_SYMLINK_NOFOLLOW) == 0 && !S_ISDIR(st.st_mode)) {
        unlinkat(to_dir, name, 0);
    }
    mkdirat(to_dir, name, 0777);
    return OpenFolderAt(to_dir, name);
}

bool CopyFolderContents(int from_dir, int to_dir) {
    int list_fd = dup(from_dir);
    DIR* d = list_fd >= 0 ? fdopendir(list_fd) : nullptr;
    if (!d) {
        if (list_fd >= 0) close(list_fd);
        return false;
    }
    bool ok = true;
    while (dirent* e = readdir(d)) {
        const char* name = e->d_name;
        if (strcmp(name, ".") == 0 || strcmp(name, "..") == 0) continue;
        struct stat es;
        if (fstatat(from_dir, name, &es, AT_SYMLINK_NOFOLLOW) != 0) {
            ok = false;
        } else if (S_ISDIR(es.st_mode)) {
            int sub_from = OpenFolderAt(from_dir, name);
            int sub_to = MakeFolderAt(to_dir, name);
            ok = sub_from >= 0 && sub_to >= 0 && CopyFolderContents(sub_from, sub_to) && ok;
            if (sub_from >= 0) close(sub_from);
            if (sub_to >= 0) close(sub_to);
        } else if (S_ISLNK(es.st_mode)) {
            ok = CopyLinkAt(from_dir, name, to_dir, name) && ok;
        } else {
            ok = CopyFileAt(from_dir, name, to_dir, name, es.st_mode) && ok;  // not for pipes
        }
    }
    closedir(d);
    return ok;
}

}  // namespace

std::string JoinPath(const std::string& dir, const std::string& name, const std::string& suffix) {
    std::string d = dir.size() >= kMaxPath ? dir.substr(0, kMaxPath - 1) : dir;
    if (!d.empty() && d.back() != '/' && d.back() != '\\') d.push_back('/');
    return Cut(d + name + suffix);
}

std::string GetUserName() {
    for (const char* var : {"LOGNAME", "USER"}) {
        const char* v = getenv(var);
        if (v) return Cut(v);
    }
    return "";
}

std::string GetHomeFolder() {
    std::string home;
    if (LookUpUserFolder(UserFolderKind::kHome, &home)) return Cut(home);
    return UsersPath("");
}

std::string GetUserFolder(UserFolderKind kind, const char* fallback_subpath) {
    std::string p;
    if (LookUpUserFolder(kind, &p)) {
        p = Cut(p);
        MakeFolderPath(p);
        return p;
    }
    return UsersPath(fallback_subpath ? fallback_subpath : "");
}

std::string GetApplicationSupportFolder() {
    return GetUserFolder(UserFolderKind::kApplicationSupport, "Library/Application Support");
}

std::string GetDownloadsFolder() {
    return GetUserFolder(UserFolderKind::kDownloads, "Downloads");
}

std::string GetDataFolder(const char* name, bool* created) {
    std::string maker = JoinPath(GetApplicationSupportFolder(), kMakerFolder);
    MakeFolder(maker);
    std::string folder = JoinPath(maker, name ? name : "");
    bool made = MakeFolder(folder);
    if (created) *created = made;
    return folder;
}

std::string GetProgramDataFolder() {
    return GetDataFolder(kProductFolder);
}

std::string GetSharedFolder() {
    // A sandboxed earlier installation keeps its shared folder inside its container.
    std::string folder =
        JoinPath(GetHomeFolder(), std::string("Library/Containers/") + kBundleIdentifier +
                                      "/Data/Library/Application Support/" + kProductFolder + "/" +
                                      kSharedFolderName);
    if (!PathExists(folder)) {
        folder = JoinPath(GetProgramDataFolder(), kSharedFolderName);
        MakeFolder(folder);
    }
    if (!PathExists(folder)) MakeFolderPath(folder);
    return folder;
}

std::string GetSharedSettingsPath() {
    return JoinPath(GetSharedFolder(), "SharedSettings.xml");
}

std::string GetMachineSharedFolder() {
    std::string base;
    std::string shared;
    if (LookUpUserFolder(UserFolderKind::kSharedUserData, &shared)) {
        shared = Cut(shared);
        MakeFolderPath(shared);
        base = Cut(shared + "/Library/Application Support");
    } else {
        base = "/Users/Shared/Library/Application Support";
    }
    MakeFolderPath(base);
    return JoinPath(JoinPath(base, kMakerFolder), kProductFolder);
}

void MigrateSharedFolder() {
    const std::string shared = JoinPath(GetProgramDataFolder(), kSharedFolderName);
    const std::string marker = JoinPath(shared, kMigrationMarker);
    if (PathExists(marker)) return;
    const std::string old_folder = GetMachineSharedFolder();
    if (PathExists(old_folder) && !PathExists(shared)) {
        MakeFolderPath(shared);
        CopyTree(old_folder, shared);
    }
    // Fails while the shared folder does not exist; then the next start tries again.
    int fd = open(marker.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd >= 0) close(fd);
}

std::string GetHelpFolder() {
    std::string resources;
    if (LookUpResourceFolder(&resources)) return JoinPath(resources, "help/");
    std::string app;
    FindProgramApplication(kProductFolder, &app);
    return JoinPath(app, kHelpSubpath);
}

bool OpenHelpPage(const char* page) {
    std::string name = page ? page : "";
    std::size_t slash = name.find_last_of('/');
    std::size_t dot = name.find_last_of('.');
    bool has_html = dot != std::string::npos && (slash == std::string::npos || dot > slash) &&
                    EndsWithIgnoreCase(name, ".html") && dot == name.size() - 5;
    std::string path = JoinPath(GetHelpFolder(), name, has_html ? "" : ".html");
    return OpenUri(FileUri(path));
}

bool FindApplication(const char* file, std::string* path) {
    const std::string name = file ? file : "";
    const std::string candidates[] = {JoinPath(JoinPath(GetHomeFolder(), "Applications"), name),
                                      JoinPath(kSystemApplicationsFolder, name)};
    for (const std::string& c : candidates) {
        if (path) *path = c;
        if (PathExists(c)) return true;
    }
    return false;
}

bool FindProgramApplication(const char* word, std::string* path) {
    return FindApplication((std::string(word ? word : "") + ".app").c_str(), path);
}

std::string MakeTempFile(const std::string& dir, const std::string& suffix) {
    static const char kChars[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    std::random_device rd;
    std::mt19937 gen(rd());
    std::uniform_int_distribution<int> pick(0, 61);
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string name = "0";
        for (int i = 0; i < 6; ++i) name.push_back(kChars[pick(gen)]);
        std::string path = JoinPath(dir, name, suffix);
        int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            close(fd);
            return path;
        }
        if (errno != EEXIST) break;
    }
    return "";
}

bool PathExists(const std::string& path) {
    struct stat st;
    return access(path.c_str(), F_OK) == 0 || lstat(path.c_str(), &st) == 0;
}

bool IsFolder(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool MakeFolder(const std::string& path) {
    if (path.empty() || PathExists(path)) return false;
    return mkdir(path.c_str(), 0777) == 0;
}

bool MakeFolderPath(const std::string& path) {
    if (path.empty()) return false;
    // Walk up to the deepest existing ancestor, then create downwards.
    std::vector<std::string> missing;
    std::string p = path;
    while (!p.empty() && !PathExists(p)) {
        missing.push_back(p);
        std::size_t cut = p.find_last_of("/\\");
        if (cut == std::string::npos) break;
        p = cut == 0 ? std::string("/") : p.substr(0, cut);
    }
    for (auto it = missing.rbegin(); it != missing.rend(); ++it) MakeFolder(*it);
    return IsFolder(path);
}

bool CopyTree(const std::string& from, const std::string& to) {
    struct stat st;
    if (lstat(from.c_str(), &st) != 0) return false;
    if (S_ISDIR(st.st_mode)) {
        MakeFolderPath(to);
        int from_dir = open(from.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        int to_dir = open(to.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        bool ok = from_dir >= 0 && to_dir >= 0 && CopyFolderContents(from_dir, to_dir);
        if (from_dir >= 0) close(from_dir);
        if (to_dir >= 0) close(to_dir);
        return ok;
    }
    std::string from_folder, from_name, to_folder, to_name;
    SplitPath(from, &from_folder, &from_name);
    SplitPath(to, &to_folder, &to_name);
    if (to_name.empty()) return false;
    int from_dir = open(from_folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    int to_dir = open(to_folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    bool ok = false;
    if (from_dir >= 0 && to_dir >= 0) {
        ok = S_ISLNK(st.st_mode)
                 ? CopyLinkAt(from_dir, from_name.c_str(), to_dir, to_name.c_str())
                 : CopyFileAt(from_dir, from_name.c_str(), to_dir, to_name.c_str(), st.st_mode);
    }
    if (from_dir >= 0) close(from_dir);
    if (to_dir >= 0) close(to_dir);
    return ok;
}

bool RemoveTree(const std::string& path) {
    struct stat st;
    if (lstat(path.c_str(), &st) != 0) return false;
    if (!S_ISDIR(st.st_mode)) return unlink(path.c_str()) == 0;
    if (DIR* d = opendir(path.c_str())) {
        while (dirent* e = readdir(d)) {
            std::string name = e->d_name;
            if (name != "." && name != "..") RemoveTree(path + "/" + name);
        }
        closedir(d);
    }
    return rmdir(path.c_str()) == 0;
}

}  // namespace tw
