// Loading and saving whole XML files under advisory locks: readers share the lock and
// wait a little for a writer; a writer holds the lock exclusively while it replaces the
// file through AtomicFile. Only regular files are opened, so a named pipe in the file's
// place is an error rather than a reader blocked for good.
#include <fcntl.h>
#include <stdio.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <thread>

#include "platform/core/atomic_file.h"
#include "platform/core/file_io.h"
#include "platform/core/file_lock.h"
#include "store/xml.h"
#include "store/xml_text_decoding.h"

namespace tw {

namespace {

// A writer holds its lock only while it writes: readers wait this long for it, then read
// regardless, so that a stuck lock cannot hide the settings.
constexpr int kReadLockBudgetMs = 1000;
// First sleep between lock attempts; doubled each time (32, 64, ... within the budget).
constexpr int kFirstLockSleepMs = kReadLockBudgetMs / 32 + 1;

uint64_t DataSizeLimit() {
    struct rlimit rl;
    if (getrlimit(RLIMIT_DATA, &rl) != 0 || rl.rlim_cur == RLIM_INFINITY ||
        rl.rlim_cur > 0xFFFFFFFFull) {
        return 0xFFFFFFFFull;
    }
    return rl.rlim_cur;
}

void SetFileError(char* error, const char* prefix, const char* path) {
    if (error) snprintf(error, kXmlErrorSize, "%s%s", prefix, path);
}

// Takes a shared lock, waiting up to the budget for a writer; answers whether it is held.
bool LockForReading(int fd) {
    for (int sleep_ms = kFirstLockSleepMs;; sleep_ms *= 2) {
        FileLockResult r = LockFileDescriptor(fd, FileLockMode::kShared, false);
        if (r != FileLockResult::kWouldBlock) return r == FileLockResult::kLocked;
        std::this_thread::sleep_for(std::chrono::milliseconds(sleep_ms));
        if (sleep_ms * 2 >= kReadLockBudgetMs) {
            return LockFileDescriptor(fd, FileLockMode::kShared, false) == FileLockResult::kLocked;
        }
    }
}

}  // namespace

void LoadFile(XmlNode* root, const char* path, char* error) {
    root->first_child.reset();
    if (error) error[0] = '\0';
    struct stat st;
    if (stat(path, &st) != 0) {
        SetFileError(error, "File does not exist: ", path);
        return;
    }
    int fd = OpenRegularFile(path, O_RDONLY);
    if (fd < 0) {
        SetFileError(error, "Cannot open xml file: ", path);
        return;
    }
    // Refuse files whose size times 20 reaches the data-size limit; 128-bit arithmetic
    // so that no file size can overflow the product.
    if (fstat(fd, &st) != 0 || static_cast<unsigned __int128>(st.st_size) * 20 >= DataSizeLimit()) {
        close(fd);
        SetFileError(error, "Not enough memory available to load ", path);
        return;
    }
    const bool locked = LockForReading(fd);
    std::string raw;
    ReadToEnd(fd, &raw);  // a read error keeps what was read, as a short file would
    if (locked) UnlockFileDescriptor(fd);
    close(fd);
    std::string text = DecodeXmlFileBytes(raw);
    Parse(root, text.c_str(), error);
}

bool SaveXmlFile(const XmlNode* root, const char* path) {
    int fd = OpenRegularFile(path, O_RDWR | O_CREAT, 0666);
    if (fd < 0) return false;
    if (LockFileDescriptor(fd, FileLockMode::kExclusive, false) != FileLockResult::kLocked) {
        close(fd);
        return false;
    }
    std::string data;
    for (const XmlNode* c = root->first_child.get(); c; c = c->next.get()) Serialize(c, &data, 0);

    // Replaced while the lock is held, so that a crash or a full disk leaves the old
    // document rather than a truncated one.
    AtomicFile file(path);
    bool ok;
    if (file.Begin()) {
        ok = file.Write(data.data(), data.size()) && file.Commit();
    } else {
        // The folder does not let us add a file: rewrite in place, still under the lock.
        ok = ftruncate(fd, 0) == 0 && lseek(fd, 0, SEEK_SET) == 0 &&
             WriteAll(fd, data.data(), data.size()) && fsync(fd) == 0;
    }
    close(fd);
    return ok;
}

}  // namespace tw
