// The run-lock file: it exists, locked, from the moment the main window is built until it
// closes, so that finding one at start-up means the last run ended abnormally (a crash, a
// hang the user had to end, a forced log-out). Then the user is asked what happened and may
// open the bug-report page.
//
// Thread: main thread.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace tw {

// Asks a two-button question (title, text, first button, second button); true for the first.
using RunLockQuestion = std::function<bool(const std::string& title, const std::string& text,
                                           const std::string& first, const std::string& second)>;

struct RunLockPrompts {
    RunLockQuestion ask;
    std::function<void(const std::string& url)> openUrl;
    std::function<void(int ms)> wait;  // between the two questions
};

// "/var/tmp/_tunewright_rl_USER". When something that is not ours sits there (another
// user's file, a link, a folder), the run lock lives in the user's own data folder instead,
// so that another user can neither silence the question nor cause one.
std::string RunLockPath();

// Checks for a run lock left by the last run (asking the questions when its two clocks
// agree) and otherwise creates this run's. `now_us` is the time in microseconds since the
// epoch (tests pass their own).
void CreateRunLock(const RunLockPrompts& prompts, std::int64_t now_us);
void CreateRunLock(const RunLockPrompts& prompts);
// Closes and deletes this run's lock file, if it holds one. Also called at exit.
void RemoveRunLock();
// Whether this run holds a run lock (the path it holds it at, when it does).
bool HoldsRunLock(std::string* path = nullptr);

}  // namespace tw
