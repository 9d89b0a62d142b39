#include "platform/audio/virtual/paced_thread.h"

namespace tw::hal {

void PacedThread::Start(double speed, int32_t rate, std::function<void()> body) {
    if (thread_.joinable()) return;
    stop_ = false;
    speed_ = speed;
    rate_ = rate;
    start_ = Clock::now();
    thread_ = std::thread(std::move(body));
}

void PacedThread::Stop() {
    if (!thread_.joinable()) return;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stop_ = true;
    }
    wake_.notify_all();
    thread_.join();
}

bool PacedThread::WaitUntil(int64_t frames) {
    std::unique_lock<std::mutex> lock(mutex_);
    if (speed_ <= 0) return !stop_;
    const auto due =
        start_ + std::chrono::duration_cast<Clock::duration>(
                     std::chrono::duration<double>(static_cast<double>(frames) / rate_ / speed_));
    wake_.wait_until(lock, due, [&] { return stop_; });
    return !stop_;
}

}  // namespace tw::hal
