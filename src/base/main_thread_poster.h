// Lets a worker thread run a task on the main thread through the main event queue.
// An owner derives from LMainThreadPoster, overrides OnMainThread, calls
// PostToMainThread from any thread, and calls CancelPending before its data goes away.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>

#include "platform/events/event_layer.h"

namespace tw {

inline constexpr std::uint32_t kEventClassMainThread = FourCC("LNot");
inline constexpr std::uint32_t kEventMainThreadTask = FourCC("LNdk");
inline constexpr std::uint32_t kEventParamPoster = FourCC("LNth");
inline constexpr std::uint32_t kEventParamTask = FourCC("LNda");

// A small heap object run once on the main thread, then deleted.
class LMainThreadTask {
  public:
    virtual ~LMainThreadTask() = default;
    virtual void Run() = 0;
};

class LMainThreadPoster {
  public:
    LMainThreadPoster();
    // Cancels what is still queued, as a safety net; owners cancel earlier, in their own
    // destructor, while OnMainThread can still use their data.
    virtual ~LMainThreadPoster();
    LMainThreadPoster(const LMainThreadPoster&) = delete;
    LMainThreadPoster& operator=(const LMainThreadPoster&) = delete;

    // Main thread.
    virtual void OnMainThread() = 0;

    // Main thread, once at start-up and once at shut-down: the handler on the application
    // target that runs the posted tasks.
    static void InstallMainThreadHandler();
    static void RemoveMainThreadHandler();

    // Any thread. While the application quits, posts are ignored.
    static void SetApplicationQuitting(bool quitting);

    // Any thread. Queues the task for the main thread (high priority); the task is
    // deleted without running when posting is off.
    void Post(std::unique_ptr<LMainThreadTask> task);
    // Any thread. Posts a task that calls OnMainThread.
    void PostToMainThread();
    // Main thread. Deletes, without running them, all tasks of this poster still queued;
    // afterwards Post does nothing.
    void CancelPending();

    // Any thread. Tasks posted and not yet run or cancelled.
    int PendingCount();

  private:
    friend struct MainThreadHandler;
    void TaskDone();

    std::mutex mutex_;
    bool disabled_ = false;  // under mutex_
    bool enabled_ = true;    // under mutex_
    int pending_ = 0;        // under mutex_
};

}  // namespace tw
