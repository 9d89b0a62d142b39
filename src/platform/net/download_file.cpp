#include "platform/net/download_file.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <utility>

namespace tw {

namespace {

constexpr int kNameAttempts = 100;

// The folder part of `path` with its trailing "/", or "" for a bare name.
std::string FolderOf(const std::string& path) {
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string NameOf(const std::string& path) {
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

void CloseHandle(int* handle) {
    if (*handle >= 0) {
        close(*handle);
        *handle = -1;
    }
}

}  // namespace

DownloadFile::DownloadFile(std::string destination) : destination_(std::move(destination)) {}

DownloadFile::~DownloadFile() {
    Discard();
}

bool DownloadFile::Create() {
    Discard();
    std::string name = NameOf(destination_);
    if (name.empty()) return false;
    static std::atomic<unsigned> counter{0};
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        // Hidden, unique per process and attempt, and recognisable if a crash leaves it.
        unsigned long stamp = static_cast<unsigned long>(
            std::chrono::steady_clock::now().time_since_epoch().count() & 0xffffff);
        char suffix[64];
        std::snprintf(suffix, sizeof suffix, ".%ld.%u.%06lx.part", static_cast<long>(getpid()),
                      counter.fetch_add(1), stamp);
        std::string candidate = FolderOf(destination_) + "." + name + suffix;
        int handle = open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (handle >= 0) {
            handle_ = handle;
            temporary_ = std::move(candidate);
            return true;
        }
        if (errno != EEXIST && errno != EINTR) return false;
    }
    return false;
}

bool DownloadFile::Append(const void* data, size_t size) {
    if (handle_ < 0) return false;
    const char* bytes = static_cast<const char*>(data);
    while (size > 0) {
        ssize_t written = write(handle_, bytes, size);
        if (written < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        bytes += written;
        size -= static_cast<size_t>(written);
    }
    return true;
}

int DownloadFile::OpenDestination() {
    if (destination_handle_ < 0) {
        // Non-blocking so that a FIFO in the destination's place cannot hang the open.
        destination_handle_ = open(destination_.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    }
    return destination_handle_;
}

bool DownloadFile::Commit() {
    if (handle_ < 0) return false;
    bool ok = fsync(handle_) == 0;
    ok = close(handle_) == 0 && ok;
    handle_ = -1;
    ok = ok && rename(temporary_.c_str(), destination_.c_str()) == 0;
    CloseHandle(&destination_handle_);
    if (!ok) {
        unlink(temporary_.c_str());
        temporary_.clear();
        return false;
    }
    temporary_.clear();
    // Make the rename itself durable; a folder that cannot be synced changes nothing.
    std::string folder = FolderOf(destination_);
    int folder_handle = open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_CLOEXEC);
    if (folder_handle >= 0) {
        fsync(folder_handle);
        close(folder_handle);
    }
    return true;
}

void DownloadFile::Discard() {
    CloseHandle(&handle_);
    CloseHandle(&destination_handle_);
    if (!temporary_.empty()) {
        unlink(temporary_.c_str());
        temporary_.clear();
    }
}

}  // namespace tw
