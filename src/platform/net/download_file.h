// A file received from the network, written under a temporary name beside its destination
// and moved over the destination only when complete, so that a failed or cancelled transfer
// (or a crash) never leaves a partial file under the destination's name nor destroys the
// copy that was there before. The replacement keeps the old file's permission bits, and a
// destination that is a symbolic link gets its target replaced (see AtomicFile).
// Thread: any; one object belongs to one thread.
#pragma once

#include <cstddef>
#include <string>

#include "platform/core/atomic_file.h"

namespace tw {

class DownloadFile {
  public:
    explicit DownloadFile(std::string destination);
    ~DownloadFile();  // discards an uncommitted temporary
    DownloadFile(const DownloadFile&) = delete;
    DownloadFile& operator=(const DownloadFile&) = delete;

    // Creates the temporary file in the destination's folder (a new destination gets the
    // permission bits 0666 less the umask). False when the folder cannot take it.
    bool Create();

    // Appends all `size` bytes; false on a write error (a full disk, for instance).
    bool Append(const void* data, size_t size);

    // A descriptor of the existing destination, for an advisory lock held until the
    // replacement is done; -1 when the destination does not exist or cannot be opened.
    int OpenDestination();

    // Flushes the temporary to disk and renames it over the destination; releases the
    // destination's descriptor. On failure the temporary is deleted.
    bool Commit();

    // Closes and deletes the temporary; the destination is left as it was.
    void Discard();

    const std::string& temporary_path() const { return file_.temporary_path(); }

  private:
    std::string destination_;
    AtomicFile file_;
    int destination_handle_ = -1;
};

}  // namespace tw
