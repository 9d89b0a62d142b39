// A private home for one test: HOME and the XDG folders point into a fresh temporary
// folder for the object's lifetime, so no test ever reads or writes the real ones.
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "common/scratch_folder.h"

namespace tw::test {

class ScopedEnv {
  public:
    // value null: unset the variable.
    void Set(const char* name, const char* value) {
        const char* old = getenv(name);
        saved_.emplace_back(name, old ? std::optional<std::string>(old) : std::nullopt);
        if (value) {
            setenv(name, value, 1);
        } else {
            unsetenv(name);
        }
    }
    ~ScopedEnv() {
        for (auto it = saved_.rbegin(); it != saved_.rend(); ++it) {
            if (it->second) {
                setenv(it->first.c_str(), it->second->c_str(), 1);
            } else {
                unsetenv(it->first.c_str());
            }
        }
    }

  private:
    std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

class TempHome {
  public:
    TempHome() : scratch_("tw-home"), root_(scratch_.path()) {
        home_ = root_ + "/home";
        std::filesystem::create_directories(home_);
        env_.Set("HOME", home_.c_str());
        env_.Set("XDG_CONFIG_HOME", nullptr);
        env_.Set("XDG_DATA_HOME", nullptr);
        env_.Set("TUNEWRIGHT_DATA_DIR", nullptr);
        env_.Set("LOGNAME", "tester");
    }
    TempHome(const TempHome&) = delete;
    TempHome& operator=(const TempHome&) = delete;

    const std::string& home() const { return home_; }
    const std::string& root() const { return root_; }
    ScopedEnv& env() { return env_; }

  private:
    ScratchFolder scratch_;  // removed last, after the environment is restored
    std::string root_;
    std::string home_;
    ScopedEnv env_;
};

inline std::string ReadFileText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteFileText(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
}

}  // namespace tw::test
