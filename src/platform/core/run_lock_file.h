// The file operations of a run-lock file: a small file that exists, locked, only while the
// program runs. It never follows a symbolic link, accepts only a regular file that belongs
// to the user, and is created readable and writable by the user alone, so that another
// local user can neither plant one for us nor make us write through one.
//
// Thread: any.
#pragma once

#include <cstddef>
#include <string>

namespace tw {

enum class LockFileState {
    kCreated,        // a new file, locked and holding the given contents
    kExists,         // something is at the path already
    kHeldElsewhere,  // a file of ours that a running process holds locked
    kStale,          // a file of ours that nobody holds: its contents were read
    kForeign,        // not ours to read or remove: a link, a folder, a pipe, another user's file
    kUnavailable,    // missing, or the folder refuses (unwritable, no such folder)
};

// Creates `path`, which must not exist, with permission bits 0600, takes an exclusive lock
// without waiting and writes `contents`. On kCreated `*fd` stays open (the lock with it)
// until CloseLockFile.
LockFileState CreateHeldLockFile(const std::string& path, const std::string& contents, int* fd);

// Reads at most `max_bytes` of an existing lock file that no running process holds.
LockFileState ReadStaleLockFile(const std::string& path, std::size_t max_bytes,
                                std::string* contents);

void CloseLockFile(int fd);
// Removes the path itself (never what a link points to). False when nothing was removed.
bool RemoveLockFile(const std::string& path);

}  // namespace tw
