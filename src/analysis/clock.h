// The millisecond clock that stamps published estimates. Live analysis uses the wall clock;
// tests and offline analysis put their own in its place.
#pragma once

#include <cstdint>

namespace tw {

class MillisecondClock {
  public:
    virtual ~MillisecondClock() = default;
    // Wraps about every 49.7 days; only differences are meaningful.
    virtual uint32_t NowMilliseconds() const = 0;
};

// Seconds x 1000 + microseconds / 1000 of the time of day, in unsigned 32-bit arithmetic.
uint32_t NowMilliseconds();

class SystemClock final : public MillisecondClock {
  public:
    uint32_t NowMilliseconds() const override { return tw::NowMilliseconds(); }
    static const SystemClock& Instance();
};

// A clock that only moves when told to (tests).
class ManualClock final : public MillisecondClock {
  public:
    explicit ManualClock(uint32_t start = 0) : now_(start) {}
    uint32_t NowMilliseconds() const override { return now_; }
    void Set(uint32_t ms) { now_ = ms; }
    void Advance(uint32_t ms) { now_ += ms; }

  private:
    uint32_t now_;
};

// True when an estimate stamped `published` is still valid at `now`: at most 2000 ms old,
// measured as an unsigned 32-bit difference so that the wrap is harmless.
inline constexpr uint32_t kStalenessLimitMs = 2000;
inline bool IsFresh(uint32_t now, uint32_t published) {
    return static_cast<uint32_t>(now - published) <= kStalenessLimitMs;
}

}  // namespace tw
