// Advisory whole-file locks (flock) for files shared between processes: the shared
// settings file, the preferences file, anything a second instance may touch.
//
// Locks belong to the open file description, so two descriptors opened separately in
// one process exclude each other as they would in two processes.
// Thread: any; a lock held by one thread is the process's (all threads share it).
#pragma once

#include <string>

namespace tw {

enum class FileLockMode { kShared, kExclusive };

enum class FileLockResult {
    kLocked,      // the lock is held now
    kWouldBlock,  // non-blocking request refused: another holder has a conflicting lock
    kError,       // bad descriptor or the file system does not support locks
};

// Locks an open descriptor. With `wait` false the request never blocks. Interrupted
// waits (EINTR) are retried.
FileLockResult LockFileDescriptor(int fd, FileLockMode mode, bool wait);

// Releases the lock held through `fd` (closing the descriptor releases it too).
void UnlockFileDescriptor(int fd);

// Opens (creating if missing, permission bits 0666 less the umask) `path` and holds a
// lock on it for the object's lifetime: the usual "lock file beside the data" pattern.
class ScopedFileLock {
  public:
    ScopedFileLock(const std::string& path, FileLockMode mode, bool wait);
    ~ScopedFileLock();
    ScopedFileLock(const ScopedFileLock&) = delete;
    ScopedFileLock& operator=(const ScopedFileLock&) = delete;

    // Whether the lock is held.
    bool locked() const { return result_ == FileLockResult::kLocked; }
    FileLockResult result() const { return result_; }

  private:
    int fd_ = -1;
    FileLockResult result_ = FileLockResult::kError;
};

}  // namespace tw
