// One-shot event-loop timers identified by small integer ids, delivered on the main
// thread. A periodic timer is made by re-arming from OnTimer.
//
// Timers are process-wide either enabled or not: while they are not, SetTimer only
// remembers the request, and EnableTimers(true) arms the remembered ones in order, so
// that timers set while a window is being built begin only once it runs.
#pragma once

#include <memory>
#include <mutex>
#include <vector>

namespace tw {

class EventLoopTimer;

class LTimerSet {
  public:
    LTimerSet();
    // Removes this set's native timers and any request still waiting for EnableTimers.
    virtual ~LTimerSet();
    LTimerSet(const LTimerSet&) = delete;
    LTimerSet& operator=(const LTimerSet&) = delete;

    // Any thread. Arms timer `id` to fire once after `ms` milliseconds; re-arming an id
    // moves its next firing to `ms` from now. Returns 0 for a negative id (nothing
    // armed) or when the native timer cannot be installed, 1 otherwise.
    int SetTimer(int id, int ms);

    // Main thread. Removes every native timer of this set.
    void KillAllTimers();

    // Main thread. Process-wide switch; turning it on arms the waiting requests.
    static void EnableTimers(bool on);
    static bool TimersEnabled();

    // Main thread, without the set's lock held.
    virtual void OnTimer(int id) = 0;

  private:
    struct Entry {
        int id;
        std::unique_ptr<EventLoopTimer> timer;  // null when installation failed
    };

    void Fired(EventLoopTimer* timer);

    std::mutex mutex_;
    std::vector<Entry> entries_;
};

}  // namespace tw
