#include "platform/core/folder_lookup.h"

#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>

namespace tw {

namespace {

std::string Env(const char* name) {
    const char* v = getenv(name);
    return v ? std::string(v) : std::string();
}

bool IsDir(const std::string& p) {
    struct stat st;
    return stat(p.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// XDG variables count only when they hold an absolute path.
std::string XdgOrHome(const char* var, const std::string& home, const char* below_home) {
    std::string v = Env(var);
    if (!v.empty() && v[0] == '/') return v;
    if (home.empty()) return "";
    return home + below_home;
}

// XDG_DOWNLOAD_DIR="$HOME/Downloads" in user-dirs.dirs of the config folder.
std::string DownloadsFolder(const std::string& home) {
    if (home.empty()) return "";
    std::string config = XdgOrHome("XDG_CONFIG_HOME", home, "/.config");
    std::ifstream in(config + "/user-dirs.dirs");
    std::string line;
    while (std::getline(in, line)) {
        const std::string key = "XDG_DOWNLOAD_DIR=";
        std::size_t b = line.find_first_not_of(" \t");
        if (b == std::string::npos || line.compare(b, key.size(), key) != 0) continue;
        std::string v = line.substr(b + key.size());
        if (v.size() >= 2 && v.front() == '"' && v.back() == '"') v = v.substr(1, v.size() - 2);
        if (v.compare(0, 5, "$HOME") == 0) {
            v = home + v.substr(5);
        } else if (v.empty() || v[0] != '/') {
            continue;
        }
        // The desktop's convention: a download folder equal to home means "not set".
        if (v == home || v == home + "/") break;
        return v;
    }
    return home + "/Downloads";
}

}  // namespace

bool LookUpUserFolder(UserFolderKind kind, std::string* path) {
    const std::string home = Env("HOME");
    std::string p;
    switch (kind) {
        case UserFolderKind::kHome:
            p = home;
            break;
        case UserFolderKind::kApplicationSupport:
        case UserFolderKind::kSharedUserData:
            p = XdgOrHome("XDG_DATA_HOME", home, "/.local/share");
            break;
        case UserFolderKind::kDownloads:
            p = DownloadsFolder(home);
            break;
    }
    if (p.empty()) return false;
    *path = p;
    return true;
}

bool LookUpResourceFolder(std::string* path) {
    std::string env = Env("TUNEWRIGHT_DATA_DIR");
    if (!env.empty() && IsDir(env)) {
        while (env.size() > 1 && env.back() == '/') env.pop_back();
        *path = env;
        return true;
    }
    char exe[PATH_MAX];
    ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
    if (n <= 0) return false;
    exe[n] = '\0';
    std::string dir(exe);
    dir = dir.substr(0, dir.find_last_of('/'));
    for (const char* rel : {"/resources", "/../resources", "/../share/tunewright"}) {
        std::string candidate = dir + rel;
        if (IsDir(candidate)) {
            char resolved[PATH_MAX];
            *path = realpath(candidate.c_str(), resolved) ? std::string(resolved) : candidate;
            return true;
        }
    }
    return false;
}

bool LookUpResourceFile(const std::string& relative, std::string* path) {
    struct stat st;
    auto is_file = [&st](const std::string& p) {
        return stat(p.c_str(), &st) == 0 && S_ISREG(st.st_mode);
    };
    const std::string env = Env("TUNEWRIGHT_DATA_DIR");
    if (!env.empty() && is_file(env + "/" + relative)) {
        *path = env + "/" + relative;
        return true;
    }
    char exe[PATH_MAX];
    ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
    if (n <= 0) return false;
    exe[n] = '\0';
    std::string dir(exe);
    for (int up = 0; up <= 2; ++up) {
        const std::size_t slash = dir.find_last_of('/');
        if (slash == std::string::npos || slash == 0) break;
        dir.resize(slash);
        for (const char* folder : {"/resources/", "/share/tunewright/"}) {
            const std::string candidate = dir + folder + relative;
            if (is_file(candidate)) {
                *path = candidate;
                return true;
            }
        }
    }
    return false;
}

}  // namespace tw
