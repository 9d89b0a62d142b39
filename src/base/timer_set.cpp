#include "base/timer_set.h"

#include <algorithm>
#include <atomic>

#include "platform/events/event_layer.h"

namespace tw {

namespace {

struct PendingTimer {
    LTimerSet* owner;
    int id;
    int ms;
};

std::atomic<bool> g_enabled{false};

std::mutex& PendingMutex() {
    static std::mutex m;
    return m;
}

std::vector<PendingTimer>& Pending() {
    static std::vector<PendingTimer> p;
    return p;
}

}  // namespace

LTimerSet::LTimerSet() = default;

LTimerSet::~LTimerSet() {
    {
        // A request left waiting would name a freed owner once timers are enabled.
        std::lock_guard<std::mutex> lock(PendingMutex());
        auto& p = Pending();
        p.erase(std::remove_if(p.begin(), p.end(),
                               [this](const PendingTimer& t) { return t.owner == this; }),
                p.end());
    }
    KillAllTimers();
}

int LTimerSet::SetTimer(int id, int ms) {
    if (id < 0) return 0;
    if (!g_enabled) {
        std::lock_guard<std::mutex> lock(PendingMutex());
        auto& p = Pending();
        // Only the first request for an id waits, whoever made it.
        const bool queued =
            std::any_of(p.begin(), p.end(), [id](const PendingTimer& t) { return t.id == id; });
        if (!queued) p.push_back({this, id, ms});
        return 1;
    }
    std::lock_guard<std::mutex> lock(mutex_);
    for (Entry& e : entries_) {
        if (e.id == id) {
            if (e.timer == nullptr) return 0;
            e.timer->SetNextFireTime(ms);
            return 1;
        }
    }
    auto timer = EventLoopTimer::Install(ms, [this](EventLoopTimer* t) { Fired(t); });
    const int ok = timer != nullptr ? 1 : 0;
    entries_.push_back({id, std::move(timer)});
    return ok;
}

void LTimerSet::Fired(EventLoopTimer* timer) {
    int id = -1;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        for (const Entry& e : entries_) {
            if (e.timer.get() == timer) {
                id = e.id;
                break;
            }
        }
    }
    if (id >= 0) OnTimer(id);
}

void LTimerSet::KillAllTimers() {
    std::vector<Entry> gone;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        gone.swap(entries_);
    }
    // The timers are destroyed here, outside the lock.
}

void LTimerSet::EnableTimers(bool on) {
    g_enabled = on;
    if (!on) return;
    std::vector<PendingTimer> waiting;
    {
        std::lock_guard<std::mutex> lock(PendingMutex());
        waiting.swap(Pending());
    }
    for (const PendingTimer& t : waiting) t.owner->SetTimer(t.id, t.ms);
}

bool LTimerSet::TimersEnabled() {
    return g_enabled;
}

}  // namespace tw
