#include "platform/core/run_lock_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>

namespace tw {

namespace {

bool Ours(const struct stat& st) {
    return S_ISREG(st.st_mode) && st.st_uid == geteuid();
}

}  // namespace

LockFileState CreateHeldLockFile(const std::string& path, const std::string& contents, int* fd) {
    *fd = -1;
    const int f = open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (f < 0) return errno == EEXIST ? LockFileState::kExists : LockFileState::kUnavailable;
    // Nobody else can have it yet: O_EXCL made it ours.
    if (flock(f, LOCK_EX | LOCK_NB) != 0) {
        close(f);
        unlink(path.c_str());
        return LockFileState::kUnavailable;
    }
    std::size_t done = 0;
    while (done < contents.size()) {
        const ssize_t n = write(f, contents.data() + done, contents.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            close(f);
            unlink(path.c_str());
            return LockFileState::kUnavailable;
        }
        done += static_cast<std::size_t>(n);
    }
    *fd = f;
    return LockFileState::kCreated;
}

LockFileState ReadStaleLockFile(const std::string& path, std::size_t max_bytes,
                                std::string* contents) {
    contents->clear();
    struct stat link_st {};
    if (lstat(path.c_str(), &link_st) != 0) return LockFileState::kUnavailable;
    if (!Ours(link_st)) return LockFileState::kForeign;
    // Non-blocking, so that a pipe put in its place cannot stall the start.
    const int f = open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (f < 0) return errno == ELOOP ? LockFileState::kForeign : LockFileState::kUnavailable;
    struct stat st {};
    if (fstat(f, &st) != 0 || !Ours(st) || st.st_ino != link_st.st_ino) {
        close(f);
        return LockFileState::kForeign;
    }
    if (flock(f, LOCK_SH | LOCK_NB) != 0) {
        close(f);
        return errno == EWOULDBLOCK ? LockFileState::kHeldElsewhere : LockFileState::kUnavailable;
    }
    contents->resize(max_bytes);
    std::size_t done = 0;
    while (done < max_bytes) {
        const ssize_t n = read(f, contents->data() + done, max_bytes - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += static_cast<std::size_t>(n);
    }
    contents->resize(done);
    close(f);
    return LockFileState::kStale;
}

void CloseLockFile(int fd) {
    if (fd >= 0) close(fd);
}

bool RemoveLockFile(const std::string& path) {
    return unlink(path.c_str()) == 0;
}

}  // namespace tw
