#include "platform/core/preferences.h"

#include <errno.h>
#include <glib.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <memory>
#include <string_view>
#include <utility>

#include "platform/core/atomic_file.h"
#include "platform/core/file_io.h"
#include "platform/core/file_lock.h"
#include "platform/core/key_file_text.h"

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

bool MakeFolders(const std::string& path) {
    if (path.empty()) return false;
    struct stat st;
    if (stat(path.c_str(), &st) == 0) return S_ISDIR(st.st_mode);
    std::size_t slash = path.find_last_of('/');
    if (slash != std::string::npos && slash > 0) MakeFolders(path.substr(0, slash));
    return mkdir(path.c_str(), 0700) == 0 || errno == EEXIST;
}

// A UTF-8 byte-order mark that an editor put at the start; the key file itself would
// take it for part of the first line and refuse the file.
std::string WithoutByteOrderMark(std::string bytes) {
    if (bytes.compare(0, 3, "\xEF\xBB\xBF") == 0) bytes.erase(0, 3);
    return bytes;
}

// Loads the key file's text; false when there is none or it is not a plain file (a named
// pipe in its place must not hang the reader).
bool LoadKeyFile(GKeyFile* kf, const std::string& path) {
    std::string bytes;
    if (ReadRegularFile(path, &bytes) != RegularFileRead::kRead) return false;
    bytes = WithoutByteOrderMark(std::move(bytes));
    return g_key_file_load_from_data(kf, bytes.data(), bytes.size(), G_KEY_FILE_NONE, nullptr);
}

// Loads the file if there is one. A file that cannot be parsed (edited by hand, say) or
// that is no plain file is kept aside as "preferences.conf.damaged" so that the next write
// starts afresh without destroying it; a file that cannot be read at all fails the load.
bool LoadForWriting(GKeyFile* kf, const std::string& path) {
    std::string bytes;
    switch (ReadRegularFile(path, &bytes)) {
        case RegularFileRead::kMissing:
            return true;
        case RegularFileRead::kNotRegular:
            return rename(path.c_str(), (path + ".damaged").c_str()) == 0;
        case RegularFileRead::kError:
            return false;
        case RegularFileRead::kRead:
            break;
    }
    bytes = WithoutByteOrderMark(std::move(bytes));
    if (g_key_file_load_from_data(kf, bytes.data(), bytes.size(), G_KEY_FILE_KEEP_COMMENTS,
                                  nullptr)) {
        return true;
    }
    return rename(path.c_str(), (path + ".damaged").c_str()) == 0;
}

// Read, change one key, write back: all under the lock so that concurrent writers of
// other keys are not lost.
bool Modify(const std::string& app_id, const std::string& key, const std::string* value) {
    const std::string path = PreferencesFilePath(app_id);
    const std::string ekey = EncodeKeyFileKey(key);
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
        g_key_file_set_value(kf.get(), kGroup, ekey.c_str(),
                             EscapeKeyFileValue(valid.get()).c_str());
    } else if (!g_key_file_has_key(kf.get(), kGroup, ekey.c_str(), nullptr)) {
        return true;
    } else {
        g_key_file_remove_key(kf.get(), kGroup, ekey.c_str(), nullptr);
    }
    gsize length = 0;
    GCharPtr data(g_key_file_to_data(kf.get(), &length, nullptr));
    if (!data) return false;
    // Per-user data: a new file is private; a replaced one keeps its bits.
    return WriteFileAtomically(path, std::string_view(data.get(), length), 0600);
}

}  // namespace

std::string PreferencesFilePath(const std::string& app_id) {
    std::string home = ConfigHome();
    if (home.empty()) return "";
    return home + "/" + app_id + "/preferences.conf";
}

bool PreferencesGet(const std::string& app_id, const std::string& key, std::string* value) {
    const std::string path = PreferencesFilePath(app_id);
    const std::string ekey = EncodeKeyFileKey(key);
    if (path.empty() || ekey.empty()) return false;
    KeyFilePtr kf(g_key_file_new());
    if (!LoadKeyFile(kf.get(), path)) return false;
    GCharPtr raw(g_key_file_get_value(kf.get(), kGroup, ekey.c_str(), nullptr));
    std::string text;
    if (!raw || !UnescapeKeyFileValue(raw.get(), &text)) return false;
    if (!g_utf8_validate(text.data(), static_cast<gssize>(text.size()), nullptr)) return false;
    if (value) *value = std::move(text);
    return true;
}

bool PreferencesSet(const std::string& app_id, const std::string& key, const std::string& value) {
    return Modify(app_id, key, &value);
}

bool PreferencesRemove(const std::string& app_id, const std::string& key) {
    return Modify(app_id, key, nullptr);
}

}  // namespace tw
