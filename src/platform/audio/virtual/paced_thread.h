// A virtual device's own thread, paced by frames / rate so that a device delivers audio on
// the schedule of real hardware: real time divided by the backend's speed (0: as fast as it
// goes). A stop wakes it early.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>

namespace tw::hal {

class PacedThread {
  public:
    ~PacedThread() { Stop(); }
    bool Running() const { return thread_.joinable(); }
    // Controlling thread: runs `body` on a new thread unless one runs already.
    void Start(double speed, int32_t rate, std::function<void()> body);
    // Controlling thread: asks the body to end and joins it.
    void Stop();
    // Device thread: waits until `frames` frames of audio are due; false when a stop came.
    bool WaitUntil(int64_t frames);

  private:
    using Clock = std::chrono::steady_clock;

    std::thread thread_;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool stop_ = false;  // under mutex_
    double speed_ = 1.0;
    int32_t rate_ = 1;
    Clock::time_point start_;
};

}  // namespace tw::hal
