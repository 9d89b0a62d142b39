// Helpers of the GUI tests: a display, a private X server with a window manager, and
// actions scheduled on the main loop.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/events/event_layer.h"

namespace tw::test {

// Initialises the toolkit on $DISPLAY; false (with a test failure) when there is none.
bool NeedDisplay();

// Runs `action` on the main loop after `ms`, once. The returned handle cancels it when
// destroyed.
class Later {
  public:
    Later(int ms, std::function<void()> action);
    ~Later();
    Later(const Later&) = delete;
    Later& operator=(const Later&) = delete;

  private:
    std::unique_ptr<EventLoopTimer> timer_;
    std::function<void()> action_;
};

// A private X server (and, if asked, an openbox window manager on it) for this process;
// sets DISPLAY before the toolkit starts. A test that fails leaves a PNG of each window shown
// at its first failed check in the build's test-output folder. Stops openbox at the end; the server
// follows the test process when it exits.
class PrivateDisplay : public ::testing::Environment {
  public:
    explicit PrivateDisplay(bool with_window_manager) : with_wm_(with_window_manager) {}
    void SetUp() override;
    void TearDown() override;

  private:
    bool with_wm_;
    int server_pid_ = -1;
    int wm_pid_ = -1;
};

// Where failing end-to-end tests leave their artefacts.
std::string OutputPath(const std::string& name);

}  // namespace tw::test
