#include "platform/core/file_io.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tw {

int OpenRegularFile(const std::string& path, int flags, unsigned mode) {
    // O_NONBLOCK: opening a FIFO for reading would otherwise wait for a writer.
    int fd = open(path.c_str(), flags | O_NONBLOCK | O_CLOEXEC, static_cast<mode_t>(mode));
    if (fd < 0) return -1;
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        close(fd);
        errno = EINVAL;
        return -1;
    }
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return fd;
}

bool WriteAll(int fd, const void* data, std::size_t size) {
    const char* bytes = static_cast<const char*>(data);
    while (size > 0) {
        ssize_t written = write(fd, bytes, size);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return false;
        bytes += written;
        size -= static_cast<std::size_t>(written);
    }
    return true;
}

bool ReadToEnd(int fd, std::string* bytes) {
    char buffer[65536];
    for (;;) {
        ssize_t n = read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return false;
        if (n == 0) return true;
        bytes->append(buffer, static_cast<std::size_t>(n));
    }
}

RegularFileRead ReadRegularFile(const std::string& path, std::string* bytes) {
    bytes->clear();
    int fd = OpenRegularFile(path, O_RDONLY);
    if (fd < 0) {
        if (errno == ENOENT) return RegularFileRead::kMissing;
        return errno == EINVAL ? RegularFileRead::kNotRegular : RegularFileRead::kError;
    }
    const bool ok = ReadToEnd(fd, bytes);
    close(fd);
    return ok ? RegularFileRead::kRead : RegularFileRead::kError;
}

}  // namespace tw
