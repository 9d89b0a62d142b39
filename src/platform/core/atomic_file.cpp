#include "platform/core/atomic_file.h"

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <random>
#include <utility>
#include <vector>

#include "platform/core/file_io.h"
#include "platform/core/file_lock.h"

namespace tw {

namespace {

// ".tw-" + eight hex digits + ".tmp": sixteen bytes, whatever the destination's name.
constexpr std::string_view kTemporaryPrefix = ".tw-";
constexpr std::string_view kTemporarySuffix = ".tmp";
constexpr std::size_t kTemporaryDigits = 8;
// Random names collide only when a folder already holds thousands of live temporaries.
constexpr int kNameAttempts = 100;
// The limit the kernel puts on links followed in one path lookup.
constexpr int kMaxLinkHops = 40;

// The folder part of `path` with its trailing "/", or "" for a bare name.
std::string FolderOf(const std::string& path) {
    std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string FolderForOpen(const std::string& folder) {
    return folder.empty() ? std::string(".") : folder;
}

// Follows symbolic links from `path` to the file they end at, which need not exist yet.
// False for a link loop, an unreadable link or a folder.
bool ResolveTarget(const std::string& path, std::string* target) {
    std::string current = path;
    for (int hop = 0; hop <= kMaxLinkHops; ++hop) {
        struct stat st;
        if (lstat(current.c_str(), &st) != 0) {
            if (errno != ENOENT) return false;
            *target = current;
            return true;
        }
        if (!S_ISLNK(st.st_mode)) {
            if (S_ISDIR(st.st_mode)) return false;
            *target = current;
            return true;
        }
        std::vector<char> link(static_cast<std::size_t>(st.st_size > 0 ? st.st_size : 255) + 2);
        ssize_t n = readlink(current.c_str(), link.data(), link.size() - 1);
        if (n <= 0 || static_cast<std::size_t>(n) >= link.size() - 1) return false;
        std::string next(link.data(), static_cast<std::size_t>(n));
        current = next[0] == '/' ? next : FolderOf(current) + next;
    }
    return false;
}

bool SameFile(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// Whether the descriptor is still the file named `name` in `dir_fd`: a cleaner that took
// the lock first may have removed it.
bool StillNamed(int fd, int dir_fd, const char* name) {
    struct stat by_fd, by_name;
    return fstat(fd, &by_fd) == 0 && fstatat(dir_fd, name, &by_name, AT_SYMLINK_NOFOLLOW) == 0 &&
           SameFile(by_fd, by_name);
}

void SyncFolder(const std::string& folder) {
    int fd = open(FolderForOpen(folder).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        fsync(fd);
        close(fd);
    }
}

std::string RandomTemporaryName(std::mt19937* gen) {
    char digits[kTemporaryDigits + 1];
    std::snprintf(digits, sizeof digits, "%08x", static_cast<unsigned>((*gen)()));
    return std::string(kTemporaryPrefix) + digits + std::string(kTemporarySuffix);
}

}  // namespace

bool IsAtomicTemporaryName(std::string_view name) {
    if (name.size() != kTemporaryPrefix.size() + kTemporaryDigits + kTemporarySuffix.size() ||
        name.substr(0, kTemporaryPrefix.size()) != kTemporaryPrefix ||
        name.substr(name.size() - kTemporarySuffix.size()) != kTemporarySuffix) {
        return false;
    }
    for (char c : name.substr(kTemporaryPrefix.size(), kTemporaryDigits)) {
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
    }
    return true;
}

int RemoveStaleTemporaryFiles(const std::string& folder) {
    DIR* dir = opendir(FolderForOpen(folder).c_str());
    if (!dir) return 0;
    const int dir_fd = dirfd(dir);
    int removed = 0;
    while (dirent* entry = readdir(dir)) {
        if (!IsAtomicTemporaryName(entry->d_name)) continue;
        // Never follow a link, never block on a pipe someone named like ours.
        int fd = openat(dir_fd, entry->d_name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) continue;
        struct stat st;
        // A lock we can take has no live writer; a file system without locks proves nothing.
        if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode) &&
            LockFileDescriptor(fd, FileLockMode::kExclusive, false) == FileLockResult::kLocked &&
            StillNamed(fd, dir_fd, entry->d_name) && unlinkat(dir_fd, entry->d_name, 0) == 0) {
            ++removed;
        }
        close(fd);
    }
    closedir(dir);
    return removed;
}

AtomicFile::AtomicFile(std::string destination, mode_t new_file_mode)
    : destination_(std::move(destination)), new_file_mode_(new_file_mode) {}

AtomicFile::~AtomicFile() {
    Discard();
}

bool AtomicFile::Begin() {
    Discard();
    if (destination_.empty() || destination_.back() == '/') return false;
    if (!ResolveTarget(destination_, &target_)) return false;
    const std::string folder = FolderOf(target_);
    RemoveStaleTemporaryFiles(folder);

    struct stat old;
    const bool replacing = stat(target_.c_str(), &old) == 0 && S_ISREG(old.st_mode);
    int dir_fd = open(FolderForOpen(folder).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir_fd < 0) return false;
    std::random_device seed;
    std::mt19937 gen(seed());
    for (int attempt = 0; attempt < kNameAttempts && handle_ < 0; ++attempt) {
        const std::string name = RandomTemporaryName(&gen);
        // Private until complete; the final bits are set below.
        int fd = openat(dir_fd, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                        replacing ? 0600 : new_file_mode_);
        if (fd < 0) {
            if (errno == EEXIST || errno == EINTR) continue;
            break;
        }
        // Between the create and the lock a cleaner may have taken the file for a dead
        // writer's; then it is (or is about to be) gone, and another name is tried.
        const FileLockResult lock = LockFileDescriptor(fd, FileLockMode::kExclusive, false);
        if (lock == FileLockResult::kWouldBlock || !StillNamed(fd, dir_fd, name.c_str())) {
            close(fd);
            continue;
        }
        if (replacing && fchmod(fd, old.st_mode & 07777) != 0) {
            unlinkat(dir_fd, name.c_str(), 0);
            close(fd);
            break;
        }
        handle_ = fd;
        temporary_ = folder + name;
    }
    close(dir_fd);
    return handle_ >= 0;
}

bool AtomicFile::Write(const void* data, std::size_t size) {
    return handle_ >= 0 && WriteAll(handle_, data, size);
}

bool AtomicFile::Commit() {
    if (handle_ < 0) return false;
    // Renamed while still locked, so that no cleaner can take it for a dead writer's.
    if (fsync(handle_) != 0 || rename(temporary_.c_str(), target_.c_str()) != 0) {
        Discard();
        return false;
    }
    close(handle_);
    handle_ = -1;
    temporary_.clear();
    SyncFolder(FolderOf(target_));
    return true;
}

void AtomicFile::Discard() {
    if (!temporary_.empty()) {
        unlink(temporary_.c_str());  // before the close, while the lock is still ours
        temporary_.clear();
    }
    if (handle_ >= 0) {
        close(handle_);
        handle_ = -1;
    }
}

bool WriteFileAtomically(const std::string& path, std::string_view data, mode_t new_file_mode) {
    AtomicFile file(path, new_file_mode);
    return file.Begin() && file.Write(data.data(), data.size()) && file.Commit();
}

}  // namespace tw
