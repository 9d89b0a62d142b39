// Descriptor-level file input and output. Files that must be plain files are opened so
// that a named pipe, a device or a folder in a data file's place fails at once instead of
// blocking the reader forever.
// Thread: any.
#pragma once

#include <cstddef>
#include <string>

namespace tw {

// Opens `path` with `flags` (O_RDONLY, O_RDWR, O_CREAT...; O_CLOEXEC is added) without
// blocking, and answers the descriptor, in blocking mode again, only if it is a regular
// file. -1 otherwise: errno is that of the open, or EINVAL for a file of another kind.
// With O_CREAT the permission bits are `mode`.
int OpenRegularFile(const std::string& path, int flags, unsigned mode = 0666);

// Writes all `size` bytes (retrying short and interrupted writes); false on an error.
bool WriteAll(int fd, const void* data, std::size_t size);

// Reads from the descriptor's position to the end; false on a read error.
bool ReadToEnd(int fd, std::string* bytes);

enum class RegularFileRead { kRead, kMissing, kNotRegular, kError };

// The whole content of the regular file at `path`.
RegularFileRead ReadRegularFile(const std::string& path, std::string* bytes);

}  // namespace tw
