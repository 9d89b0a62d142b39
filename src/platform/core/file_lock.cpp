#include "platform/core/file_lock.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace tw {

FileLockResult LockFileDescriptor(int fd, FileLockMode mode, bool wait) {
    int op = mode == FileLockMode::kShared ? LOCK_SH : LOCK_EX;
    if (!wait) op |= LOCK_NB;
    for (;;) {
        if (flock(fd, op) == 0) return FileLockResult::kLocked;
        if (errno == EINTR) continue;
        return errno == EWOULDBLOCK ? FileLockResult::kWouldBlock : FileLockResult::kError;
    }
}

void UnlockFileDescriptor(int fd) {
    flock(fd, LOCK_UN);
}

ScopedFileLock::ScopedFileLock(const std::string& path, FileLockMode mode, bool wait) {
    fd_ = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (fd_ < 0) fd_ = open(path.c_str(), O_RDONLY | O_CLOEXEC);  // read-only media
    if (fd_ >= 0) result_ = LockFileDescriptor(fd_, mode, wait);
}

ScopedFileLock::~ScopedFileLock() {
    if (fd_ >= 0) close(fd_);  // also releases the lock
}

}  // namespace tw
