#include "analysis/clock.h"

#include <chrono>

namespace tw {

uint32_t NowMilliseconds() {
    using namespace std::chrono;
    const auto since = system_clock::now().time_since_epoch();
    const auto secs = duration_cast<seconds>(since);
    const auto micros = duration_cast<microseconds>(since - secs);
    return static_cast<uint32_t>(secs.count()) * 1000u +
           static_cast<uint32_t>(micros.count()) / 1000u;
}

const SystemClock& SystemClock::Instance() {
    static const SystemClock clock;
    return clock;
}

}  // namespace tw
