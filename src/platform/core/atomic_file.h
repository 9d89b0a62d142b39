// Replaces a file so that a crash at any moment leaves either the old or the new content:
// the new content goes to a temporary file in the same folder, is flushed to disk, renamed
// over the file, and the folder is flushed so that the rename itself lasts.
//
// - A destination that is a symbolic link is followed: its final target is replaced and
//   the link stays a link.
// - A file that is replaced keeps its permission bits (a private file stays private); a
//   new file gets `new_file_mode` less the umask.
// - The temporary name is short (".tw-XXXXXXXX.tmp"), so any legal destination name works.
// - A writer holds an exclusive flock on its temporary file while it exists. Temporary
//   files of that naming whose lock can be taken belong to writers that died mid-save;
//   every save removes those it finds in its folder. Live writers' files are never touched.
//
// Thread: any; one AtomicFile object belongs to one thread.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <string>
#include <string_view>

namespace tw {

class AtomicFile {
  public:
    explicit AtomicFile(std::string destination, mode_t new_file_mode = 0666);
    ~AtomicFile();  // discards an uncommitted temporary
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    // Follows links to the file to replace, removes stale temporary files beside it and
    // creates this writer's own. False when the folder cannot take it or the destination
    // is a folder.
    bool Begin();

    // Appends all `size` bytes; false on a write error (a full disk, for instance).
    bool Write(const void* data, std::size_t size);

    // Flushes the temporary, renames it over the file and flushes the folder. On failure
    // the temporary is deleted and the file is left as it was.
    bool Commit();

    // Closes and deletes the temporary; the file is left as it was.
    void Discard();

    // The file that Commit replaces (the final target of a link); set by Begin.
    const std::string& target_path() const { return target_; }
    const std::string& temporary_path() const { return temporary_; }

  private:
    std::string destination_;
    mode_t new_file_mode_;
    std::string target_;
    std::string temporary_;
    int handle_ = -1;
};

// Begin, Write, Commit in one call.
bool WriteFileAtomically(const std::string& path, std::string_view data,
                         mode_t new_file_mode = 0666);

// Removes the temporary files of dead writers in `folder` (see above); answers how many.
// Saves do this themselves; start-up may call it for folders it knows.
int RemoveStaleTemporaryFiles(const std::string& folder);

// Whether `name` (a bare file name) has the naming of this writer's temporary files.
bool IsAtomicTemporaryName(std::string_view name);

}  // namespace tw
