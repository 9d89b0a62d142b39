// An empty folder of the test's own, made with mkdtemp under the system's temporary folder
// and removed with everything in it when the object goes.
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <string>

namespace tw::test {

class ScratchFolder {
  public:
    explicit ScratchFolder(const std::string& prefix = "tw-scratch") {
        std::string tmpl = (std::filesystem::temp_directory_path() / (prefix + "-XXXXXX")).string();
        if (mkdtemp(tmpl.data())) path_ = tmpl;
    }
    ~ScratchFolder() {
        std::error_code ec;
        if (!path_.empty()) std::filesystem::remove_all(path_, ec);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    // Empty when no folder could be made.
    const std::string& path() const { return path_; }
    // path() + "/" + name.
    std::string Path(const std::string& name) const { return path_ + "/" + name; }

  private:
    std::string path_;
};

}  // namespace tw::test
