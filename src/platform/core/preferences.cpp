#include "platform/core/preferences.h"

#include <errno.h>
#include <fcntl.h>
#include <glib.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <memory>

#include "platform/core/file_lock.h"

namespace tw {

namespace {

constexpr char kGroup[] = "Preferences";

struct KeyFileFree {
    void operator()(GKeyFile* k) const { g_key_file_free(k); }
};
struct GFree {
    void operator()(gchar* p) const { g_free(p); }
};
using KeyFilePtr = std::unique_ptr<GKeyFile, KeyFileFree>;
using GCharPtr = std::unique_ptr<gchar, GFree>;

std::string ConfigHome() {
    const char* x = getenv("XDG_CONFIG_HOME");
    if (x && x[0] == '/') return x;  // relative values are to be ignored
    const char* h = getenv("HOME");
    if (h && h[0]) return std::string(h) + "/.config";
    return "";
}

// Key names of a key file may not hold '=', brackets, line breaks, or blanks at either
// end, and a leading '#' would make a comment. Such bytes, '%' itself and anything
// outside printable ASCII are written as %XX; the keys the program uses pass unchanged.
std::string EncodeKey(const std::string& key) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : key) {
        if (c > 0x20 && c < 0x7F && c != '=' && c != '[' && c != ']' && c != '%' && c != '#') {
            out.push_back(static_cast<char>(c));
        } else {
            out.push_back('%');
            out.push_back(kHex[c >> 4]);
            out.push_back(kHex[c & 15]);
        }
    }
    return out;
}

bool MakeFolders(const std::string& path) {
    if (path.empty()) return false;
    struct stat st;
    if (stat(path.c_str(), &st) == 0) return S_ISDIR(st.st_mode);
    std::size_t slash = path.find_last_of('/');
    if (slash != std::string::npos && slash > 0) MakeFolders(path.substr(0, slash));
    return mkdir(path.c_str(), 0700) == 0 || errno == EEXIST;
}

void SyncFolder(const std::string& dir) {
    int fd = open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        fsync(fd);
        close(fd);
    }
}

// Loads the file if there is one. A file that cannot be parsed (edited by hand, say) is
// kept aside as "preferences.conf.damaged" so that the next write starts afresh without
// destroying it; a file that cannot be read at all fails the load.
bool LoadForWriting(GKeyFile* kf, const std::string& path) {
    GError* err = nullptr;
    if (g_key_file_load_from_file(kf, path.c_str(), G_KEY_FILE_KEEP_COMMENTS, &err)) return true;
    const bool missing = g_error_matches(err, G_FILE_ERROR, G_FILE_ERROR_NOENT);
    const bool damaged = err && err->domain == G_KEY_FILE_ERROR;
    g_clear_error(&err);
    if (missing) return true;
    if (damaged) return rename(path.c_str(), (path + ".damaged").c_str()) == 0;
    return false;
}

// Read, change one key, write back: all under the lock so that concurrent writers of
// other keys are not lost.
bool Modify(const std::string& app_id, const std::string& key, const std::string* value) {
    const std::string path = PreferencesFilePath(app_id);
    const std::string ekey = EncodeKey(key);
    if (path.empty() || ekey.empty()) return false;
    const std::string dir = path.substr(0, path.find_last_of('/'));
    if (!MakeFolders(dir)) return false;

    ScopedFileLock lock(path + ".lock", FileLockMode::kExclusive, true);
    if (lock.result() == FileLockResult::kError) return false;

    KeyFilePtr kf(g_key_file_new());
    if (!LoadForWriting(kf.get(), path)) return false;
    if (value) {
        // The store holds UTF-8 text; anything else would read back as missing.
        GCharPtr valid(g_utf8_make_valid(value->c_str(), static_cast<gssize>(value->size())));
        g_key_file_set_string(kf.get(), kGroup, ekey.c_str(), valid.get());
    } else if (!g_key_file_has_key(kf.get(), kGroup, ekey.c_str(), nullptr)) {
        return true;
    } else {
        g_key_file_remove_key(kf.get(), kGroup, ekey.c_str(), nullptr);
    }
    gsize length = 0;
    GCharPtr data(g_key_file_to_data(kf.get(), &length, nullptr));
    if (!data) return false;
    GError* err = nullptr;
    const bool ok =
        g_file_set_contents_full(path.c_str(), data.get(), static_cast<gssize>(length),
                                 static_cast<GFileSetContentsFlags>(G_FILE_SET_CONTENTS_CONSISTENT |
                                                                    G_FILE_SET_CONTENTS_DURABLE),
                                 0600, &err);
    g_clear_error(&err);
    if (ok) SyncFolder(dir);  // makes the rename itself durable
    return ok;
}

}  // namespace

std::string PreferencesFilePath(const std::string& app_id) {
    std::string home = ConfigHome();
    if (home.empty()) return "";
    return home + "/" + app_id + "/preferences.conf";
}

bool PreferencesGet(const std::string& app_id, const std::string& key, std::string* value) {
    const std::string path = PreferencesFilePath(app_id);
    const std::string ekey = EncodeKey(key);
    if (path.empty() || ekey.empty()) return false;
    KeyFilePtr kf(g_key_file_new());
    if (!g_key_file_load_from_file(kf.get(), path.c_str(), G_KEY_FILE_NONE, nullptr)) return false;
    GCharPtr s(g_key_file_get_string(kf.get(), kGroup, ekey.c_str(), nullptr));
    if (!s) return false;
    if (value) *value = s.get();
    return true;
}

bool PreferencesSet(const std::string& app_id, const std::string& key, const std::string& value) {
    return Modify(app_id, key, &value);
}

bool PreferencesRemove(const std::string& app_id, const std::string& key) {
    return Modify(app_id, key, nullptr);
}

}  // namespace tw
